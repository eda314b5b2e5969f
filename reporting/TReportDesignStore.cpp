#include "reporting/TReportDesignStore.h"

#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "database/TField.h"
#include "database/TQuery.h"
#include "reporting/TReportDesign.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {

const QString formatName = QStringLiteral("JovSec report design 1");
const QStringList dividers {QStringLiteral("None"), QStringLiteral("Solid"), QStringLiteral("Dash")};
const QStringList datePositions {QStringLiteral("None"), QStringLiteral("Left"), QStringLiteral("Center"),
                                 QStringLiteral("Right")};
const QStringList pageNumbers {QStringLiteral("None"), QStringLiteral("Bottom-Center"), QStringLiteral("Top-Right")};
const QStringList alignments {QStringLiteral("Left"), QStringLiteral("Center"), QStringLiteral("Right")};
const QStringList fontKeys {QStringLiteral("TitleFont"), QStringLiteral("SubTitleFont"), QStringLiteral("HeadingFont"),
                            QStringLiteral("BodyFont")};
const QString columnPrefix = QStringLiteral("Column/");

QString aliasGroup(const QString& report) { return QStringLiteral("Designs/") + report; }

int alignIndex(Qt::Alignment a)
{
    if (a & Qt::AlignHCenter)
        return 1;
    if (a & Qt::AlignRight)
        return 2;
    return 0;
}

QStringList fontList(const TFont& font)
{
    QStringList style;
    if (font.bold())
        style << QStringLiteral("bold");
    if (font.italic())
        style << QStringLiteral("italic");
    if (font.font.underline())
        style << QStringLiteral("underline");
    if (font.font.strikeOut())
        style << QStringLiteral("strikeout");
    return {font.name(), QString::number(font.size()),
            style.isEmpty() ? QStringLiteral("regular") : style.join(QLatin1Char(' ')), font.color.name()};
}

// An INI value written without quotes that holds a comma reads back as a list.
QString text(const QVariant& value)
{
    return value.typeId() == QMetaType::QStringList ? value.toStringList().join(QStringLiteral(", "))
                                                    : value.toString();
}

// Reads the values of a design one by one; the first that cannot be read is kept in
// problem and later reads change nothing.
struct Reader {
    const QVariantMap& values;
    QString problem;

    bool has(const QString& key) const { return problem.isEmpty() && values.contains(key); }
    void fail(const QString& key, const QString& why)
    {
        if (problem.isEmpty())
            problem = QStringLiteral("%1 %2").arg(key, why);
    }
    void read(const QString& key, QString& out)
    {
        if (has(key))
            out = text(values.value(key));
    }
    void read(const QString& key, bool& out)
    {
        if (!has(key))
            return;
        const QString v = text(values.value(key)).trimmed().toLower();
        if (v == QLatin1String("true") || v == QLatin1String("1"))
            out = true;
        else if (v == QLatin1String("false") || v == QLatin1String("0"))
            out = false;
        else
            fail(key, QStringLiteral("is \"%1\", not true or false").arg(v));
    }
    void read(const QString& key, const QStringList& names, int& out)
    {
        if (!has(key))
            return;
        const QString v = text(values.value(key)).trimmed();
        int i = int(names.size()) - 1;
        while (i >= 0 && names.at(i).compare(v, Qt::CaseInsensitive) != 0)
            --i;
        if (i < 0)
            fail(key, QStringLiteral("is \"%1\", not one of %2").arg(v, names.join(QStringLiteral(", "))));
        else
            out = i;
    }
    void readNumber(const QString& key, int low, int high, int& out)
    {
        if (!has(key))
            return;
        bool ok = false;
        const int v = text(values.value(key)).trimmed().toInt(&ok);
        if (!ok || v < low || v > high)
            fail(key, QStringLiteral("is \"%1\", not a whole number from %2 to %3")
                          .arg(text(values.value(key)))
                          .arg(low)
                          .arg(high));
        else
            out = v;
    }
    void read(const QString& key, TFont& out)
    {
        if (!has(key))
            return;
        const QStringList parts = values.value(key).toStringList();
        bool ok = false;
        const double points = parts.value(1).trimmed().toDouble(&ok);
        if (parts.size() < 2 || parts.first().trimmed().isEmpty() || !ok || points < 1 || points > 400) {
            fail(key, QStringLiteral("is \"%1\", not a face and a size in points").arg(parts.join(", ")));
            return;
        }
        QStringList style = parts.value(2).toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        style.removeAll(QStringLiteral("regular"));
        TFont font(parts.first().trimmed(), points, style.removeAll(QStringLiteral("bold")) > 0,
                   style.removeAll(QStringLiteral("italic")) > 0);
        font.font.setUnderline(style.removeAll(QStringLiteral("underline")) > 0);
        font.font.setStrikeOut(style.removeAll(QStringLiteral("strikeout")) > 0);
        const QString color = parts.value(3).trimmed();
        if (!style.isEmpty() || (!color.isEmpty() && !QColor::isValidColorName(color))) {
            fail(key, QStringLiteral("has a style or colour that is not known (\"%1\")").arg(parts.join(", ")));
            return;
        }
        if (!color.isEmpty())
            font.color = QColor::fromString(color);
        out = font;
    }
};

} // namespace

TReportDesignStore::TReportDesignStore(const QString& alias) : m_alias(alias) { }

QString TReportDesignStore::folderFile() const
{
    const QString server = TAliases::paramValue(TAliases::params(m_alias), QStringLiteral("SERVER NAME")).trimmed();
    if (server.isEmpty() || TDatabase::isServerLocation(server))
        return QString();
    return QFileInfo(server).absoluteFilePath() + QStringLiteral(".reports.ini");
}

QString TReportDesignStore::folderProblem() const
{
    const QString server = TAliases::paramValue(TAliases::params(m_alias), QStringLiteral("SERVER NAME")).trimmed();
    if (server.isEmpty())
        return QStringLiteral("the alias %1 names no database file").arg(m_alias);
    if (TDatabase::isServerLocation(server))
        return QStringLiteral("the database %1 is on a server, so it has no folder on this computer").arg(server);
    const QFileInfo folder(QFileInfo(server).absolutePath());
    if (!folder.isDir())
        return QStringLiteral("the folder %1 does not exist").arg(folder.filePath());
    if (!folder.isWritable())
        return QStringLiteral("you may not write to the folder %1").arg(folder.filePath());
    return QString();
}

QString TReportDesignStore::describe(Place place) const
{
    switch (place) {
    case WithAlias:
        return QStringLiteral("with the settings of the alias %1").arg(m_alias);
    case InDatabaseFolder:
        return QStringLiteral("in %1").arg(folderFile());
    default:
        return QString();
    }
}

QVariantMap TReportDesignStore::folderValues(const QString& report, QString* problem) const
{
    QVariantMap values;
    const QString file = folderFile();
    if (file.isEmpty() || !QFileInfo::exists(file))
        return values;
    QSettings settings(file, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) {
        *problem = QStringLiteral("the file cannot be read");
        return values;
    }
    settings.beginGroup(report);
    for (const QString& key : settings.allKeys())
        values.insert(key, settings.value(key));
    return values;
}

TReportDesignStore::Place TReportDesignStore::placeOf(const QString& report) const
{
    QString problem;
    if (!folderValues(report, &problem).isEmpty())
        return InDatabaseFolder;
    if (!TAliases::settings(m_alias, aliasGroup(report)).isEmpty())
        return WithAlias;
    return Default;
}

TReportDesignStore::Loaded TReportDesignStore::load(const QString& report, TReportDesign& definition) const
{
    Loaded loaded;
    QString problem;
    Place place = InDatabaseFolder;
    QVariantMap values = folderValues(report, &problem);
    if (!problem.isEmpty()) {
        loaded.problem = QStringLiteral("The report designs in %1 cannot be read (%2). The default design of the %3 "
                                        "is used.")
                             .arg(folderFile(), problem, definition.title());
        return loaded;
    }
    if (values.isEmpty()) {
        values = TAliases::settings(m_alias, aliasGroup(report));
        place = WithAlias;
    }
    if (values.isEmpty())
        return loaded;
    QStringList dropped;
    const QString title = definition.title();
    const QString bad = fromMap(values, definition, &dropped);
    if (!bad.isEmpty()) {
        loaded.problem = QStringLiteral("The design of the %1 kept %2 is damaged: %3. The default design is used.")
                             .arg(title, describe(place), bad);
        return loaded;
    }
    loaded.place = place;
    if (!dropped.isEmpty())
        loaded.problem = QStringLiteral("The design of the %1 kept %2 names %3, which hold passwords. Reports never "
                                        "show passwords, so the design is used without them.")
                             .arg(title, describe(place), dropped.join(QStringLiteral(", ")));
    return loaded;
}

bool TReportDesignStore::writeFolder(const QString& report, const QVariantMap& values, QString* error) const
{
    const QString file = folderFile();
    QSettings settings(file, QSettings::IniFormat);
    settings.beginGroup(report);
    settings.remove(QString());
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        settings.setValue(it.key(), it.value());
    settings.endGroup();
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        *error = QStringLiteral("Cannot write the file %1.").arg(file);
        return false;
    }
    // The last design removed takes its file with it.
    if (settings.allKeys().isEmpty())
        QFile::remove(file);
    return true;
}

bool TReportDesignStore::save(const QString& report, const TReportDesign& definition, Place place,
                              const QString& defaultSubTitle, QString* error) const
{
    const QVariantMap values = toMap(definition, defaultSubTitle);
    QString problem;
    if (place == InDatabaseFolder) {
        problem = folderProblem();
        if (!problem.isEmpty()) {
            *error = problem.left(1).toUpper() + problem.mid(1) + QLatin1Char('.');
            return false;
        }
        if (!writeFolder(report, values, error))
            return false;
        if (!TAliases::settings(m_alias, aliasGroup(report)).isEmpty())
            return TAliases::setSettings(m_alias, aliasGroup(report), {}, error);
        return true;
    }
    if (!TAliases::setSettings(m_alias, aliasGroup(report), values, error))
        return false;
    if (!folderValues(report, &problem).isEmpty())
        return writeFolder(report, {}, error);
    return true;
}

bool TReportDesignStore::remove(const QString& report, QString* error) const
{
    QString problem;
    if (!folderValues(report, &problem).isEmpty() && !writeFolder(report, {}, error))
        return false;
    if (!TAliases::settings(m_alias, aliasGroup(report)).isEmpty())
        return TAliases::setSettings(m_alias, aliasGroup(report), {}, error);
    return true;
}

QVariantMap TReportDesignStore::toMap(const TReportDesign& d, const QString& defaultSubTitle)
{
    QVariantMap values;
    values.insert(QStringLiteral("Format"), formatName);
    values.insert(QStringLiteral("Title"), d.title());
    if (d.subTitle() != defaultSubTitle)
        values.insert(QStringLiteral("SubTitle"), d.subTitle());
    values.insert(QStringLiteral("TitleCentered"), d.titleCentered());
    values.insert(QStringLiteral("Portrait"), d.portrait());
    values.insert(QStringLiteral("PageSize"), d.pageSizeIndex());
    values.insert(QStringLiteral("Divider"), dividers.value(d.dividerStyle()));
    values.insert(QStringLiteral("DatePosition"), datePositions.value(d.datePosition()));
    values.insert(QStringLiteral("DateFormat"), d.dateFormat());
    values.insert(QStringLiteral("PageNumbers"), pageNumbers.value(d.pageNumLocation()));
    values.insert(QStringLiteral("PageNumberLabel"), d.pageNumLabel());
    const TFont* fonts[4] = {&d.titleFont(), &d.subTitleFont(), &d.headingFont(), &d.bodyFont()};
    for (int i = 0; i < 4; ++i)
        values.insert(fontKeys.at(i), fontList(*fonts[i]));
    values.insert(QStringLiteral("Fields"), d.fields());
    // Each column's heading, width and alignment, which the designer sets on the
    // record set's fields.
    for (const QString& name : d.fields())
        if (const TField* f = d.dataSet() ? d.dataSet()->findField(name) : nullptr)
            values.insert(columnPrefix + f->fieldName(),
                          QStringList {f->displayLabel(), QString::number(f->displayWidth()),
                                       alignments.at(alignIndex(f->alignment()))});
    return values;
}

QString TReportDesignStore::fromMap(const QVariantMap& values, TReportDesign& d, QStringList* dropped)
{
    Reader r {values, {}};
    QString format = formatName;
    r.read(QStringLiteral("Format"), format);
    if (format.trimmed() != formatName)
        return QStringLiteral("Format is \"%1\", not \"%2\"").arg(format, formatName);

    QString title = d.title(), subTitle = d.subTitle(), dateFormat = d.dateFormat(), pageLabel = d.pageNumLabel();
    bool centred = d.titleCentered(), portrait = d.portrait();
    int pageSize = d.pageSizeIndex(), divider = d.dividerStyle(), date = d.datePosition(),
        pageNum = d.pageNumLocation();
    TFont fonts[4] = {d.titleFont(), d.subTitleFont(), d.headingFont(), d.bodyFont()};
    r.read(QStringLiteral("Title"), title);
    r.read(QStringLiteral("SubTitle"), subTitle);
    r.read(QStringLiteral("TitleCentered"), centred);
    r.read(QStringLiteral("Portrait"), portrait);
    r.readNumber(QStringLiteral("PageSize"), -1, 2, pageSize);
    r.read(QStringLiteral("Divider"), dividers, divider);
    r.read(QStringLiteral("DatePosition"), datePositions, date);
    r.read(QStringLiteral("DateFormat"), dateFormat);
    r.read(QStringLiteral("PageNumbers"), pageNumbers, pageNum);
    r.read(QStringLiteral("PageNumberLabel"), pageLabel);
    for (int i = 0; i < 4; ++i)
        r.read(fontKeys.at(i), fonts[i]);

    QStringList fields = d.fields();
    if (r.has(QStringLiteral("Fields"))) {
        fields.clear();
        for (const QString& name : values.value(QStringLiteral("Fields")).toStringList())
            if (!name.trimmed().isEmpty())
                fields << name.trimmed();
        if (fields.size() > TReportDesign::maxColumns)
            r.fail(QStringLiteral("Fields"),
                   QStringLiteral("names more than %1 columns").arg(TReportDesign::maxColumns));
    }
    struct Column {
        TField* field;
        QString label;
        int width;
        int align;
    };
    QList<Column> columns;
    QStringList secret;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (!it.key().startsWith(columnPrefix, Qt::CaseInsensitive))
            continue;
        const QString name = it.key().mid(columnPrefix.size());
        if (TReportDesign::isSecretColumn(name)) {
            secret << name;
            continue;
        }
        TField* field = d.dataSet() ? d.dataSet()->findField(name) : nullptr;
        const QStringList parts = it.value().toStringList();
        Column c {field, parts.value(0), 0, 0};
        const QVariantMap parsed {{QStringLiteral("width"), parts.value(1)},
                                  {QStringLiteral("alignment"), parts.value(2)}};
        Reader column {parsed, {}};
        column.readNumber(QStringLiteral("width"), 1, 999, c.width);
        column.read(QStringLiteral("alignment"), alignments, c.align);
        if (parts.size() != 3)
            r.fail(it.key(),
                   QStringLiteral("is \"%1\", not a heading, a width and an alignment").arg(parts.join(", ")));
        else if (!column.problem.isEmpty())
            r.fail(it.key(), QStringLiteral("has a %1").arg(column.problem));
        // A column the record set does not have is left out, as in Fields.
        if (field)
            columns << c;
    }
    if (!r.problem.isEmpty())
        return r.problem;

    for (const QString& name : fields)
        if (TReportDesign::isSecretColumn(name) && !secret.contains(name, Qt::CaseInsensitive))
            secret << name;
    if (dropped)
        *dropped = secret;
    d.setTitle(title);
    d.setSubTitle(subTitle);
    d.setTitleCentered(centred);
    d.setPortrait(portrait);
    d.setPageSizeIndex(pageSize);
    d.setDividerStyle(TDividerStyle(divider));
    d.setDatePosition(TDatePosition(date));
    d.setDateFormat(dateFormat);
    d.setPageNumLocation(TPageNumStyle(pageNum));
    d.setPageNumLabel(pageLabel);
    d.setTitleFont(fonts[0]);
    d.setSubTitleFont(fonts[1]);
    d.setHeadingFont(fonts[2]);
    d.setBodyFont(fonts[3]);
    d.setFields(fields);
    static const Qt::Alignment aligns[3] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    for (const Column& c : columns) {
        c.field->setDisplayLabel(c.label);
        c.field->setDisplayWidth(c.width);
        c.field->setAlignment(aligns[c.align]);
    }
    return QString();
}
