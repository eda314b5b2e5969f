// The setup editor's user access: the labels of the user's grants and adding and
// removing grants by the arrow buttons or by dragging.
#include "editor/TFormCSMain.h"

#include "database/TQuery.h"
#include "editor/TDBLookupComboBox.h"
#include "editor/TEditorAudit.h"
#include "database/TFilterScope.h"
#include "editor/TListBox.h"
#include "rules/TSecurityRules.h"

#include <QTabWidget>

namespace {
// The AccLabel of a grant: a group's name in parentheses, or a constant's name.
constexpr int kAccLabelLength = 22;

QString nameWithId(const TQuery* q, const char* idColumn, const char* nameColumn, const QVariant& id)
{
    if (!q->active())
        return QString();
    const TField* key = q->findField(QLatin1String(idColumn));
    const TField* name = q->findField(QLatin1String(nameColumn));
    if (!key || !name)
        return QString();
    const std::vector<int>& rows = q->rowsWithValue(key->index(), id);
    return rows.empty() ? QString() : q->rowValue(rows.front(), name->index()).toString();
}

bool hasId(const TQuery* q, const char* idColumn, const QVariant& id)
{
    if (!q->active())
        return false;
    const TField* key = q->findField(QLatin1String(idColumn));
    return key && !q->rowsWithValue(key->index(), id).empty();
}
} // namespace

void TFormCSMain::sqlUsrAccCalcFields(TQuery& dataSet)
{
    const QString type = dataSet.fieldByName(QStringLiteral("Type"))->asString().trimmed();
    const QVariant id = dataSet.fieldByName(QStringLiteral("Access_id"))->value();
    QString label;
    // Looked up through the record sets' indexes: a user may hold thousands of grants.
    if (type == QLatin1String("G"))
        label = hasId(sqlGroups, "Group_Id", id)
                    ? QLatin1Char('(') + nameWithId(sqlGroups, "Group_Id", "Group_Name", id) + QLatin1Char(')')
                    : QStringLiteral("(**Error**)");
    else
        label = hasId(sqlAccess, "Access_Id", id) ? nameWithId(sqlAccess, "Access_Id", "Access_Name", id)
                                                  : QStringLiteral("**Error**");
    dataSet.fieldByName(QStringLiteral("AccLabel"))->setAsString(label.left(kAccLabelLength));
}

void TFormCSMain::AddAccess()
{
    const int userId = selectedUserId();
    if (userId == -1)
        return;
    const bool constants = tnbkLists->currentWidget() == tsConstants;
    TListBox* source = constants ? lbConstants : lbGroups;
    const QString type = constants ? QStringLiteral("C") : QStringLiteral("G");
    const int index = source->itemIndex();
    if (index < 0)
        return;
    const int accessId = source->entryId(index);
    if (m_usrAccUser != userId)
        openUserAccess(userId);
    bool added = false;
    {
        TFilterScope scope(sqlUsrAcc, TSecurityRules::grantFilter(userId, accessId, type));
        if (sqlUsrAcc->isEmpty()) {
            sqlUsrAcc->append();
            sqlUsrAcc->fieldByName(QStringLiteral("User_ID"))->setAsInteger(userId);
            sqlUsrAcc->fieldByName(QStringLiteral("Access_ID"))->setAsInteger(accessId);
            sqlUsrAcc->fieldByName(QStringLiteral("Type"))->setAsString(type);
            // As the user's list shows it: a group's name in parentheses.
            const QString name = source->entryText(index);
            const QString label = constants ? name : QLatin1Char('(') + name + QLatin1Char(')');
            TEditorAudit::post(*sqlUsrAcc, [&] {
                return QList {
                    TEditorAudit::event(AuditUser, TAuditKind::GrantGiven, userId, dblkUserName->text(), label)};
            });
            added = true;
        }
    }
    if (added)
        UpdateUserInformation();
}

void TFormCSMain::RemoveAccess()
{
    const int index = lbUsrAccess->itemIndex();
    const int userId = selectedUserId();
    if (index < 0 || userId == -1)
        return;
    const QString type =
        lbUsrAccess->entryText(index).startsWith(QLatin1Char('(')) ? QStringLiteral("G") : QStringLiteral("C");
    if (m_usrAccUser != userId)
        openUserAccess(userId);
    TFilterScope scope(sqlUsrAcc, TSecurityRules::grantFilter(userId, lbUsrAccess->entryId(index), type));
    if (sqlUsrAcc->findFirst()) {
        TEditorAudit::deleteRecord(*sqlUsrAcc, [&] {
            return QList {TEditorAudit::event(AuditUser, TAuditKind::GrantTaken, userId, dblkUserName->text(),
                                              lbUsrAccess->entryText(index))};
        });
        lbUsrAccess->removeEntry(index);
    }
}

bool TFormCSMain::lbUsrAccessDragOver(QObject* source) const
{
    const auto* list = qobject_cast<const TListBox*>(source);
    return !dblkUserName->text().isEmpty() && list && list->itemIndex() >= 0;
}

void TFormCSMain::lbUsrAccessDragDrop(QObject*) { AddAccess(); }

bool TFormCSMain::lbConstantsDragOver(QObject* source) const
{
    // Dropping an entry of the user's list back on the constants removes it.
    return source == lbUsrAccess && !dblkUserName->text().isEmpty() && lbUsrAccess->itemIndex() >= 0;
}

void TFormCSMain::lbConstantsDragDrop(QObject*) { RemoveAccess(); }
