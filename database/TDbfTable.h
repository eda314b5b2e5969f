#pragma once
// A flat dBASE table file, read-only, through shapelib. The file is opened for
// reading only and never written, so the customer's files stay as they were.
//
// Only regular files are opened (the table and a .cpg beside it), without waiting:
// a pipe or device named like a table is refused rather than read from. A .cpg that
// names a multi-byte code page is refused too: the tables hold one byte a character.
//
// The cursor walks the live records in file order and skips records marked
// deleted. Text columns are read as the exact bytes stored in the record (shapelib's
// own string reads trim leading and trailing blanks and stop at a zero byte).
//
//     TDbfTable table;
//     table.setDatabaseName("/data/old");        // the folder
//     table.setTableName("PRVSEC1.DBF");
//     table.open();                              // throws EDatabaseError
//     for (table.first(); !table.eof(); table.next())
//         use(table.fieldAsInteger("UID"), table.fieldBytes("Login"));

#include <QByteArray>
#include <QString>

#include <memory>

class TDbfTable {
public:
    TDbfTable();
    ~TDbfTable();
    TDbfTable(const TDbfTable&) = delete;
    TDbfTable& operator=(const TDbfTable&) = delete;

    // The folder that holds the table files.
    QString databaseName() const { return m_directory; }
    void setDatabaseName(const QString& directory);
    QString tableName() const { return m_tableName; }
    void setTableName(const QString& fileName);
    // The full path of the table file: the name as given, or the one entry of the
    // folder whose name matches it without regard to letter case.
    QString filePath() const;

    // Throws EDatabaseError when the file is missing, not a regular file, not a
    // dBASE table, or its .cpg names a multi-byte code page.
    void open();
    void close();
    bool active() const { return m_handle != nullptr; }

    void first();
    void next();
    bool eof() const { return m_eof; }
    // Live (not deleted) records.
    int recordCount() const;
    // Every record of the file, those marked deleted too.
    int recordsInFile() const;
    // The current record's number in the file, from 1.
    int recNo() const { return m_record + 1; }
    // Where a field of the current record is, for messages: file, record and field.
    QString position(const QString& fieldName) const;

    // Field values of the current record; a missing field throws EDatabaseError.
    QByteArray fieldBytes(const QString& fieldName) const;
    // An empty number reads as 0; a value that is no whole number (text, NaN, an
    // infinity, too large) throws EDatabaseError naming file, record and field.
    qint64 fieldAsInteger(const QString& fieldName) const;
    bool fieldAsBoolean(const QString& fieldName) const;

    // Text from bytes of this table: the code page a .cpg file names, else UTF-8
    // when the bytes are valid UTF-8, else Windows-1252, which the old programs wrote.
    QString toText(const QByteArray& bytes) const;

private:
    struct Handle;
    // The code page the .cpg beside the table names; empty without one.
    QString codePage() const;
    int fieldIndex(const QString& fieldName) const;
    void checkRecord(const char* what) const;
    void seekLive(int from);

    QString m_directory;
    QString m_tableName;
    std::unique_ptr<Handle> m_handle;
    int m_record = -1;
    bool m_eof = true;
};
