#pragma once
// TJovCSsecureState (unit JovCSsecState): a copy of the component's current-user state,
// put back when a logon that has already loaded a user's row fails afterwards (the
// forced password change).

#include "security/TJovCSsecure.h"

class TJovCSsecureState {
public:
    explicit TJovCSsecureState(const TJovCSsecure& c)
        : m_userID(c.FUserID),
          m_userName(c.FUserName),
          m_userPassword(c.FUserPassword),
          m_userDef1(c.FUserDef1),
          m_userDef2(c.FUserDef2),
          m_userLastAccess(c.FUserLastAccess),
          m_userAccessCount(c.FUserAccessCount),
          m_userAdmin(c.FUserAdmin),
          m_userEnabled(c.FUserEnabled),
          m_pwNoChange(c.FPWNoChange),
          m_pwNeverExpires(c.FPWNeverExpires),
          m_pwMustChange(c.FPWMustChange),
          m_pwSetDate(c.FPWSetDate),
          m_pwMaxDays(c.FPWMaxDays),
          m_pwMinDays(c.FPWMinDays)
    { }

    void restore(TJovCSsecure& c) const
    {
        c.FUserID = m_userID;
        c.FUserName = m_userName;
        c.FUserPassword = m_userPassword;
        c.FUserDef1 = m_userDef1;
        c.FUserDef2 = m_userDef2;
        c.FUserLastAccess = m_userLastAccess;
        c.FUserAccessCount = m_userAccessCount;
        c.FUserAdmin = m_userAdmin;
        c.FUserEnabled = m_userEnabled;
        c.FPWNoChange = m_pwNoChange;
        c.FPWNeverExpires = m_pwNeverExpires;
        c.FPWMustChange = m_pwMustChange;
        c.FPWSetDate = m_pwSetDate;
        c.FPWMaxDays = m_pwMaxDays;
        c.FPWMinDays = m_pwMinDays;
    }

private:
    qint32 m_userID;
    QString m_userName;
    QString m_userPassword;
    QString m_userDef1;
    QString m_userDef2;
    QDateTime m_userLastAccess;
    int m_userAccessCount;
    int m_userAdmin;
    int m_userEnabled;
    int m_pwNoChange;
    int m_pwNeverExpires;
    int m_pwMustChange;
    QDateTime m_pwSetDate;
    int m_pwMaxDays;
    int m_pwMinDays;
};
