#include "TAdminGenerate.h"

#include "TAdminContext.h"
#include "TAdminError.h"
#include "TAdminFile.h"
#include "TAdminOutput.h"
#include "TAdminSession.h"

#include "database/TAliases.h"
#include "database/TSchema.h"
#include "rules/TAccessConstants.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

namespace {
// The alias as the configuration spells it, as the desktop names it in the header.
QString storedSpelling(const QString& alias)
{
    for (const QString& name : TAliases::aliasNames())
        if (name.compare(alias, Qt::CaseInsensitive) == 0)
            return name;
    return alias;
}
} // namespace

namespace TAdminGenerate {

void generate(TAdminContext& c)
{
    if (!c.isSet(QStringLiteral("cpp")))
        throw TAdminError::usage(QStringLiteral("Name the header to write with --cpp FILE."));
    const QString path = c.value(QStringLiteral("cpp"));
    if (path.isEmpty())
        throw TAdminError::usage(QStringLiteral("--cpp takes a file name."));
    TAdminSession& s = c.session();
    const QString alias = storedSpelling(s.alias());
    const QList<TAccessConstant> constants = ReadAccessConstants(s.statement(), s.alias());
    QStringList renamed;
    const QByteArray header = CppConstants(alias, constants, &renamed);

    if (c.isSet(QStringLiteral("check"))) {
        QFile file(path);
        if (!file.exists())
            throw TAdminError::refused(
                QStringLiteral("%1 does not exist; write it with: jovsecadm generate --cpp %1").arg(path));
        if (!file.open(QIODevice::ReadOnly))
            throw TAdminError::refused(QStringLiteral("Unable to read %1: %2").arg(path, file.errorString()));
        if (file.readAll() != header)
            throw TAdminError::refused(
                QStringLiteral("%1 is out of date: the access constants of %2 have changed since it was "
                               "written. Write it again with: jovsecadm generate --cpp %1")
                    .arg(path, alias));
        c.out().done(QStringLiteral("%1 is up to date with the %2 access constants of %3.")
                         .arg(path)
                         .arg(constants.size())
                         .arg(alias),
                     {{QStringLiteral("file"), path}, {QStringLiteral("up_to_date"), true}});
        return;
    }

    // Replaces the file only once the whole text is written, as the desktop does.
    try {
        TAdminFile file(path);
        file.write(header);
        file.commit();
    } catch (const TAdminError& e) {
        throw TAdminError::refused(QStringLiteral("Unable to Save File.\n") + e.message());
    }
    QString text = QStringLiteral("Wrote %1 access constants to %2.").arg(constants.size()).arg(path);
    if (!renamed.isEmpty())
        text += QStringLiteral("\nThese access names are not valid C++ names; the header names them:\n") +
                renamed.join(QLatin1Char('\n'));
    c.out().done(text, {{QStringLiteral("file"), path},
                        {QStringLiteral("constants"), int(constants.size())},
                        {QStringLiteral("renamed"), QJsonArray::fromStringList(renamed)}});
}

void addIndexes(TAdminContext& c)
{
    TAdminSession& s = c.session();
    const int added = TSchema::addMissingIndexes(s.alias());
    c.out().done(added == 0 ? QStringLiteral("The database has every index already.")
                            : QStringLiteral("Added %1 index(es).").arg(added),
                 {{QStringLiteral("added"), added}});
}

} // namespace TAdminGenerate
