#pragma once
// The audit trail's hash of an event's content, kept in one place for the programs
// that write events and for audit verify, which hashes a million of them a walk.
//
// The content is each field as its length in bytes, a colon and the bytes: no text a
// field holds can make two different events hash the same content. The fields are the
// previous hash, the id, the time ("yyyy-MM-dd HH:mm:ss.zzz"), the OS user, the
// machine, the security user, the program, the kind, the object's id (empty when
// none), its name and the details, as UTF-8. The hash is SHA-256, in lower-case hex.

#include <QByteArray>
#include <QByteArrayView>
#include <QCryptographicHash>

#include <array>

class TAuditHasher {
public:
    using Fields = std::array<QByteArrayView, 11>;

    // The hex hash of the fields; valid until the next call. One hasher reuses its
    // buffers from event to event.
    QByteArrayView hexOf(const Fields& fields);

private:
    QCryptographicHash m_hash {QCryptographicHash::Sha256};
    QByteArray m_content;
    std::array<char, 64> m_hex {};
};
