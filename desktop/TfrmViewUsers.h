#pragma once
// TfrmViewUsers (unit Vwusrunt): the user list: the names of USERS in alphabetical order.

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;
class TQuery;

class TfrmViewUsers : public QDialog {
    Q_OBJECT
public:
    explicit TfrmViewUsers(QWidget* owner = nullptr);
    ~TfrmViewUsers() override;

    QLabel* lblNetName = nullptr;
    QListWidget* lbUsers = nullptr;
    // What the list holds: every user of the database, not only those logged on.
    QLabel* lblCount = nullptr;
    QPushButton* OKBtn = nullptr;
    TQuery* sqlUserAcc = nullptr;

    // Fills the list; engine errors are thrown.
    void FormShow();
    void FormDestroy();

private:
    void showCount(qsizetype count);
};

extern TfrmViewUsers* frmViewUsers;

// What View Users on the main window does: the list of the database named alias.
void ViewUsers(QWidget* owner, const QString& alias);
