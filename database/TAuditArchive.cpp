#include "database/TAuditArchive.h"

#include "database/EDatabaseError.h"
#include "database/TDatabase.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <optional>

#include <unistd.h>

namespace {
void execute(QSqlQuery& query, const QString& sql, const QVariantList& binds = {})
{
    if (!query.prepare(sql))
        throw EDatabaseError(query.lastError().text());
    for (const QVariant& value : binds)
        query.addBindValue(value);
    if (!query.exec())
        throw EDatabaseError(query.lastError().text());
}

[[noreturn]] void cannotWrite(const QString& fileName, const QString& reason)
{
    throw EDatabaseError(
        QStringLiteral("Unable to write the file %1: %2. Nothing was archived.").arg(fileName, reason));
}

[[noreturn]] void brokenTrail(const TAuditTrail::Verdict& verdict)
{
    throw EDatabaseError(QStringLiteral("The audit trail is broken at event #%1: %2 Nothing was archived.")
                             .arg(verdict.firstBroken)
                             .arg(verdict.problem));
}

// The ids of the oldest events, up to the first at or after before.
void findRange(TDatabase& connection, const QDateTime& before, TAuditArchive::Result& range)
{
    connection.perform([&] {
        range = {};
        QSqlQuery query(connection.sqlDatabase());
        execute(query,
                QStringLiteral("SELECT MIN(EVENT_ID), MAX(EVENT_ID), (SELECT MIN(EVENT_ID) FROM AUDIT_TRAIL WHERE "
                               "EVENT_TIME >= ?) FROM AUDIT_TRAIL"),
                {before});
        if (query.next() && !query.value(0).isNull()) {
            range.firstId = query.value(0).toLongLong();
            range.lastId = query.value(2).isNull() ? query.value(1).toLongLong() : query.value(2).toLongLong() - 1;
        }
        query.finish();
    });
}

// Writes the range's events to the file, each checked against the chain; fills in how
// many and the last hash.
void writeFile(TDatabase& connection, const QString& fileName, TAuditArchive::Result& range)
{
    const auto [startId, startHash] = TAuditTrail::start(connection);
    TAuditTrail::Walk walk(startId, startHash);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        cannotWrite(fileName, file.errorString());
    TAuditTrail::Filter filter;
    filter.firstId = range.firstId;
    filter.lastId = range.lastId;
    bool written = true;
    TAuditTrail::read(connection, filter, [&](const TAuditEvent& event) {
        if (!walk.follow(event))
            return false;
        const QByteArray line = QJsonDocument(event.toJson()).toJson(QJsonDocument::Compact) + '\n';
        written = file.write(line) == line.size();
        return written;
    });
    if (walk.verdict().firstBroken)
        brokenTrail(walk.verdict());
    if (walk.lastId() != range.lastId) {
        walk.breakAt(walk.lastId() + 1, QStringLiteral("Event #%1 is missing: it was deleted.").arg(walk.lastId() + 1));
        brokenTrail(walk.verdict());
    }
    // The save file reports neither a failed flush of its buffer nor a failed sync (a
    // full disk found only then) and would put a cut-short file in place.
    if (!written || !file.flush() || ::fsync(file.handle()) != 0) {
        const QString reason = file.error() != QFileDevice::NoError ? file.errorString() : qt_error_string(errno);
        file.cancelWriting();
        cannotWrite(fileName, reason);
    }
    if (!file.commit())
        cannotWrite(fileName, file.errorString());
    range.events = walk.verdict().events;
    range.lastHash = walk.lastHash();
}
} // namespace

TAuditArchive::Result TAuditArchive::archive(TDatabase& connection, const QDateTime& before, const QString& fileName,
                                             const QString& securityUser)
{
    Result archived;
    findRange(connection, before, archived);
    if (archived.firstId == 0 || archived.lastId < archived.firstId)
        return {};
    writeFile(connection, fileName, archived);
    try {
        TAuditTrail::run(connection, [&] {
            connection.performWaiting([&] {
                QSqlQuery query(connection.sqlDatabase());
                // Another archive may have taken these events since they were read.
                execute(query,
                        QStringLiteral("SELECT COUNT(*), MIN(EVENT_ID), (SELECT HASH FROM AUDIT_TRAIL WHERE "
                                       "EVENT_ID = ?) FROM AUDIT_TRAIL WHERE EVENT_ID <= ?"),
                        {archived.lastId, archived.lastId});
                if (!query.next() || query.value(0).toLongLong() != archived.events ||
                    query.value(1).toLongLong() != archived.firstId ||
                    query.value(2).toString().trimmed().toLatin1() != archived.lastHash)
                    throw EDatabaseError(
                        QStringLiteral("The audit trail's oldest events changed while they were archived."));
                query.finish();
                execute(query, QStringLiteral("DELETE FROM AUDIT_TRAIL WHERE EVENT_ID <= ?"), {archived.lastId});
            });
            TAuditEvent checkpoint = TAuditTrail::event(QLatin1String(TAuditKind::Archived), securityUser);
            checkpoint.details = checkpointDetails(archived, fileName);
            archived.checkpointId = TAuditTrail::append(connection, checkpoint).id;
        });
    } catch (const EDatabaseError& failure) {
        QFile::remove(fileName);
        throw EDatabaseError(failure.message() + QStringLiteral(" Nothing was archived."), failure.reason());
    }
    return archived;
}

QString TAuditArchive::checkpointDetails(const Result& archived, const QString& fileName)
{
    // The file's name comes last: no name can put a line of its own before the others.
    return QStringLiteral("Events: %1\nFirst event: %2\nLast event: %3\nLast hash: %4\nFile: %5\n")
        .arg(archived.events)
        .arg(archived.firstId)
        .arg(archived.lastId)
        .arg(QString::fromLatin1(archived.lastHash), QFileInfo(fileName).absoluteFilePath());
}

std::optional<std::pair<qint64, QByteArray>> TAuditArchive::archivedUpTo(const QString& details)
{
    static const QRegularExpression lastEvent(QStringLiteral("^Last event: (\\d+)$"),
                                              QRegularExpression::MultilineOption);
    static const QRegularExpression lastHash(QStringLiteral("^Last hash: ([0-9a-f]{64})$"),
                                             QRegularExpression::MultilineOption);
    const QRegularExpressionMatch id = lastEvent.match(details), hash = lastHash.match(details);
    if (!id.hasMatch() || !hash.hasMatch())
        return std::nullopt;
    return std::pair {id.captured(1).toLongLong(), hash.captured(1).toLatin1()};
}

TAuditTrail::Verdict TAuditArchive::verifyFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EDatabaseError(QStringLiteral("Unable to read the file %1: %2").arg(fileName, file.errorString()));
    std::optional<TAuditTrail::Walk> walk;
    for (qint64 line = 1; !file.atEnd(); ++line) {
        const QByteArray text = file.readLine();
        const QJsonDocument json = QJsonDocument::fromJson(text);
        if (!json.isObject()) {
            TAuditTrail::Walk& at = walk ? *walk : walk.emplace();
            at.breakAt(at.lastId() + 1, QStringLiteral("Line %1 of the file is not an audit event.").arg(line));
            break;
        }
        const TAuditEvent event = TAuditEvent::fromJson(json.object());
        // An archive that does not start at the first event follows one taken before.
        if (!walk)
            walk.emplace(event.id - 1, event.id == 1 ? TAuditTrail::originHash() : event.previousHash);
        if (!walk->follow(event))
            break;
    }
    if (file.error() != QFileDevice::NoError)
        throw EDatabaseError(QStringLiteral("Unable to read the file %1: %2").arg(fileName, file.errorString()));
    return walk ? walk->verdict() : TAuditTrail::Walk().verdict();
}
