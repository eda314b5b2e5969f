// The setup editor's account policy: saving the chosen user's policy, the enabling
// rules of the policy controls, the numeric edits and the global account policy.
#include "editor/CSFrmsec.h"

#include "database/EDatabaseError.h"
#include "database/TTransaction.h"
#include "database/TFilter.h"
#include "database/TQuery.h"
#include "editor/CSgapset.h"
#include "editor/TDBLookupComboBox.h"
#include "editor/TFilterScope.h"
#include "editor/TPolicyPages.h"
#include "editor/TRadioGroup.h"
#include "editor/TUpDown.h"
#include "platform/MessageBox.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>

#include <memory>

namespace {
// The number an edit holds, or the fallback when its text is not an integer.
int numberIn(const QLineEdit* edit, int fallback)
{
    bool ok = false;
    const int n = edit->text().trimmed().toInt(&ok);
    return ok ? n : fallback;
}

int intOf(const TQuery* q, const char* column) { return q->fieldByName(QLatin1String(column))->asInteger(); }

void setInt(TQuery* q, const char* column, int value) { q->fieldByName(QLatin1String(column))->setAsInteger(value); }
} // namespace

void TFormCSMain::SaveUserInformation()
{
    const int id = selectedUserId();
    const QString failed = QStringLiteral("Error: Counld Not Updated Password Restrictions");
    {
        TFilterScope scope(sqlUsers, TFilter::equals(QStringLiteral("User_Id"), id));
        if (!sqlUsers->isEmpty()) {
            try {
                sqlUsers->edit();
                setInt(sqlUsers, "CUSTOMACCTPOLICY", 1);
                setInt(sqlUsers, "PWAGING", dbchkPWAgingEnabled->isChecked() ? 1 : 0);
                setInt(sqlUsers, "PWKEEPHIST", grpUniqueness->itemIndex());
                setInt(sqlUsers, "ACCTLOCKING", rbtnAccountLocking->isChecked() ? 1 : 0);
                setInt(sqlUsers, "ALLOWEDATTEMPTS", numberIn(meditNumOfAttempts, 0));
                sqlUsers->post();
            } catch (const EDatabaseError&) {
                sqlUsers->cancel();
                Platform::showError(failed);
            }
        }
    }

    openUserHistory(id);
    TFilterScope scope(sqlPWHist, TFilter::equals(QStringLiteral("User_Id"), id));
    try {
        editUserHistory(id);
        setInt(sqlPWHist, "PWMaxDays", grpMaxAge->itemIndex() > 0 ? numberIn(meditMaxAge, 0) : 0);
        const int minAge = grpMinAge->itemIndex();
        setInt(sqlPWHist, "PWMinDays", minAge == 0 ? 0 : minAge == 1 ? 99999 : numberIn(meditMinAge, 0));
        setInt(sqlPWHist, "PWMinSize", grpMinLength->itemIndex() > 0 ? numberIn(meditMinLength, 0) : 0);
        if (grpUniqueness->itemIndex() == 1)
            setInt(sqlPWHist, "PWCount", numberIn(meditUniqueness, 5));
        sqlPWHist->post();
    } catch (const EDatabaseError&) {
        sqlPWHist->cancel();
        Platform::showError(failed);
    }
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

void TFormCSMain::SaveGAPToUser()
{
    const int id = selectedUserId();
    {
        TFilterScope scope(sqlUsers, TFilter::equals(QStringLiteral("User_Id"), id));
        if (!sqlUsers->isEmpty()) {
            try {
                sqlUsers->edit();
                setInt(sqlUsers, "CUSTOMACCTPOLICY", 0);
                setInt(sqlUsers, "PWAGING", intOf(sqlProgram, "GLB_PWAGING"));
                setInt(sqlUsers, "PWKEEPHIST", intOf(sqlProgram, "GLB_PWKEEPHIST"));
                setInt(sqlUsers, "ACCTLOCKING", intOf(sqlProgram, "GLB_ACCTLOCKING"));
                setInt(sqlUsers, "ALLOWEDATTEMPTS", intOf(sqlProgram, "GLB_ALLOWEDATTEMPTS"));
                sqlUsers->post();
            } catch (const EDatabaseError&) {
                sqlUsers->cancel();
                Platform::showError(QStringLiteral("Error: Counld Not Updated Users Account Policy"));
            }
        }
    }

    openUserHistory(id);
    TFilterScope scope(sqlPWHist, TFilter::equals(QStringLiteral("User_Id"), id));
    try {
        editUserHistory(id);
        setInt(sqlPWHist, "PWMaxDays", intOf(sqlProgram, "GLB_PWMAXDAYS"));
        setInt(sqlPWHist, "PWMinDays", intOf(sqlProgram, "GLB_PWMINDAYS"));
        setInt(sqlPWHist, "PWMinSize", intOf(sqlProgram, "GLB_PWMINSIZE"));
        setInt(sqlPWHist, "PWCount", intOf(sqlProgram, "GLB_PWCOUNT"));
        sqlPWHist->post();
    } catch (const EDatabaseError&) {
        sqlPWHist->cancel();
        Platform::showError(QStringLiteral("Error: Counld Not Updated Password Restrictions"));
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

    auto dialog = std::make_unique<TFrmGAPSettings>(this);
    FrmGAPSettings = dialog.get();
    dialog->loadPolicy(intOf(sqlProgram, "GLB_PWMAXDAYS"), intOf(sqlProgram, "GLB_PWMINDAYS"),
                       intOf(sqlProgram, "GLB_PWAGING"), intOf(sqlProgram, "GLB_PWMINSIZE"),
                       intOf(sqlProgram, "GLB_PWKEEPHIST"), intOf(sqlProgram, "GLB_PWCOUNT"),
                       intOf(sqlProgram, "GLB_ACCTLOCKING"), intOf(sqlProgram, "GLB_ALLOWEDATTEMPTS"));
    const int result = dialog->exec();
    if (result != QDialog::Accepted) {
        dialog.reset();
        FrmGAPSettings = nullptr;
        return;
    }

    sqlProgram->edit();
    const int maxAge = dialog->grpMaxAge->itemIndex();
    setInt(sqlProgram, "GLB_PWMAXDAYS", maxAge > 0 ? numberIn(dialog->meditMaxAge, 21) : 0);
    const int minAge = dialog->grpMinAge->itemIndex();
    setInt(sqlProgram, "GLB_PWMINDAYS", minAge == 0 ? 0 : minAge == 1 ? 99999 : numberIn(dialog->meditMinAge, 1));
    setInt(sqlProgram, "GLB_PWAGING", dialog->ckbxPWAgingEnabled->isChecked() ? 1 : 0);
    setInt(sqlProgram, "GLB_PWMINSIZE",
           dialog->grpMinLength->itemIndex() > 0 ? numberIn(dialog->meditMinLength, 5) : 0);
    setInt(sqlProgram, "GLB_PWKEEPHIST", dialog->grpUniqueness->itemIndex());
    if (dialog->grpUniqueness->itemIndex() == 1)
        setInt(sqlProgram, "GLB_PWCOUNT", numberIn(dialog->meditUniqueness, 5));
    setInt(sqlProgram, "GLB_ACCTLOCKING", dialog->rbtnAccountLocking->isChecked() ? 1 : 0);
    setInt(sqlProgram, "GLB_ALLOWEDATTEMPTS", numberIn(dialog->meditNumOfAttempts, 3));
    sqlProgram->post();
    sqlProgram->close();
    sqlProgram->open();

    sqlUpdate->setDatabaseName(SecAlias);
    sqlUpdate->setSQL(QStringLiteral("UPDATE USERS SET PWAGING = :PWAGING, PWKEEPHIST = :PWKEEPHIST, ") +
                      QStringLiteral("ACCTLOCKING = :ACCTLOCKING, ALLOWEDATTEMPTS = :ALLOWEDATTEMPTS ") +
                      QStringLiteral("WHERE CUSTOMACCTPOLICY=0"));
    sqlUpdate->setParamInteger(QStringLiteral("PWAGING"), intOf(sqlProgram, "GLB_PWAGING"));
    sqlUpdate->setParamInteger(QStringLiteral("PWKEEPHIST"), intOf(sqlProgram, "GLB_PWKEEPHIST"));
    sqlUpdate->setParamInteger(QStringLiteral("ACCTLOCKING"), intOf(sqlProgram, "GLB_ACCTLOCKING"));
    sqlUpdate->setParamInteger(QStringLiteral("ALLOWEDATTEMPTS"), intOf(sqlProgram, "GLB_ALLOWEDATTEMPTS"));
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
    sqlUpdate->setParamInteger(QStringLiteral("PWMAXDAYS"), intOf(sqlProgram, "GLB_PWMAXDAYS"));
    sqlUpdate->setParamInteger(QStringLiteral("PWMINDAYS"), intOf(sqlProgram, "GLB_PWMINDAYS"));
    sqlUpdate->setParamInteger(QStringLiteral("PWCOUNT"), intOf(sqlProgram, "GLB_PWCOUNT"));
    sqlUpdate->setParamInteger(QStringLiteral("PWMINSIZE"), intOf(sqlProgram, "GLB_PWMINSIZE"));
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
    dblkUserName->setKeyValue(-1);
    UpdateUserInformation();
    dialog.reset();
    FrmGAPSettings = nullptr;
}
