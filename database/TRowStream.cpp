#include "database/TRowStream.h"

#include "database/EDatabaseError.h"
#include "database/TDatabase.h"
#include "database/TFirebirdEnv.h"
#include "database/TStatementText.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>

#include <ibase.h>

#include <cstring>

namespace {
bool isInteger(short type) { return type == SQL_SHORT || type == SQL_LONG || type == SQL_INT64; }
bool isText(short type) { return type == SQL_TEXT || type == SQL_VARYING; }
// The engine counts days from 17 November 1858, the Julian day below.
constexpr qint64 kEngineDayZero = 2400001;

// Holds a connection for the length of a read, as a record set holds it while open.
class ConnectionUse {
public:
    explicit ConnectionUse(const QString& databaseName) : m_db(TDatabase::connectionFor(databaseName))
    {
        m_db->attach();
    }
    ~ConnectionUse() { m_db->detach(); }
    TDatabase* operator->() const { return m_db; }
    TDatabase* get() const { return m_db; }

private:
    TDatabase* m_db;
};
} // namespace

bool TRowStream::Row::isNull(int column) const
{
    const Column& c = m_columns[size_t(column)];
    return c.null && *c.null < 0;
}

qint64 TRowStream::Row::integer(int column) const
{
    const Column& c = m_columns[size_t(column)];
    if (c.null && *c.null < 0)
        return 0;
    switch (c.type) {
    case SQL_SHORT: {
        qint16 v;
        std::memcpy(&v, c.data, sizeof v);
        return v;
    }
    case SQL_LONG: {
        qint32 v;
        std::memcpy(&v, c.data, sizeof v);
        return v;
    }
    default: {
        qint64 v;
        std::memcpy(&v, c.data, sizeof v);
        return v;
    }
    }
}

QByteArrayView TRowStream::Row::text(int column) const
{
    const Column& c = m_columns[size_t(column)];
    if (c.null && *c.null < 0)
        return {};
    if (c.type == SQL_VARYING) {
        quint16 length;
        std::memcpy(&length, c.data, sizeof length);
        return QByteArrayView(c.data + sizeof length, qsizetype(length));
    }
    qsizetype end = c.length;
    while (end > 0 && c.data[end - 1] == ' ')
        --end;
    return QByteArrayView(c.data, end);
}

std::pair<QDate, QTime> TRowStream::Row::timestamp(int column) const
{
    const Column& c = m_columns[size_t(column)];
    if (c.null && *c.null < 0)
        return {};
    ISC_TIMESTAMP value;
    std::memcpy(&value, c.data, sizeof value);
    return {QDate::fromJulianDay(kEngineDayZero + value.timestamp_date),
            QTime::fromMSecsSinceStartOfDay(int(value.timestamp_time / (ISC_TIME_SECONDS_PRECISION / 1000)))};
}

void TRowStream::read(const QString& databaseName, const QString& sql, const QStringList& columns,
                      const std::function<void()>& onStart, const std::function<void(const Row&)>& onRow)
{
    ConnectionUse db(databaseName);
    TStatementText statement;
    statement.setLines({sql});
    const QString text = statement.engineText();
    db->perform([&] {
        QSqlQuery q(db->sqlDatabase());
        q.setForwardOnly(true);
        if (!statement.run(q, text)) {
            const QString error = q.lastError().text();
            q.clear();
            throw EDatabaseError(error);
        }
        // The driver has prepared and run the statement in its transaction; the rows
        // are fetched here, into buffers of this reader, and the driver's clear() then
        // ends the transaction as it does for a record set.
        struct Release {
            QSqlQuery& q;
            ~Release() { q.clear(); }
        } release {q};
        const QVariant handle = q.result() ? q.result()->handle() : QVariant();
        if (!handle.isValid() || !handle.constData())
            throw EDatabaseError(QStringLiteral("The statement has no engine handle: %1").arg(sql));
        isc_stmt_handle stmt = *static_cast<const isc_stmt_handle*>(handle.constData());

        ISC_STATUS_ARRAY status {};
        const int count = q.record().count();
        std::vector<char> sqldaBytes(XSQLDA_LENGTH(std::max(count, 1)));
        XSQLDA* sqlda = reinterpret_cast<XSQLDA*>(sqldaBytes.data());
        sqlda->version = SQLDA_VERSION1;
        sqlda->sqln = short(std::max(count, 1));
        if (isc_dsql_describe(status, &stmt, SQLDA_VERSION1, sqlda))
            throw EDatabaseError(TFirebirdEnv::statusText(status));

        // One block for every column's value and null flag; varying text carries its
        // length in front.
        std::vector<size_t> offsets(size_t(sqlda->sqld));
        size_t bytes = 0;
        for (int c = 0; c < sqlda->sqld; ++c) {
            offsets[size_t(c)] = bytes;
            bytes += (size_t(sqlda->sqlvar[c].sqllen) + 2 + 7) & ~size_t(7);
        }
        std::vector<char> buffer(bytes);
        std::vector<short> nulls(size_t(sqlda->sqld));
        for (int c = 0; c < sqlda->sqld; ++c) {
            sqlda->sqlvar[c].sqldata = buffer.data() + offsets[size_t(c)];
            sqlda->sqlvar[c].sqlind = &nulls[size_t(c)];
        }

        Row row;
        row.m_columns.resize(size_t(columns.size()));
        for (qsizetype k = 0; k < columns.size(); ++k) {
            int found = -1;
            for (int c = 0; c < sqlda->sqld && found < 0; ++c) {
                const XSQLVAR& var = sqlda->sqlvar[c];
                const QString name = QString::fromUtf8(var.aliasname, var.aliasname_length);
                if (name.compare(columns[k], Qt::CaseInsensitive) == 0)
                    found = c;
            }
            if (found < 0)
                throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(columns[k]));
            const XSQLVAR& var = sqlda->sqlvar[found];
            const short type = short(var.sqltype & ~1);
            if (!(isInteger(type) && var.sqlscale == 0) && !isText(type) && type != SQL_TIMESTAMP)
                throw EDatabaseError(
                    QStringLiteral("Field '%1' is neither integer, text nor timestamp").arg(columns[k]));
            Row::Column& column = row.m_columns[size_t(k)];
            column.type = type;
            column.scale = var.sqlscale;
            column.data = var.sqldata;
            column.null = (var.sqltype & 1) ? var.sqlind : nullptr;
            column.length = var.sqllen;
        }

        onStart();
        ISC_STATUS result;
        while ((result = isc_dsql_fetch(status, &stmt, SQL_DIALECT_V6, sqlda)) == 0)
            onRow(row);
        if (result != 100)
            throw EDatabaseError(TFirebirdEnv::statusText(status));
    });
}
