// The setup editor's users page: choosing, adding, editing and deleting users, and
// loading the chosen user's policy into the policy controls.
#include "editor/TFormCSMain.h"

#include "database/EDatabaseError.h"
#include "database/TDatabase.h"
#include "database/TFilter.h"
#include "database/TQuery.h"
#include "editor/TformCSUser.h"
#include "editor/TDBLookupComboBox.h"
#include "editor/TEditorAudit.h"
#include "database/TFilterScope.h"
#include "editor/TListBox.h"
#include "editor/TPolicyPages.h"
#include "widgets/TRadioGroup.h"
#include "rules/TSecurityRules.h"
#include "editor/TUpDown.h"
#include "platform/MessageBox.h"

#include <QCheckBox>
#include <QDate>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include <memory>

namespace {
int intOf(const TQuery* q, const char* column) { return q->fieldByName(QLatin1String(column))->asInteger(); }
} // namespace

int TFormCSMain::selectedUserId() const
{
    if (dblkUserName->text().isEmpty())
        return -1;
    bool ok = false;
    const int id = dblkUserName->keyValue().toString().toInt(&ok);
    return ok ? id : -1;
}

void TFormCSMain::dblkUserNameChange() { UpdateUserInformation(); }

void TFormCSMain::dblkUserNameDropDown()
{
    if (selectedUserId() > -1)
        saveSelectedUser();
}

void TFormCSMain::clearPolicyControls()
{
    grpCAP->setEnabled(false);
    setFontColor(grpCAP, greyText());
    for (TRadioGroup* g : {grpUniqueness, grpMinLength, grpMaxAge, grpMinAge})
        g->setItemIndex(-1);
    // Both locking buttons show unchecked: they are exclusive only while one is set.
    for (QRadioButton* b : {rbtnAccountLocking, rbtnNoLocking}) {
        const bool blocked = b->blockSignals(true);
        b->setAutoExclusive(false);
        b->setChecked(false);
        b->setAutoExclusive(true);
        b->blockSignals(blocked);
    }
    for (TUpDown* s : {spinMaxAge, spinMinAge, spinMinLength, spinUniqueness, spinAllowedAttempts})
        s->setEnabled(false);
    lblEffectivePolicy->clear();
}

void TFormCSMain::showEffectivePolicy(const TAccountPolicy& policy, bool custom)
{
    lblEffectivePolicy->setText(
        (custom ? QStringLiteral("Own account policy: ") : QStringLiteral("Global account policy: ")) +
        policy.describe());
}

void TFormCSMain::refreshEffectivePolicy(int userId)
{
    TAccountPolicy policy;
    bool custom = false;
    {
        TFilterScope scope(sqlUsers, TFilter::equals(QStringLiteral("User_Id"), userId));
        if (sqlUsers->isEmpty())
            return;
        custom = intOf(sqlUsers, "CUSTOMACCTPOLICY") == 1;
        policy.readUserRow(*sqlUsers);
    }
    openUserHistory(userId);
    TFilterScope scope(sqlPWHist, TFilter::equals(QStringLiteral("User_Id"), userId));
    if (!sqlPWHist->isEmpty())
        policy.readHistoryRow(*sqlPWHist);
    showEffectivePolicy(policy, custom);
}

void TFormCSMain::UpdateUserInformation()
{
    lbUsrAccess->clear();
    const int id = selectedUserId();
    if (id == -1) {
        clearPolicyControls();
        return;
    }
    openUserAccess(id);
    fillAccessList();
    loadPolicy(id);
}

void TFormCSMain::openUserAccess(int userId)
{
    sqlUsrAcc->close();
    sqlUsrAcc->setParamInteger(QStringLiteral("User_ID"), userId);
    sqlUsrAcc->open();
    m_usrAccUser = userId;
}

void TFormCSMain::openUserHistory(int userId)
{
    sqlPWHist->close();
    sqlPWHist->setParamInteger(QStringLiteral("User_ID"), userId);
    sqlPWHist->open();
}

void TFormCSMain::fillAccessList()
{
    std::vector<TListBox::Entry> entries;
    {
        TFilterScope scope(sqlUsrAcc, TFilter::equals(QStringLiteral("User_Id"), m_usrAccUser));
        const TField* label = sqlUsrAcc->fieldByName(QStringLiteral("AccLabel"));
        const TField* accessId = sqlUsrAcc->fieldByName(QStringLiteral("Access_Id"));
        entries.reserve(size_t(sqlUsrAcc->recordCount()));
        for (sqlUsrAcc->first(); !sqlUsrAcc->eof(); sqlUsrAcc->next())
            entries.push_back({label->asString(), accessId->asInteger()});
    }
    lbUsrAccess->setEntries(std::move(entries));
}

void TFormCSMain::loadPolicy(int userId)
{
    TAccountPolicy policy;
    bool custom = false;
    {
        TFilterScope scope(sqlUsers, TFilter::equals(QStringLiteral("User_Id"), userId));
        // A user deleted meanwhile by another program shows the history row alone.
        if (!sqlUsers->isEmpty()) {
            grpCAP->setEnabled(true);
            setFontColor(grpCAP, Qt::black);
            const int customPolicy = intOf(sqlUsers, "CUSTOMACCTPOLICY");
            custom = customPolicy == 1;
            if (customPolicy == 1)
                rbtnUseCustomPolicy->setChecked(true);
            else if (customPolicy == 0)
                rbtnUseGLBPolicy->setChecked(true);
            rbtnUseGLBPolicyClick();
            policy.readUserRow(*sqlUsers);
        }
    }

    openUserHistory(userId);
    TFilterScope scope(sqlPWHist, TFilter::equals(QStringLiteral("User_Id"), userId));
    if (sqlPWHist->isEmpty())
        addHistoryRow(userId);
    policy.readHistoryRow(*sqlPWHist);
    showEffectivePolicy(policy, custom);
    // A user who never remembered passwords shows the global count to start from.
    if (policy.count.value_or(0) <= 0)
        policy.count = intOf(sqlProgram, "GLB_PWCount");
    m_policyPages->show(policy);
}

void TFormCSMain::addHistoryRow(int userId)
{
    try {
        sqlPWHist->insert();
        sqlPWHist->fieldByName(QStringLiteral("User_Id"))->setAsInteger(userId);
        // The new row holds the user id alone; the columns read as 0 until the
        // user's policy is saved.
        for (const char* column : {"PWMAXDAYS", "PWMINDAYS", "PWMINSIZE", "PWCOUNT"})
            sqlPWHist->fieldByName(QLatin1String(column))->clear();
        sqlPWHist->post();
        if (!sqlPWHist->findFirst())
            throw EDatabaseError(QStringLiteral("The new row was not found"));
    } catch (const EDatabaseError&) {
        sqlPWHist->cancel();
        Platform::showError(QStringLiteral("Error Creating Password History Record"));
    }
}

void TFormCSMain::showUserDialog(int userId, bool adding)
{
    auto dialog = std::make_unique<TformCSUser>(this);
    FormCSUser = dialog.get();
    dialog->qryUpdateUsers->setDatabaseName(SecAlias);
    dialog->iUserId = userId;
    dialog->AuditUser = AuditUser;
    dialog->bbtnAnother->setVisible(adding);
    dialog->lblDef1->setText(TformCSUser::fieldCaption(sqlProgram->fieldByName(QStringLiteral("Label1"))->asString()));
    dialog->lblDef2->setText(TformCSUser::fieldCaption(sqlProgram->fieldByName(QStringLiteral("Label2"))->asString()));
    dialog->exec();
    dialog.reset();
    FormCSUser = nullptr;
}

void TFormCSMain::spbtnAddUserClick()
{
    showUserDialog(0, true);

    sqlUsers->close();
    sqlUsers->open();
    // Every user gets a password history row, set today, with the global limits.
    sqlUpdate->setDatabaseName(SecAlias);
    TSecurityRules::addMissingHistoryRows(*sqlUpdate, TAccountPolicy::ofProgram(*sqlProgram));

    sqlPWHist->close();
    sqlPWHist->open();
    sqlUsers->last();
    if (!sqlUsers->isEmpty())
        dblkUserName->setKeyValue(sqlUsers->fieldByName(QStringLiteral("User_ID"))->value());
    UpdateUserInformation();
}

void TFormCSMain::spbtnEditUserClick()
{
    if (dblkUserName->text().isEmpty())
        return;
    showUserDialog(selectedUserId(), false);
    sqlUsers->close();
    sqlUsers->open();
    UpdateUserInformation();
}

void TFormCSMain::spbtnDelUserClick()
{
    const QString name = dblkUserName->text();
    const int id = selectedUserId();
    if (name.isEmpty() || id == -1)
        return;
    if (!Platform::askYesNo(QStringLiteral("Confirm deletion of ") + name, Platform::MsgKind::Warning))
        return;

    sqlUpdate->setDatabaseName(sqlUsrAcc->databaseName());
    try {
        runAudited(TSecurityRules::deleteUserStatements(id), TAuditKind::UserDeleted, id, name);
    } catch (const EDatabaseError&) {
        Platform::showError(TSecurityRules::errorDeletingUser(name));
    }

    openUserAccess(-1);
    sqlPWHist->close();
    sqlPWHist->open();
    sqlUsers->close();
    sqlUsers->open();
    dblkUserName->setKeyValue(-1);
    UpdateUserInformation();
}

void TFormCSMain::runInTransaction(const QStringList& statements)
{
    TSecurityRules::runInTransaction(*sqlUpdate, statements);
}

void TFormCSMain::runAudited(const QStringList& statements, const char* kind, int objectId, const QString& objectName)
{
    TEditorAudit::run(
        sqlUpdate->databaseName(), [&] { runInTransaction(statements); },
        [&] { return QList {TEditorAudit::event(AuditUser, kind, objectId, objectName)}; });
}

void TFormCSMain::postAudited(TQuery* set, const char* kind, int objectId, const QString& objectName,
                              const QStringList& columns)
{
    const QString details = TEditorAudit::changes(*set, columns);
    if (details.isEmpty()) {
        set->post();
        return;
    }
    TEditorAudit::post(*set,
                       [&] { return QList {TEditorAudit::event(AuditUser, kind, objectId, objectName, details)}; });
}
