#include "database/TAuditVerifier.h"

#include "database/EDatabaseError.h"
#include "database/TAuditHasher.h"
#include "database/TDatabase.h"
#include "database/TRowStream.h"

#include <QSemaphore>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <array>
#include <atomic>
#include <charconv>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace {
// Details up to this many bytes come with their row. The engine fills and copies a
// row's whole declared width, 16 KB for the details column itself, for every event;
// the rare longer details are read apart by the event's id.
constexpr int kShortDetails = 1000;
constexpr int kBatchEvents = 256;
constexpr int kBatches = 4;

// The time comes as the engine's timestamp rather than text it would format for every
// row, and the hashes as bytes rather than ASCII converted to the connection's UTF-8:
// the same bytes, for less of the engine's time.
const char* const kSelect =
    "SELECT EVENT_ID, EVENT_TIME, OS_USER, MACHINE, SEC_USER, PROGRAM, KIND, OBJECT_ID, OBJECT_NAME, "
    "CASE WHEN OCTET_LENGTH(DETAILS) <= %1 THEN CAST(DETAILS AS VARCHAR(%1) CHARACTER SET OCTETS) END "
    "AS SHORT_DETAILS, OCTET_LENGTH(DETAILS) AS DETAILS_BYTES, "
    "CAST(PREV_HASH AS VARCHAR(64) CHARACTER SET OCTETS) AS PREV_HASH_BYTES, "
    "CAST(HASH AS VARCHAR(64) CHARACTER SET OCTETS) AS HASH_BYTES FROM AUDIT_TRAIL";
enum Column {
    EventId,
    EventTime,
    OsUser,
    Machine,
    SecUser,
    Program,
    Kind,
    ObjectId,
    ObjectName,
    ShortDetails,
    DetailsBytes,
    PreviousHash,
    Hash
};
// The texts of an event, in the order of the columns they come from.
constexpr std::array kTextColumns = {OsUser,     Machine,      SecUser,      Program, Kind,
                                     ObjectName, ShortDetails, PreviousHash, Hash};
enum Text {
    OsUserText,
    MachineText,
    SecUserText,
    ProgramText,
    KindText,
    ObjectNameText,
    DetailsText,
    PreviousHashText,
    HashText
};

struct Event {
    qint64 id = 0;
    std::optional<qint64> objectId;
    QDate date;
    QTime time;
    // Where each text ends in the batch's bytes; it starts where the one before ends.
    std::array<qsizetype, kTextColumns.size()> ends {};
};

struct Batch {
    std::vector<Event> events;
    QByteArray texts;
    bool last = false;
};

// "yyyy-MM-dd HH:mm:ss.zzz", the hashed form of the time, without the cost of a
// QDateTime; 23 characters.
void formatTime(const QDate& date, const QTime& time, char* at)
{
    const auto digits = [](char* to, int value, int count) {
        for (int i = count - 1; i >= 0; --i, value /= 10)
            to[i] = char('0' + value % 10);
    };
    int year = 0, month = 0, day = 0;
    date.getDate(&year, &month, &day);
    digits(at, year, 4);
    at[4] = '-';
    digits(at + 5, month, 2);
    at[7] = '-';
    digits(at + 8, day, 2);
    at[10] = ' ';
    digits(at + 11, time.hour(), 2);
    at[13] = ':';
    digits(at + 14, time.minute(), 2);
    at[16] = ':';
    digits(at + 17, time.second(), 2);
    at[19] = '.';
    digits(at + 20, time.msec(), 3);
}

// Events handed in batches from the thread that fetches them to one that hashes them and
// follows the chain, through a ring of kBatches batches: the fetching thread fills one
// while the other works through those filled before.
class Pipeline {
public:
    explicit Pipeline(TAuditTrail::Walk& walk) : m_walk(walk), m_worker([this] { work(); }) { }
    // Ends the worker without following the events filled last: a read that failed or
    // starts over may have left one of them half made.
    ~Pipeline()
    {
        if (m_worker.joinable())
            filling().events.clear();
        finish();
    }
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    // Whether the walk has found a broken event: there is no need to fetch more.
    bool broken() const { return m_broken.load(std::memory_order_relaxed); }
    // The batch the fetching thread fills.
    Batch& filling() { return m_ring[m_filled % kBatches]; }
    // Passes the batch filled to the worker and takes the next free one.
    void hand()
    {
        m_full.release();
        ++m_filled;
        m_free.acquire();
        Batch& next = filling();
        next.events.clear();
        next.texts.resize(0);
    }
    // Passes the last batch and waits until the walk has followed it.
    void finish()
    {
        if (!m_worker.joinable())
            return;
        filling().last = true;
        m_full.release();
        m_worker.join();
    }

private:
    void work()
    {
        TAuditHasher hasher;
        char number[24], objectId[24], at[23];
        for (int taken = 0;; ++taken) {
            m_full.acquire();
            const Batch& batch = m_ring[taken % kBatches];
            qsizetype start = 0;
            for (const Event& event : batch.events) {
                if (broken())
                    break;
                std::array<QByteArrayView, kTextColumns.size()> text;
                for (size_t k = 0; k < text.size(); ++k) {
                    text[k] = QByteArrayView(batch.texts.constData() + start, event.ends[k] - start);
                    start = event.ends[k];
                }
                const QByteArrayView id(number, std::to_chars(number, number + sizeof number, event.id).ptr - number);
                const QByteArrayView object =
                    event.objectId
                        ? QByteArrayView(objectId,
                                         std::to_chars(objectId, objectId + sizeof objectId, *event.objectId).ptr -
                                             objectId)
                        : QByteArrayView();
                QByteArrayView time;
                if (event.date.isValid()) {
                    formatTime(event.date, event.time, at);
                    time = QByteArrayView(at, sizeof at);
                }
                const QByteArrayView computed = hasher.hexOf(
                    {text[PreviousHashText], id, time, text[OsUserText], text[MachineText], text[SecUserText],
                     text[ProgramText], text[KindText], object, text[ObjectNameText], text[DetailsText]});
                if (!m_walk.follow(event.id, text[PreviousHashText], text[HashText], computed))
                    m_broken.store(true, std::memory_order_relaxed);
            }
            const bool last = batch.last;
            m_free.release();
            if (last)
                return;
        }
    }

    TAuditTrail::Walk& m_walk;
    std::array<Batch, kBatches> m_ring;
    qint64 m_filled = 0;
    // The fetching thread holds one batch; the others start free.
    QSemaphore m_free {kBatches - 1};
    QSemaphore m_full {0};
    std::atomic<bool> m_broken {false};
    std::thread m_worker;
};

// Details longer than a row brings, read by the event's id in the walk's transaction.
class LongDetails {
public:
    explicit LongDetails(TDatabase& connection) : m_connection(connection) { }

    QByteArray of(qint64 id)
    {
        QByteArray details;
        m_connection.perform([&] {
            if (!m_query) {
                m_query.emplace(m_connection.sqlDatabase());
                m_query->setForwardOnly(true);
                if (!m_query->prepare(QStringLiteral("SELECT DETAILS FROM AUDIT_TRAIL WHERE EVENT_ID = ?")))
                    throw EDatabaseError(m_query->lastError().text());
            }
            m_query->addBindValue(id);
            if (!m_query->exec())
                throw EDatabaseError(m_query->lastError().text());
            if (m_query->next())
                details = m_query->value(0).toString().toUtf8();
            m_query->finish();
        });
        return details;
    }

private:
    TDatabase& m_connection;
    std::optional<QSqlQuery> m_query;
};
} // namespace

void TAuditVerifier::walk(TDatabase& connection, TAuditTrail::Walk& walk, qint64 firstId, qint64 lastId)
{
    QString sql = QString::fromLatin1(kSelect).arg(kShortDetails);
    if (lastId > 0)
        sql += QStringLiteral(" WHERE EVENT_ID BETWEEN %1 AND %2").arg(firstId).arg(lastId);
    sql += QStringLiteral(" ORDER BY EVENT_ID");
    const TAuditTrail::Walk start = walk;
    LongDetails longDetails(connection);
    std::unique_ptr<Pipeline> pipeline;
    struct Stop { };
    try {
        TRowStream::read(
            connection.databaseName(), sql,
            {QStringLiteral("EVENT_ID"), QStringLiteral("EVENT_TIME"), QStringLiteral("OS_USER"),
             QStringLiteral("MACHINE"), QStringLiteral("SEC_USER"), QStringLiteral("PROGRAM"), QStringLiteral("KIND"),
             QStringLiteral("OBJECT_ID"), QStringLiteral("OBJECT_NAME"), QStringLiteral("SHORT_DETAILS"),
             QStringLiteral("DETAILS_BYTES"), QStringLiteral("PREV_HASH_BYTES"), QStringLiteral("HASH_BYTES")},
            [&] {
                // A read that starts over drops what was made of the rows so far.
                pipeline.reset();
                walk = start;
                pipeline = std::make_unique<Pipeline>(walk);
            },
            [&](const TRowStream::Row& row) {
                if (pipeline->broken())
                    throw Stop {};
                Batch& batch = pipeline->filling();
                Event& event = batch.events.emplace_back();
                event.id = row.integer(EventId);
                std::tie(event.date, event.time) = row.timestamp(EventTime);
                if (!row.isNull(ObjectId))
                    event.objectId = row.integer(ObjectId);
                for (size_t k = 0; k < kTextColumns.size(); ++k) {
                    if (kTextColumns[k] == ShortDetails && row.integer(DetailsBytes) > kShortDetails)
                        batch.texts.append(longDetails.of(event.id));
                    else
                        batch.texts.append(row.text(kTextColumns[k]));
                    event.ends[k] = batch.texts.size();
                }
                if (batch.events.size() == kBatchEvents)
                    pipeline->hand();
            });
    } catch (const Stop&) { }
    if (pipeline)
        pipeline->finish();
}
