// Logon, password change, access test and network logon arrive with the next step;
// until then they refuse.
#include "security/JovCSsec.h"

bool TJovCSsecure::Logon() { return false; }
bool TJovCSsecure::Login() { return Logon(); }
bool TJovCSsecure::LogonEx(const QString&, const QString&) { return false; }
bool TJovCSsecure::NWLogon() { return false; }
QString TJovCSsecure::GetWindowsUserName() { return QString(); }
QString TJovCSsecure::GetNetwareUserName() { return QString(); }
bool TJovCSsecure::ChangePassword() { return false; }
bool TJovCSsecure::PasswordChange() { return ChangePassword(); }
bool TJovCSsecure::PasswordCanChange() const { return false; }
bool TJovCSsecure::PasswordExpired() const { return false; }
bool TJovCSsecure::TestAccess(qint32) { return false; }
