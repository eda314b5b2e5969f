#include "database/TField.h"

#include "database/TQuery.h"

TField::TField(TQuery* dataSet, int index, const QString& name, QMetaType::Type type, int size, bool calculated)
    : m_dataSet(dataSet), m_index(index), m_name(name), m_type(type), m_size(size), m_calculated(calculated)
{ }

QVariant TField::value() const { return m_dataSet->fieldValue(m_index); }

QVariant TField::oldValue() const { return m_dataSet->fieldOldValue(m_index); }

bool TField::isNull() const { return value().isNull(); }

QString TField::asString() const
{
    const QVariant v = value();
    if (v.isNull())
        return QString();
    if (v.metaType().id() == QMetaType::QDateTime) {
        const QDateTime dt = v.toDateTime();
        return dt.time() == QTime(0, 0) ? dt.date().toString(Qt::ISODate)
                                        : dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    return v.toString();
}

int TField::asInteger() const
{
    const QVariant v = value();
    if (v.isNull())
        return 0;
    bool ok = false;
    const int n = v.toInt(&ok);
    return ok ? n : 0;
}

bool TField::asBoolean() const
{
    const QVariant v = value();
    if (v.isNull())
        return false;
    if (v.metaType().id() == QMetaType::QString) {
        const QString s = v.toString().trimmed();
        return s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
               s.compare(QLatin1String("t"), Qt::CaseInsensitive) == 0 ||
               s.compare(QLatin1String("y"), Qt::CaseInsensitive) == 0 || s.toInt() != 0;
    }
    return v.toLongLong() != 0;
}

QDateTime TField::asDateTime() const
{
    const QVariant v = value();
    if (v.isNull())
        return QDateTime();
    if (v.metaType().id() == QMetaType::QDate)
        return QDateTime(v.toDate(), QTime(0, 0));
    return v.toDateTime();
}

QByteArray TField::rawBytes() const
{
    const QVariant v = value();
    if (v.isNull())
        return QByteArray();
    if (v.metaType().id() == QMetaType::QByteArray)
        return v.toByteArray();
    return asString().toUtf8();
}

void TField::setValue(const QVariant& value) { m_dataSet->setFieldValue(m_index, value); }

void TField::setAsString(const QString& value)
{
    switch (m_type) {
    case QMetaType::Int:
    case QMetaType::LongLong: {
        bool ok = false;
        const qint64 n = value.trimmed().toLongLong(&ok);
        setValue(value.trimmed().isEmpty() ? QVariant() : (ok ? QVariant(n) : QVariant(value)));
        break;
    }
    default:
        setValue(value);
    }
}

void TField::setAsInteger(int value) { setValue(value); }

void TField::setAsBoolean(bool value)
{
    if (m_type == QMetaType::QString)
        setValue(value ? QStringLiteral("T") : QStringLiteral("F"));
    else
        setValue(value ? 1 : 0);
}

void TField::setAsDateTime(const QDateTime& value) { setValue(value); }

void TField::setAsDate(const QDate& value) { setValue(QDateTime(value, QTime(0, 0))); }

void TField::clear() { setValue(QVariant()); }

int TField::displayWidth() const
{
    if (m_displayWidth >= 0)
        return m_displayWidth;
    switch (m_type) {
    case QMetaType::QString:
        return m_size > 0 ? m_size : 20;
    case QMetaType::QDateTime:
    case QMetaType::QDate:
        return 10;
    default:
        return 10;
    }
}

Qt::Alignment TField::alignment() const
{
    if (m_alignment)
        return m_alignment;
    switch (m_type) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double:
        return Qt::AlignRight;
    default:
        return Qt::AlignLeft;
    }
}
