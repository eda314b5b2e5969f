#include "desktop/TFormAdmin.h"

#include "reporting/TFormSecDB.h"

#include "database/EDatabaseError.h"
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "desktop/TformAbout.h"
#include "desktop/TDashboard.h"
#include "desktop/TFormAliases.h"
#include "desktop/TfrmGenerate.h"
#include "desktop/TfrmImport.h"
#include "desktop/TFormAuditTrail.h"
#include "desktop/TfrmViewLog.h"
#include "desktop/TfrmViewUsers.h"
#include "editor/TFormCSMain.h"
#include "platform/THelpViewer.h"
#include "platform/MessageBox.h"
#include "platform/Printer.h"
#include "reporting/TFormSecDB.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>

#include <exception>
#include <memory>

TFormAdmin* FormAdmin = nullptr;

namespace {
const QString kCaption = QStringLiteral("C/S Security Administration Desktop");

// The part of a hint after the bar, or the whole hint when it has none.
QString longHint(const QString& hint)
{
    const int bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.mid(bar + 1);
}

QIcon glyph(const QString& name)
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/glyphs/%1.png").arg(name), QSize(), QIcon::Normal);
    const QString disabled = QStringLiteral(":/glyphs/%1-disabled.png").arg(name);
    if (QFile::exists(disabled))
        icon.addFile(disabled, QSize(), QIcon::Disabled);
    return icon;
}
} // namespace

TFormAdmin::TFormAdmin(QWidget* parent) : QMainWindow(parent)
{
    Q_INIT_RESOURCE(desktop);
    setObjectName(QStringLiteral("FormAdmin"));
    setWindowTitle(kCaption);
    resize(760, 480);

    Database1 = new TDatabase(this);
    Database1->setObjectName(QStringLiteral("Database1"));
    Database1->setLoginPrompt(false);
    sqlBuildSecurity = new TQuery(this);
    sqlBuildSecurity->setObjectName(QStringLiteral("sqlBuildSecurity"));

    buildMenus();
    buildToolBar();
    buildStatusBar();
    Dashboard1 = new TDashboard(this);
    setCentralWidget(Dashboard1);
    restoreWindowGeometry();

    FormAdmin = this;
    OpenAlias.clear();
    ReportsWindow = nullptr;
    UpdateCommandState();
}

TFormAdmin::~TFormAdmin()
{
    if (FormAdmin == this)
        FormAdmin = nullptr;
}

QAction* TFormAdmin::addCommand(QMenu* menu, const char* name, const QString& caption, const QString& hint,
                                void (TFormAdmin::*handler)())
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    action->setStatusTip(hint);
    connect(action, &QAction::triggered, this,
            [this, handler] { runCommand([this, handler] { (this->*handler)(); }); });
    return action;
}

void TFormAdmin::buildMenus()
{
    QMenuBar* bar = menuBar();
    auto menu = [bar](const char* name, const QString& caption) {
        QMenu* m = bar->addMenu(caption);
        m->setObjectName(QLatin1String(name));
        m->menuAction()->setObjectName(QLatin1String(name) + QStringLiteral("Action"));
        return m;
    };

    File1 = menu("File1", QStringLiteral("&File"));
    New1 = addCommand(File1, "New1", QStringLiteral("&New"), QStringLiteral("Create new security database"),
                      &TFormAdmin::New1Click);
    Open1 = addCommand(File1, "Open1", QStringLiteral("&Open..."), QStringLiteral("Open existing security database"),
                       &TFormAdmin::Open1Click);
    Close1 = addCommand(File1, "Close1", QStringLiteral("&Close"), QStringLiteral("Close Security Database"),
                        &TFormAdmin::Close1Click);
    File1->addSeparator();
    Create1 = addCommand(File1, "Create1", QStringLiteral("Create &In Existing Database"), QString(),
                         &TFormAdmin::Create1Click);
    Aliases1 = addCommand(File1, "Aliases1", QStringLiteral("&Aliases..."),
                          QStringLiteral("List, correct and remove database aliases"), &TFormAdmin::Aliases1Click);
    File1->addSeparator();
    PrintSetup1 = addCommand(File1, "PrintSetup1", QStringLiteral("P&rint Setup..."),
                             QStringLiteral("Change printer settings"), &TFormAdmin::PrintSetup1Click);
    File1->addSeparator();
    Exit1 = addCommand(File1, "Exit1", QStringLiteral("E&xit"), QStringLiteral("Quit Security Administration"),
                       &TFormAdmin::Exit1Click);

    Security1 = menu("Security1", QStringLiteral("&Security"));
    Import1 = addCommand(Security1, "Import1", QStringLiteral("&Import..."),
                         QStringLiteral("Import data from previous version"), &TFormAdmin::Import1Click);
    // The import exists but is not offered.
    Import1->setVisible(false);
    Setup1 = addCommand(Security1, "Setup1", QStringLiteral("&Setup..."), QStringLiteral("Modify Security Databases"),
                        &TFormAdmin::Setup1Click);
    Generate1 = addCommand(Security1, "Generate1", QStringLiteral("&Generate..."),
                           QStringLiteral("Output security constants"), &TFormAdmin::Generate1Click);

    Tools1 = menu("Tools1", QStringLiteral("&Tools"));
    Reporting1 = addCommand(Tools1, "Reporting1", QStringLiteral("&Reporting..."),
                            QStringLiteral("Preview and print security reports"), &TFormAdmin::Reporting1Click);
    ViewLog1 = addCommand(Tools1, "ViewLog1", QStringLiteral("&View Log"),
                          QStringLiteral("View the activity log table"), &TFormAdmin::ViewLog1Click);
    ViewAuditTrail1 = addCommand(Tools1, "ViewAuditTrail1", QStringLiteral("View &Audit Trail"),
                                 QStringLiteral("View and verify the audit trail of logons and changes"),
                                 &TFormAdmin::ViewAuditTrail1Click);
    ViewUsers1 = addCommand(Tools1, "ViewUsers1", QStringLiteral("View &Users"),
                            QStringLiteral("View network users in security"), &TFormAdmin::ViewUsers1Click);

    Help1 = menu("Help1", QStringLiteral("&Help"));
    Contents1 = addCommand(Help1, "Contents1", QStringLiteral("&Contents"), QStringLiteral("View help contents"),
                           &TFormAdmin::Contents1Click);
    SearchforHelp1 = addCommand(Help1, "SearchforHelp1", QStringLiteral("&Search for Help"),
                                QStringLiteral("Search help for a keyword"), &TFormAdmin::SearchforHelp1Click);
    Help1->addSeparator();
    About1 = addCommand(Help1, "About1", QStringLiteral("&About"), QStringLiteral("View Program Information"),
                        &TFormAdmin::About1Click);

    // The shortcuts desktop users expect, beside the menus' accelerators.
    New1->setShortcut(QKeySequence::New);
    Open1->setShortcut(QKeySequence::Open);
    Close1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    Contents1->setShortcut(QKeySequence::HelpContents);
    ViewAuditTrail1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A));
    for (QAction* action : {New1, Open1, Close1, Exit1, Contents1})
        action->setShortcutContext(Qt::ApplicationShortcut);
}

QToolButton* TFormAdmin::addToolButton(const char* name, const QString& glyphName, const QString& shortHint,
                                       const QString& longHintText, void (TFormAdmin::*handler)())
{
    auto* button = new QToolButton(pnlToolBar);
    button->setObjectName(QLatin1String(name));
    button->setIcon(glyph(glyphName));
    button->setIconSize(QSize(24, 24));
    button->setAutoRaise(true);
    button->setToolTip(shortHint);
    button->setStatusTip(longHintText);
    button->setAccessibleName(shortHint);
    connect(button, &QToolButton::clicked, this,
            [this, handler] { runCommand([this, handler] { (this->*handler)(); }); });
    pnlToolBar->addWidget(button);
    return button;
}

void TFormAdmin::buildToolBar()
{
    pnlToolBar = addToolBar(QStringLiteral("Tool Bar"));
    pnlToolBar->setObjectName(QStringLiteral("pnlToolBar"));
    pnlToolBar->setMovable(false);
    pnlToolBar->setFloatable(false);
    pnlToolBar->toggleViewAction()->setEnabled(false);
    setContextMenuPolicy(Qt::NoContextMenu);

    spbtnNew = addToolButton("spbtnNew", QStringLiteral("new"), QStringLiteral("New"),
                             QStringLiteral("Create new security database"), &TFormAdmin::New1Click);
    spbtnOpen = addToolButton("spbtnOpen", QStringLiteral("open"), QStringLiteral("Open"),
                              QStringLiteral("Open existing security database"), &TFormAdmin::Open1Click);
    pnlToolBar->addSeparator();
    spbtnReports = addToolButton("spbtnReports", QStringLiteral("reports"), QStringLiteral("Reports"),
                                 QStringLiteral("Preview and print security reports"), &TFormAdmin::Reporting1Click);
    spbtnSetup = addToolButton("spbtnSetup", QStringLiteral("setup"), QStringLiteral("Setup"),
                               QStringLiteral("Modify Security Databases"), &TFormAdmin::Setup1Click);
    spbtnGenerate = addToolButton("spbtnGenerate", QStringLiteral("generate"), QStringLiteral("Generate"),
                                  QStringLiteral("Output security constants"), &TFormAdmin::Generate1Click);
    pnlToolBar->addSeparator();
    spbtnHelp = addToolButton("spbtnHelp", QStringLiteral("help"), QStringLiteral("Help"),
                              QStringLiteral("Display Contents of Help File"), &TFormAdmin::Contents1Click);
}

void TFormAdmin::buildStatusBar()
{
    sbMainStatus = statusBar();
    sbMainStatus->setObjectName(QStringLiteral("sbMainStatus"));
    sbMainStatus->setSizeGripEnabled(true);
    const char* names[3] = {"pnlHint", "pnlAlias", "pnlTitle"};
    const QString texts[3] = {QStringLiteral("Hint"), QStringLiteral("Alias"), QStringLiteral("Title")};
    const int widths[3] = {300, 200, 400};
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(texts[i], sbMainStatus);
        panel->setObjectName(QLatin1String(names[i]));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setMinimumWidth(i == 2 ? 100 : widths[i]);
        panel->setTextFormat(Qt::PlainText);
        if (i == 2)
            panel->resize(widths[i], panel->height());
        sbMainStatus->addWidget(panel, i == 2 ? 1 : 0);
        m_panels[i] = panel;
    }
}

QString TFormAdmin::panelText(int panel) const { return panel >= 0 && panel < 3 ? m_panels[panel]->text() : QString(); }

void TFormAdmin::UpdateCommandState()
{
    const bool open = !OpenAlias.isEmpty();
    Security1->menuAction()->setVisible(open);
    Tools1->menuAction()->setVisible(open);
    Close1->setEnabled(open);
    ViewAuditTrail1->setEnabled(open);
    spbtnReports->setEnabled(open);
    spbtnSetup->setEnabled(open);
    spbtnGenerate->setEnabled(open);
    if (open) {
        m_panels[2]->setText(SecurityTitle);
        m_panels[1]->setText(QStringLiteral("Alias: ") + OpenAlias);
    } else {
        m_panels[2]->clear();
        m_panels[1]->setText(QStringLiteral("Alias:"));
    }
    refreshDashboard();
}

void TFormAdmin::refreshDashboard()
{
    if (!OpenAlias.isEmpty() && Database1->connected())
        Dashboard1->refresh(OpenAlias);
    else
        Dashboard1->showNothingOpen();
}

void TFormAdmin::ShowApplicationHint(const QString& hint) { m_panels[0]->setText(longHint(hint)); }

bool TFormAdmin::event(QEvent* event)
{
    // Hints of menu items and tool buttons arrive as status tips; they go to panel 0
    // instead of over the panels.
    if (event->type() == QEvent::StatusTip) {
        ShowApplicationHint(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void TFormAdmin::closeEvent(QCloseEvent* event)
{
    saveWindowGeometry();
    QMainWindow::closeEvent(event);
}

void TFormAdmin::restoreWindowGeometry()
{
    QSettings settings(QStringLiteral("JovSec"), QStringLiteral("SecDesk"));
    const QByteArray geometry = settings.value(QStringLiteral("MainWindow/Geometry")).toByteArray();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
}

void TFormAdmin::saveWindowGeometry() const
{
    QSettings settings(QStringLiteral("JovSec"), QStringLiteral("SecDesk"));
    settings.setValue(QStringLiteral("MainWindow/Geometry"), saveGeometry());
}

void TFormAdmin::ApplicationException(const QString& text) { Platform::showError(text); }

void TFormAdmin::runCommand(const std::function<void()>& command)
{
    try {
        command();
    } catch (const EDatabaseError& e) {
        ApplicationException(e.message());
    } catch (const std::exception& e) {
        ApplicationException(QString::fromLocal8Bit(e.what()));
    }
}

void TFormAdmin::Setup1Click()
{
    // FormCSMain names the editor while it is shown (for tests and tools).
    auto editor = std::make_unique<TFormCSMain>(this);
    TFormCSMain* previous = FormCSMain;
    FormCSMain = editor.get();
    editor->SecAlias = OpenAlias;
    editor->LimitAccess = false;
    // SecDesk opens the database with its own account: it acts as the supervisor.
    editor->AuditUser = QStringLiteral("SUPERVISOR");
    struct Restore {
        TFormCSMain* previous;
        ~Restore() { FormCSMain = previous; }
    } restore {previous};
    editor->exec();
    // The editor writes the PROGRAM row as it goes; then the status bar shows the
    // label as the editor left it.
    editor.reset();
    if (!OpenAlias.isEmpty()) {
        readSecurityTitle(OpenAlias);
        // Also the dashboard: the editor may have changed every figure.
        UpdateCommandState();
    }
}

void TFormAdmin::PrintSetup1Click() { Platform::printerSetup(this); }

void TFormAdmin::Exit1Click() { close(); }

QString TFormAdmin::helpRoot() { return QStringLiteral(":/help/secdesk"); }

THelpViewer* TFormAdmin::showHelp()
{
    if (!m_help) {
        m_help = new THelpViewer(helpRoot(), QStringLiteral("SecDesk Help"), this);
    }
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
    return m_help;
}

void TFormAdmin::Contents1Click() { showHelp()->showTopic(QStringLiteral("Contents")); }

void TFormAdmin::SearchforHelp1Click() { showHelp()->showSearch(QString()); }

void TFormAdmin::Import1Click()
{
    TfrmImport dialog(OpenAlias, this);
    dialog.exec();
    refreshDashboard();
}

void TFormAdmin::ImportFrom(const QString& directory)
{
    if (OpenAlias.isEmpty())
        Open1Click();
    if (OpenAlias.isEmpty())
        return;
    TfrmImport dialog(OpenAlias, this);
    dialog.setDirectory(directory);
    dialog.exec();
    refreshDashboard();
}

// The commands below open windows that are built elsewhere; each fills its own
// handler as it arrives.
void TFormAdmin::Generate1Click() { GenerateConstants(this, *sqlBuildSecurity, OpenAlias); }

void TFormAdmin::Reporting1Click()
{
    // One reports window per open database: made on first use, destroyed by Close
    // and by opening another database.
    const auto* open = qobject_cast<TFormSecDB*>(ReportsWindow.data());
    if (open && open->AliasName != OpenAlias)
        delete ReportsWindow.data();
    if (!ReportsWindow) {
        auto* reports = new TFormSecDB(this);
        reports->AliasName = OpenAlias;
        reports->ApplyAlias();
        FormSecDB = reports;
        ReportsWindow = reports;
    }
    ReportsWindow->show();
    ReportsWindow->raise();
    ReportsWindow->activateWindow();
}

void TFormAdmin::ViewLog1Click()
{
    ViewLog(this, OpenAlias);
    // Clear Log may have emptied the log.
    refreshDashboard();
}

void TFormAdmin::ViewAuditTrail1Click() { ViewAuditTrail(this, OpenAlias); }

void TFormAdmin::ViewUsers1Click() { ViewUsers(this, OpenAlias); }

void TFormAdmin::About1Click() { ShowAbout(this); }

void TFormAdmin::Aliases1Click()
{
    TFormAliases dialog(OpenAlias, this);
    dialog.exec();
}
