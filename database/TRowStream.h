#pragma once
// A select read row by row as the engine delivers it, keeping no row: for callers
// that turn a large result into a structure of their own (the security component
// indexes a million grants this way at start-up, in about the time the engine takes
// to fetch them, without holding them as record-set values).
//
// The statement runs through the engine layer like a record set's (the connection
// named by the database name, its retry and watch) and its transaction ends with the
// read. Each row's values are read straight from the engine's fetch buffer. Only
// integer, text and timestamp columns can be asked for.

#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>

#include <functional>
#include <utility>
#include <vector>

class TRowStream {
public:
    // One fetched row; valid during the call that receives it. Columns are numbered
    // in the order they were asked for.
    class Row {
    public:
        bool isNull(int column) const;
        // The value of an integer column; 0 when null.
        qint64 integer(int column) const;
        // The UTF-8 bytes of a text column, a fixed-width (CHAR) value without the
        // blanks that pad it, as record sets hold it; empty when null.
        QByteArrayView text(int column) const;
        // The date and time of a timestamp column to the millisecond (the engine's
        // tenths of a millisecond are cut off, as from its text form), with no time
        // zone: read without the cost of a QDateTime. Both invalid when null.
        std::pair<QDate, QTime> timestamp(int column) const;

    private:
        friend class TRowStream;
        struct Column {
            short type = 0; // the engine's type, without its null flag
            short scale = 0;
            const char* data = nullptr;
            const short* null = nullptr;
            int length = 0;
        };
        std::vector<Column> m_columns;
    };

    // Runs sql (no parameters) on the named database and hands every row to onRow,
    // in the engine's order. columns names the columns wanted (letter case ignored).
    // onStart runs before the first row: when the connection broke under the read
    // and was opened again, the read starts over, and the caller drops what it made
    // of the rows so far.
    // Throws EDatabaseError with the engine's text, with "Field '<name>' not found" for
    // a column the result lacks, and when a column wanted is not integer, text or
    // timestamp.
    static void read(const QString& databaseName, const QString& sql, const QStringList& columns,
                     const std::function<void()>& onStart, const std::function<void(const Row&)>& onRow);
};
