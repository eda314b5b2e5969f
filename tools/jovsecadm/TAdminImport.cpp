#include "TAdminImport.h"

#include "TAdminContext.h"
#include "TAdminError.h"
#include "TAdminOutput.h"
#include "TAdminSession.h"

#include "database/EDatabaseError.h"
#include "rules/TImportRun.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

namespace {
using Kind = TImportLine::Kind;

QString kindText(Kind kind)
{
    switch (kind) {
    case Kind::Heading:
        return QStringLiteral("heading");
    case Kind::Added:
        return QStringLiteral("added");
    case Kind::Skipped:
        return QStringLiteral("skipped");
    case Kind::Refused:
        break;
    }
    return QStringLiteral("refused");
}

// The line as the dialog shows it; a record the dialog shows no line for, with where
// it is and why.
QString lineText(const TImportLine& line)
{
    switch (line.kind) {
    case Kind::Heading:
        return line.status;
    case Kind::Added:
        return line.status.isEmpty() ? line.detail : line.status;
    case Kind::Skipped:
    case Kind::Refused:
        break;
    }
    return kindText(line.kind) + QStringLiteral(": ") + line.detail;
}
} // namespace

void TAdminImport::import(TAdminContext& c)
{
    const QString directory = c.arg(0);
    if (!QFileInfo(directory).isDir())
        throw TAdminError::refused(QStringLiteral("No such folder: %1").arg(directory));
    TAdminSession& session = c.session();
    const bool apply = c.isSet(QStringLiteral("apply"));
    const bool holdsRows = TImportRun::holdsUsersOrConstants(session.alias());
    if (apply && holdsRows && !c.isSet(QStringLiteral("again")))
        throw TAdminError::refused(
            QStringLiteral("The security database already holds users or access constants. The import adds every "
                           "user and access constant again, with new ids. Nothing was imported; use --again to "
                           "import anyway."));

    TAdminOutput& out = c.out();
    QJsonArray lines;
    TImportRun run(session.alias(), directory);
    run.systemInformation = c.isSet(QStringLiteral("system"));
    run.stopAtRefusal = false;
    run.onLine = [&](const TImportLine& line) {
        if (out.json()) {
            lines.append(QJsonObject {{QStringLiteral("result"), kindText(line.kind)},
                                      {QStringLiteral("text"), line.status},
                                      {QStringLiteral("record"), line.detail}});
        } else {
            out.out() << TAdminOutput::printable(lineText(line)) << '\n';
        }
    };
    run.onRestart = [&] {
        lines = QJsonArray();
        if (!out.json())
            out.out() << "** The database was busy: starting again; the lines above do not count **\n";
    };
    try {
        run.execute(apply ? TImportRun::Mode::Apply : TImportRun::Mode::DryRun);
    } catch (const EDatabaseError& e) {
        out.out().flush();
        throw TAdminError::refused(QStringLiteral("Nothing was imported: ") + e.message());
    }

    const int refused = run.count(Kind::Refused);
    QString summary = QStringLiteral("%1 added, %2 skipped, %3 refused")
                          .arg(run.count(Kind::Added))
                          .arg(run.count(Kind::Skipped))
                          .arg(refused);
    if (!apply)
        summary += QStringLiteral("; dry run, rolled back: nothing written (use --apply to write)");
    else if (!run.written())
        summary += QStringLiteral("; nothing written because records were refused");
    else
        summary += QStringLiteral("; written");
    if (!apply && holdsRows)
        summary += QStringLiteral("; the database already holds users or access constants, which the import adds "
                                  "again (--apply needs --again)");
    if (out.json()) {
        out.writeJson(QJsonObject {{QStringLiteral("lines"), lines},
                                   {QStringLiteral("added"), run.count(Kind::Added)},
                                   {QStringLiteral("skipped"), run.count(Kind::Skipped)},
                                   {QStringLiteral("refused"), refused},
                                   {QStringLiteral("written"), run.written()},
                                   {QStringLiteral("summary"), summary}});
    } else {
        out.out() << summary << '\n';
        out.out().flush();
    }
    if (refused > 0)
        throw TAdminError::refused(QStringLiteral("%1 record(s) refused; nothing was imported").arg(refused));
}
