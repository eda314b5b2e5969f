#pragma once
// Reads a CSV file line by line. Each line is one record: fields separated by
// commas, a field in double quotes may hold commas and doubled quotes, but not a line
// break, so one bad line never swallows the lines after it. A line that is not valid
// UTF-8 or breaks the quoting rules comes back with the reason instead of fields.

#include <QString>
#include <QStringList>

#include <vector>

class TCsvReader {
public:
    struct Line {
        int number = 0; // 1-based line in the file
        QStringList fields;
        QString error; // empty when the line was read
    };

    // A line of users is far shorter; a longer one means the file is something else.
    static constexpr qint64 MaxLineBytes = 64 * 1024;
    static constexpr qint64 MaxFileBytes = 64 * 1024 * 1024;
    static constexpr int MaxLines = 1000000;

    // Throws nothing; false with the reason when the file cannot be read, or has a
    // line or a size beyond the limits.
    bool read(const QString& path, QString* error);
    const std::vector<Line>& lines() const { return m_lines; }

    // Splits one line; the reason in error when it breaks the rules.
    static QStringList split(const QString& line, QString* error);

private:
    std::vector<Line> m_lines;
};
