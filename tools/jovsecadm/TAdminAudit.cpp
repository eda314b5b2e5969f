#include "TAdminAudit.h"

#include "TAdminContext.h"
#include "TAdminError.h"
#include "TAdminFile.h"
#include "TAdminOutput.h"
#include "TAdminSession.h"
#include "TCsvWriter.h"

#include "database/TAuditArchive.h"
#include "database/TAuditTrail.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <memory>

namespace {
const char* const kTimeFormat = "yyyy-MM-dd HH:mm:ss.zzz";

TDatabase& trail(TAdminContext& c)
{
    TDatabase& db = c.session().database();
    if (!TAuditTrail::present(db))
        throw TAdminError::refused(QStringLiteral("Auditing is off: this security database has no audit trail. "
                                                  "\"jovsecadm upgrade\" adds it."));
    return db;
}

QDateTime moment(TAdminContext& c, const QString& option, bool endOfDay)
{
    if (!c.isSet(option))
        return {};
    const QString text = c.value(option);
    QDateTime at = QDateTime::fromString(text, Qt::ISODate);
    if (at.isValid())
        return at;
    const QDate day = c.date(option);
    return endOfDay ? QDateTime(day, QTime(23, 59, 59, 999)) : QDateTime(day, QTime(0, 0));
}

// A kind as the trail spells it, whatever its letter case. A kind the trail never
// holds is a mistake to be told, not a filter that quietly finds nothing.
QString kind(TAdminContext& c)
{
    if (!c.isSet(QStringLiteral("kind")))
        return {};
    const QString text = c.value(QStringLiteral("kind"));
    const QStringList kinds = TAuditTrail::kinds();
    for (const QString& known : kinds)
        if (known.compare(text, Qt::CaseInsensitive) == 0)
            return known;
    throw TAdminError::usage(
        QStringLiteral("--kind takes one of %1, not \"%2\".").arg(kinds.join(QStringLiteral(", ")), text));
}

void verifyArchive(TAdminContext& c)
{
    const QString fileName = c.value(QStringLiteral("archive"));
    const TAuditTrail::Verdict verdict = TAuditArchive::verifyFile(fileName);
    if (verdict.firstBroken != 0)
        throw TAdminError::refused(QStringLiteral("The archive %1 is broken at event #%2 (%3 events read): %4")
                                       .arg(fileName)
                                       .arg(verdict.firstBroken)
                                       .arg(verdict.events)
                                       .arg(verdict.problem));
    c.out().done(
        QStringLiteral("The archive %1 holds: %2 events, last hash %3")
            .arg(fileName)
            .arg(verdict.events)
            .arg(QString::fromLatin1(verdict.headHash)),
        {{QStringLiteral("events"), verdict.events}, {QStringLiteral("head"), QString::fromLatin1(verdict.headHash)}});
}
} // namespace

namespace TAdminAudit {

void verify(TAdminContext& c)
{
    if (c.isSet(QStringLiteral("archive"))) {
        verifyArchive(c);
        return;
    }
    const TAuditTrail::Verdict verdict = TAuditTrail::verify(trail(c));
    if (verdict.firstBroken != 0)
        throw TAdminError::refused(QStringLiteral("The audit trail is broken at event #%1 (%2 events read): %3")
                                       .arg(verdict.firstBroken)
                                       .arg(verdict.events)
                                       .arg(verdict.problem));
    c.out().done(
        QStringLiteral("The audit trail holds: %1 events, head %2")
            .arg(verdict.events)
            .arg(QString::fromLatin1(verdict.headHash)),
        {{QStringLiteral("events"), verdict.events}, {QStringLiteral("head"), QString::fromLatin1(verdict.headHash)}});
}

void head(TAdminContext& c)
{
    const auto [id, hash] = TAuditTrail::head(trail(c));
    c.out().record({QStringLiteral("Event"), QStringLiteral("Hash")}, {id, QString::fromLatin1(hash)});
}

void exportTrail(TAdminContext& c)
{
    TDatabase& db = trail(c);
    TAuditTrail::Filter filter;
    filter.from = moment(c, QStringLiteral("from"), false);
    filter.to = moment(c, QStringLiteral("to"), true);
    filter.securityUser = c.value(QStringLiteral("user"));
    filter.kind = kind(c);
    const bool csv = c.isSet(QStringLiteral("csv"));
    const bool json = !csv && c.out().json();
    const QString fileName = c.value(QStringLiteral("csv"));

    // The file takes the place of one of that name only once every event is in it.
    std::unique_ptr<TAdminFile> file;
    QTextStream fileStream;
    QTextStream* stream = &c.out().out();
    if (!fileName.isEmpty()) {
        file = std::make_unique<TAdminFile>(fileName);
        fileStream.setDevice(&file->device());
        stream = &fileStream;
    }
    if (json)
        *stream << "[\n";
    else
        *stream << "Event,Time,OS User,Machine,User,Program,Kind,Object ID,Object,Details,Previous Hash,Hash\n";
    qint64 count = 0;
    TAuditTrail::read(db, filter, [&](const TAuditEvent& e) {
        if (json) {
            *stream << (count ? ",\n" : "") << QJsonDocument(e.toJson()).toJson(QJsonDocument::Compact);
        } else {
            const QString time = e.time.toString(QLatin1String(kTimeFormat));
            const QString objectId = e.objectId ? QString::number(*e.objectId) : QString();
            *stream << e.id << ',' << time << ',' << TCsvWriter::cell(e.osUser) << ',' << TCsvWriter::cell(e.machine)
                    << ',' << TCsvWriter::cell(e.securityUser) << ',' << TCsvWriter::cell(e.program) << ','
                    << TCsvWriter::cell(e.kind) << ',' << objectId << ',' << TCsvWriter::cell(e.objectName) << ','
                    << TCsvWriter::cell(e.details) << ',' << e.previousHash << ',' << e.hash << '\n';
        }
        ++count;
        // Stops at the first write that fails (a full disk, a closed pipe).
        return stream->status() == QTextStream::Ok;
    });
    if (json)
        *stream << "\n]\n";
    stream->flush();
    if (file) {
        file->commit(stream);
        c.out().done(QStringLiteral("Exported %1 audit events to %2").arg(count).arg(fileName),
                     {{QStringLiteral("events"), count}, {QStringLiteral("file"), fileName}});
    }
}

void archive(TAdminContext& c)
{
    const QString fileName = c.value(QStringLiteral("to"));
    if (!c.isSet(QStringLiteral("before")) || fileName.isEmpty())
        throw TAdminError::usage(QStringLiteral("audit archive needs --before DATE and --to FILE."));
    const QDateTime before = moment(c, QStringLiteral("before"), false);
    if (QFileInfo::exists(fileName) && !c.isSet(QStringLiteral("overwrite")))
        throw TAdminError::refused(
            QStringLiteral("The file %1 exists already; --overwrite replaces it. Nothing was archived.").arg(fileName));
    const TAuditArchive::Result archived =
        TAuditArchive::archive(trail(c), before, fileName, QStringLiteral("SUPERVISOR"));
    if (archived.events == 0) {
        c.out().done(QStringLiteral("No audit event is older than %1: nothing was archived.")
                         .arg(c.value(QStringLiteral("before"))),
                     {{QStringLiteral("events"), 0}});
        return;
    }
    c.out().done(QStringLiteral("Archived %1 audit events (#%2 to #%3) to %4; event #%5 records it in the trail.")
                     .arg(archived.events)
                     .arg(archived.firstId)
                     .arg(archived.lastId)
                     .arg(fileName)
                     .arg(archived.checkpointId),
                 {{QStringLiteral("events"), archived.events},
                  {QStringLiteral("first"), archived.firstId},
                  {QStringLiteral("last"), archived.lastId},
                  {QStringLiteral("last_hash"), QString::fromLatin1(archived.lastHash)},
                  {QStringLiteral("checkpoint"), archived.checkpointId},
                  {QStringLiteral("file"), fileName}});
}

void upgrade(TAdminContext& c)
{
    TDatabase& db = c.session().database();
    const bool hadTrail = TAuditTrail::present(db);
    const bool added = TAuditTrail::upgrade(db);
    c.out().done(!added     ? QStringLiteral("The database has the audit trail already.")
                 : hadTrail ? QStringLiteral("Brought the audit trail's indexes up to date.")
                            : QStringLiteral("Added the audit trail; auditing is on."),
                 {{QStringLiteral("added"), added}});
}

} // namespace TAdminAudit
