#pragma once
// A file a command writes under the name it was asked for. A regular file (or a new
// one) is written beside its place and moved there only when every byte is written,
// so a full disk leaves the old file, or none, rather than a cut-short one. A device
// or a pipe (/dev/stdout, a FIFO) cannot be replaced and is written directly. Every
// write and the close are checked.

#include <QFile>
#include <QSaveFile>
#include <QString>
#include <QTextStream>

class TAdminFile {
public:
    // Opens the file for writing; throws TAdminError (refused) when it cannot.
    explicit TAdminFile(const QString& path);
    TAdminFile(const TAdminFile&) = delete;
    TAdminFile& operator=(const TAdminFile&) = delete;

    QIODevice& device();
    // Writes the bytes; throws TAdminError when they are not all written.
    void write(const QByteArray& bytes);
    // Puts the file in place; throws TAdminError when a write (also one through
    // stream, when given) or the close failed, and then nothing is left under the name
    // but what was there before.
    void commit(QTextStream* stream = nullptr);

private:
    [[noreturn]] void fail(const QString& reason) const;

    QString m_path;
    bool m_direct = false;
    QSaveFile m_save;
    QFile m_file;
};
