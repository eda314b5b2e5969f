#include "TAdminOutput.h"

#include <QDate>
#include <QDateTime>
#include <QJsonDocument>

QJsonValue TAdminOutput::toJson(const QVariant& value)
{
    if (value.isNull())
        return QJsonValue::Null;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
        return value.toLongLong();
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::QJsonArray:
        return value.toJsonArray();
    default:
        return toText(value);
    }
}

QString TAdminOutput::toText(const QVariant& value)
{
    if (value.isNull())
        return QString();
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate);
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        return dt.time() == QTime(0, 0) ? dt.date().toString(Qt::ISODate)
                                        : dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("yes") : QStringLiteral("no");
    case QMetaType::QJsonArray: {
        QStringList items;
        for (const QJsonValue& v : value.toJsonArray())
            items << v.toVariant().toString();
        return items.join(QStringLiteral(", "));
    }
    default:
        return value.toString();
    }
}

QString TAdminOutput::printable(const QString& text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar ch : text) {
        // A control character in a name (an escape sequence a terminal would obey, a
        // line break that fakes a row) is shown as its code.
        if (ch.category() == QChar::Other_Control)
            result +=
                QStringLiteral("\\x") + QString::number(ch.unicode(), 16).rightJustified(2, QLatin1Char('0')).toUpper();
        else
            result += ch;
    }
    return result;
}

void TAdminOutput::writeJson(const QJsonValue& value)
{
    QJsonDocument doc = value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    m_out << doc.toJson(QJsonDocument::Indented);
    m_out.flush();
}

void TAdminOutput::table(const QStringList& columns, const QList<QVariantList>& rows)
{
    if (m_json) {
        QJsonArray array;
        for (const QVariantList& row : rows) {
            QJsonObject o;
            for (int c = 0; c < columns.size() && c < row.size(); ++c)
                o.insert(columns.at(c), toJson(row.at(c)));
            array.append(o);
        }
        writeJson(array);
        return;
    }
    QList<int> widths;
    for (const QString& c : columns)
        widths << int(c.size());
    QList<QStringList> texts;
    for (const QVariantList& row : rows) {
        QStringList line;
        for (int c = 0; c < columns.size(); ++c) {
            line << (c < row.size() ? printable(toText(row.at(c))) : QString());
            widths[c] = std::max(widths[c], int(line.last().size()));
        }
        texts << line;
    }
    const auto print = [&](const QStringList& line) {
        QString text;
        for (int c = 0; c < line.size(); ++c)
            text += c + 1 < line.size() ? line.at(c).leftJustified(widths[c] + 2) : line.at(c);
        m_out << text << '\n';
    };
    print(columns);
    for (const QStringList& line : texts)
        print(line);
    m_out.flush();
}

void TAdminOutput::record(const QStringList& names, const QVariantList& values, const QJsonObject& extra)
{
    if (m_json) {
        QJsonObject o = extra;
        for (int i = 0; i < names.size(); ++i)
            o.insert(names.at(i), toJson(values.value(i)));
        writeJson(o);
        return;
    }
    int width = 0;
    for (const QString& n : names)
        width = std::max(width, int(n.size()));
    for (int i = 0; i < names.size(); ++i)
        m_out << (names.at(i) + QLatin1Char(':')).leftJustified(width + 2) << printable(toText(values.value(i)))
              << '\n';
    m_out.flush();
}

void TAdminOutput::done(const QString& text, const QJsonObject& extra)
{
    if (m_json) {
        QJsonObject o = extra;
        o.insert(QStringLiteral("result"), text);
        writeJson(o);
        return;
    }
    m_out << text << '\n';
    m_out.flush();
}
