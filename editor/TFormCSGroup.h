#pragma once
// TFormCSGroup (unit CSFrmgrp): the group dialog. Names a group and chooses its access
// constants. It works on the editor's record sets (dsGroup, dsAccess, dsGrpAcc point at
// the editor's sqlGroups, sqlAccess and sqlGrpColl); the group is the editor's current
// GROUPS row, a new one when adding.

#include "database/TAuditTrail.h"

#include <QDialog>
#include <QList>

class QToolButton;
class QPushButton;
class TDBEdit;
class TListBox;
class TQuery;

class TFormCSGroup : public QDialog {
    Q_OBJECT
public:
    explicit TFormCSGroup(QWidget* owner = nullptr);
    ~TFormCSGroup() override;

    void FormShow();
    void UpdateAccessInformation();
    void UpdateGrpAccInformation();
    void SelectAccess();
    void RemoveAccess();
    bool lbSelectedDragOver(QObject* source) const;
    void lbSelectedDragDrop(QObject* source);
    void bbtnOkClick();
    // Any result but OK drops the unposted changes of the group's row.
    void FormClose(int result);

    TQuery* dsGroup = nullptr;
    TQuery* dsAccess = nullptr;
    TQuery* dsGrpAcc = nullptr;
    // The security user acting, as the audit trail names them.
    QString AuditUser = QStringLiteral("SUPERVISOR");

    TDBEdit* dbedGroupName;
    TListBox* lbSelected;
    TListBox* lbComplete;
    QToolButton* spbtnAdd;
    QToolButton* spbtnDel;
    QPushButton* bbtnOk;
    QPushButton* bbtnCancel;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The current group's id; null while the group is not posted.
    QVariant groupId() const;
    bool missingName();
    // Posts the group's row with the event of its adding or renaming.
    void postGroup();
    // The event of a change to the group's constants.
    QList<TAuditEvent> constantsChanged(const QString& what, const QString& constant) const;

    bool m_shown = false;
};

// The open group dialog.
extern TFormCSGroup* FormCSGroup;
