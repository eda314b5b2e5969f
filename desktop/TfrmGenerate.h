#pragma once
// TfrmGenerate (unit Gendlunt): the constants generator: the dialog that chooses where
// the access constants go (the clipboard, a Pascal include file or a C++ header), and
// the texts written.

#include "rules/TAccessConstants.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;
class TQuery;
class TRadioGroup;

class TfrmGenerate : public QDialog {
    Q_OBJECT
public:
    enum Output { ToClipboard = 0, ToPascalFile = 1, ToCppHeader = 2 };

    explicit TfrmGenerate(QWidget* owner = nullptr);
    ~TfrmGenerate() override;

    TRadioGroup* rgrpGen = nullptr;
    QLineEdit* edFile = nullptr;
    QListWidget* FileListBox1 = nullptr;
    QComboBox* FilterComboBox1 = nullptr;
    QListWidget* DirectoryListBox1 = nullptr;
    QLabel* lblDir = nullptr;
    QComboBox* DriveComboBox1 = nullptr;
    QPushButton* bbtnOk = nullptr;
    QPushButton* bbtnCancel = nullptr;

    // The directory tree's current directory.
    QString directory() const { return m_directory; }
    void setDirectory(const QString& path);
    // The file the output goes to: the current directory and the edFile text.
    QString outputPath() const;

    void edFileChange();
    // Whether the dialog may close; only OK with a file destination is checked.
    bool FormCloseQuery(bool ok);
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillDirectories();
    void fillFiles();
    void outputChosen();

    QString m_directory;
};

extern TfrmGenerate* frmGenerate;

// Runs the dialog and writes ACCESS of the database named alias through the
// statement object given; what Generate on the main window does.
void GenerateConstants(QWidget* owner, TQuery& statement, const QString& alias);
