#include "database/TAuditHasher.h"

#include <charconv>

QByteArrayView TAuditHasher::hexOf(const Fields& fields)
{
    m_content.resize(0);
    for (const QByteArrayView field : fields) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, field.size()).ptr;
        m_content.append(digits, end - digits);
        m_content.append(':');
        m_content.append(field);
    }
    m_hash.reset();
    m_hash.addData(m_content);
    const QByteArrayView digest = m_hash.resultView();
    static constexpr char kDigits[] = "0123456789abcdef";
    for (qsizetype i = 0; i < digest.size(); ++i) {
        const auto byte = static_cast<unsigned char>(digest[i]);
        m_hex[size_t(2 * i)] = kDigits[byte >> 4];
        m_hex[size_t(2 * i + 1)] = kDigits[byte & 15];
    }
    return QByteArrayView(m_hex.data(), 2 * digest.size());
}
