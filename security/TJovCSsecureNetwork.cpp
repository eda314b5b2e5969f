// Logon by the identity the network reports, without a password.
#include "security/TJovCSsecure.h"

#include "platform/DynamicLibrary.h"
#include "platform/OsInfo.h"

#include <cstring>

namespace {
// The NetWare client library's connection-status record: 120 bytes, the user name
// a NUL-terminated single-byte text from offset 72.
constexpr int kConnInfoSize = 120;
constexpr int kConnInfoNameOffset = 72;

using PrimaryConnectionIdFn = int (*)(unsigned short* connection);
using ConnectionStatusFn = int (*)(unsigned short connection, void* buffer, int size);
} // namespace

QString TJovCSsecure::GetWindowsUserName() { return Platform::netUserName(); }

QString TJovCSsecure::GetNetwareUserName()
{
    QString result;
    const QString path =
        Platform::searchPath({Platform::programDirectory(), Platform::windowsDirectory(), Platform::systemDirectory()},
                             QStringLiteral("NWCALLS.DLL"));
    if (path.isEmpty())
        return result;
    Platform::DynamicLibrary library;
    if (!library.load(path))
        return result;
    auto primaryConnectionId = reinterpret_cast<PrimaryConnectionIdFn>(library.symbol("NWGETPRIMARYCONNECTIONID"));
    auto connectionStatus = reinterpret_cast<ConnectionStatusFn>(library.symbol("NWGETCONNECTIONSTATUS"));
    if (primaryConnectionId && connectionStatus) {
        unsigned short connection = 0;
        if (primaryConnectionId(&connection) == 0) {
            char connInfo[kConnInfoSize] = {};
            if (connectionStatus(connection, connInfo, kConnInfoSize) == 0) {
                const char* name = connInfo + kConnInfoNameOffset;
                // A library that leaves no NUL still cannot make us read past the record.
                result = QString::fromLocal8Bit(name, qsizetype(strnlen(name, kConnInfoSize - kConnInfoNameOffset)));
            }
        }
    }
    library.unload();
    return result;
}

bool TJovCSsecure::NWLogon()
{
    QString name;
    if (FOptions.testFlag(soWinNetSupport))
        name = GetWindowsUserName();
    if (name.isEmpty() && FOptions.testFlag(soNetwareSupport))
        name = GetNetwareUserName();
    if (name.isEmpty())
        return false;
    // No password: the network has vouched for the name. The supervisor is not a
    // network identity, so "SUPERVISOR" is looked up like any other name.
    return logonByName(name, nullptr);
}
