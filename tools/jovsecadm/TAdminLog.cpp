#include "TAdminLog.h"

#include "database/TLogSlices.h"

#include "TAdminContext.h"
#include "TAdminError.h"
#include "TAdminFile.h"
#include "TAdminOutput.h"
#include "TAdminSession.h"
#include "TCsvWriter.h"

#include "database/EDatabaseError.h"
#include "database/TAuditTrail.h"
#include "database/TRowStream.h"

#include <QDate>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>

#include <memory>

namespace {
QHash<int, QString> namesOf(TAdminSession& s, const QString& sql)
{
    QHash<int, QString> names;
    for (const QVariantList& r : s.rows(sql))
        names.insert(r.at(0).toInt(), r.at(1).toString());
    return names;
}

// A day as the engine reads a timestamp: its midnight.
QString midnight(const QDate& day)
{
    return QStringLiteral("cast('%1 00:00:00' as timestamp)").arg(day.toString(Qt::ISODate));
}

// The conditions of --from, --to and --user (export) or --before (clear), written out:
// the values are dates and an id.
QString where(TAdminContext& c, bool clearing)
{
    QStringList conditions;
    if (clearing) {
        if (c.isSet(QStringLiteral("before")))
            conditions << QStringLiteral("ACCESS_DATE < ") + midnight(c.date(QStringLiteral("before")));
        return conditions.isEmpty() ? QString() : QStringLiteral(" where ") + conditions.first();
    }
    if (c.isSet(QStringLiteral("from")))
        conditions << QStringLiteral("ACCESS_DATE >= ") + midnight(c.date(QStringLiteral("from")));
    if (c.isSet(QStringLiteral("to")))
        conditions << QStringLiteral("ACCESS_DATE < ") + midnight(c.date(QStringLiteral("to")).addDays(1));
    if (c.isSet(QStringLiteral("user")))
        conditions << QStringLiteral("USER_ID = %1").arg(c.session().user(c.value(QStringLiteral("user"))).id);
    return conditions.isEmpty() ? QString() : QStringLiteral(" where ") + conditions.join(QStringLiteral(" and "));
}

// Thrown to end a read whose rows can no longer be written.
struct WriteFailed { };
} // namespace

namespace TAdminLog {

void exportLog(TAdminContext& c)
{
    TAdminSession& s = c.session();
    const QString condition = where(c, false);
    // The names come from the users and constants tables, which stay small whatever
    // the log's length; the log itself is read forward only, one row at a time.
    const QHash<int, QString> users = namesOf(s, QStringLiteral("select USER_ID, USER_NAME from USERS"));
    const QHash<int, QString> constants = namesOf(s, QStringLiteral("select ACCESS_ID, ACCESS_NAME from ACCESS"));

    // The file takes the place of one of that name only once every row is in it.
    std::unique_ptr<TAdminFile> file;
    QTextStream fileStream;
    QTextStream* stream = &c.out().out();
    const bool toFile = c.isSet(QStringLiteral("csv"));
    const QString fileName = c.value(QStringLiteral("csv"));
    if (toFile) {
        file = std::make_unique<TAdminFile>(fileName);
        fileStream.setDevice(&file->device());
        stream = &fileStream;
    }
    const bool json = c.out().json() && !toFile;

    qint64 count = 0;
    qint64 lastWritten = 0;
    bool started = false;
    try {
        // The log is read one row at a time. A connection that broke under the read
        // starts it over: the rows written already (in the order of their count) are
        // passed over.
        TRowStream::read(
            s.alias(),
            QStringLiteral("select cast(cast(ACCESS_DATE as date) as varchar(10)) as ACCESS_DAY, LOGCOUNT, USER_ID, "
                           "ACCESS_ID from LOG") +
                condition + QStringLiteral(" order by LOGCOUNT"),
            {QStringLiteral("ACCESS_DAY"), QStringLiteral("LOGCOUNT"), QStringLiteral("USER_ID"),
             QStringLiteral("ACCESS_ID")},
            [&] {
                if (started)
                    return;
                started = true;
                if (json)
                    *stream << "[\n";
                else
                    *stream << "Access Date,Cnt,User Name,User ID,Acc ID,Access Label\n";
            },
            [&](const TRowStream::Row& row) {
                const qint64 logCount = row.integer(1);
                if (count > 0 && logCount <= lastWritten)
                    return;
                // Stops at the first write that fails (a full disk, a closed pipe).
                if (stream->status() != QTextStream::Ok)
                    throw WriteFailed();
                const QString date = QString::fromUtf8(row.text(0));
                const int userId = int(row.integer(2));
                const bool logon = row.isNull(3);
                const int accessId = int(row.integer(3));
                const QString userName = users.value(userId, QStringLiteral("Unknown"));
                const QString label =
                    logon ? QStringLiteral("*** Logon ***") : constants.value(accessId, QStringLiteral("Unknown"));
                if (json) {
                    QJsonObject o {{QStringLiteral("access_date"), date},
                                   {QStringLiteral("count"), logCount},
                                   {QStringLiteral("user"), userName},
                                   {QStringLiteral("user_id"), userId},
                                   {QStringLiteral("access_id"), logon ? QJsonValue() : QJsonValue(accessId)},
                                   {QStringLiteral("access_label"), label}};
                    *stream << (count ? ",\n" : "") << QJsonDocument(o).toJson(QJsonDocument::Compact);
                } else {
                    *stream << date << ',' << logCount << ',' << TCsvWriter::cell(userName) << ',' << userId << ','
                            << (logon ? QString() : QString::number(accessId)) << ',' << TCsvWriter::cell(label)
                            << '\n';
                }
                lastWritten = logCount;
                ++count;
            });
    } catch (const WriteFailed&) { }
    if (json)
        *stream << "\n]\n";
    stream->flush();
    if (toFile) {
        file->commit(stream);
        c.out().done(QStringLiteral("Exported %1 log rows to %2").arg(count).arg(fileName),
                     {{QStringLiteral("rows"), count}, {QStringLiteral("file"), fileName}});
    }
}

void clear(TAdminContext& c)
{
    TAdminSession& s = c.session();
    const QString condition = where(c, true);
    int deleted = 0;
    TAuditTrail::run(s.database(), [&] {
        deleted = 0;
        const QVariantList keys = s.rows(QStringLiteral("select min(LOGCOUNT), max(LOGCOUNT) from LOG")).value(0);
        const qint64 first = keys.value(0).isNull() ? 0 : keys.value(0).toLongLong();
        const qint64 last = keys.value(1).isNull() ? -1 : keys.value(1).toLongLong();
        TLogSlices::forEach(first, last, [&](const QString& slice) {
            deleted +=
                s.exec(QStringLiteral("delete from LOG") +
                       (condition.isEmpty() ? QStringLiteral(" where ") : condition + QStringLiteral(" and ")) + slice);
        });
        s.audit(QLatin1String(TAuditKind::LogCleared), {},
                QStringLiteral("Rows deleted: %1\n").arg(deleted) +
                    (c.isSet(QStringLiteral("before"))
                         ? QStringLiteral("Before: %1\n").arg(c.value(QStringLiteral("before")))
                         : QString()));
    });
    c.out().done(QStringLiteral("Deleted %1 log rows").arg(deleted), {{QStringLiteral("deleted"), deleted}});
}

} // namespace TAdminLog
