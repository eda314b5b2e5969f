// Stand-in for the NetWare client library. The primary connection exists while
// JOVSEC_NW_USER is set, and its status reports that name at offset 72 of the
// 120-byte record. JOVSEC_NW_UNTERMINATED fills the name field to the end of the
// record without a NUL. Every call marks JOVSEC_NW_CALLED, so a test can tell
// whether the library was consulted.
#include <cstdlib>
#include <cstring>

namespace {
constexpr unsigned short kConnection = 7;
constexpr int kRecordSize = 120;
constexpr int kNameOffset = 72;
} // namespace

extern "C" __attribute__((visibility("default"))) int NWGETPRIMARYCONNECTIONID(unsigned short* connection)
{
    setenv("JOVSEC_NW_CALLED", "1", 1);
    if (!getenv("JOVSEC_NW_USER"))
        return 0x8801;
    *connection = kConnection;
    return 0;
}

extern "C" __attribute__((visibility("default"))) int NWGETCONNECTIONSTATUS(unsigned short connection, void* buffer,
                                                                            int size)
{
    const char* user = getenv("JOVSEC_NW_USER");
    if (connection != kConnection || size != kRecordSize || !user)
        return 0x8802;
    char* record = static_cast<char*>(buffer);
    std::memset(record, 0, kRecordSize);
    if (getenv("JOVSEC_NW_UNTERMINATED"))
        std::memset(record + kNameOffset, 'A', kRecordSize - kNameOffset);
    else
        std::strncpy(record + kNameOffset, user, kRecordSize - kNameOffset - 1);
    return 0;
}
