#pragma once
// TFormAdmin (unit Admnunt): SecDesk's main window. It carries the menus, the tool bar
// and the three-panel status bar, owns the desktop's one database connection and the
// alias of the open security database, and dispatches every command.
//
// The implementation is split by subject: TFormAdmin.cpp (window, enabling rules,
// hints, the commands that open another window) and TFormAdminDatabase.cpp (New, Open,
// Create In Existing Database, Close).

#include "platform/THelpViewer.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <functional>

class QAction;
class QLabel;
class QMenu;
class QStatusBar;
class QToolBar;
class QToolButton;
class TDashboard;
class TDatabase;
class TFormOpenSecurity;
class TQuery;

class TFormAdmin : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormAdmin(QWidget* parent = nullptr);
    ~TFormAdmin() override;

    // The alias of the open security database; empty when none is open. Every query
    // of the desktop reaches the database under this name.
    QString OpenAlias;
    // PROGRAM.Security_Label of the open database, shown in status panel 2.
    QString SecurityTitle;
    // Set by a failed step of New or Create In Existing Database.
    bool BuildFailed = false;

    TDatabase* Database1 = nullptr;
    // General statement on the open database: the PROGRAM check, the table build,
    // the constants listing of Generate.
    TQuery* sqlBuildSecurity = nullptr;
    // The reports window while it exists; it clears itself when destroyed.
    QPointer<QWidget> ReportsWindow;

    // Menus and their items
    QMenu* File1 = nullptr;
    QAction* New1 = nullptr;
    QAction* Open1 = nullptr;
    QAction* Close1 = nullptr;
    QAction* Create1 = nullptr;
    QAction* Aliases1 = nullptr;
    QAction* PrintSetup1 = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* Security1 = nullptr;
    QAction* Import1 = nullptr;
    QAction* Setup1 = nullptr;
    QAction* Generate1 = nullptr;
    QMenu* Tools1 = nullptr;
    QAction* Reporting1 = nullptr;
    QAction* ViewLog1 = nullptr;
    QAction* ViewAuditTrail1 = nullptr;
    QAction* ViewUsers1 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* Contents1 = nullptr;
    QAction* SearchforHelp1 = nullptr;
    QAction* About1 = nullptr;

    // Tool bar
    QToolBar* pnlToolBar = nullptr;
    QToolButton* spbtnNew = nullptr;
    QToolButton* spbtnOpen = nullptr;
    QToolButton* spbtnReports = nullptr;
    QToolButton* spbtnSetup = nullptr;
    QToolButton* spbtnGenerate = nullptr;
    QToolButton* spbtnHelp = nullptr;

    // The central area: the open database's figures, or how to open one.
    TDashboard* Dashboard1 = nullptr;
    // Reads the figures again (after the editor, an import, Clear Log).
    void refreshDashboard();

    // Status bar and its three panels (0 hint, 1 alias, 2 title)
    QStatusBar* sbMainStatus = nullptr;
    QString panelText(int panel) const;

    // Enabling rules and status panels 1 and 2, from OpenAlias.
    void UpdateCommandState();
    // Shows the long part of a hint ("short|long") in status panel 0.
    void ShowApplicationHint(const QString& hint);

    // File
    void New1Click();
    void Open1Click();
    void Close1Click();
    void Create1Click();
    // Lists the aliases; removes or corrects them.
    void Aliases1Click();
    void PrintSetup1Click();
    void Exit1Click();
    // Security
    void Import1Click();
    // The import with its folder chosen beforehand (SecDesk --import DIR). Without an
    // open database it runs Open first, and imports nothing when none gets opened.
    void ImportFrom(const QString& directory);
    void Setup1Click();
    void Generate1Click();
    // Tools
    void Reporting1Click();
    void ViewLog1Click();
    void ViewAuditTrail1Click();
    void ViewUsers1Click();
    // Help
    void Contents1Click();
    void SearchforHelp1Click();
    void About1Click();

    // Connects to the alias with the log-in prompt and checks that it holds a
    // security database. A refused log-in throws EDatabaseError.
    void OpenSecurityAlias(const QString& alias);
    // Runs the build statements on the connected alias; sets BuildFailed on failure.
    void BuildSecurityTables(const QString& alias);

    // The program's default error handler: shows an error that no command caught and
    // lets the program go on.
    static void ApplicationException(const QString& text);
    // Runs a command; errors it lets through go to ApplicationException.
    static void runCommand(const std::function<void()>& command);

    // The help window, once help has been asked for.
    THelpViewer* helpViewer() const { return m_help; }
    // The folder of the help pages (a resource folder by default).
    static QString helpRoot();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void buildToolBar();
    void buildStatusBar();
    QAction* addCommand(QMenu* menu, const char* name, const QString& caption, const QString& hint,
                        void (TFormAdmin::*handler)());
    QToolButton* addToolButton(const char* name, const QString& glyph, const QString& shortHint,
                               const QString& longHint, void (TFormAdmin::*handler)());
    THelpViewer* showHelp();
    // SecurityTitle from the PROGRAM row of the alias's database; throws
    // EDatabaseError when the table cannot be read.
    void readSecurityTitle(const QString& alias);
    void restoreWindowGeometry();
    void saveWindowGeometry() const;
    // New, after the dialog: the steps that copy or create the file, add the alias,
    // build the tables and open the result.
    void createSecurityDatabase(const TFormOpenSecurity& dialog);

    QLabel* m_panels[3] = {nullptr, nullptr, nullptr};
    QPointer<THelpViewer> m_help;
};

extern TFormAdmin* FormAdmin;
