#include "TAdminFile.h"

#include "TAdminError.h"

#include <QFileInfo>

#include <unistd.h>

TAdminFile::TAdminFile(const QString& path) : m_path(path), m_save(path), m_file(path)
{
    const QFileInfo info(path);
    // Replacing a device by a file would break it for every program; write to it.
    m_direct = info.exists() && !info.isFile() && !info.isDir();
    const bool opened = m_direct ? m_file.open(QIODevice::WriteOnly) : m_save.open(QIODevice::WriteOnly);
    if (!opened)
        fail(device().errorString());
}

QIODevice& TAdminFile::device()
{
    if (m_direct)
        return m_file;
    return m_save;
}

void TAdminFile::write(const QByteArray& bytes)
{
    if (device().write(bytes) != bytes.size())
        fail(device().errorString());
}

void TAdminFile::commit(QTextStream* stream)
{
    if (stream) {
        stream->flush();
        if (stream->status() != QTextStream::Ok)
            fail(device().errorString());
    }
    if (m_direct) {
        const bool flushed = m_file.flush() && m_file.error() == QFileDevice::NoError;
        const QString reason = m_file.errorString();
        m_file.close();
        if (!flushed)
            fail(reason);
        return;
    }
    // The save file reports neither a failed flush of its buffer nor a failed sync (a
    // full disk found only then) and would put a cut-short file in place: both are
    // checked here first.
    if (!m_save.flush() || ::fsync(m_save.handle()) != 0) {
        const QString reason = m_save.error() != QFileDevice::NoError ? m_save.errorString() : qt_error_string(errno);
        m_save.cancelWriting();
        fail(reason);
    }
    if (!m_save.commit())
        fail(m_save.errorString());
}

void TAdminFile::fail(const QString& reason) const
{
    throw TAdminError::refused(QStringLiteral("Unable to write the file %1: %2").arg(m_path, reason));
}
