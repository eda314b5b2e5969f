// The setup editor's groups and access constants: the two lists of the notebook,
// the constant prompt and the group dialog.
#include "editor/TFormCSMain.h"

#include "database/TFilter.h"
#include "database/TQuery.h"
#include "editor/TFormCSGroup.h"
#include "editor/TDBEdit.h"
#include "editor/TEditorAudit.h"
#include "database/TFilterScope.h"
#include "editor/TListBox.h"
#include "rules/TSecurityRules.h"
#include "platform/MessageBox.h"
#include "platform/UnicodeText.h"

#include <memory>

namespace {
std::vector<TListBox::Entry> entriesOf(const TQuery* q, const char* nameColumn, const char* idColumn)
{
    std::vector<TListBox::Entry> entries;
    const int name = q->fieldByName(QLatin1String(nameColumn))->index();
    const int id = q->fieldByName(QLatin1String(idColumn))->index();
    entries.reserve(size_t(q->totalRowCount()));
    for (int r = 0; r < q->totalRowCount(); ++r)
        entries.push_back({q->rowValue(r, name).toString(), q->rowValue(r, id).toInt()});
    return entries;
}

bool labelTooLong(const QString& label)
{
    if (label.size() <= TSecurityRules::AccessNameLength)
        return false;
    Platform::showError(TSecurityRules::accessLabelTooLong());
    return true;
}

// A label the constant can hold: valid text of at most 20 characters.
bool labelRefused(const QString& label)
{
    return !Platform::acceptsAsUnicode(label, QStringLiteral("Access Label")) || labelTooLong(label);
}
} // namespace

void TFormCSMain::UpdateAccessInformation()
{
    lbConstants->clear();
    sqlAccess->close();
    sqlAccess->open();
    lbConstants->setEntries(entriesOf(sqlAccess, "Access_Name", "Access_ID"));
    // The id is what a secured application passes to TestAccess.
    for (int i = 0; i < lbConstants->entryCount(); ++i)
        lbConstants->item(i)->setToolTip(constantIdText(lbConstants->entryId(i)));
}

QString TFormCSMain::constantIdText(int accessId)
{
    return QStringLiteral("Id %1: pass %1 to TestAccess to ask for this constant").arg(accessId);
}

void TFormCSMain::UpdateGroupInformation()
{
    lbGroups->clear();
    sqlGroups->close();
    sqlGroups->open();
    lbGroups->setEntries(entriesOf(sqlGroups, "Group_Name", "Group_ID"));
}

void TFormCSMain::spbtnAccAddClick()
{
    QString label;
    if (Platform::inputBox(QStringLiteral("Add New Access Constant"), QStringLiteral("Access Label"), label) &&
        !label.isEmpty() && !labelRefused(label)) {
        TFilterScope scope(sqlAccess, TFilter::equals(QStringLiteral("Access_Name"), label));
        if (sqlAccess->isEmpty()) {
            sqlAccess->append();
            sqlAccess->fieldByName(QStringLiteral("Access_Name"))->setAsString(label);
            TEditorAudit::post(*sqlAccess, [&] {
                const int id = sqlAccess->fieldByName(QStringLiteral("Access_ID"))->asInteger();
                return QList {TEditorAudit::event(AuditUser, TAuditKind::ConstantAdded, id, label)};
            });
        } else {
            Platform::showError(TSecurityRules::duplicateConstantAdd());
        }
    }
    UpdateAccessInformation();
}

void TFormCSMain::spbtnAccEditClick()
{
    const int index = lbConstants->itemIndex();
    if (index < 0)
        return;
    const QString oldName = lbConstants->entryText(index);
    QString label = oldName;
    const QString id = QString::number(lbConstants->entryId(index));
    if (!Platform::inputBox(QStringLiteral("Edit Access Constant"), QStringLiteral("Access Label"), label,
                            {QStringLiteral("Id (for TestAccess):"), id}) ||
        label.isEmpty() || labelRefused(label))
        return;
    {
        TFilterScope scope(sqlAccess, TFilter::equals(QStringLiteral("Access_Name"), label));
        if (!sqlAccess->isEmpty()) {
            Platform::showError(TSecurityRules::duplicateConstantChange());
        } else {
            sqlAccess->setFilter(TFilter::equals(QStringLiteral("Access_Name"), oldName));
            if (!sqlAccess->isEmpty()) {
                sqlAccess->edit();
                sqlAccess->fieldByName(QStringLiteral("Access_Name"))->setAsString(label);
                postAudited(sqlAccess, TAuditKind::ConstantChanged, lbConstants->entryId(index), label,
                            {QStringLiteral("ACCESS_NAME")});
            }
        }
    }
    UpdateAccessInformation();
    UpdateUserInformation();
}

void TFormCSMain::spbtnAccDelClick()
{
    const int index = lbConstants->itemIndex();
    if (index < 0)
        return;
    const QString name = lbConstants->entryText(index);
    const int id = lbConstants->entryId(index);
    const auto holders = TSecurityRules::constantHolders(SecAlias, id);
    if (!Platform::askYesNo(TSecurityRules::confirmDeletion(name, holders, false), Platform::MsgKind::Warning))
        return;
    {
        TFilterScope scope(sqlAccess, TFilter::equals(QStringLiteral("Access_ID"), id));
        if (!sqlAccess->isEmpty()) {
            // The constant, its direct grants and its group memberships go together.
            sqlUpdate->setDatabaseName(SecAlias);
            runAudited(TSecurityRules::deleteConstantStatements(id), TAuditKind::ConstantDeleted, id, name);
            sqlGrpColl->close();
            sqlGrpColl->open();
            m_usrAccUser = kNoUserHeld;
        }
    }
    UpdateUserInformation();
    UpdateAccessInformation();
}

void TFormCSMain::showGroupDialog()
{
    auto dialog = std::make_unique<TFormCSGroup>(this);
    FormCSGroup = dialog.get();
    dialog->dsGroup = sqlGroups;
    dialog->dsAccess = sqlAccess;
    dialog->dsGrpAcc = sqlGrpColl;
    dialog->AuditUser = AuditUser;
    dialog->dbedGroupName->setDataField(sqlGroups, QStringLiteral("Group_Name"));
    dialog->exec();
    dialog.reset();
    FormCSGroup = nullptr;
}

void TFormCSMain::spbtnAddGroupClick()
{
    sqlGroups->append();
    showGroupDialog();
    UpdateGroupInformation();
}

void TFormCSMain::spbtnEditGroupClick()
{
    const int index = lbGroups->itemIndex();
    if (index < 0)
        return;
    bool found = false;
    {
        TFilterScope scope(sqlGroups, TFilter::equals(QStringLiteral("Group_ID"), lbGroups->entryId(index)));
        found = !sqlGroups->isEmpty();
        if (found)
            showGroupDialog();
    }
    if (found) {
        UpdateGroupInformation();
        UpdateUserInformation();
    }
}

void TFormCSMain::spbtnDelGroupClick()
{
    const int index = lbGroups->itemIndex();
    if (index < 0)
        return;
    const QString name = lbGroups->entryText(index);
    const int id = lbGroups->entryId(index);
    const auto holders = TSecurityRules::groupHolders(SecAlias, id);
    if (!Platform::askYesNo(TSecurityRules::confirmDeletion(name, holders, true), Platform::MsgKind::Warning))
        return;
    bool found = false;
    {
        TFilterScope scope(sqlGroups, TFilter::equals(QStringLiteral("Group_ID"), id));
        found = !sqlGroups->isEmpty();
        if (found) {
            sqlUpdate->setDatabaseName(SecAlias);
            runAudited(TSecurityRules::deleteGroupStatements(id), TAuditKind::GroupDeleted, id, name);
            sqlGrpColl->close();
            sqlGrpColl->open();
            m_usrAccUser = kNoUserHeld;
        }
    }
    if (found) {
        UpdateUserInformation();
        UpdateGroupInformation();
    }
}
