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

#include <QDate>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>

#include <memory>

namespace {
QHash<int, QString> namesOf(TAdminSession& s, const QString& sql)
{
    QHash<int, QString> names;
    for (const QVariantList& r : s.rows(sql))
        names.insert(r.at(0).toInt(), r.at(1).toString());
    return names;
}

// The conditions of --from, --to and --user (export) or --before (clear).
QString where(TAdminContext& c, QVariantList& binds, bool clearing)
{
    QStringList conditions;
    if (clearing) {
        if (c.isSet(QStringLiteral("before"))) {
            conditions << QStringLiteral("ACCESS_DATE < ?");
            binds << QDateTime(c.date(QStringLiteral("before")), QTime(0, 0));
        }
        return conditions.isEmpty() ? QString() : QStringLiteral(" where ") + conditions.first();
    }
    if (c.isSet(QStringLiteral("from"))) {
        conditions << QStringLiteral("ACCESS_DATE >= ?");
        binds << QDateTime(c.date(QStringLiteral("from")), QTime(0, 0));
    }
    if (c.isSet(QStringLiteral("to"))) {
        conditions << QStringLiteral("ACCESS_DATE < ?");
        binds << QDateTime(c.date(QStringLiteral("to")).addDays(1), QTime(0, 0));
    }
    if (c.isSet(QStringLiteral("user"))) {
        conditions << QStringLiteral("USER_ID = ?");
        binds << c.session().user(c.value(QStringLiteral("user"))).id;
    }
    return conditions.isEmpty() ? QString() : QStringLiteral(" where ") + conditions.join(QStringLiteral(" and "));
}
} // namespace

namespace TAdminLog {

void exportLog(TAdminContext& c)
{
    TAdminSession& s = c.session();
    QVariantList binds;
    const QString condition = where(c, binds, false);
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

    QSqlQuery q(s.sqlDatabase());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("select ACCESS_DATE, LOGCOUNT, USER_ID, ACCESS_ID from LOG") + condition +
                   QStringLiteral(" order by LOGCOUNT")))
        throw EDatabaseError(q.lastError().text());
    for (int i = 0; i < binds.size(); ++i)
        q.bindValue(i, binds.at(i));
    if (!q.exec())
        throw EDatabaseError(q.lastError().text());

    if (json)
        *stream << "[\n";
    else
        *stream << "Access Date,Cnt,User Name,User ID,Acc ID,Access Label\n";
    qint64 count = 0;
    // Stops at the first write that fails (a full disk, a closed pipe).
    while (stream->status() == QTextStream::Ok && q.next()) {
        const QString date = q.value(0).toDateTime().date().toString(Qt::ISODate);
        const qint64 logCount = q.value(1).toLongLong();
        const int userId = q.value(2).toInt();
        const QVariant accessId = q.value(3);
        const QString userName = users.value(userId, QStringLiteral("Unknown"));
        const QString label = accessId.isNull() ? QStringLiteral("*** Logon ***")
                                                : constants.value(accessId.toInt(), QStringLiteral("Unknown"));
        if (json) {
            QJsonObject o {
                {QStringLiteral("access_date"), date},
                {QStringLiteral("count"), logCount},
                {QStringLiteral("user"), userName},
                {QStringLiteral("user_id"), userId},
                {QStringLiteral("access_id"), accessId.isNull() ? QJsonValue() : QJsonValue(accessId.toInt())},
                {QStringLiteral("access_label"), label}};
            *stream << (count ? ",\n" : "") << QJsonDocument(o).toJson(QJsonDocument::Compact);
        } else {
            *stream << date << ',' << logCount << ',' << TCsvWriter::cell(userName) << ',' << userId << ','
                    << (accessId.isNull() ? QString() : QString::number(accessId.toInt())) << ','
                    << TCsvWriter::cell(label) << '\n';
        }
        ++count;
    }
    q.clear();
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
    QVariantList binds;
    const QString condition = where(c, binds, true);
    int deleted = 0;
    s.transaction([&] {
        deleted = 0;
        const QVariantList keys = s.rows(QStringLiteral("select min(LOGCOUNT), max(LOGCOUNT) from LOG")).value(0);
        const qint64 first = keys.value(0).isNull() ? 0 : keys.value(0).toLongLong();
        const qint64 last = keys.value(1).isNull() ? -1 : keys.value(1).toLongLong();
        TLogSlices::forEach(first, last, [&](const QString& slice) {
            deleted += s.exec(
                QStringLiteral("delete from LOG") +
                    (condition.isEmpty() ? QStringLiteral(" where ") : condition + QStringLiteral(" and ")) + slice,
                binds);
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
