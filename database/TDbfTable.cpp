#include "database/TDbfTable.h"

#include "database/EDatabaseError.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

#include <cmath>
#include <shapefil.h>

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
    if (!QFileInfo(path).isFile())
        throw EDatabaseError(QStringLiteral("Table does not exist.\nFile: %1").arg(path));
    // "rb": shapelib opens the file (and a .cpg beside it) for reading only.
    DBFHandle dbf = DBFOpen(QFile::encodeName(path).constData(), "rb");
    if (!dbf)
        throw EDatabaseError(QStringLiteral("Cannot read the table; it is not a dBASE file.\nFile: %1").arg(path));
    m_handle = std::make_unique<Handle>();
    m_handle->dbf = dbf;
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

qint64 TDbfTable::fieldAsInteger(const QString& fieldName) const
{
    const QByteArray text = fieldBytes(fieldName).trimmed();
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (ok)
        return value;
    const double real = text.toDouble(&ok);
    return ok ? qint64(std::llround(real)) : 0; // an empty number reads as 0
}

bool TDbfTable::fieldAsBoolean(const QString& fieldName) const
{
    const QByteArray text = fieldBytes(fieldName).trimmed();
    return !text.isEmpty() && QByteArrayLiteral("TtYy").contains(text.at(0));
}

QString TDbfTable::toText(const QByteArray& bytes) const
{
    QString codePage;
    if (active() && DBFGetCodePage(m_handle->dbf))
        codePage = QString::fromLatin1(DBFGetCodePage(m_handle->dbf)).trimmed();
    // A .cpg file names the code page; the header's language byte reads "LDID/nn".
    if (!codePage.isEmpty() && !codePage.startsWith(QLatin1String("LDID/"))) {
        bool numeric = false;
        codePage.toInt(&numeric);
        QStringDecoder decoder((numeric ? QStringLiteral("windows-") + codePage : codePage).toLatin1().constData());
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
