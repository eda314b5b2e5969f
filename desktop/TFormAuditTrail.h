#pragma once
// The audit trail viewer: who did what to the security database and when, newest
// first, filtered by days, security user, kind and object, with the count of the
// events shown, the whole of the current event in a pane below, and Verify, which
// walks the hash chain and names the first event changed, deleted or inserted.

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class TAuditQuery;
class TDateEdit;

class TFormAuditTrail : public QDialog {
    Q_OBJECT
public:
    explicit TFormAuditTrail(QWidget* owner = nullptr);
    ~TFormAuditTrail() override;

    QCheckBox* ckbxDates = nullptr;
    TDateEdit* dedFrom = nullptr;
    TDateEdit* dedTo = nullptr;
    QComboBox* cbUser = nullptr;
    QComboBox* cbKind = nullptr;
    QLineEdit* edObject = nullptr;
    QLabel* lblCount = nullptr;
    QTableView* DBGrid1 = nullptr;
    QPlainTextEdit* memEvent = nullptr;
    QPushButton* btnVerify = nullptr;
    QPushButton* OKBtn = nullptr;
    TAuditQuery* sqlAudit = nullptr;

    void setDatabaseName(const QString& name);
    // Opens the trail and fills the filter lists; engine errors are thrown.
    void FormShow();
    void FormHide();
    // Shows the events the filter controls choose; engine errors are shown.
    void applyFilter();
    void btnVerifyClick();

    int columnWidth(int column) const;

protected:
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillFilterLists();
    void showCount();
    void showRow(int row);
    void showCurrentEvent();
};

extern TFormAuditTrail* FormAuditTrail;

// What View Audit Trail on the main window does: the viewer on the database named
// alias, or the message that auditing is off when the database keeps no trail.
void ViewAuditTrail(QWidget* owner, const QString& alias);
