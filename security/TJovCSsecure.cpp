#include "security/TJovCSsecure.h"

#include "database/EDatabaseError.h"
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "platform/Application.h"
#include "platform/MessageBox.h"
#include "security/TAccessIndex.h"

TJovCSsecure::TJovCSsecure(QObject* owner) : QObject(owner)
{
    FOptions = TSecurityOptions(soAutoValidate) | soShowUI;
    FUserID = -1;
    FUserLastAccess = zeroDateTime();
    FPWSetDate = zeroDateTime();
    FDatabase = new TDatabase(this);
    FSQLUpdate = new TQuery(this);
}

TJovCSsecure::~TJovCSsecure()
{
    if (FLog) {
        FLog->close();
        delete FLog;
        FLog = nullptr;
    }
    freeStartupSets();
    FDatabase->close();
    TDatabase::dropTemporaryConnections();
    delete FDatabase;
    FDatabase = nullptr;
    FSQLUpdate->close();
    delete FSQLUpdate;
    FSQLUpdate = nullptr;
}

QDateTime TJovCSsecure::zeroDateTime()
{
    // Day zero of the old date-time type.
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

void TJovCSsecure::freeStartupSets()
{
    if (FGroupAcc && FUserAcc) {
        FGroupAcc->close();
        FUserAcc->close();
    }
    delete FGroupAcc;
    delete FUserAcc;
    FGroupAcc = nullptr;
    FUserAcc = nullptr;
    FGroupAccUnread = FUserAccUnread = false;
    FAccessIndex.reset();
}

TQuery* TJovCSsecure::groupAccessSet() const
{
    readOnRequest(FGroupAcc, FGroupAccUnread);
    return FGroupAcc;
}

TQuery* TJovCSsecure::userAccessSet() const
{
    readOnRequest(FUserAcc, FUserAccUnread);
    return FUserAcc;
}

void TJovCSsecure::readOnRequest(TQuery* set, bool& unread) const
{
    if (!unread || !set)
        return;
    unread = false;
    try {
        set->open();
    } catch (const EDatabaseError&) {
        Platform::showError(QStringLiteral("Unable to Access Security Files"));
    }
}

void TJovCSsecure::buildAccessIndex()
{
    auto index = std::make_unique<TAccessIndex>();
    index->build(*FUserAcc, *FGroupAcc);
    FAccessIndex = std::move(index);
}

void TJovCSsecure::Loaded()
{
    if (FDesigning) {
        FGroupAcc = nullptr;
        FUserAcc = nullptr;
        return;
    }
    TDatabase::setLoginPromptHandler(&Platform::loginPrompt);
    try {
        FDatabase->close();
        FDatabase->setAliasName(FAlias);
        FDatabase->setDatabaseName(FAlias);
        FDatabase->setParams({QStringLiteral("PASSWORD=") + FPassword});
        FDatabase->setLoginPrompt(false);
        FDatabase->open();

        FAccessIndex.reset();
        if (FUserGrantsOnly) {
            makeUserGrantSets();
        } else {
            // Every grant goes into the access index straight from the engine; the
            // record sets over them read their rows only if the application asks for
            // them (at a million grants the rows as record-set values were over
            // 100 MB that nothing read).
            delete FGroupAcc;
            FGroupAcc = new TQuery(this);
            FGroupAcc->setDatabaseName(FAlias);
            FGroupAcc->setSQL(QStringLiteral("Select * from GrpColl"));
            delete FUserAcc;
            FUserAcc = new TQuery(this);
            FUserAcc->setDatabaseName(FAlias);
            FUserAcc->setSQL(QStringLiteral("Select * from UserAcc"));
            FGroupAccUnread = FUserAccUnread = true;
            auto index = std::make_unique<TAccessIndex>();
            index->read(FAlias);
            FAccessIndex = std::move(index);
        }

        TQuery program;
        program.setDatabaseName(FAlias);
        program.setSQL(QStringLiteral("SELECT * FROM PROGRAM"));
        program.open();
        program.first();
        if (program.fieldByName(QStringLiteral("Enabled"))->asInteger() != 1) {
            if (FOptions.testFlag(soShowUI))
                Platform::showError(QStringLiteral("Security for this application has been disabled."));
            program.close();
            Platform::terminateApplication();
            return;
        }
        if (program.fieldByName(QStringLiteral("LogEnabled"))->asInteger() == 1) {
            delete FLog;
            FLog = new TQuery(this);
            FLog->setDatabaseName(FAlias);
            FLog->setSQL(QStringLiteral("SELECT * FROM LOG"));
            // Only its presence counts; a large site's log is not read at each start.
            if (!FUserGrantsOnly)
                FLog->open();
        } else {
            delete FLog;
            FLog = nullptr;
        }
        program.close();

        if (!FOptions.testFlag(soAutoValidate))
            return;
        if (FOptions.testFlag(soWinNetSupport) || FOptions.testFlag(soNetwareSupport)) {
            if (!NWLogon() && !Logon())
                Platform::terminateApplication();
        } else if (!Logon()) {
            Platform::terminateApplication();
        }
    } catch (const EDatabaseError& e) {
        // When the local engine cannot be used at all, the user learns why and what to do.
        QString text = QStringLiteral("Error occured initializing security. Execution Ending.");
        if (e.reason() == EDatabaseError::Reason::Unavailable)
            text += QStringLiteral("\n\n") + e.message();
        Platform::showError(text);
        FDatabase->close();
        TDatabase::dropTemporaryConnections();
        Platform::terminateApplication();
    }
}

bool TJovCSsecure::TerminationRequested() { return Platform::terminationRequested(); }

void TJovCSsecure::setActive(bool on)
{
    if (!on && FUserID >= 0)
        logOff();
}

void TJovCSsecure::logOff()
{
    FUserID = -1;
    FUserName.clear();
    FUserPassword.clear();
    FUserDef1.clear();
    FUserDef2.clear();
    FPWSetDate = zeroDateTime();
    FUserLastAccess = zeroDateTime();
    FPWMaxDays = 0;
    FPWMinDays = 0;
    FUserAccessCount = 0;
    FUserAdmin = 0;
}
