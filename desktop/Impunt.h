#pragma once
// TfrmImport: copies the access constants, users, their access rights and, on
// request, the program description and logging switch of the previous version into
// the open security database. The previous version kept them in four dBASE tables
// in one folder: PRVSEC2.DBF constants, PRVSEC1.DBF users, PRVSEC3.DBF rights,
// PRVSEC4.DBF system information; their text columns are scrambled.
//
// The whole import is one transaction: a failure at any stage takes back every row
// of every stage, and success is reported only once the rows are committed. The
// table files are opened for reading only and stay as they were. A value the new
// column cannot hold, or a damaged table, ends the import with a message naming the
// file, record and field. Every imported user gets a password history row set on
// the day of the import, with the limits a new user gets. A database that already
// holds users or constants is imported into only when the user says so.

#include <QByteArray>
#include <QDialog>
#include <QElapsedTimer>
#include <QString>

#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QFileSystemModel;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTreeView;
class TDbfTable;
class TTable;

// A row's id in the previous version and the id the new database gave it.
struct MapObj {
    qint64 OldID;
    int NewID;
};

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

    // The previous version stored each character c as the byte (128 - c) mod 256.
    // Recovers the bytes of a stored text column: up to the first byte that stands for
    // character 0 (or a zero byte); the blanks that pad the column are not text.
    static QByteArray DescrambleField(const QByteArray& stored);

    // Whether the four files of the previous version are in the folder.
    static bool securityFilesPresent(const QString& directory);

    const QString OpenAlias;

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
    std::unique_ptr<TDbfTable> tblInSec;
    TTable* tblOutSec;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void addLine(const QString& line);
    // Opens an input table and binds the output table to the open database.
    void openTables(const QString& fileName, const QString& tableName);
    void closeTables();
    QString inputText(const QString& fieldName) const;
    // The text of an input field for a column of at most `limit` characters.
    QString inputText(const QString& fieldName, int limit, const QString& column) const;
    // Whether the database may take the import: asks when it holds users or constants.
    bool mayImportInto();
    void startStage(const QString& heading, const QString& fileName, const QString& tableName);
    void rowDone();
    void writeHistoryRows();
    void convertAccessConstants();
    void convertUsers();
    void convertUserAccessRights();
    void convertSystemInformation();
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
    std::vector<MapObj> m_accessMap;
    std::vector<MapObj> m_userMap;
};

// The open import dialog.
extern TfrmImport* frmImport;
