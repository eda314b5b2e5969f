#include "database/TDbfTable.h"

#include "database/EDatabaseError.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

#include <QStringEncoder>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <shapefil.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// The file the last open refused as not regular; shapelib's hooks carry no data.
thread_local QByteArray t_notRegular;

// shapelib's file open, for reading only: opens only regular files, and never waits
// on the way (a pipe named like the table or its .cpg would block until a writer
// came, and a device could be anything).
SAFile openRegularFile(const char* filename, const char* access)
{
    if (std::strpbrk(access, "wa+"))
        return nullptr;
    const int fd = ::open(filename, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return nullptr;
    struct stat info { };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        t_notRegular = filename;
        ::close(fd);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FILE* file = ::fdopen(fd, "rb");
    if (!file) {
        ::close(fd);
        return nullptr;
    }
    return reinterpret_cast<SAFile>(file);
}

// The converter name of a code page as a .cpg writes it: a number is a Windows code
// page ("1252"), anything else a name ("UTF-8").
QByteArray codecName(const QString& codePage)
{
    if (codePage == QLatin1String("65001"))
        return QByteArrayLiteral("UTF-8");
    bool numeric = false;
    codePage.toInt(&numeric);
    return (numeric ? QStringLiteral("windows-") + codePage : codePage).toLatin1();
}

// Whether the code page writes a character in more than one byte: a CJK ideograph
// fits only in those.
bool isMultiByte(const QString& codePage)
{
    QStringEncoder encoder(codecName(codePage).constData());
    if (!encoder.isValid())
        return false;
    const QByteArray bytes = encoder.encode(QStringView(u"\u4E00"));
    return !encoder.hasError() && bytes.size() > 1;
}
} // namespace

struct TDbfTable::Handle {
    DBFHandle dbf = nullptr;
    ~Handle()
    {
        if (dbf)
            DBFClose(dbf);
    }
};

TDbfTable::TDbfTable() = default;
TDbfTable::~TDbfTable() = default;

void TDbfTable::setDatabaseName(const QString& directory)
{
    close();
    m_directory = directory;
}

void TDbfTable::setTableName(const QString& fileName)
{
    close();
    m_tableName = fileName;
}

QString TDbfTable::filePath() const
{
    const QDir dir(m_directory);
    if (dir.exists(m_tableName))
        return dir.filePath(m_tableName);
    // Files copied from another system may have changed the letter case of their names.
    const QStringList entries = dir.entryList(QDir::Files);
    for (const QString& entry : entries)
        if (entry.compare(m_tableName, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    return dir.filePath(m_tableName);
}

void TDbfTable::open()
{
    if (active())
        return;
    const QString path = filePath();
    if (!QFileInfo::exists(path))
        throw EDatabaseError(QStringLiteral("Table does not exist.\nFile: %1").arg(path));
    // shapelib opens the file, and a .cpg beside it, through these hooks.
    SAHooks hooks;
    SASetupDefaultHooks(&hooks);
    hooks.FOpen = openRegularFile;
    t_notRegular.clear();
    DBFHandle dbf = DBFOpenLL(QFile::encodeName(path).constData(), "rb", &hooks);
    m_handle = std::make_unique<Handle>();
    m_handle->dbf = dbf;
    if (!t_notRegular.isEmpty()) {
        close();
        throw EDatabaseError(QStringLiteral("Not a regular file; only table files are read.\nFile: %1")
                                 .arg(QFile::decodeName(t_notRegular)));
    }
    if (!dbf) {
        close();
        throw EDatabaseError(QStringLiteral("Cannot read the table; it is not a dBASE file.\nFile: %1").arg(path));
    }
    const QString page = codePage();
    if (isMultiByte(page)) {
        close();
        throw EDatabaseError(QStringLiteral("The table's .cpg file names the code page %1, which writes a character "
                                            "in several bytes; the table's text is one byte a character.\nFile: %2")
                                 .arg(page, path));
    }
    first();
}

void TDbfTable::close()
{
    m_handle.reset();
    m_record = -1;
    m_eof = true;
}

void TDbfTable::seekLive(int from)
{
    const int count = DBFGetRecordCount(m_handle->dbf);
    int record = from;
    while (record < count && DBFIsRecordDeleted(m_handle->dbf, record))
        ++record;
    m_eof = record >= count;
    m_record = m_eof ? count : record;
}

void TDbfTable::first()
{
    if (!active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    seekLive(0);
}

void TDbfTable::next()
{
    if (!active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    if (!m_eof)
        seekLive(m_record + 1);
}

int TDbfTable::recordCount() const
{
    if (!active())
        return 0;
    const int count = DBFGetRecordCount(m_handle->dbf);
    int live = 0;
    for (int record = 0; record < count; ++record)
        if (!DBFIsRecordDeleted(m_handle->dbf, record))
            ++live;
    return live;
}

int TDbfTable::recordsInFile() const { return active() ? DBFGetRecordCount(m_handle->dbf) : 0; }

int TDbfTable::fieldIndex(const QString& fieldName) const
{
    const int index = DBFGetFieldIndex(m_handle->dbf, fieldName.toLatin1().constData());
    if (index < 0)
        throw EDatabaseError(QStringLiteral("Field '%1' not found.\nFile: %2").arg(fieldName, filePath()));
    return index;
}

void TDbfTable::checkRecord(const char* what) const
{
    if (!active() || m_eof)
        throw EDatabaseError(QStringLiteral("No current record (%1)").arg(QLatin1String(what)));
}

QByteArray TDbfTable::fieldBytes(const QString& fieldName) const
{
    checkRecord("fieldBytes");
    const int index = fieldIndex(fieldName);
    // The raw record starts with the deletion flag; shapelib's field offsets count it.
    const char* record = DBFReadTuple(m_handle->dbf, m_record);
    if (!record)
        throw EDatabaseError(QStringLiteral("Cannot read record %1.\nFile: %2").arg(m_record + 1).arg(filePath()));
    return QByteArray(record + m_handle->dbf->panFieldOffset[index], m_handle->dbf->panFieldSize[index]);
}

QString TDbfTable::position(const QString& fieldName) const
{
    return QStringLiteral("File: %1, record %2, field %3").arg(filePath()).arg(recNo()).arg(fieldName);
}

qint64 TDbfTable::fieldAsInteger(const QString& fieldName) const
{
    const QByteArray text = fieldBytes(fieldName).trimmed();
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (ok)
        return value;
    // Two ids that are no numbers must not both read as one id.
    const double real = text.toDouble(&ok);
    if (ok && std::isfinite(real) && std::fabs(real) < 9.0e18)
        return qint64(std::llround(real));
    throw EDatabaseError(QStringLiteral("The value \"%1\" is not a whole number.\n%2")
                             .arg(QString::fromLatin1(text), position(fieldName)));
}

bool TDbfTable::fieldAsBoolean(const QString& fieldName) const
{
    const QByteArray text = fieldBytes(fieldName).trimmed();
    return !text.isEmpty() && QByteArrayLiteral("TtYy").contains(text.at(0));
}

QString TDbfTable::codePage() const
{
    QString page;
    if (active() && m_handle->dbf && DBFGetCodePage(m_handle->dbf))
        page = QString::fromLatin1(DBFGetCodePage(m_handle->dbf)).trimmed();
    // A .cpg file names the code page; the header's language byte reads "LDID/nn".
    return page.startsWith(QLatin1String("LDID/")) ? QString() : page;
}

QString TDbfTable::toText(const QByteArray& bytes) const
{
    const QString codePage = this->codePage();
    if (!codePage.isEmpty()) {
        QStringDecoder decoder(codecName(codePage).constData());
        if (decoder.isValid()) {
            const QString text = decoder(bytes);
            if (!decoder.hasError())
                return text;
        }
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString asUtf8 = utf8(bytes);
    if (!utf8.hasError())
        return asUtf8;
    QStringDecoder ansi("windows-1252");
    if (ansi.isValid())
        return ansi(bytes);
    return QString::fromLatin1(bytes);
}
