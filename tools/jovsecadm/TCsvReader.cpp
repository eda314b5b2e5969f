#include "TCsvReader.h"

#include <QFile>
#include <QStringDecoder>

QStringList TCsvReader::split(const QString& line, QString* error)
{
    QStringList fields;
    QString field;
    enum { Start, Plain, Quoted, AfterQuote } state = Start;
    for (int i = 0; i < line.size(); ++i) {
        const QChar ch = line.at(i);
        switch (state) {
        case Start:
            if (ch == QLatin1Char('"')) {
                state = Quoted;
                break;
            }
            state = Plain;
            [[fallthrough]];
        case Plain:
            if (ch == QLatin1Char(',')) {
                fields << field;
                field.clear();
                state = Start;
            } else if (ch == QLatin1Char('"')) {
                *error = QStringLiteral("a quote inside an unquoted field (column %1)").arg(fields.size() + 1);
                return {};
            } else {
                field += ch;
            }
            break;
        case Quoted:
            if (ch == QLatin1Char('"')) {
                if (i + 1 < line.size() && line.at(i + 1) == QLatin1Char('"')) {
                    field += ch;
                    ++i;
                } else {
                    state = AfterQuote;
                }
            } else {
                field += ch;
            }
            break;
        case AfterQuote:
            if (ch != QLatin1Char(',')) {
                *error = QStringLiteral("text after a closing quote (column %1)").arg(fields.size() + 1);
                return {};
            }
            fields << field;
            field.clear();
            state = Start;
            break;
        }
    }
    if (state == Quoted) {
        *error = QStringLiteral("a quote that is not closed (column %1)").arg(fields.size() + 1);
        return {};
    }
    fields << field;
    return fields;
}

bool TCsvReader::read(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Unable to open %1: %2").arg(path, file.errorString());
        return false;
    }
    m_lines.clear();
    int number = 0;
    qint64 total = 0;
    // Read line by line with limits: a device such as /dev/zero never ends and has no
    // line breaks.
    for (;;) {
        QByteArray bytes = file.readLine(MaxLineBytes + 2);
        if (bytes.isEmpty())
            break;
        ++number;
        total += bytes.size();
        if (bytes.size() > MaxLineBytes && !bytes.endsWith('\n')) {
            *error = QStringLiteral("%1 is not a CSV file of users: line %2 is longer than %3 bytes.")
                         .arg(path)
                         .arg(number)
                         .arg(MaxLineBytes);
            m_lines.clear();
            return false;
        }
        if (total > MaxFileBytes || number > MaxLines) {
            *error = QStringLiteral("%1 is too large: a CSV file of users may hold at most %2 lines and %3 MB.")
                         .arg(path)
                         .arg(MaxLines)
                         .arg(MaxFileBytes / (1024 * 1024));
            m_lines.clear();
            return false;
        }
        if (number == 1 && bytes.startsWith("\xEF\xBB\xBF"))
            bytes.remove(0, 3);
        if (bytes.endsWith('\n'))
            bytes.chop(1);
        if (bytes.endsWith('\r'))
            bytes.chop(1);
        if (bytes.trimmed().isEmpty())
            continue;
        Line line;
        line.number = number;
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = decoder(bytes);
        if (decoder.hasError())
            line.error = QStringLiteral("bytes that are not UTF-8 text");
        else
            line.fields = split(text, &line.error);
        m_lines.push_back(std::move(line));
    }
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("Unable to read %1: %2").arg(path, file.errorString());
        m_lines.clear();
        return false;
    }
    return true;
}
