#include "editor/TFormCSGroup.h"

#include "database/EDatabaseError.h"
#include "database/TQuery.h"
#include "editor/TDBEdit.h"
#include "editor/TEditorAudit.h"
#include "database/TFilterScope.h"
#include "editor/TListBox.h"
#include "platform/FormControls.h"
#include "platform/MessageBox.h"
#include "platform/UnicodeText.h"

#include "widgets/GuardedCommand.h"
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

using Widgets::guarded;

TFormCSGroup* FormCSGroup = nullptr;

using Platform::named;

namespace {
QString pairFilter(const QVariant& groupId, int accessId)
{
    return QStringLiteral("(Group_Id='") + groupId.toString() + QStringLiteral("') and (Access_Id='") +
           QString::number(accessId) + QStringLiteral("')");
}
} // namespace

TFormCSGroup::TFormCSGroup(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("FormCSGroup"));
    setWindowTitle(QStringLiteral("Modify Group Information"));

    dbedGroupName = named(new TDBEdit, "dbedGroupName");
    dbedGroupName->setMaxLength(20);
    lbSelected = named(new TListBox, "lbSelected");
    lbComplete = named(new TListBox, "lbComplete");
    spbtnAdd = named(new QToolButton, "spbtnAdd");
    Platform::makeArrowButton(spbtnAdd, Qt::LeftArrow);
    spbtnAdd->setToolTip(QStringLiteral("Add the selected constant to the group"));
    spbtnDel = named(new QToolButton, "spbtnDel");
    Platform::makeArrowButton(spbtnDel, Qt::RightArrow);
    spbtnDel->setToolTip(QStringLiteral("Take the selected constant out of the group"));
    bbtnOk = named(new QPushButton(QStringLiteral("&OK")), "bbtnOk");
    bbtnOk->setToolTip(QStringLiteral("Store the group's name and close"));
    bbtnCancel = named(new QPushButton(QStringLiteral("&Cancel")), "bbtnCancel");
    bbtnCancel->setToolTip(QStringLiteral("Close without storing the group's name"));

    auto* layout = new QVBoxLayout(this);
    auto* name = new QHBoxLayout;
    name->addWidget(new QLabel(QStringLiteral("Group Name:")));
    name->addWidget(dbedGroupName, 1);
    layout->addLayout(name);
    auto* lists = new QGridLayout;
    lists->addWidget(new QLabel(QStringLiteral("Selected Constants:")), 0, 0);
    lists->addWidget(new QLabel(QStringLiteral("Complete List:")), 0, 2);
    lists->addWidget(lbSelected, 1, 0);
    auto* arrows = new QVBoxLayout;
    arrows->addStretch(1);
    arrows->addWidget(spbtnAdd);
    arrows->addWidget(spbtnDel);
    arrows->addStretch(1);
    lists->addLayout(arrows, 1, 1);
    lists->addWidget(lbComplete, 1, 2);
    layout->addLayout(lists);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(bbtnOk);
    buttons->addWidget(bbtnCancel);
    layout->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(420, 320)));

    connect(spbtnAdd, &QToolButton::clicked, this, [this] { guarded([this] { SelectAccess(); }); });
    connect(spbtnDel, &QToolButton::clicked, this, [this] { guarded([this] { RemoveAccess(); }); });
    connect(lbComplete, &QListWidget::itemDoubleClicked, this, [this] { guarded([this] { SelectAccess(); }); });
    connect(lbSelected, &QListWidget::itemDoubleClicked, this, [this] { guarded([this] { RemoveAccess(); }); });
    connect(bbtnOk, &QPushButton::clicked, this, [this] { guarded([this] { bbtnOkClick(); }); });
    connect(bbtnCancel, &QPushButton::clicked, this, [this] { done(QDialog::Rejected); });
    lbSelected->setDropHandlers([this](QObject* s) { return lbSelectedDragOver(s); },
                                [this](QObject* s) { guarded([this, s] { lbSelectedDragDrop(s); }); });
}

TFormCSGroup::~TFormCSGroup()
{
    if (FormCSGroup == this)
        FormCSGroup = nullptr;
}

void TFormCSGroup::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_shown)
        guarded([this] { FormShow(); });
}

void TFormCSGroup::FormShow()
{
    m_shown = true;
    UpdateAccessInformation();
    UpdateGrpAccInformation();
}

QVariant TFormCSGroup::groupId() const
{
    if (!dsGroup || !dsGroup->active())
        return QVariant();
    return dsGroup->fieldByName(QStringLiteral("Group_ID"))->value();
}

void TFormCSGroup::UpdateAccessInformation()
{
    std::vector<TListBox::Entry> entries;
    if (dsAccess && dsAccess->active()) {
        const int name = dsAccess->fieldByName(QStringLiteral("Access_Name"))->index();
        const int id = dsAccess->fieldByName(QStringLiteral("Access_ID"))->index();
        for (int r = 0; r < dsAccess->totalRowCount(); ++r)
            entries.push_back({dsAccess->rowValue(r, name).toString(), dsAccess->rowValue(r, id).toInt()});
    }
    lbComplete->setEntries(std::move(entries));
}

void TFormCSGroup::UpdateGrpAccInformation()
{
    lbSelected->clear();
    if (!dsGrpAcc || !dsAccess)
        return;
    dsGrpAcc->close();
    dsGrpAcc->open();
    const QVariant group = groupId();
    std::vector<TListBox::Entry> entries;
    if (!group.isNull()) {
        const int accessColumn = dsGrpAcc->fieldByName(QStringLiteral("Access_ID"))->index();
        const int accessKey = dsAccess->fieldByName(QStringLiteral("Access_ID"))->index();
        const int accessName = dsAccess->fieldByName(QStringLiteral("Access_Name"))->index();
        for (int row : dsGrpAcc->rowsWithValue(dsGrpAcc->fieldByName(QStringLiteral("Group_ID"))->index(), group)) {
            const QVariant accessId = dsGrpAcc->rowValue(row, accessColumn);
            const std::vector<int>& constant = dsAccess->rowsWithValue(accessKey, accessId);
            entries.push_back({constant.empty() ? QStringLiteral("Error")
                                                : dsAccess->rowValue(constant.front(), accessName).toString(),
                               accessId.toInt()});
        }
    }
    lbSelected->setEntries(std::move(entries));
}

bool TFormCSGroup::missingName()
{
    if (!dbedGroupName->text().isEmpty())
        return false;
    Platform::messageBox(QStringLiteral("Missing Group Name"), Platform::MsgKind::Warning);
    dbedGroupName->setFocus();
    return true;
}

void TFormCSGroup::SelectAccess()
{
    if (missingName())
        return;
    const int index = lbComplete->itemIndex();
    if (index < 0)
        return;
    if (dsGroup->state() == TQuery::State::Insert) {
        const QString name = dbedGroupName->text();
        postGroup();
        dsGroup->close();
        dsGroup->open();
        const TField* groupName = dsGroup->fieldByName(QStringLiteral("GROUP_NAME"));
        for (dsGroup->first(); !dsGroup->eof(); dsGroup->next())
            if (groupName->asString() == name)
                break;
        if (groupName->asString() != name) {
            Platform::showError(QStringLiteral("Error Adding New Group"));
            return;
        }
    }
    const int accessId = lbComplete->entryId(index);
    {
        TFilterScope scope(dsGrpAcc, pairFilter(groupId(), accessId));
        if (dsGrpAcc->isEmpty()) {
            const QVariant group = groupId();
            dsGrpAcc->append();
            dsGrpAcc->fieldByName(QStringLiteral("Group_Id"))->setValue(group);
            dsGrpAcc->fieldByName(QStringLiteral("Access_Id"))->setAsInteger(accessId);
            TEditorAudit::post(*dsGrpAcc, [&] {
                return constantsChanged(QStringLiteral("Constants added: "), lbComplete->entryText(index));
            });
        }
    }
    UpdateGrpAccInformation();
}

void TFormCSGroup::RemoveAccess()
{
    const int index = lbSelected->itemIndex();
    if (index < 0)
        return;
    {
        TFilterScope scope(dsGrpAcc, pairFilter(groupId(), lbSelected->entryId(index)));
        if (dsGrpAcc->findFirst())
            TEditorAudit::deleteRecord(*dsGrpAcc, [&] {
                return constantsChanged(QStringLiteral("Constants removed: "), lbSelected->entryText(index));
            });
    }
    UpdateGrpAccInformation();
}

bool TFormCSGroup::lbSelectedDragOver(QObject* source) const
{
    const auto* list = qobject_cast<const TListBox*>(source);
    if (!list || list->objectName() != QLatin1String("lbComplete") || list->itemIndex() < 0)
        return false;
    TFilterScope scope(dsGrpAcc, pairFilter(groupId(), list->entryId(list->itemIndex())));
    return dsGrpAcc->isEmpty();
}

void TFormCSGroup::lbSelectedDragDrop(QObject*) { SelectAccess(); }

void TFormCSGroup::bbtnOkClick()
{
    if (missingName() || !Platform::acceptsAsUnicode(dbedGroupName, QStringLiteral("Group Name")))
        return; // the dialog stays open
    if (dsGroup->state() == TQuery::State::Edit || dsGroup->state() == TQuery::State::Insert)
        postGroup();
    done(QDialog::Accepted);
}

void TFormCSGroup::postGroup()
{
    auto groupEvent = [this](const char* kind, const QString& details) {
        return TEditorAudit::event(AuditUser, kind, groupId().toInt(),
                                   dsGroup->fieldByName(QStringLiteral("Group_Name"))->asString(), details);
    };
    if (dsGroup->state() == TQuery::State::Insert) {
        TEditorAudit::post(*dsGroup, [&] { return QList {groupEvent(TAuditKind::GroupAdded, QString())}; });
        return;
    }
    const QString renamed = TEditorAudit::changes(*dsGroup, {QStringLiteral("GROUP_NAME")});
    if (renamed.isEmpty())
        dsGroup->post();
    else
        TEditorAudit::post(*dsGroup, [&] { return QList {groupEvent(TAuditKind::GroupChanged, renamed)}; });
}

QList<TAuditEvent> TFormCSGroup::constantsChanged(const QString& what, const QString& constant) const
{
    // The group's stored name: a new name typed meanwhile counts only when stored.
    return {TEditorAudit::event(AuditUser, TAuditKind::GroupChanged, groupId().toInt(),
                                dsGroup->fieldByName(QStringLiteral("Group_Name"))->oldValue().toString(),
                                what + constant)};
}

void TFormCSGroup::FormClose(int result)
{
    if (result != QDialog::Accepted && dsGroup)
        dsGroup->cancel();
}

void TFormCSGroup::done(int result)
{
    FormClose(result);
    QDialog::done(result);
}
