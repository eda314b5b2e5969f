#pragma once
// TfrmViewLog (unit Vwlogunt): the activity log viewer: the LOG table with each row's
// user and constant names, newest first, filtered by user, constant and days, and Clear
// Log, which empties the table in one transaction (all rows or none).

#include <QDialog>

class QCheckBox;
class QComboBox;
class QPushButton;
class QTableView;
class TDateEdit;
class TLogQuery;
class TQuery;

class TfrmViewLog : public QDialog {
    Q_OBJECT
public:
    explicit TfrmViewLog(QWidget* owner = nullptr);
    ~TfrmViewLog() override;

    QComboBox* cbUser = nullptr;
    QComboBox* cbAccess = nullptr;
    QCheckBox* ckbxDates = nullptr;
    TDateEdit* dedFrom = nullptr;
    TDateEdit* dedTo = nullptr;
    QTableView* DBGrid1 = nullptr;
    QPushButton* btnClearLog = nullptr;
    QPushButton* OKBtn = nullptr;
    TLogQuery* sqlLog = nullptr;
    TQuery* sqlUsers = nullptr;
    TQuery* sqlAccess = nullptr;

    // Opens the look-ups and the log, in this order; engine errors are thrown.
    void FormShow();
    void FormHide();
    void btnClearLogClick();
    // Shows the rows the filter controls choose; engine errors are shown.
    void applyFilter();

    int columnWidth(int column) const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void fillFilterLists();
    void fitColumns();
    void showFirstRow();
    void sortIndicatorChanged(int column, Qt::SortOrder order);
};

extern TfrmViewLog* frmViewLog;

// What View Log on the main window does: the viewer on the database named alias.
void ViewLog(QWidget* owner, const QString& alias);
