// The setup editor's account policy: saving the chosen user's policy, the enabling
// rules of the policy controls, the numeric edits and the global account policy.
#include "editor/TFormCSMain.h"

#include "database/EDatabaseError.h"
#include "database/TTransaction.h"
#include "database/TFilter.h"
#include "database/TQuery.h"
#include "editor/TFrmGAPSettings.h"
#include "editor/TDBLookupComboBox.h"
#include "editor/TEditorAudit.h"
#include "database/TFilterScope.h"
#include "editor/TPolicyPages.h"
#include "widgets/TRadioGroup.h"
#include "editor/TUpDown.h"
#include "platform/MessageBox.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>

#include <memory>

namespace {
void setInt(TQuery* q, const char* column, int value) { q->fieldByName(QLatin1String(column))->setAsInteger(value); }
} // namespace

void TFormCSMain::SaveUserInformation()
{
    // What the user's policy page stores where an edit holds no integer.
    constexpr TPolicyPages::Numbers fallbacks {0, 0, 0, 5, 0};
    storeUserPolicy(m_policyPages->chosen(fallbacks), true);
}

void TFormCSMain::SaveGAPToUser() { storeUserPolicy(TAccountPolicy::ofProgram(*sqlProgram), false); }

void TFormCSMain::storeUserPolicy(const TAccountPolicy& policy, bool custom)
{
    const int id = selectedUserId();
    const QString restrictionsFailed = QStringLiteral("Error: Counld Not Updated Password Restrictions");
    QString name = dblkUserName->text();
    {
        TFilterScope scope(sqlUsers, TFilter::equals(QStringLiteral("User_Id"), id));
        if (!sqlUsers->isEmpty()) {
            try {
                name = sqlUsers->fieldByName(QStringLiteral("User_Name"))->asString();
                sqlUsers->edit();
                setInt(sqlUsers, "CUSTOMACCTPOLICY", custom ? 1 : 0);
                policy.storeInUser(*sqlUsers);
                postAudited(sqlUsers, TAuditKind::PolicyChanged, id, name,
                            {QStringLiteral("CUSTOMACCTPOLICY"), QStringLiteral("PWAGING"),
                             QStringLiteral("PWKEEPHIST"), QStringLiteral("ACCTLOCKING"),
                             QStringLiteral("ALLOWEDATTEMPTS")});
            } catch (const EDatabaseError&) {
                sqlUsers->cancel();
                Platform::showError(custom ? restrictionsFailed
                                           : QStringLiteral("Error: Counld Not Updated Users Account Policy"));
            }
        }
    }

    openUserHistory(id);
    TFilterScope scope(sqlPWHist, TFilter::equals(QStringLiteral("User_Id"), id));
    try {
        editUserHistory(id);
        policy.storeInHistory(*sqlPWHist);
        postAudited(sqlPWHist, TAuditKind::PolicyChanged, id, name,
                    {QStringLiteral("PWMAXDAYS"), QStringLiteral("PWMINDAYS"), QStringLiteral("PWMINSIZE"),
                     QStringLiteral("PWCOUNT")});
    } catch (const EDatabaseError&) {
        sqlPWHist->cancel();
        Platform::showError(restrictionsFailed);
    }
}

void TFormCSMain::postProgram()
{
    // The labels and switches are the program's; the GLB_ columns its global policy.
    QStringList switches, global;
    for (const QString& column : sqlProgram->fieldNames())
        (column.startsWith(QLatin1String("GLB_"), Qt::CaseInsensitive) ? global : switches) << column;
    const QString switched = TEditorAudit::changes(*sqlProgram, switches);
    const QString policy = TEditorAudit::changes(*sqlProgram, global);
    if (switched.isEmpty() && policy.isEmpty()) {
        sqlProgram->post();
        return;
    }
    TEditorAudit::post(*sqlProgram, [&] {
        QList<TAuditEvent> events;
        if (!switched.isEmpty())
            events << TEditorAudit::event(AuditUser, TAuditKind::ProgramChanged, 0,
                                          sqlProgram->fieldByName(QStringLiteral("Security_Label"))->asString(),
                                          switched);
        if (!policy.isEmpty())
            events << TEditorAudit::event(AuditUser, TAuditKind::PolicyChanged, 0,
                                          QStringLiteral("Global Account Policy"), policy);
        return events;
    });
}

void TFormCSMain::editUserHistory(int userId)
{
    // The filtered history set holds the user's row, or none: then one is added.
    if (sqlPWHist->isEmpty()) {
        sqlPWHist->insert();
        setInt(sqlPWHist, "User_Id", userId);
    } else {
        sqlPWHist->edit();
    }
}

void TFormCSMain::rbtnUseGLBPolicyClick()
{
    const bool custom = rbtnUseCustomPolicy->isChecked();
    pcCAP->setEnabled(custom);
    setFontColor(pcCAP, custom ? QColor(Qt::black) : greyText());
}

void TFormCSMain::dbchkPWAgingEnabledClick() { m_policyPages->agingEnablesAll(); }
void TFormCSMain::grpMaxAgeClick() { m_policyPages->maxAgeChosen(); }
void TFormCSMain::grpMinAgeClick() { m_policyPages->minAgeChosen(); }
void TFormCSMain::grpMinLengthClick() { m_policyPages->minLengthChosen(); }
void TFormCSMain::grpUniquenessClick() { m_policyPages->uniquenessChosen(); }
void TFormCSMain::rbtnAccountLockingClick() { m_policyPages->lockingChosen(true); }

void TFormCSMain::numericExit(QLineEdit* edit, TUpDown* spin)
{
    bool ok = false;
    int n = edit->text().trimmed().toInt(&ok);
    if (!ok || n <= 0) {
        edit->setText(QStringLiteral("001"));
        n = 1;
    }
    spin->setPosition(n);
}

void TFormCSMain::meditMaxAgeExit() { numericExit(meditMaxAge, spinMaxAge); }
void TFormCSMain::meditMinAgeExit() { numericExit(meditMinAge, spinMinAge); }
void TFormCSMain::meditMinLengthExit() { numericExit(meditMinLength, spinMinLength); }
void TFormCSMain::meditUniquenessExit() { numericExit(meditUniqueness, spinUniqueness); }
void TFormCSMain::meditNumOfAttemptsExit() { numericExit(meditNumOfAttempts, spinAllowedAttempts); }

void TFormCSMain::meditNumOfAttemptsKeyPress(QObject*, QChar& key)
{
    // Space, punctuation and letters go; digits, control keys and codes from 127 pass.
    const ushort code = key.unicode();
    if ((code >= 32 && code <= 47) || (code >= 58 && code <= 126))
        key = QChar();
}

void TFormCSMain::btnGAPSettingsClick()
{
    dblkUserNameDropDown();
    // The administrator comes back to the user they were looking at.
    const int chosenUser = selectedUserId();

    auto dialog = std::make_unique<TFrmGAPSettings>(this);
    FrmGAPSettings = dialog.get();
    dialog->loadPolicy(TAccountPolicy::ofProgram(*sqlProgram));
    const int result = dialog->exec();
    if (result != QDialog::Accepted) {
        dialog.reset();
        FrmGAPSettings = nullptr;
        return;
    }

    sqlProgram->edit();
    dialog->policy().storeInProgram(*sqlProgram);
    postProgram();
    sqlProgram->close();
    sqlProgram->open();
    const TAccountPolicy global = TAccountPolicy::ofProgram(*sqlProgram);

    sqlUpdate->setDatabaseName(SecAlias);
    sqlUpdate->setSQL(QStringLiteral("UPDATE USERS SET PWAGING = :PWAGING, PWKEEPHIST = :PWKEEPHIST, ") +
                      QStringLiteral("ACCTLOCKING = :ACCTLOCKING, ALLOWEDATTEMPTS = :ALLOWEDATTEMPTS ") +
                      QStringLiteral("WHERE CUSTOMACCTPOLICY=0"));
    sqlUpdate->setParamInteger(QStringLiteral("PWAGING"), global.aging);
    sqlUpdate->setParamInteger(QStringLiteral("PWKEEPHIST"), global.keepHistory);
    sqlUpdate->setParamInteger(QStringLiteral("ACCTLOCKING"), global.acctLocking);
    sqlUpdate->setParamInteger(QStringLiteral("ALLOWEDATTEMPTS"), global.allowedAttempts);
    try {
        sqlUpdate->execSQL();
    } catch (const EDatabaseError&) {
        Platform::showError(
            QStringLiteral("Error #1: Can not update users Account Policy with changes made to Global Account Policy"));
    }

    sqlUsers->close();
    sqlUsers->open();

    sqlUpdate->setSQL(QStringLiteral("UPDATE PWHist SET PWMAXDAYS = :PWMAXDAYS, PWMINDAYS = :PWMINDAYS, ") +
                      QStringLiteral("PWCOUNT = :PWCOUNT, PWMINSIZE = :PWMINSIZE ") +
                      QStringLiteral("WHERE User_ID = :UserID"));
    sqlUpdate->setParamInteger(QStringLiteral("PWMAXDAYS"), global.maxDays);
    sqlUpdate->setParamInteger(QStringLiteral("PWMINDAYS"), global.minDaysInEffect());
    sqlUpdate->setParamInteger(QStringLiteral("PWCOUNT"), global.count.value_or(0));
    sqlUpdate->setParamInteger(QStringLiteral("PWMINSIZE"), global.minSize);
    {
        // One transaction for the whole walk: a commit per user would cost a disk
        // flush each. A failing user ends the walk; those done before it stay done.
        TTransaction::run(SecAlias, [&] {
            TFilterScope scope(sqlUsers, QStringLiteral("CUSTOMACCTPOLICY='0'"));
            const TField* userId = sqlUsers->fieldByName(QStringLiteral("User_ID"));
            for (sqlUsers->first(); !sqlUsers->eof(); sqlUsers->next()) {
                sqlUpdate->setParamInteger(QStringLiteral("UserID"), userId->asInteger());
                try {
                    sqlUpdate->execSQL();
                } catch (const EDatabaseError& e) {
                    // Losing to another writer runs the whole walk again.
                    if (e.reason() == EDatabaseError::Reason::Conflict || e.reason() == EDatabaseError::Reason::Broken)
                        throw;
                    Platform::showError(QStringLiteral(
                        "Error #2: Can not update users Account Policy with changes made to Global Account Policy"));
                    break;
                }
            }
        });
    }

    sqlPWHist->close();
    sqlPWHist->open();
    // Shown again with what the new global policy gave them; a user deleted
    // meanwhile by another program leaves none chosen.
    dblkUserName->setKeyValue(chosenUser);
    UpdateUserInformation();
    dialog.reset();
    FrmGAPSettings = nullptr;
}
