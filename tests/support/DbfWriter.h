#pragma once
// Writes small dBASE table files for tests with shapelib, storing text columns byte
// for byte (zero bytes and all) and marking chosen records deleted.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cstring>
#include <shapefil.h>
#include <stdexcept>
#include <vector>

struct DbfColumn {
    const char* name;
    char type; // 'C' text, 'N' number, 'L' logical
    int width;
};

struct DbfRecord {
    std::vector<QByteArray> values; // text bytes as stored; numbers and logicals as text
    bool deleted = false;
};

// Creates path (its name's letter case kept) with the columns and records.
inline void writeDbf(const QString& path, const std::vector<DbfColumn>& columns, const std::vector<DbfRecord>& records)
{
    // shapelib names the file it creates ".dbf"; write under a scratch name, then rename.
    const QString scratch = path + QStringLiteral(".tmp.dbf");
    DBFHandle dbf = DBFCreate(QFile::encodeName(scratch).constData());
    if (!dbf)
        throw std::runtime_error("DBFCreate failed");
    for (const DbfColumn& c : columns) {
        const DBFFieldType type = c.type == 'C' ? FTString : c.type == 'N' ? FTInteger : FTLogical;
        if (DBFAddField(dbf, c.name, type, c.width, 0) < 0)
            throw std::runtime_error("DBFAddField failed");
    }
    for (int r = 0; r < int(records.size()); ++r) {
        const DbfRecord& record = records[r];
        for (int f = 0; f < int(columns.size()); ++f) {
            const QByteArray& v = record.values.at(f);
            if (columns[f].type == 'N')
                DBFWriteIntegerAttribute(dbf, r, f, v.toInt());
            else if (columns[f].type == 'L')
                DBFWriteLogicalAttribute(dbf, r, f, v.isEmpty() ? 'F' : v.at(0));
            else
                DBFWriteStringAttribute(dbf, r, f, "");
        }
        // Text goes in as raw bytes: copy the record, lay the bytes in, write it back.
        const char* tuple = DBFReadTuple(dbf, r);
        QByteArray raw(tuple, dbf->nRecordLength);
        for (int f = 0; f < int(columns.size()); ++f) {
            if (columns[f].type != 'C')
                continue;
            const QByteArray v = record.values.at(f).left(dbf->panFieldSize[f]);
            std::memset(raw.data() + dbf->panFieldOffset[f], ' ', dbf->panFieldSize[f]);
            std::memcpy(raw.data() + dbf->panFieldOffset[f], v.constData(), v.size());
        }
        DBFWriteTuple(dbf, r, raw.data());
        if (record.deleted)
            DBFMarkRecordDeleted(dbf, r, 1);
    }
    DBFClose(dbf);
    QFile::remove(path);
    if (!QFile::rename(scratch, path))
        throw std::runtime_error("cannot rename the dBASE file");
}

// Writes the bytes of a dBASE table by hand, for tables shapelib would not create:
// columns of width 0, numbers that are no numbers. Each value is laid in as given,
// blank-padded to its column's width.
inline void writeRawDbf(const QString& path, const std::vector<DbfColumn>& columns,
                        const std::vector<std::vector<QByteArray>>& records)
{
    const auto le16 = [](QByteArray& out, int v) { out.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    int recordLength = 1;
    for (const DbfColumn& c : columns)
        recordLength += c.width;
    QByteArray out;
    out.append(char(0x03)).append(char(124)).append(char(1)).append(char(1));
    const auto count = quint32(records.size());
    for (int shift = 0; shift < 32; shift += 8)
        out.append(char((count >> shift) & 0xFF));
    le16(out, 32 + 32 * int(columns.size()) + 1);
    le16(out, recordLength);
    out.append(QByteArray(20, '\0'));
    for (const DbfColumn& c : columns) {
        QByteArray descriptor(32, '\0');
        std::memcpy(descriptor.data(), c.name, std::min<size_t>(std::strlen(c.name), 10));
        descriptor[11] = c.type;
        descriptor[16] = char(c.width);
        out.append(descriptor);
    }
    out.append(char(0x0D));
    for (const std::vector<QByteArray>& record : records) {
        out.append(' ');
        for (size_t f = 0; f < columns.size(); ++f)
            out.append(record.at(f).leftJustified(columns[f].width, ' ', true));
    }
    out.append(char(0x1A));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(out) != out.size())
        throw std::runtime_error("cannot write the dBASE file");
}

// The previous version's scrambling: each character c is stored as (128 - c) mod 256.
inline QByteArray scrambled(const QByteArray& text)
{
    QByteArray out;
    for (char c : text)
        out.append(char(static_cast<unsigned char>(128 - static_cast<unsigned char>(c))));
    return out;
}

// The previous version's four tables: their columns, and a typical set of them.
inline const std::vector<DbfColumn> kConstantColumns {{"AccessId", 'N', 10}, {"Label", 'C', 80}};
inline const std::vector<DbfColumn> kUserColumns {{"UID", 'N', 10}, {"Login", 'C', 80}, {"Password", 'C', 80}};
inline const std::vector<DbfColumn> kRightColumns {{"UID", 'N', 10}, {"ACCESSID", 'N', 10}};
inline const std::vector<DbfColumn> kSystemColumns {{"Descript", 'C', 80}, {"LoginLog", 'L', 1}};

// Stored as the previous version wrote it: scrambled, ended by a scrambled zero.
inline QByteArray stored(const QByteArray& text) { return scrambled(text) + char(0x80); }

// PRVSEC1.DBF to PRVSEC4.DBF in the folder: three live constants and one deleted, two
// live users and one deleted, three rights that come across and four that do not, and
// the system information.
inline void writePreviousVersion(const QString& dir)
{
    writeDbf(dir + "/PRVSEC2.DBF", kConstantColumns,
             {{{"10", stored("Enter Orders")}},
              {{"20", scrambled("Print Reports")}}, // blank-padded, no terminator
              {{"30", stored("Gone")}, true},
              {{"40", stored("`Backtick")}}}); // stored with a leading blank byte
    writeDbf(dir + "/PRVSEC1.DBF", kUserColumns,
             {{{"7", stored("Ann"), stored("secret")}},
              {{"9", stored("Zo\xEB M\xFCller"), stored("p\xE4ss")}}, // Windows-1252 text
              {{"11", stored("Ghost"), stored("boo")}, true}});
    writeDbf(dir + "/PRVSEC3.DBF", kRightColumns,
             {{{"7", "10"}},
              {{"9", "20"}},
              {{"9", "40"}},
              {{"5", "10"}}, // no such user
              {{"7", "99"}}, // no such constant
              {{"7", "20"}, true}, // deleted
              {{"11", "10"}}}); // its user was deleted
    writeDbf(dir + "/PRVSEC4.DBF", kSystemColumns, {{{stored("Orders System"), "T"}}});
}
