#include "reporting/TReportDesign.h"

#include "database/TQuery.h"
#include "platform/RegionalSettings.h"
#include "platform/MessageBox.h"
#include "reporting/TPageDocument.h"

#include <QDateTime>
#include <QHash>
#include <QRegularExpression>

namespace {

// Layout constants, inches.
constexpr double leftMargin = 0.5;
constexpr double rightMargin = 0.5;
constexpr double topMargin = 0.5;
constexpr double bottomLimit = 1.0; // a row starting lower than this above the edge goes on a new page
constexpr double footerHeight = 0.8;
constexpr double rowGap = 0.01;
constexpr double lineAdvance = 1.25; // title, sub-title and date lines, in "X" heights
constexpr double dividerDrop = 1.1; // divider under the heading row, in "G" heights

bool isDateTime(const TField& field)
{
    return field.dataType() == QMetaType::QDateTime || field.dataType() == QMetaType::QDate;
}

// The text of a value in a column. Dates read as the user's short date, like the
// date line above them, with the time of day when there is one.
QString cellText(const TField& field, const Platform::RegionalSettings& regional)
{
    if (!isDateTime(field) || field.isNull())
        return field.asString();
    return Platform::formatDateTime(field.asDateTime(), regional);
}

} // namespace

Qt::Alignment horizontalAlignment(Qt::Alignment a)
{
    if (a & Qt::AlignHCenter)
        return Qt::AlignHCenter;
    if (a & Qt::AlignRight)
        return Qt::AlignRight;
    return Qt::AlignLeft;
}

// The working state of one build.
struct TReportDesign::Build {
    TPageDocument* win;
    std::vector<TField*> columns; // by position in Fields; null where the record set lacks the name
    double width[maxColumns] = {};
    double labelWidth[maxColumns] = {};
    double w = 0, h = 0, m = 0;
    double x = 0, y = 0;
    double divider = 0;
    bool dividerSet = false;
    bool pageStarted = false;
    Platform::RegionalSettings regional = Platform::regionalSettings();

    double xHeight(const TFont& font)
    {
        win->setTextFont(font);
        return win->GetTextHeight(QStringLiteral("X"));
    }
};

TReportDesign::TReportDesign(QObject* owner) : QObject(owner) { }

void TReportDesign::setFields(const QStringList& names)
{
    m_fields.clear();
    for (const QString& name : names)
        if (!isSecretColumn(name))
            m_fields << name;
    m_fields = m_fields.mid(0, maxColumns);
}

bool TReportDesign::isSecretColumn(const QString& name)
{
    static const QRegularExpression secret(QStringLiteral("^\\s*(USER_PASSWORD|PW([1-9]|1[0-9]|2[0-5]))\\s*$"),
                                           QRegularExpression::CaseInsensitiveOption);
    return secret.match(name).hasMatch();
}

QString TReportDesign::readableHeading(const QString& name)
{
    // Columns whose words the schema runs together, in the words the setup editor
    // uses for them.
    static const QHash<QString, QString> known {
        {QStringLiteral("PWAGING"), QStringLiteral("Password Aging")},
        {QStringLiteral("PWKEEPHIST"), QStringLiteral("Password History")},
        {QStringLiteral("PWMUSTCHANGE"), QStringLiteral("Must Change Password")},
        {QStringLiteral("PWNEVEREXPIRES"), QStringLiteral("Password Never Expires")},
        {QStringLiteral("PWNOCHANGE"), QStringLiteral("Can't Change Password")},
        {QStringLiteral("PWCOUNT"), QStringLiteral("Passwords Remembered")},
        {QStringLiteral("PWSETDATE"), QStringLiteral("Password Set Date")},
        {QStringLiteral("PWMAXDAYS"), QStringLiteral("Password Expire Days")},
        {QStringLiteral("PWMINDAYS"), QStringLiteral("Password Min. Days")},
        {QStringLiteral("PWMINSIZE"), QStringLiteral("Password Min. Size")},
        {QStringLiteral("ACCTLOCKING"), QStringLiteral("Account Locking")},
        {QStringLiteral("LOCKED"), QStringLiteral("Account Locked")},
        {QStringLiteral("ALLOWEDATTEMPTS"), QStringLiteral("Allowed Attempts")},
        {QStringLiteral("LOGINATTEMPTS"), QStringLiteral("Login Attempts")},
        {QStringLiteral("CUSTOMACCTPOLICY"), QStringLiteral("Custom Account Policy")},
        {QStringLiteral("LOGCOUNT"), QStringLiteral("Log Entry")},
        {QStringLiteral("USER_DEF1"), QStringLiteral("Field 1")},
        {QStringLiteral("USER_DEF2"), QStringLiteral("Field 2")},
    };
    const QString upper = name.trimmed().toUpper();
    if (const auto it = known.constFind(upper); it != known.cend())
        return it.value();
    // Words split at underscores and where a small letter meets a capital.
    QString spaced = name.trimmed();
    spaced.replace(QRegularExpression(QStringLiteral("([a-z0-9])([A-Z])")), QStringLiteral("\\1 \\2"));
    QStringList words;
    for (const QString& word : spaced.split(QRegularExpression(QStringLiteral("[_\\s]+")), Qt::SkipEmptyParts)) {
        if (word.compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0)
            words << QStringLiteral("ID");
        else
            words << word.left(1).toUpper() + word.mid(1).toLower();
    }
    return words.join(QLatin1Char(' '));
}

QSize TReportDesign::paperSize(int index)
{
    switch (index) {
    case 0:
        return {85, 110};
    case 1:
        return {85, 140};
    case 2:
        return {83, 117};
    default:
        return {0, 0};
    }
}

QString TReportDesign::emptyText() const
{
    return m_emptyText.isEmpty() ? QStringLiteral("There are no entries for the %1.").arg(m_title) : m_emptyText;
}

void TReportDesign::Execute()
{
    if (!m_formComponent) {
        Platform::showError(QStringLiteral("FormComponent Property is not Assigned."));
        return;
    }
    m_formComponent->setDocumentTitle(m_title);
    m_formComponent->record([this](TPageDocument& pages) { BuildReport(&pages); });
}

void TReportDesign::BuildReport(TPageDocument* sender)
{
    (void)sender;
    if (!m_formComponent || !m_dataSet)
        return;
    TPageDocument* win = m_formComponent;
    QSize paper = paperSize(m_pageSizeIndex);
    if (!m_portrait)
        paper.transpose();
    win->setPhyWidth(paper.width());
    win->setPhyHeight(paper.height());

    Build b;
    b.win = win;
    b.w = win->phyWidth() / 10.0;
    b.h = win->phyHeight() / 10.0;
    b.m = win->textMargin();
    win->setTextFont(TFont(QStringLiteral("New Times Roman"), 12, true));
    win->setAlignment(Qt::AlignLeft);
    win->setSingleLine(false);
    win->setBoxText(false);
    win->setWordWrap(false);
    b.y = 99999.0;
    b.pageStarted = false;

    if (!m_dataSet->active())
        m_dataSet->open();
    m_dataSet->first();
    for (const QString& name : m_fields)
        b.columns.push_back(m_dataSet->findField(name));
    measureColumns(b);

    m_rowsBuilt = 0;
    while (!m_dataSet->eof()) {
        if (b.y > b.h - bottomLimit) {
            if (b.pageStarted) {
                pageFooter(b);
                win->NewPage();
            }
            pageHeader(b);
            b.y += b.xHeight(m_headingFont) + rowGap;
            b.pageStarted = true;
        }
        b.x = leftMargin;
        const double rowHeight = b.xHeight(m_bodyFont);
        for (size_t i = 0; i < b.columns.size(); ++i) {
            const TField* field = b.columns[i];
            if (!field)
                continue;
            win->setAlignment(horizontalAlignment(field->alignment()));
            win->StrRect(cellText(*field, b.regional), b.x, b.y, b.x + b.width[i] + 2 * b.m, b.y + rowHeight + 2 * b.m);
            b.x += b.width[i] + 2 * b.m;
        }
        m_dataSet->next();
        b.y += rowHeight + rowGap;
        ++m_rowsBuilt;
    }
    if (b.pageStarted && !m_closingText.isEmpty()) {
        if (b.y > b.h - bottomLimit) {
            pageFooter(b);
            win->NewPage();
            pageHeader(b);
            b.y += b.xHeight(m_headingFont) + rowGap;
        }
        win->setTextFont(m_bodyFont);
        win->setAlignment(Qt::AlignLeft);
        win->StrRect(m_closingText, leftMargin, b.y + rowGap, b.w - rightMargin,
                     b.y + rowGap + b.xHeight(m_bodyFont) + 2 * b.m);
    }
    // A report without rows still has its page, saying so under the headings.
    if (!b.pageStarted) {
        pageHeader(b);
        b.y += b.xHeight(m_headingFont) + rowGap;
        win->setTextFont(m_bodyFont);
        win->setAlignment(Qt::AlignLeft);
        win->StrRect(emptyText(), leftMargin, b.y, b.w - rightMargin, b.y + b.xHeight(m_bodyFont) + 2 * b.m);
        b.pageStarted = true;
    }
    pageFooter(b);
}

double TReportDesign::columnWidth(TPageDocument* win, const TField& field, const TFont& headingFont,
                                  const TFont& bodyFont, double* least)
{
    win->setTextFont(headingFont);
    double minimum = win->GetTextWidth(field.displayLabel());
    win->setTextFont(bodyFont);
    if (isDateTime(field))
        minimum = std::max(minimum, win->GetTextWidth(Platform::widestDateTime(Platform::regionalSettings())));
    if (least)
        *least = minimum;
    return std::max(minimum, win->GetTextWidth(QString(field.displayWidth(), QLatin1Char('o'))));
}

// Gives each column its width: its heading, its display width in letters "o", and
// for date-times room for any date-time. Columns that together would run past the
// paper give up the room beyond their heading (and date-time) alike; only when even
// that is too wide do all shrink alike, their cut texts ending in an ellipsis.
void TReportDesign::measureColumns(Build& b)
{
    double least[maxColumns] = {};
    double total = 0;
    double spare = 0;
    double margins = 0;
    for (size_t i = 0; i < b.columns.size(); ++i) {
        const TField* field = b.columns[i];
        if (!field)
            continue;
        b.width[i] = columnWidth(b.win, *field, m_headingFont, m_bodyFont, &least[i]);
        b.win->setTextFont(m_headingFont);
        b.labelWidth[i] = b.win->GetTextWidth(field->displayLabel());
        total += b.width[i] + 2 * b.m;
        spare += b.width[i] - least[i];
        margins += 2 * b.m;
    }
    const double room = b.w - leftMargin - rightMargin;
    const double excess = total - room;
    if (excess <= 0)
        return;
    if (excess <= spare) {
        for (size_t i = 0; i < b.columns.size(); ++i)
            b.width[i] -= (b.width[i] - least[i]) * excess / spare;
        return;
    }
    const double headings = total - spare - margins;
    if (headings <= 0)
        return;
    const double scale = std::max(0.0, room - margins) / headings;
    for (size_t i = 0; i < b.columns.size(); ++i)
        b.width[i] = least[i] * scale;
}

void TReportDesign::pageHeader(Build& b)
{
    TPageDocument* win = b.win;
    const Qt::Alignment titleAlign = m_titleCentered ? Qt::AlignHCenter : Qt::AlignLeft;
    b.y = topMargin;
    if (m_pageNumLocation == pnsUpperRight || !m_title.isEmpty()) {
        const double titleX = b.xHeight(m_titleFont);
        win->setAlignment(titleAlign);
        if (!m_title.isEmpty())
            win->StrRect(m_title, leftMargin, b.y, b.w - rightMargin, b.y + titleX + 2 * b.m);
        if (m_pageNumLocation == pnsUpperRight) {
            const double headX = b.xHeight(m_headingFont);
            win->setAlignment(Qt::AlignRight);
            win->StrRect(m_pageNumLabel + QString::number(win->pageCount()), leftMargin, b.y, b.w - rightMargin,
                         b.y + headX + 2 * b.m);
            win->setAlignment(Qt::AlignLeft);
            win->setTextFont(m_titleFont);
        }
        b.y += lineAdvance * titleX;
    }
    if (!m_subTitle.isEmpty()) {
        const double subX = b.xHeight(m_subTitleFont);
        win->setAlignment(titleAlign);
        win->StrRect(m_subTitle, leftMargin, b.y, b.w - rightMargin, b.y + subX + 3 * b.m);
        // The date shares the sub-title's line unless it would overlap it.
        const bool collides = m_datePosition == dpNone || (m_datePosition == dpLeft && !m_titleCentered) ||
                              (m_datePosition == dpCenter && m_titleCentered);
        if (collides)
            b.y += lineAdvance * subX;
    }
    if (m_datePosition != dpNone) {
        const double headX = b.xHeight(m_headingFont);
        win->setAlignment(m_datePosition == dpLeft     ? Qt::AlignLeft
                          : m_datePosition == dpCenter ? Qt::AlignHCenter
                                                       : Qt::AlignRight);
        if (m_dateFormat.isEmpty())
            m_dateFormat = QStringLiteral("ddddd");
        win->StrRect(Platform::formatDate(m_dateFormat, QDate::currentDate()), leftMargin, b.y, b.w - rightMargin,
                     b.y + headX + 3 * b.m);
        win->setAlignment(Qt::AlignLeft);
        b.y += lineAdvance * b.xHeight(m_subTitleFont);
    }

    win->setTextFont(m_headingFont);
    b.x = leftMargin;
    const double headX = win->GetTextHeight(QStringLiteral("X"));
    const double headG = win->GetTextHeight(QStringLiteral("G"));
    for (size_t i = 0; i < b.columns.size(); ++i) {
        const TField* field = b.columns[i];
        if (!field)
            continue;
        const Qt::Alignment align = horizontalAlignment(field->alignment());
        win->setAlignment(align);
        const QString label = field->displayLabel();
        win->StrRect(label, b.x, b.y, b.x + b.width[i] + 2 * b.m, b.y + headX + 2 * b.m);
        b.divider = b.y + dividerDrop * headG;
        b.dividerSet = true;
        if (m_dividerStyle == dvsDash) {
            const double t = std::min(b.labelWidth[i], b.width[i]);
            const double s = align == Qt::AlignRight     ? b.x + b.width[i] - t
                             : align == Qt::AlignHCenter ? b.x + (b.width[i] - t) / 2
                                                         : b.x;
            win->Line(s + b.m, b.divider, s + t + 2 * b.m, b.divider);
        }
        b.x += b.width[i] + 2 * b.m;
    }
    // Without any column there is no heading row to underline.
    if (m_dividerStyle == dvsSolid && b.dividerSet)
        win->Line(leftMargin, b.divider, b.x, b.divider);
}

void TReportDesign::pageFooter(Build& b)
{
    if (m_pageNumLocation != pnsBottomCenter)
        return;
    TPageDocument* win = b.win;
    win->setTextFont(m_headingFont);
    win->setAlignment(Qt::AlignHCenter);
    win->StrRect(m_pageNumLabel + QString::number(win->pageCount()), leftMargin, b.h - footerHeight, b.w - rightMargin,
                 b.h);
}
