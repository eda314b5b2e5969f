#include "database/TPreparedStatement.h"

#include "database/EDatabaseError.h"
#include "database/TFirebirdEnv.h"

#include <QDateTime>

#include <ibase.h>

#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <vector>

static_assert(std::is_same_v<isc_db_handle, unsigned int> && std::is_same_v<isc_tr_handle, unsigned int> &&
              std::is_same_v<isc_stmt_handle, unsigned int>);

namespace {
void check(const ISC_STATUS* status)
{
    if (status[0] == 1 && status[1])
        throw EDatabaseError(TFirebirdEnv::statusText(status));
}

struct DescriptorFree {
    void operator()(XSQLDA* descriptor) const { std::free(descriptor); }
};
using Descriptor = std::unique_ptr<XSQLDA, DescriptorFree>;

Descriptor descriptor(int columns)
{
    Descriptor d(static_cast<XSQLDA*>(std::calloc(1, XSQLDA_LENGTH(columns))));
    d->version = SQLDA_VERSION1;
    d->sqln = short(columns);
    return d;
}

// The engine's date-time: days since 17 November 1858 and ten-thousandths of a second.
ISC_TIMESTAMP timestamp(const QDateTime& at)
{
    static const QDate base(1858, 11, 17);
    ISC_TIMESTAMP value;
    value.timestamp_date = ISC_DATE(base.daysTo(at.date()));
    value.timestamp_time = ISC_TIME(at.time().msecsSinceStartOfDay() * 10);
    return value;
}
} // namespace

struct TPreparedStatement::Buffers {
    Descriptor in;
    Descriptor out;
    std::vector<short> inNull;
    std::vector<QByteArray> inData;
    // Each parameter as the engine described it, before a value's type replaced it.
    std::vector<XSQLVAR> described;
    std::vector<short> outNull;
    std::vector<QByteArray> outData;
};

TPreparedStatement::TPreparedStatement(unsigned int attachment, const QString& sql)
    : m_attachment(attachment), m_sql(sql.toUtf8())
{ }

TPreparedStatement::~TPreparedStatement()
{
    if (m_statement) {
        ISC_STATUS_ARRAY status {};
        isc_dsql_free_statement(status, &m_statement, DSQL_drop);
    }
}

void TPreparedStatement::prepare(unsigned int& transaction)
{
    ISC_STATUS_ARRAY status {};
    auto buffers = std::make_unique<Buffers>();
    isc_dsql_allocate_statement(status, &m_attachment, &m_statement);
    check(status);
    buffers->out = descriptor(4);
    isc_dsql_prepare(status, &transaction, &m_statement, 0, m_sql.constData(), SQL_DIALECT_V6, buffers->out.get());
    check(status);
    if (buffers->out->sqld > buffers->out->sqln) {
        buffers->out = descriptor(buffers->out->sqld);
        isc_dsql_describe(status, &m_statement, SQLDA_VERSION1, buffers->out.get());
        check(status);
    }
    buffers->in = descriptor(16);
    isc_dsql_describe_bind(status, &m_statement, SQLDA_VERSION1, buffers->in.get());
    check(status);
    if (buffers->in->sqld > buffers->in->sqln) {
        buffers->in = descriptor(buffers->in->sqld);
        isc_dsql_describe_bind(status, &m_statement, SQLDA_VERSION1, buffers->in.get());
        check(status);
    }
    XSQLDA& out = *buffers->out;
    buffers->outNull.resize(size_t(out.sqld));
    buffers->outData.resize(size_t(out.sqld));
    for (int i = 0; i < out.sqld; ++i) {
        XSQLVAR& column = out.sqlvar[i];
        const int type = column.sqltype & ~1;
        buffers->outData[size_t(i)].resize(type == SQL_VARYING ? column.sqllen + 2 : column.sqllen);
        column.sqldata = buffers->outData[size_t(i)].data();
        column.sqlind = &buffers->outNull[size_t(i)];
    }
    buffers->inNull.resize(size_t(buffers->in->sqld));
    buffers->inData.resize(size_t(buffers->in->sqld));
    buffers->described.assign(buffers->in->sqlvar, buffers->in->sqlvar + buffers->in->sqld);
    m_buffers = std::move(buffers);
}

QVariantList TPreparedStatement::run(unsigned int& transaction, const QVariantList& values)
{
    if (!m_buffers) {
        if (m_statement) {
            // A prepare that failed before: start again.
            ISC_STATUS_ARRAY status {};
            isc_dsql_free_statement(status, &m_statement, DSQL_drop);
            m_statement = 0;
        }
        prepare(transaction);
    }
    Buffers& b = *m_buffers;
    XSQLDA& in = *b.in;
    if (values.size() != in.sqld)
        throw EDatabaseError(QStringLiteral("The statement takes %1 values, %2 were given: %3")
                                 .arg(in.sqld)
                                 .arg(values.size())
                                 .arg(QString::fromUtf8(m_sql)));
    // Each value goes in the type it has; the engine converts it to the column's.
    for (int i = 0; i < in.sqld; ++i) {
        XSQLVAR& p = in.sqlvar[i];
        const QVariant& value = values.at(i);
        QByteArray& data = b.inData[size_t(i)];
        short& null = b.inNull[size_t(i)];
        p.sqlind = &null;
        null = 0;
        const XSQLVAR& described = b.described[size_t(i)];
        const int describedType = described.sqltype & ~1;
        switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong: {
            const qint64 number = value.toLongLong();
            data = QByteArray(reinterpret_cast<const char*>(&number), sizeof number);
            p.sqltype = SQL_INT64 + 1;
            p.sqllen = sizeof number;
            p.sqlscale = 0;
            break;
        }
        case QMetaType::QDateTime: {
            const ISC_TIMESTAMP at = timestamp(value.toDateTime());
            data = QByteArray(reinterpret_cast<const char*>(&at), sizeof at);
            p.sqltype = SQL_TIMESTAMP + 1;
            p.sqllen = sizeof at;
            break;
        }
        default: {
            // As Qt's driver does it: the text in UTF-8, cut to the column's bytes.
            QByteArray text = value.toString().toUtf8();
            const bool isText = describedType == SQL_VARYING || describedType == SQL_TEXT;
            if (isText && text.size() > described.sqllen)
                text.truncate(described.sqllen);
            const quint16 length = quint16(text.size());
            data = QByteArray(reinterpret_cast<const char*>(&length), sizeof length) + text;
            p.sqltype = SQL_VARYING + 1;
            p.sqllen = short(text.size());
            p.sqlsubtype = isText ? described.sqlsubtype : 0;
            break;
        }
        }
        if (value.isNull())
            null = -1;
        p.sqldata = data.data();
    }
    ISC_STATUS_ARRAY status {};
    XSQLDA* out = b.out->sqld > 0 ? b.out.get() : nullptr;
    isc_dsql_execute2(status, &transaction, &m_statement, SQLDA_VERSION1, &in, out);
    // A select that finds no row answers with none.
    if (status[0] == 1 && status[1] == isc_stream_eof)
        return {};
    check(status);
    QVariantList row;
    for (int i = 0; out && i < out->sqld; ++i) {
        const XSQLVAR& column = out->sqlvar[i];
        if ((column.sqltype & 1) && *column.sqlind < 0) {
            row << QVariant();
            continue;
        }
        switch (column.sqltype & ~1) {
        case SQL_INT64: {
            qint64 number;
            std::memcpy(&number, column.sqldata, sizeof number);
            row << number;
            break;
        }
        case SQL_LONG: {
            qint32 number;
            std::memcpy(&number, column.sqldata, sizeof number);
            row << number;
            break;
        }
        case SQL_VARYING: {
            quint16 length;
            std::memcpy(&length, column.sqldata, sizeof length);
            row << QString::fromUtf8(column.sqldata + sizeof length, length);
            break;
        }
        case SQL_TEXT:
            row << QString::fromUtf8(column.sqldata, column.sqllen);
            break;
        default:
            throw EDatabaseError(
                QStringLiteral("The statement answers with a type it cannot read: %1").arg(QString::fromUtf8(m_sql)));
        }
    }
    return row;
}
