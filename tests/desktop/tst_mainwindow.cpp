// SecDesk's main window: its commands, enabling rules, hints and status panels, the
// error handler, help, printer set-up, Setup and the remembered geometry.
#include "DesktopFixture.h"

#include "database/EDatabaseError.h"
#include "editor/TFormCSMain.h"
#include "editor/TDBEdit.h"
#include "platform/THelpViewer.h"
#include "platform/Printer.h"

#include <QDialog>
#include <QDirIterator>
#include <QEnterEvent>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QStatusBar>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>

#include <stdexcept>

using MainWindow = DesktopTest;

TEST_F(MainWindow, StartsWithOnlyFileAndHelpAndNothingOpen)
{
    window->show();
    EXPECT_EQ(FormAdmin, window.get());
    EXPECT_EQ(window->windowTitle(), "C/S Security Administration Desktop");
    EXPECT_EQ(menuBarCaptions(), QStringList({"&File", "&Help"}));
    EXPECT_FALSE(window->Close1->isEnabled());
    for (QAction* always : {window->New1, window->Open1, window->Create1, window->Aliases1, window->PrintSetup1,
                            window->Exit1, window->Contents1, window->SearchforHelp1, window->About1})
        EXPECT_TRUE(always->isEnabled()) << qPrintable(always->objectName());
    EXPECT_TRUE(window->spbtnNew->isEnabled());
    EXPECT_TRUE(window->spbtnOpen->isEnabled());
    EXPECT_TRUE(window->spbtnHelp->isEnabled());
    EXPECT_FALSE(window->spbtnReports->isEnabled());
    EXPECT_FALSE(window->spbtnSetup->isEnabled());
    EXPECT_FALSE(window->spbtnGenerate->isEnabled());
    EXPECT_EQ(window->panelText(0), "Hint");
    EXPECT_EQ(window->panelText(1), "Alias:");
    EXPECT_EQ(window->panelText(2), "");
}

TEST_F(MainWindow, EnablingRulesFollowTheOpenAliasBothWays)
{
    window->OpenAlias = "SEC";
    window->SecurityTitle = "Acme Orders";
    window->UpdateCommandState();
    EXPECT_EQ(menuBarCaptions(), QStringList({"&File", "&Security", "&Tools", "&Help"}));
    EXPECT_TRUE(window->Close1->isEnabled());
    EXPECT_TRUE(window->spbtnReports->isEnabled());
    EXPECT_TRUE(window->spbtnSetup->isEnabled());
    EXPECT_TRUE(window->spbtnGenerate->isEnabled());
    EXPECT_EQ(window->panelText(1), "Alias: SEC");
    EXPECT_EQ(window->panelText(2), "Acme Orders");
    // The import is never offered, open or not.
    EXPECT_FALSE(window->Import1->isVisible());

    window->OpenAlias.clear();
    window->UpdateCommandState();
    EXPECT_EQ(menuBarCaptions(), QStringList({"&File", "&Help"}));
    EXPECT_FALSE(window->Close1->isEnabled());
    EXPECT_FALSE(window->ViewAuditTrail1->isEnabled()) << "its shortcut does nothing without a database";
    EXPECT_FALSE(window->spbtnSetup->isEnabled());
    EXPECT_EQ(window->panelText(1), "Alias:");
    EXPECT_EQ(window->panelText(2), "");
}

TEST_F(MainWindow, CommandTableCaptionsHintsAndOrder)
{
    struct Row {
        QMenu* menu;
        QStringList items; // caption|hint, "-" for a separator
    };
    const QList<Row> table = {
        {window->File1,
         {"&New|Create new security database", "&Open...|Open existing security database",
          "&Close|Close Security Database", "-", "Create &In Existing Database|",
          "&Aliases...|List, correct and remove database aliases", "-", "P&rint Setup...|Change printer settings", "-",
          "E&xit|Quit Security Administration"}},
        {window->Security1,
         {"&Import...|Import data from previous version", "&Setup...|Modify Security Databases",
          "&Generate...|Output security constants"}},
        {window->Tools1,
         {"&Reporting...|Preview and print security reports", "&View Log|View the activity log table",
          "View &Audit Trail|View and verify the audit trail of logons and changes",
          "View &Users|View network users in security"}},
        {window->Help1,
         {"&Contents|View help contents", "&Search for Help|Search help for a keyword", "-",
          "&About|View Program Information"}},
    };
    for (const Row& row : table) {
        QStringList shown;
        for (QAction* action : row.menu->actions())
            shown << (action->isSeparator() ? QString("-") : action->text() + "|" + action->statusTip());
        EXPECT_EQ(shown, row.items) << qPrintable(row.menu->title());
    }

    // Tool buttons: short hint as tool tip, long hint for the status panel.
    const QList<std::pair<QToolButton*, QString>> buttons = {
        {window->spbtnNew, "New|Create new security database"},
        {window->spbtnOpen, "Open|Open existing security database"},
        {window->spbtnReports, "Reports|Preview and print security reports"},
        {window->spbtnSetup, "Setup|Modify Security Databases"},
        {window->spbtnGenerate, "Generate|Output security constants"},
        {window->spbtnHelp, "Help|Display Contents of Help File"},
    };
    for (const auto& [button, hint] : buttons) {
        EXPECT_EQ(button->toolTip() + "|" + button->statusTip(), hint);
        EXPECT_FALSE(button->icon().isNull()) << qPrintable(button->objectName());
    }
    // New, Open, Generate and Help carry a drawn image for the disabled state too.
    for (const char* name : {"new", "open", "generate", "help"})
        EXPECT_TRUE(QFile::exists(QString(":/glyphs/%1-disabled.png").arg(name))) << name;

    EXPECT_EQ(window->New1->shortcut(), QKeySequence(QKeySequence::New));
    EXPECT_EQ(window->Open1->shortcut(), QKeySequence(QKeySequence::Open));
    EXPECT_EQ(window->Exit1->shortcut(), QKeySequence("Ctrl+Q"));
    EXPECT_EQ(window->Contents1->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(window->ViewAuditTrail1->shortcut(), QKeySequence("Ctrl+Shift+A"));
}

TEST_F(MainWindow, HintsOfMenusAndToolButtonsGoToPanelZero)
{
    window->show();
    window->Open1->showStatusText(window->menuBar());
    EXPECT_EQ(window->panelText(0), "Open existing security database");

    // The pointer over a tool button shows its long hint.
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(window->spbtnHelp, &enter);
    EXPECT_EQ(window->panelText(0), "Display Contents of Help File");

    window->ShowApplicationHint("Short|Long part");
    EXPECT_EQ(window->panelText(0), "Long part");
    window->ShowApplicationHint("");
    EXPECT_EQ(window->panelText(0), "");
    // The other panels are not touched by hints.
    EXPECT_EQ(window->panelText(1), "Alias:");
}

TEST_F(MainWindow, UncaughtErrorsAreShownAndTheProgramGoesOn)
{
    TFormAdmin::runCommand([] { throw EDatabaseError("connection refused by the engine"); });
    TFormAdmin::runCommand([] { throw std::runtime_error("out of disk"); });
    bool ran = false;
    TFormAdmin::runCommand([&] { ran = true; });
    EXPECT_TRUE(ran);
    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_EQ(messages.texts(), QStringList({"connection refused by the engine", "out of disk"}));
    EXPECT_EQ(messages.shown[0].kind, Platform::MsgKind::Error);
}

TEST_F(MainWindow, ExitClosesTheWindowWithoutAQuestion)
{
    window->show();
    window->Exit1->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(MainWindow, RemembersItsGeometryBetweenRuns)
{
    window->show();
    window->setGeometry(40, 50, 700, 430);
    const QRect placed = window->geometry();
    window->close();
    window.reset();
    TFormAdmin next;
    EXPECT_EQ(next.geometry().size(), placed.size());
    EXPECT_EQ(next.geometry().topLeft(), placed.topLeft());
}

TEST_F(MainWindow, SetupShowsTheEditorOnTheOpenDatabase)
{
    TestDatabase db;
    db.addProgram();
    window->OpenSecurityAlias(db.alias());
    ASSERT_EQ(window->OpenAlias, db.alias());
    QString alias;
    bool limited = true;
    bool reachable = false;
    whenModal([&](QWidget* modal) {
        auto* editor = qobject_cast<TFormCSMain*>(modal);
        ASSERT_NE(editor, nullptr);
        alias = editor->SecAlias;
        limited = editor->LimitAccess;
        reachable = FormCSMain == editor;
        editor->dbedSecLabel->selectAll();
        QTest::keyClicks(editor->dbedSecLabel, "Relabelled");
        editor->reject();
    });
    window->Setup1->trigger();
    EXPECT_EQ(alias, db.alias());
    EXPECT_FALSE(limited);
    EXPECT_TRUE(reachable);
    // The editor lives for the command only.
    EXPECT_TRUE(window->findChildren<TFormCSMain*>().isEmpty());
    EXPECT_EQ(FormCSMain, nullptr);
    // The status bar shows the label the editor left.
    EXPECT_EQ(db.scalar("select Security_Label from PROGRAM"), "Relabelled");
    EXPECT_EQ(window->panelText(2), "Relabelled");
}

TEST_F(MainWindow, PrintSetupChoosesThePrinterReportsUse)
{
    QString title;
    whenModal([&](QWidget* modal) {
        title = modal->windowTitle();
        static_cast<QDialog*>(modal)->reject();
    });
    window->PrintSetup1->trigger();
    EXPECT_EQ(title, "Print Setup");
    // Without an installed printer reports go to a PDF file.
    if (!Platform::printersInstalled()) {
        EXPECT_EQ(Platform::printer().outputFormat(), QPrinter::PdfFormat);
        EXPECT_TRUE(Platform::printer().outputFileName().endsWith(".pdf"));
    }
    EXPECT_EQ(&Platform::printer(), &Platform::printer());
}

class Help : public DesktopTest {
protected:
    // Every page of the shipped help, by context string.
    static QStringList pages()
    {
        QStringList list;
        QDirIterator it(TFormAdmin::helpRoot(), {"*.html"});
        while (it.hasNext())
            list << QFileInfo(it.next()).completeBaseName();
        return list;
    }
};

TEST_F(Help, ContentsOpensTheContentsTopicInOneHelpWindow)
{
    window->Contents1->trigger();
    THelpViewer* help = window->helpViewer();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->currentTopic(), "Contents");
    EXPECT_TRUE(help->windowTitle().startsWith("SecDesk Help"));

    window->spbtnHelp->click();
    EXPECT_EQ(window->helpViewer(), help);
    EXPECT_EQ(window->findChildren<THelpViewer*>().size(), 1);
}

TEST_F(Help, TheWindowOpensOnTheScreenNamesItsTopicAndClosesWithEsc)
{
    window->show();
    window->Contents1->trigger();
    THelpViewer* help = window->helpViewer();
    ASSERT_NE(help, nullptr);
    const QRect screen = help->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(help->frameGeometry()))
        << help->frameGeometry().width() << "x" << help->frameGeometry().height();
    EXPECT_EQ(help->windowTitle(), "SecDesk Help - " + help->titleOf("Contents"));
    help->brwTopic->setSource(QUrl("CreateInExisting.html"));
    EXPECT_EQ(help->windowTitle(), "SecDesk Help - " + help->titleOf("CreateInExisting"));
    help->btnBack->click();
    EXPECT_EQ(help->windowTitle(), "SecDesk Help - " + help->titleOf("Contents"));
    QTest::keyClick(help->lbKeywords, Qt::Key_Escape);
    EXPECT_FALSE(help->isVisible());
}

TEST_F(Help, SearchOpensTheKeywordIndexWithAnEmptyKeyAndFindsTopics)
{
    window->show();
    window->SearchforHelp1->trigger();
    THelpViewer* help = window->helpViewer();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->edKeyword->text(), "");
    EXPECT_EQ(help->shownKeywords(), help->keywords());
    EXPECT_GT(help->keywords().size(), 20);

    // Typing narrows the index; keywords that start with the text come first.
    help->edKeyword->setText("alias");
    const QStringList shown = help->shownKeywords();
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_TRUE(shown.first().startsWith("alias", Qt::CaseInsensitive)) << qPrintable(shown.first());
    for (const QString& keyword : shown)
        EXPECT_TRUE(keyword.contains("alias", Qt::CaseInsensitive)) << qPrintable(keyword);

    help->displayKeyword(shown.first());
    EXPECT_TRUE(help->topicsFor(shown.first()).contains(help->currentTopic()));
    help->edKeyword->setText("no such keyword at all");
    EXPECT_TRUE(help->shownKeywords().isEmpty());
}

TEST_F(Help, EveryPageHasATitleKeywordsAndLinksThatResolve)
{
    const QStringList all = pages();
    ASSERT_TRUE(all.contains("Contents"));
    THelpViewer help(TFormAdmin::helpRoot(), "Help");
    static const QRegularExpression link("href=\"([^\"#]+)(#[^\"]*)?\"");
    for (const QString& page : all) {
        EXPECT_FALSE(help.titleOf(page).isEmpty()) << qPrintable(page);
        QFile file(TFormAdmin::helpRoot() + "/" + page + ".html");
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        EXPECT_TRUE(page == "Contents" || html.contains("name=\"keywords\"")) << qPrintable(page) << " has no keywords";
        for (auto m = link.globalMatch(html); m.hasNext();) {
            const QString target = m.next().captured(1);
            if (target.startsWith("http"))
                continue;
            EXPECT_TRUE(all.contains(QFileInfo(target).completeBaseName()))
                << qPrintable(page) << " links to missing " << qPrintable(target);
        }
    }
    // The contents page reaches every topic.
    QFile contents(TFormAdmin::helpRoot() + "/Contents.html");
    ASSERT_TRUE(contents.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(contents.readAll());
    for (const QString& page : all)
        EXPECT_TRUE(page == "Contents" || html.contains("href=\"" + page + ".html"))
            << qPrintable(page) << " not in Contents";
}

// A local file shared between accounts is damaged (their programs keep lock files of
// their own): no page may advise sharing one through its permissions.
TEST_F(Help, NoPageAdvisesSharingALocalFileThroughItsPermissions)
{
    static const QRegularExpression tag("<[^>]*>");
    for (const QString& page : pages()) {
        QFile file(TFormAdmin::helpRoot() + "/" + page + ".html");
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll()).remove(tag).simplified();
        for (const QString& sentence : text.split(QRegularExpression("[.;:]\\s"))) {
            const bool aboutSharing = sentence.contains("share", Qt::CaseInsensitive) ||
                                      sentence.contains("other accounts", Qt::CaseInsensitive);
            const bool forbids =
                sentence.contains("not ", Qt::CaseInsensitive) || sentence.contains("never", Qt::CaseInsensitive);
            EXPECT_FALSE(aboutSharing && sentence.contains("permission", Qt::CaseInsensitive) && !forbids)
                << qPrintable(page) << ": " << qPrintable(sentence);
        }
    }
}

TEST_F(MainWindow, EveryFileCommandHasItsOwnMnemonic)
{
    QSet<QChar> keys;
    for (QAction* action : window->File1->actions()) {
        if (action->isSeparator())
            continue;
        const QString text = action->text();
        const qsizetype at = text.indexOf(QLatin1Char('&'));
        ASSERT_GE(at, 0) << qPrintable(text);
        const QChar key = text.at(at + 1).toLower();
        EXPECT_FALSE(keys.contains(key)) << qPrintable(text);
        keys.insert(key);
        // The described caption stays as it reads.
        if (action == window->Create1) {
            EXPECT_EQ(QString(text).remove(QLatin1Char('&')), "Create In Existing Database");
        }
    }
}

TEST_F(MainWindow, AMessageBoxOpensOnTheDialogItComesFrom)
{
    window->show();
    QDialog dialog(window.get());
    // The window system has not made the dialog active yet.
    dialog.setAttribute(Qt::WA_ShowWithoutActivating);
    Platform::setMessageHandler({});
    QWidget* owner = nullptr;
    whenModal([&](QWidget* modal) {
        ASSERT_EQ(modal, &dialog);
        whenModal(
            [&](QWidget* box) {
                owner = box->parentWidget();
                box->close();
            },
            &dialog);
        Platform::showError("Not saved");
        dialog.accept();
    });
    dialog.exec();
    EXPECT_EQ(owner, &dialog);
}
