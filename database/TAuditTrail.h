#pragma once
// The audit trail: who did what to the security database, and when, kept so that a
// changed, deleted or inserted event is found.
//
// Each event carries a SHA-256 hash over its own content and the hash of the event
// before it. The newest id and hash stand in a one-row head table, which every
// writer reads in the transaction that adds its event, taking its turn by locking the
// newest event's row, and moves on, once, from what it read: events are numbered and
// chained in commit order however many programs write at once, and an event commits
// with the change it records or not at all. A writer that waited for its turn finds
// the head row moved, gets a conflict, and its transaction runs again. An event on its
// own (record()) runs statements prepared once per connection.
//
// A database made before the trail existed has no audit tables; it works as before
// and events are not kept until `jovsecadm upgrade` adds them.

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>

class TDatabase;

// The kinds of events, as they stand in the trail.
namespace TAuditKind {
inline constexpr const char* LogonAccepted = "LogonAccepted";
inline constexpr const char* LogonRefused = "LogonRefused";
inline constexpr const char* AccountLocked = "AccountLocked";
inline constexpr const char* NetworkLogon = "NetworkLogon";
inline constexpr const char* PasswordChanged = "PasswordChanged";
inline constexpr const char* PasswordChangeRefused = "PasswordChangeRefused";
inline constexpr const char* UserAdded = "UserAdded";
inline constexpr const char* UserChanged = "UserChanged";
inline constexpr const char* UserDeleted = "UserDeleted";
inline constexpr const char* UserUnlocked = "UserUnlocked";
inline constexpr const char* GroupAdded = "GroupAdded";
inline constexpr const char* GroupChanged = "GroupChanged";
inline constexpr const char* GroupDeleted = "GroupDeleted";
inline constexpr const char* ConstantAdded = "ConstantAdded";
inline constexpr const char* ConstantChanged = "ConstantChanged";
inline constexpr const char* ConstantDeleted = "ConstantDeleted";
inline constexpr const char* GrantGiven = "GrantGiven";
inline constexpr const char* GrantTaken = "GrantTaken";
inline constexpr const char* PolicyChanged = "PolicyChanged";
inline constexpr const char* ProgramChanged = "ProgramChanged";
inline constexpr const char* LogCleared = "LogCleared";
inline constexpr const char* Imported = "Imported";
// The checkpoint an archive leaves in place of the events it took (see TAuditArchive).
inline constexpr const char* Archived = "Archived";
} // namespace TAuditKind

struct TAuditEvent {
    qint64 id = 0;
    QDateTime time;
    QString osUser;
    QString machine;
    // The security database's user the program acts for, or "SUPERVISOR".
    QString securityUser;
    QString program;
    QString kind;
    std::optional<int> objectId;
    QString objectName;
    // What changed, "field: old -> new" lines; never a password's value.
    QString details;
    QByteArray previousHash; // hex
    QByteArray hash; // hex

    // The hash of the content, chained to previousHash.
    QByteArray computeHash() const;
    // The event as export and archive files write it: event, time, os_user, machine,
    // user, program, kind, object_id (null when none), object, details,
    // previous_hash, hash.
    QJsonObject toJson() const;
    static TAuditEvent fromJson(const QJsonObject& json);
};

class TAuditTrail {
public:
    // The statements that add the trail's tables and indexes, in order.
    static QStringList buildStatements();
    // The hash before the first event.
    static QByteArray originHash();

    // Whether the database has the trail's tables.
    static bool present(TDatabase& connection);
    // Every kind of event, in the order of TAuditKind.
    static QStringList kinds();

    // Adds the tables when missing, adds the indexes that a database made before them
    // lacks and drops those the trail no longer keeps; false when nothing changed.
    static bool upgrade(TDatabase& connection);

    // "field: old -> new" and a line break when the values differ, else nothing.
    static QString change(const QString& field, const QVariant& before, const QVariant& after);

    // Who acts: the login name of the process and the machine, the program's name.
    static TAuditEvent event(const QString& kind, const QString& securityUser = QString());
    // An event about a security user: the user acts on their own account.
    static TAuditEvent userEvent(const char* kind, const QString& userName, int userId, const QString& details = {});

    // Adds the event in the connection's current transaction (one must be running),
    // filling in its id, time and hashes; returns it. Does nothing and returns an event
    // with id 0 when the database has no trail. Throws EDatabaseError. In a transaction
    // of run() the event chains onto the head run() holds, and run() writes the head;
    // in any other transaction it takes and writes the head row itself.
    static TAuditEvent append(TDatabase& connection, TAuditEvent event);
    // Runs work that appends events in a transaction of its own. On a database with
    // the trail the transaction takes its turn before the work, so another writer
    // cannot make it lose its work at the end, and moves the head row after it; a
    // transaction that waited for its turn runs again, as many times as eight busy
    // writers may need.
    static void run(TDatabase& connection, const std::function<void()>& work);
    // As append, in a transaction of its own (retried on conflicts), through statements
    // the connection keeps prepared (TDatabase::runPrepared).
    static void record(TDatabase& connection, const TAuditEvent& event);
    // As record, on a database name's connection, for an action that has happened (or
    // been refused) already: a trail that cannot be written is reported on standard
    // error, never thrown.
    static void note(const QString& databaseName, const TAuditEvent& event);

    struct Verdict {
        qint64 events = 0;
        // 0 when the chain holds; otherwise the id of the first event found changed,
        // deleted before, or inserted out of order.
        qint64 firstBroken = 0;
        QString problem;
        QByteArray headHash;
    };
    // Follows a chain event by event, oldest first, from the event before the first
    // (the origin, or the last one an archive took).
    class Walk {
    public:
        explicit Walk(qint64 lastId = 0, const QByteArray& lastHash = originHash());
        // False when the event breaks the chain; verdict() then names where.
        bool follow(const TAuditEvent& event);
        // The same for an event's id and hashes, its content's hash computed already.
        bool follow(qint64 id, QByteArrayView previousHash, QByteArrayView hash, QByteArrayView computed);
        // Names the event at id as broken, for a reason found outside the chain.
        void breakAt(qint64 id, const QString& problem);
        const Verdict& verdict() const { return m_verdict; }
        qint64 lastId() const { return m_lastId; }
        const QByteArray& lastHash() const { return m_verdict.headHash; }

    private:
        Verdict m_verdict;
        qint64 m_lastId;
    };
    // Where the trail's chain starts: the last event the newest archive took, as its
    // checkpoint records it, or the origin (0) when nothing was archived.
    static std::pair<qint64, QByteArray> start(TDatabase& connection);
    // Walks the whole trail in id order, in one snapshot of it, from start(): events an
    // archive took are not missing, any other event is. Throws EDatabaseError.
    static Verdict verify(TDatabase& connection);
    // Walks the events firstId to lastId alone (what a report prints), and their link to
    // the event before them as it stands, or to where the chain starts.
    static Verdict verify(TDatabase& connection, qint64 firstId, qint64 lastId);
    // The first and last event ids stamped from one time to another, both included;
    // {0, 0} when there are none.
    static std::pair<qint64, qint64> idsBetween(TDatabase& connection, const QDateTime& from, const QDateTime& to);
    // The newest event's id and hash as the head table holds them.
    static std::pair<qint64, QByteArray> head(TDatabase& connection);

    struct Filter {
        QDateTime from;
        QDateTime to;
        QString securityUser;
        QString kind;
        // Event ids, both included; 0 sets no bound.
        qint64 firstId = 0;
        qint64 lastId = 0;
    };
    // Calls each for every event the filter lets through, oldest first; stops when
    // it returns false.
    static void read(TDatabase& connection, const Filter& filter, const std::function<bool(const TAuditEvent&)>& each);
};
