#include "TAdminAudit.h"

#include "TAdminContext.h"
#include "TAdminError.h"
#include "TAdminFile.h"
#include "TAdminOutput.h"
#include "TAdminSession.h"
#include "TCsvWriter.h"

#include "database/TAuditTrail.h"

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
} // namespace

namespace TAdminAudit {

void verify(TAdminContext& c)
{
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
    filter.kind = c.value(QStringLiteral("kind"));
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
        const QString time = e.time.toString(QLatin1String(kTimeFormat));
        const QString objectId = e.objectId ? QString::number(*e.objectId) : QString();
        if (json) {
            const QJsonObject o {{QStringLiteral("event"), e.id},
                                 {QStringLiteral("time"), time},
                                 {QStringLiteral("os_user"), e.osUser},
                                 {QStringLiteral("machine"), e.machine},
                                 {QStringLiteral("user"), e.securityUser},
                                 {QStringLiteral("program"), e.program},
                                 {QStringLiteral("kind"), e.kind},
                                 {QStringLiteral("object_id"), e.objectId ? QJsonValue(*e.objectId) : QJsonValue()},
                                 {QStringLiteral("object"), e.objectName},
                                 {QStringLiteral("details"), e.details},
                                 {QStringLiteral("previous_hash"), QString::fromLatin1(e.previousHash)},
                                 {QStringLiteral("hash"), QString::fromLatin1(e.hash)}};
            *stream << (count ? ",\n" : "") << QJsonDocument(o).toJson(QJsonDocument::Compact);
        } else {
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

void upgrade(TAdminContext& c)
{
    const bool added = TAuditTrail::upgrade(c.session().database());
    c.out().done(added ? QStringLiteral("Added the audit trail; auditing is on.")
                       : QStringLiteral("The database has the audit trail already."),
                 {{QStringLiteral("added"), added}});
}

} // namespace TAdminAudit
