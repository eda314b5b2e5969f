#pragma once
// TfrmPickList (unit Pickdlg): a modal dialog that lets the user pick one string from a
// list.

#include <QDialog>
#include <QStringList>

class QLabel;
class QListWidget;
class QPushButton;

class TfrmPickList : public QDialog {
    Q_OBJECT
public:
    explicit TfrmPickList(QWidget* owner = nullptr);

    QLabel* lblLabel = nullptr;
    QListWidget* lboxList = nullptr;
    QPushButton* bbtnOk = nullptr;
    QPushButton* bbtnCancel = nullptr;

    // The index kept when the dialog was closed with OK; -1 when nothing was selected.
    int PickedIndex = -1;

    // Keeps the list's selected index and closes the dialog with OK (also the
    // list's double click).
    void bbtnOkClick();
};

extern TfrmPickList* frmPickList;

// Shows the list with the prompt above it; returns the index picked with OK, or -1
// when nothing was selected or the dialog was cancelled. The dialog is owned by the
// application's main window (or by owner when one is given). A valid selected row
// shows selected, so Enter picks it at once.
int PickFromList(const QString& prompt, const QString& caption, const QStringList& items, QWidget* owner = nullptr,
                 int selected = -1);
