#pragma once
// TfrmImport (unit Impunt): the dialog that imports the access constants, users, their
// access rights and, on request, the program description and logging switch of the
// previous version into the open security database. It names that database, lets the
// user pick the folder of the previous version's four dBASE files, and shows the
// import's lines as TImportRun (rules/) converts them in one transaction: a failure
// takes back every row, and success is reported only once the rows are committed. A
// database that already holds users or constants is imported into only when the user
// says so.

#include <QDialog>
#include <QElapsedTimer>
#include <QString>

class QCheckBox;
class QComboBox;
class QFileSystemModel;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTreeView;

class TfrmImport : public QDialog {
    Q_OBJECT
public:
    // openAlias: the open security database (the desktop's OpenAlias).
    explicit TfrmImport(const QString& openAlias, QWidget* owner = nullptr);
    ~TfrmImport() override;

    // The folder chosen in the directory tree.
    QString directory() const { return m_directory; }
    // Chooses a folder as if it had been picked in the tree.
    void setDirectory(const QString& path);

    // Shows whether the four table files are in the chosen folder.
    void DirectoryListBox1Change();
    // Runs the import.
    void btnImportClick();

    const QString OpenAlias;

    // The database the import writes into: its alias and where it is.
    QLabel* lblDatabase;
    QComboBox* DriveComboBox1;
    QTreeView* DirectoryListBox1;
    QLabel* lblSecStat;
    QLabel* Label1;
    QListWidget* lbStatus;
    // The rows of the current stage read so far.
    QProgressBar* pbProgress;
    QCheckBox* chbxSysConvert;
    QPushButton* btnImport;
    QPushButton* btnCancel;
    QPushButton* btnClose;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void addLine(const QString& line);
    // Whether the database may take the import: asks when it holds users or constants.
    bool mayImportInto();
    void showProgress(const QString& fileName, int done, int total);
    void setBusy(bool busy);
    void driveChosen(int index);
    void treeChosen();
    void revealDirectory();

    QFileSystemModel* m_dirModel;
    QString m_directory;
    bool m_busy = false;
    bool m_revealPending = false;
    QElapsedTimer m_clock;
    qint64 m_lastRepaint = 0;
};

// The open import dialog.
extern TfrmImport* frmImport;
