#include "database/TAuditTrail.h"

#include "database/EDatabaseError.h"
#include "database/TAuditArchive.h"
#include "database/TAuditHasher.h"
#include "database/TAuditVerifier.h"
#include "database/TDatabase.h"
#include "database/TTransaction.h"

#include <QCoreApplication>
#include <QJsonValue>
#include <QSqlError>
#include <QSqlQuery>
#include <QRegularExpression>
#include <QSqlRecord>
#include <QSysInfo>
#include <QVariant>

#include <pwd.h>
#include <unistd.h>

namespace {
const char* const kTimeFormat = "yyyy-MM-dd HH:mm:ss.zzz";
// The tries of a transaction that takes the head row.
constexpr int kTries = 20 * TDatabase::kConflictAttempts;
// The location a connection was last found to hold the trail at: a connection opened
// again on another database (SecDesk's Open) asks again.
const char* const kPresentProperty = "jovsecAuditTrailAt";
const char* const kColumns =
    "EVENT_ID, EVENT_TIME, OS_USER, MACHINE, SEC_USER, PROGRAM, KIND, OBJECT_ID, OBJECT_NAME, DETAILS, PREV_HASH, HASH";

QString loginName()
{
    if (const passwd* entry = getpwuid(geteuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return QString::fromLocal8Bit(qgetenv("USER"));
}

[[noreturn]] void fail(const QSqlQuery& query) { throw EDatabaseError(query.lastError().text()); }

void execute(QSqlQuery& query, const QString& sql, const QVariantList& binds = {})
{
    if (!query.prepare(sql))
        fail(query);
    for (const QVariant& value : binds)
        query.addBindValue(value);
    if (!query.exec())
        fail(query);
}

TAuditEvent eventAt(const QSqlQuery& query)
{
    TAuditEvent event;
    event.id = query.value(0).toLongLong();
    event.time = query.value(1).toDateTime();
    event.osUser = query.value(2).toString();
    event.machine = query.value(3).toString();
    event.securityUser = query.value(4).toString();
    event.program = query.value(5).toString();
    event.kind = query.value(6).toString();
    if (!query.value(7).isNull())
        event.objectId = query.value(7).toInt();
    event.objectName = query.value(8).toString();
    event.details = query.value(9).toString();
    event.previousHash = query.value(10).toString().trimmed().toLatin1();
    event.hash = query.value(11).toString().trimmed().toLatin1();
    return event;
}

QVariant textOrNull(const QString& text)
{
    return text.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(text);
}

// The statement that writes an event, and its values.
const QString& insertStatement()
{
    static const QString text =
        QStringLiteral("INSERT INTO AUDIT_TRAIL (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
            .arg(QLatin1String(kColumns));
    return text;
}

QVariantList insertValues(const TAuditEvent& event)
{
    return {event.id,
            event.time,
            textOrNull(event.osUser),
            textOrNull(event.machine),
            textOrNull(event.securityUser),
            textOrNull(event.program),
            event.kind,
            event.objectId ? QVariant(*event.objectId) : QVariant(QMetaType(QMetaType::Int)),
            textOrNull(event.objectName),
            textOrNull(event.details),
            QString::fromLatin1(event.previousHash),
            QString::fromLatin1(event.hash)};
}

// The newest event's time, as the engine writes it, beside the head row it is read with.
const char* const kLastTime = "CAST((SELECT EVENT_TIME FROM AUDIT_TRAIL WHERE EVENT_ID = %1) AS VARCHAR(24))";

QDateTime timeOf(const QVariant& engineText)
{
    return QDateTime::fromString(engineText.toString().left(23), QLatin1String(kTimeFormat));
}

// How far ahead of this program's clock the previous event's stamp may be and still be
// taken as this event's: the clocks of machines that disagree, or a clock set back.
constexpr qint64 kClockDisagreementMs = 10 * 60 * 1000;

// An event is not stamped before the one it follows: the days of the trail stay ranges
// of event numbers while the writers' clocks disagree by minutes. A stamp further
// ahead comes from a clock that is plainly wrong; the events after it keep their own
// time rather than all take that one.
QDateTime stampAfter(const QDateTime& previous)
{
    const QDateTime now = QDateTime::currentDateTime();
    if (previous.isValid() && previous > now && now.msecsTo(previous) <= kClockDisagreementMs)
        return previous;
    return now;
}

QString locationOf(const TDatabase& connection)
{
    const QSqlDatabase db = connection.sqlDatabase();
    return db.hostName() + QLatin1Char('/') + QString::number(db.port()) + QLatin1Char(':') + db.databaseName();
}

// Whether this connection has found the trail in the database it has open.
bool knownPresent(const TDatabase& connection)
{
    return connection.connected() && connection.property(kPresentProperty).toString() == locationOf(connection);
}

// The head row as a running audited transaction holds it: read once when the
// transaction takes it, moved on by each event appended, written back once at the end.
struct HeldHead {
    TDatabase* connection = nullptr;
    // The transaction found the database without the trail: its events are not kept,
    // and nobody asks again.
    bool absent = false;
    bool found = false;
    bool changed = false;
    // The newest event's number when the transaction read the head row.
    qint64 readAt = 0;
    qint64 lastId = 0;
    QByteArray lastHash;
    QDateTime lastTime;
    // The events appended, written after the head row has moved.
    QList<TAuditEvent> pending;
};

thread_local QList<HeldHead*> t_heldHeads;

HeldHead* heldHead(const TDatabase& connection)
{
    for (HeldHead* head : std::as_const(t_heldHeads))
        if (head->connection == &connection)
            return head;
    return nullptr;
}

class HoldScope {
public:
    explicit HoldScope(HeldHead& head) : m_head(head) { t_heldHeads.append(&m_head); }
    ~HoldScope() { t_heldHeads.removeOne(&m_head); }
    HoldScope(const HoldScope&) = delete;
    HoldScope& operator=(const HoldScope&) = delete;

private:
    HeldHead& m_head;
};

[[noreturn]] void headMissing() { throw EDatabaseError(QStringLiteral("The audit trail's head row is missing.")); }

// The head row as the transaction sees it, with the newest event's time.
const QString& headSelect()
{
    static const QString text = QStringLiteral("SELECT LAST_ID, LAST_HASH, %1 FROM AUDIT_HEAD WHERE HEAD_ID = 1")
                                    .arg(QLatin1String(kLastTime).arg(QLatin1String("AUDIT_HEAD.LAST_ID")));
    return text;
}

// Moves the head row from the event it was read at to the newest event of the
// transaction. A transaction updates the row once: a row updated twice in one
// transaction costs the engine a walk over all its old versions, and while any
// transaction keeps an old snapshot open (a backup, an isql session left open) those
// are never collected, so every event would cost more than the one before. A writer
// that committed since the head was read makes the update fail as a conflict, and the
// transaction runs again from a fresh read.
const QString& headMove()
{
    static const QString text = QStringLiteral(
        "UPDATE AUDIT_HEAD SET LAST_ID = ?, LAST_HASH = ? WHERE HEAD_ID = 1 AND LAST_ID = ? RETURNING LAST_ID");
    return text;
}

[[noreturn]] void headMoved()
{
    throw EDatabaseError(QStringLiteral("Another program added an audit event meanwhile."),
                         EDatabaseError::Reason::Conflict);
}

void readHead(TDatabase& connection, HeldHead& head)
{
    connection.perform([&] {
        QSqlQuery query(connection.sqlDatabase());
        query.setForwardOnly(true);
        execute(query, headSelect());
        head.found = query.next() && !query.value(0).isNull();
        if (head.found) {
            head.lastId = query.value(0).toLongLong();
            head.lastHash = query.value(1).toString().trimmed().toLatin1();
            head.lastTime = timeOf(query.value(2));
        }
        query.finish();
    });
}

// Takes the writer's turn before its work: the newest event's row, read with the head
// row's number and hash, stays locked until the transaction ends, so a writer that
// comes later waits here, before its work, and then reads the head row afresh, instead
// of losing its work at the end to one that moved the head row meanwhile. The head row
// itself is left to the one update that moves it. An empty trail has no such row, nor
// has a head row that names a missing event: the head row is locked instead.
const QString& turnSelect()
{
    static const QString text = QStringLiteral(
        "SELECT EVENT_ID, (SELECT LAST_HASH FROM AUDIT_HEAD WHERE HEAD_ID = 1), CAST(EVENT_TIME AS VARCHAR(24)) "
        "FROM AUDIT_TRAIL WHERE EVENT_ID = (SELECT LAST_ID FROM AUDIT_HEAD WHERE HEAD_ID = 1) WITH LOCK");
    return text;
}

const QString& headLock()
{
    static const QString text = QStringLiteral("UPDATE AUDIT_HEAD SET LAST_ID = LAST_ID WHERE HEAD_ID = 1");
    return text;
}

void takeTurn(TDatabase& connection, HeldHead& head)
{
    bool locked = false;
    connection.performWaiting([&] {
        QSqlQuery query(connection.sqlDatabase());
        query.setForwardOnly(true);
        execute(query, turnSelect());
        locked = query.next();
        if (locked) {
            head.found = true;
            head.lastId = query.value(0).toLongLong();
            head.lastHash = query.value(1).toString().trimmed().toLatin1();
            head.lastTime = timeOf(query.value(2));
        }
        query.finish();
    });
    if (locked)
        return;
    readHead(connection, head);
    if (head.found)
        connection.performWaiting([&] {
            QSqlQuery query(connection.sqlDatabase());
            execute(query, headLock());
        });
}

void insertEvent(TDatabase& connection, const TAuditEvent& event)
{
    connection.perform([&] {
        QSqlQuery query(connection.sqlDatabase());
        execute(query, insertStatement(), insertValues(event));
    });
}

void moveHead(TDatabase& connection, qint64 readAt, qint64 newestId, const QByteArray& newestHash)
{
    connection.performWaiting([&] {
        QSqlQuery query(connection.sqlDatabase());
        execute(query, headMove(), {newestId, QString::fromLatin1(newestHash), readAt});
        // The engine answers an update of no row with a row of nulls.
        const bool moved = query.next() && !query.value(0).isNull();
        query.finish();
        if (!moved)
            headMoved();
    });
}
} // namespace

QJsonObject TAuditEvent::toJson() const
{
    return {{QStringLiteral("event"), id},
            {QStringLiteral("time"), time.toString(QLatin1String(kTimeFormat))},
            {QStringLiteral("os_user"), osUser},
            {QStringLiteral("machine"), machine},
            {QStringLiteral("user"), securityUser},
            {QStringLiteral("program"), program},
            {QStringLiteral("kind"), kind},
            {QStringLiteral("object_id"), objectId ? QJsonValue(*objectId) : QJsonValue()},
            {QStringLiteral("object"), objectName},
            {QStringLiteral("details"), details},
            {QStringLiteral("previous_hash"), QString::fromLatin1(previousHash)},
            {QStringLiteral("hash"), QString::fromLatin1(hash)}};
}

TAuditEvent TAuditEvent::fromJson(const QJsonObject& json)
{
    TAuditEvent event;
    event.id = json.value(QLatin1String("event")).toInteger();
    event.time = QDateTime::fromString(json.value(QLatin1String("time")).toString(), QLatin1String(kTimeFormat));
    event.osUser = json.value(QLatin1String("os_user")).toString();
    event.machine = json.value(QLatin1String("machine")).toString();
    event.securityUser = json.value(QLatin1String("user")).toString();
    event.program = json.value(QLatin1String("program")).toString();
    event.kind = json.value(QLatin1String("kind")).toString();
    const QJsonValue objectId = json.value(QLatin1String("object_id"));
    if (objectId.isDouble())
        event.objectId = objectId.toInt();
    event.objectName = json.value(QLatin1String("object")).toString();
    event.details = json.value(QLatin1String("details")).toString();
    event.previousHash = json.value(QLatin1String("previous_hash")).toString().toLatin1();
    event.hash = json.value(QLatin1String("hash")).toString().toLatin1();
    return event;
}

QByteArray TAuditEvent::computeHash() const
{
    const QByteArray number = QByteArray::number(id);
    const QByteArray at = time.toString(QLatin1String(kTimeFormat)).toLatin1();
    const QByteArray os = osUser.toUtf8(), host = machine.toUtf8(), user = securityUser.toUtf8();
    const QByteArray by = program.toUtf8(), what = kind.toUtf8(), name = objectName.toUtf8();
    const QByteArray object = objectId ? QByteArray::number(*objectId) : QByteArray();
    const QByteArray changed = details.toUtf8();
    TAuditHasher hasher;
    return hasher.hexOf({previousHash, number, at, os, host, user, by, what, object, name, changed}).toByteArray();
}

QStringList TAuditTrail::buildStatements()
{
    return {
        QStringLiteral(
            "CREATE TABLE AUDIT_TRAIL (EVENT_ID BIGINT NOT NULL, EVENT_TIME TIMESTAMP NOT NULL, "
            "OS_USER VARCHAR(64) CHARACTER SET UTF8, MACHINE VARCHAR(128) CHARACTER SET UTF8, "
            "SEC_USER VARCHAR(48) CHARACTER SET UTF8, PROGRAM VARCHAR(64) CHARACTER SET UTF8, "
            "KIND VARCHAR(32) CHARACTER SET UTF8 NOT NULL, OBJECT_ID INTEGER, "
            "OBJECT_NAME VARCHAR(64) CHARACTER SET UTF8, DETAILS VARCHAR(4000) CHARACTER SET UTF8, "
            "PREV_HASH VARCHAR(64) CHARACTER SET ASCII NOT NULL, HASH VARCHAR(64) CHARACTER SET ASCII NOT NULL, "
            "PRIMARY KEY (EVENT_ID))"),
        QStringLiteral("CREATE TABLE AUDIT_HEAD (HEAD_ID INTEGER NOT NULL, LAST_ID BIGINT NOT NULL, "
                       "LAST_HASH VARCHAR(64) CHARACTER SET ASCII NOT NULL, PRIMARY KEY (HEAD_ID))"),
        QStringLiteral("INSERT INTO AUDIT_HEAD (HEAD_ID, LAST_ID, LAST_HASH) VALUES (1, 0, '%1')")
            .arg(QString::fromLatin1(originHash())),
        // Every index is written, synchronously, at the commit of each audited change:
        // the trail keeps two. A kind or a user is searched for from the newest event
        // down (SecDesk's viewer) or read with a range of time (export, report).
        QStringLiteral("CREATE INDEX AUDIT_TRAIL_TIME ON AUDIT_TRAIL (EVENT_TIME)"),
        // The newest events first, read from wherever the reader is, without a sort.
        QStringLiteral("CREATE DESCENDING INDEX AUDIT_TRAIL_ID_DESC ON AUDIT_TRAIL (EVENT_ID)"),
    };
}

QStringList TAuditTrail::kinds()
{
    using namespace TAuditKind;
    QStringList all;
    for (const char* kind :
         {LogonAccepted, LogonRefused,   AccountLocked,   NetworkLogon,    PasswordChanged, PasswordChangeRefused,
          UserAdded,     UserChanged,    UserDeleted,     UserUnlocked,    GroupAdded,      GroupChanged,
          GroupDeleted,  ConstantAdded,  ConstantChanged, ConstantDeleted, GrantGiven,      GrantTaken,
          PolicyChanged, ProgramChanged, LogCleared,      Imported,        Archived})
        all << QLatin1String(kind);
    return all;
}

QByteArray TAuditTrail::originHash() { return QByteArray(64, '0'); }

bool TAuditTrail::present(TDatabase& connection)
{
    if (knownPresent(connection))
        return true;
    bool found = false;
    connection.perform([&] {
        QSqlQuery query(connection.sqlDatabase());
        execute(query, QStringLiteral("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME IN "
                                      "('AUDIT_TRAIL', 'AUDIT_HEAD')"));
        found = query.next() && query.value(0).toInt() == 2;
    });
    if (found)
        connection.setProperty(kPresentProperty, locationOf(connection));
    return found;
}

bool TAuditTrail::upgrade(TDatabase& connection)
{
    // The tables come first, committed before a statement may write into them; an
    // index is added when a database has the tables from before that index existed,
    // and one the trail no longer keeps (by kind, by user) is dropped.
    const QStringList statements = buildStatements();
    QStringList missing;
    if (!present(connection)) {
        missing = statements;
    } else {
        QStringList indexes;
        connection.perform([&] {
            QSqlQuery query(connection.sqlDatabase());
            execute(query, QStringLiteral("SELECT TRIM(RDB$INDEX_NAME) FROM RDB$INDICES "
                                          "WHERE RDB$RELATION_NAME = 'AUDIT_TRAIL'"));
            while (query.next())
                indexes << query.value(0).toString();
        });
        static const QRegularExpression indexName(QStringLiteral("^CREATE (?:DESCENDING )?INDEX (\\w+)"));
        for (const QString& statement : statements) {
            const QRegularExpressionMatch match = indexName.match(statement);
            if (match.hasMatch() && !indexes.contains(match.captured(1)))
                missing << statement;
        }
        for (const char* retired : {"AUDIT_TRAIL_KIND", "AUDIT_TRAIL_USER"})
            if (indexes.contains(QLatin1String(retired)))
                missing << QStringLiteral("DROP INDEX %1").arg(QLatin1String(retired));
    }
    for (const QString& statement : missing)
        TTransaction::run(connection, [&] {
            QSqlQuery query(connection.sqlDatabase());
            execute(query, statement);
        });
    connection.setProperty(kPresentProperty, locationOf(connection));
    return !missing.isEmpty();
}

QString TAuditTrail::change(const QString& field, const QVariant& before, const QVariant& after)
{
    const QString was = before.toString(), is = after.toString();
    if (was == is)
        return {};
    return field + QStringLiteral(": ") + was + QStringLiteral(" -> ") + is + QLatin1Char('\n');
}

TAuditEvent TAuditTrail::event(const QString& kind, const QString& securityUser)
{
    static const QString login = loginName();
    static const QString machine = QSysInfo::machineHostName();
    TAuditEvent event;
    event.kind = kind;
    event.securityUser = securityUser;
    event.osUser = login;
    event.machine = machine;
    event.program = QCoreApplication::applicationName();
    return event;
}

TAuditEvent TAuditTrail::userEvent(const char* kind, const QString& userName, int userId, const QString& details)
{
    TAuditEvent e = event(QLatin1String(kind), userName);
    if (userId > 0)
        e.objectId = userId;
    e.objectName = userName;
    e.details = details;
    return e;
}

TAuditEvent TAuditTrail::append(TDatabase& connection, TAuditEvent event)
{
    HeldHead* held = connection.inTransaction() ? heldHead(connection) : nullptr;
    if (held ? held->absent : !present(connection))
        return {};
    QDateTime previousTime;
    if (held) {
        if (!held->found)
            headMissing();
        event.id = held->lastId + 1;
        event.previousHash = held->lastHash;
        previousTime = held->lastTime;
    } else {
        HeldHead own;
        takeTurn(connection, own);
        if (!own.found)
            headMissing();
        event.id = own.lastId + 1;
        event.previousHash = own.lastHash;
        previousTime = own.lastTime;
    }
    event.time = stampAfter(previousTime);
    event.hash = event.computeHash();
    if (held) {
        // Written once the work is done and the head row has moved (run()).
        held->lastId = event.id;
        held->lastHash = event.hash;
        held->lastTime = event.time;
        held->changed = true;
        held->pending.append(event);
        return event;
    }
    // The next writer chains onto this event, never beside it: the head row moves from
    // the event read, or the transaction runs again. Every writer moves the head row
    // before it writes its events, so none waits for another's event while holding
    // the row that one waits for.
    moveHead(connection, event.id - 1, event.id, event.hash);
    insertEvent(connection, event);
    return event;
}

void TAuditTrail::run(TDatabase& connection, const std::function<void()>& work)
{
    HeldHead head;
    head.connection = &connection;
    const HoldScope scope(head);
    const auto lockedWork = [&] {
        head.changed = false;
        // The number and hash the events of this transaction chain onto.
        takeTurn(connection, head);
        head.readAt = head.lastId;
        head.pending.clear();
        work();
        if (!head.changed)
            return;
        moveHead(connection, head.readAt, head.lastId, head.lastHash);
        for (const TAuditEvent& event : std::as_const(head.pending))
            insertEvent(connection, event);
    };
    // A writer that waited for its turn finds the head row moved, and runs again; it may
    // lose many times while seven others take their turns before it.
    if (knownPresent(connection)) {
        TTransaction::run(connection, lockedWork, kTries);
        return;
    }
    // Whether the database keeps the trail is asked in the transaction of the work, not
    // in one of its own: a command that changes one thing runs one transaction.
    bool trail = false;
    try {
        TTransaction::run(
            connection,
            [&] {
                trail = present(connection);
                head.absent = !trail;
                if (trail)
                    lockedWork();
                else
                    work();
            },
            TDatabase::kConflictAttempts);
        return;
    } catch (const EDatabaseError& failure) {
        if (!trail || failure.reason() != EDatabaseError::Reason::Conflict)
            throw;
    }
    TDatabase::pauseAfterConflict(TDatabase::kConflictAttempts);
    TTransaction::run(connection, lockedWork, kTries - TDatabase::kConflictAttempts);
}

void TAuditTrail::record(TDatabase& connection, const TAuditEvent& given)
{
    if (!present(connection))
        return;
    // An event on its own, as every logon writes one, runs the same three statements
    // each time: they are prepared once on the connection, not once an event.
    connection.runPrepared(
        [&] {
            TAuditEvent event = given;
            QDateTime previousTime;
            connection.performWaiting([&] {
                QVariantList head = connection.runPrepared(turnSelect());
                if (head.isEmpty()) {
                    head = connection.runPrepared(headSelect());
                    if (head.size() != 3 || head.at(0).isNull())
                        headMissing();
                    connection.runPrepared(headLock());
                }
                event.id = head.at(0).toLongLong() + 1;
                event.previousHash = head.at(1).toString().trimmed().toLatin1();
                previousTime = timeOf(head.at(2));
            });
            event.time = stampAfter(previousTime);
            event.hash = event.computeHash();
            connection.performWaiting([&] {
                const QVariantList moved =
                    connection.runPrepared(headMove(), {event.id, QString::fromLatin1(event.hash), event.id - 1});
                if (moved.isEmpty() || moved.at(0).isNull())
                    headMoved();
                connection.runPrepared(insertStatement(), insertValues(event));
            });
        },
        kTries);
}

void TAuditTrail::note(const QString& databaseName, const TAuditEvent& event)
{
    try {
        record(*TDatabase::connectionFor(databaseName), event);
    } catch (const EDatabaseError& e) {
        qWarning("The audit trail could not record %s: %s", qPrintable(event.kind), qPrintable(e.message()));
    }
}

TAuditTrail::Walk::Walk(qint64 lastId, const QByteArray& lastHash) : m_lastId(lastId) { m_verdict.headHash = lastHash; }

void TAuditTrail::Walk::breakAt(qint64 id, const QString& problem)
{
    m_verdict.firstBroken = id;
    m_verdict.problem = problem;
}

bool TAuditTrail::Walk::follow(const TAuditEvent& event)
{
    return follow(event.id, event.previousHash, event.hash, event.computeHash());
}

bool TAuditTrail::Walk::follow(qint64 id, QByteArrayView previousHash, QByteArrayView hash, QByteArrayView computed)
{
    ++m_verdict.events;
    if (computed != hash) {
        breakAt(id, QStringLiteral("Event #%1 was changed.").arg(id));
        return false;
    }
    if (id != m_lastId + 1) {
        breakAt(m_lastId + 1, id > m_lastId + 1
                                  ? QStringLiteral("Event #%1 is missing: it was deleted.").arg(m_lastId + 1)
                                  : QStringLiteral("Event #%1 is out of order.").arg(id));
        return false;
    }
    if (previousHash != m_verdict.headHash) {
        // Both hashes are sound: one of the two was written again from scratch.
        breakAt(m_lastId ? m_lastId : id,
                QStringLiteral("Event #%1 does not follow event #%2: #%2 was changed or #%1 was inserted.")
                    .arg(id)
                    .arg(m_lastId));
        return false;
    }
    m_lastId = id;
    m_verdict.headHash = hash.toByteArray();
    return true;
}

std::pair<qint64, QByteArray> TAuditTrail::start(TDatabase& connection)
{
    std::pair<qint64, QByteArray> result {0, originHash()};
    connection.perform([&] {
        QSqlQuery query(connection.sqlDatabase());
        // An archive takes the oldest events: while the first event is there, none was
        // taken, and no checkpoint is searched for among the events.
        execute(query, QStringLiteral("SELECT FIRST 1 EVENT_ID FROM AUDIT_TRAIL ORDER BY EVENT_ID"));
        if (!query.next() || query.value(0).toLongLong() == 1)
            return;
        query.finish();
        // The newest checkpoint records the newest archive, which took every event
        // older ones took. Its own hash is checked where the walk reaches it.
        execute(query, QStringLiteral("SELECT FIRST 1 DETAILS FROM AUDIT_TRAIL WHERE KIND = ? ORDER BY EVENT_ID DESC"),
                {QLatin1String(TAuditKind::Archived)});
        if (query.next())
            if (const auto upTo = TAuditArchive::archivedUpTo(query.value(0).toString()))
                result = *upTo;
    });
    return result;
}

TAuditTrail::Verdict TAuditTrail::verify(TDatabase& connection)
{
    Verdict verdict;
    // One snapshot: events added while the walk reads are not in it, nor in its head.
    TTransaction::run(connection, [&] {
        const auto [startId, startHash] = start(connection);
        Walk walk(startId, startHash);
        TAuditVerifier::walk(connection, walk);
        connection.perform([&] {
            QSqlQuery query(connection.sqlDatabase());
            if (walk.verdict().firstBroken)
                return;
            const qint64 lastId = walk.lastId();
            execute(query, QStringLiteral("SELECT LAST_ID, LAST_HASH FROM AUDIT_HEAD WHERE HEAD_ID = 1"));
            if (!query.next()) {
                walk.breakAt(lastId + 1, QStringLiteral("The audit trail's head row is missing."));
                return;
            }
            const qint64 headId = query.value(0).toLongLong();
            if (headId != lastId || query.value(1).toString().trimmed().toLatin1() != walk.lastHash())
                walk.breakAt(lastId + 1, headId > lastId
                                             ? QStringLiteral("Event #%1 is missing: it was deleted.").arg(lastId + 1)
                                             : QStringLiteral("The newest event #%1 does not match the audit "
                                                              "trail's head: it was changed or inserted.")
                                                   .arg(lastId));
        });
        verdict = walk.verdict();
    });
    return verdict;
}

TAuditTrail::Verdict TAuditTrail::verify(TDatabase& connection, qint64 firstId, qint64 lastId)
{
    Verdict verdict;
    TTransaction::run(connection, [&] {
        std::pair<qint64, QByteArray> before {firstId - 1, {}};
        connection.perform([&] {
            QSqlQuery query(connection.sqlDatabase());
            execute(query, QStringLiteral("SELECT HASH FROM AUDIT_TRAIL WHERE EVENT_ID = ?"), {before.first});
            if (query.next())
                before.second = query.value(0).toString().trimmed().toLatin1();
        });
        if (before.second.isEmpty()) {
            const auto origin = start(connection);
            if (origin.first == before.first)
                before = origin;
        }
        Walk walk(before.first, before.second);
        if (before.second.isEmpty())
            walk.breakAt(before.first, QStringLiteral("Event #%1 is missing: it was deleted.").arg(before.first));
        else
            TAuditVerifier::walk(connection, walk, firstId, lastId);
        verdict = walk.verdict();
    });
    return verdict;
}

std::pair<qint64, qint64> TAuditTrail::idsBetween(TDatabase& connection, const QDateTime& from, const QDateTime& to)
{
    std::pair<qint64, qint64> ids {0, 0};
    connection.perform([&] {
        QSqlQuery query(connection.sqlDatabase());
        execute(query,
                QStringLiteral("SELECT MIN(EVENT_ID), MAX(EVENT_ID) FROM AUDIT_TRAIL WHERE EVENT_TIME >= ? AND "
                               "EVENT_TIME <= ?"),
                {from, to});
        if (query.next())
            ids = {query.value(0).toLongLong(), query.value(1).toLongLong()};
    });
    return ids;
}

std::pair<qint64, QByteArray> TAuditTrail::head(TDatabase& connection)
{
    std::pair<qint64, QByteArray> result {0, originHash()};
    connection.perform([&] {
        QSqlQuery query(connection.sqlDatabase());
        execute(query, QStringLiteral("SELECT LAST_ID, LAST_HASH FROM AUDIT_HEAD WHERE HEAD_ID = 1"));
        if (query.next())
            result = {query.value(0).toLongLong(), query.value(1).toString().trimmed().toLatin1()};
    });
    return result;
}

void TAuditTrail::read(TDatabase& connection, const Filter& filter, const std::function<bool(const TAuditEvent&)>& each)
{
    QStringList where;
    QVariantList binds;
    if (filter.from.isValid()) {
        where << QStringLiteral("EVENT_TIME >= ?");
        binds << filter.from;
    }
    if (filter.to.isValid()) {
        where << QStringLiteral("EVENT_TIME <= ?");
        binds << filter.to;
    }
    if (!filter.securityUser.isEmpty()) {
        where << QStringLiteral("upper(SEC_USER) = ?");
        binds << filter.securityUser.toUpper();
    }
    if (!filter.kind.isEmpty()) {
        where << QStringLiteral("KIND = ?");
        binds << filter.kind;
    }
    if (filter.firstId) {
        where << QStringLiteral("EVENT_ID >= ?");
        binds << filter.firstId;
    }
    if (filter.lastId) {
        where << QStringLiteral("EVENT_ID <= ?");
        binds << filter.lastId;
    }
    // A connection broken under the read (the server restarted) is opened again and
    // the read runs once more: it goes on after the last event handed over, so none
    // is handed over twice, and a fetch that failed is not taken for the end. The
    // number goes into the text: bound as a parameter on the statement that follows
    // the reconnection, it was seen to find no rows.
    qint64 delivered = 0;
    connection.perform([&] {
        QStringList conditions = where;
        if (delivered)
            conditions << QStringLiteral("EVENT_ID > %1").arg(delivered);
        QString sql = QStringLiteral("SELECT %1 FROM AUDIT_TRAIL").arg(QLatin1String(kColumns));
        if (!conditions.isEmpty())
            sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
        sql += QStringLiteral(" ORDER BY EVENT_ID");
        QSqlQuery query(connection.sqlDatabase());
        query.setForwardOnly(true);
        execute(query, sql, binds);
        while (query.next()) {
            const TAuditEvent event = eventAt(query);
            if (!each(event)) {
                query.finish();
                return;
            }
            delivered = event.id;
        }
        if (query.lastError().isValid())
            fail(query);
        query.finish();
    });
}
