// The reports window and its six reports on a seeded security database.
#include "database/TAuditTrail.h"
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "widgets/TFrmUsageDlg.h"
#include "widgets/TDateEdit.h"
#include "platform/RegionalSettings.h"
#include "reporting/TFormGenNav.h"
#include "reporting/TFormGenWin.h"
#include "reporting/TReportDesign.h"
#include "reporting/TFormSecDB.h"
#include "reporting/PrintSetup.h"
#include "reporting/TfrmPrintToPdf.h"
#include "platform/Printer.h"
#include "tests/reporting/ReportTestSupport.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/ModalPoller.h"
#include "tests/support/TestDatabase.h"

#include <QComboBox>
#include <QPrinter>
#include <QGuiApplication>
#include <QLabel>
#include <QSpinBox>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QRegularExpression>
#include <QDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QTest>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

namespace {

class Reports : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = std::make_unique<TestDatabase>();
        ann = db->addUser("Ann", "a1", "USER_DEF1, PWNOCHANGE, LOCKED", "'Sales', 1, 1");
        bob = db->addUser("Bob", "b1", "USER_DEF1, USER_ADMIN", "'Support', 1");
        gone = db->addUser("Gone", "g1");
        for (const char* name : {"Print Reports", "Approve Orders", "Enter Orders"})
            db->exec(QString("insert into ACCESS (ACCESS_NAME) values ('%1')").arg(name));
        db->exec("insert into GROUPS (GROUP_NAME) values ('Clerks')");
        db->exec("insert into GRPCOLL (GROUP_ID, ACCESS_ID) values (1, 3)");
        db->exec("insert into GRPCOLL (GROUP_ID, ACCESS_ID) values (1, 1)");
        db->exec(QString("insert into USERACC (USER_ID, ACCESS_ID, TYPE) values (%1, 1, 'G')").arg(ann));
        db->exec(QString("insert into USERACC (USER_ID, ACCESS_ID, TYPE) values (%1, 2, 'C')").arg(ann));
        db->exec(QString("insert into USERACC (USER_ID, ACCESS_ID, TYPE) values (%1, 99, 'G')").arg(bob));
        db->exec(QString("insert into USERACC (USER_ID, ACCESS_ID, TYPE) values (%1, 98, 'C')").arg(bob));
        // Log entries around a range of 10 to 12 January; the user "Gone" is deleted.
        const QString fk = db->scalar("select rdb$constraint_name from rdb$relation_constraints "
                                      "where rdb$relation_name = 'LOG' and rdb$constraint_type = 'FOREIGN KEY'")
                               .trimmed();
        db->exec("alter table LOG drop constraint " + fk);
        const auto log = [this](const QString& when, int user, const QString& access) {
            db->exec(QString("insert into LOG (ACCESS_DATE, USER_ID, ACCESS_ID) values ('%1', %2, %3)")
                         .arg(when)
                         .arg(user)
                         .arg(access));
        };
        log("2026-01-09", ann, "1");
        log("2026-01-10", ann, "NULL");
        log("2026-01-11", ann, "2");
        log("2026-01-12 15:30:00", bob, "77");
        log("2026-01-12", gone, "1");
        log("2026-01-13", bob, "1");
        db->exec(QString("delete from PWHIST where USER_ID = %1").arg(gone));
        db->exec(QString("delete from USERS where USER_ID = %1").arg(gone));

        TFormSecDB::setUsageRangeDialog([this](QWidget*, QDate& start, QDate& end) {
            ++rangeQuestions;
            start = QDate(2026, 1, 10);
            end = QDate(2026, 1, 12);
            return rangeAnswer;
        });
        window = std::make_unique<TFormSecDB>();
        window->AliasName = db->alias();
        window->ApplyAlias();
        window->fgwMain->setOptions(0);
    }
    void TearDown() override
    {
        TFormSecDB::setUsageRangeDialog({});
        window.reset();
        closeAllWindows();
    }

    void run(int index)
    {
        window->cmboxReportType->setCurrentIndex(index);
        window->spbtnExecute->click();
    }
    const TFormGenWin& preview() const { return *window->fgwMain; }

    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<TFormSecDB> window;
    int ann = 0, bob = 0, gone = 0;
    int rangeQuestions = 0;
    bool rangeAnswer = true;
};

} // namespace

TEST_F(Reports, WindowControlsAndCaption)
{
    EXPECT_EQ(window->windowTitle(), "Security in " + db->alias());
    EXPECT_EQ(window->cmboxReportType->count(), 6);
    EXPECT_EQ(window->cmboxReportType->itemText(4), "Users (w/ Access)");
    EXPECT_EQ(window->cmboxReportType->itemText(5), "Audit Trail");
    EXPECT_EQ(window->cmboxReportType->currentIndex(), -1);
    EXPECT_EQ(window->spbtnExecute->toolTip(), "Preview Report");
    EXPECT_EQ(window->spbtnDesign->toolTip(), "Modify Report");
    EXPECT_EQ(window->fgnReport->formComponent(), window->fgwMain);
    EXPECT_FALSE(window->fgnReport->button(0)->isVisibleTo(window->fgnReport));
    EXPECT_EQ(window->fgnReport->button(1)->toolTip(), "Print");
    EXPECT_EQ(window->fgnReport->button(2)->toolTip(), "Previous Page");
    EXPECT_EQ(window->fgnReport->button(4)->toolTip(), "Clear");
    // Beside them the page controls and Print..., all within the bar.
    TFormGenNav* nav = window->fgnReport;
    for (QWidget* w : std::initializer_list<QWidget*> {nav->firstPageButton(), nav->lastPageButton(),
                                                       nav->printDialogButton(), nav->pageBox(), nav->pageLabel()}) {
        EXPECT_TRUE(w->isVisibleTo(nav)) << w->objectName().toStdString();
        EXPECT_LE(w->geometry().right(), nav->width()) << w->objectName().toStdString();
    }
    EXPECT_EQ(nav->pageLabel()->text(), "Page 1 of 1");
    // Nothing selected: neither button does anything.
    window->spbtnExecute->click();
    window->spbtnDesign->click();
    EXPECT_EQ(preview().commandCount(), 0);
}

TEST_F(Reports, AnEngineErrorIsShownAndTheWindowGoesOn)
{
    run(0);
    const QStringList before = pageTexts(preview(), 1);
    db->exec("drop table LOG");
    MessageRecorder messages;
    EXPECT_NO_THROW(run(2));
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown[0].kind, Platform::MsgKind::Error);
    EXPECT_TRUE(messages.last().contains("LOG", Qt::CaseInsensitive)) << messages.last().toStdString();
    // The build did not happen: the earlier report stays.
    EXPECT_EQ(pageTexts(preview(), 1), before);
    EXPECT_NO_THROW(run(1));
    EXPECT_TRUE(pageTexts(preview(), 1).contains("Groups Report"));
}

TEST_F(Reports, AccessConstantsAndGroups)
{
    run(0);
    QStringList texts = pageTexts(preview(), 1);
    EXPECT_TRUE(texts.contains("Access Constants Report"));
    EXPECT_TRUE(texts.contains("Alias: " + db->alias()));
    EXPECT_TRUE(texts.contains("ID"));
    EXPECT_TRUE(texts.contains("Name"));
    EXPECT_TRUE(texts.contains("1")); // also the page number
    const int approve = texts.indexOf("Approve Orders");
    EXPECT_TRUE(approve >= 0 && approve < texts.indexOf("Enter Orders") &&
                texts.indexOf("Enter Orders") < texts.indexOf("Print Reports"));
    EXPECT_FALSE(window->QryAccess->active());

    run(1);
    texts = pageTexts(preview(), 1);
    EXPECT_TRUE(texts.contains("Groups Report"));
    for (const char* heading : {"Group ID", "Group Name", "Access ID", "Access Name"})
        EXPECT_TRUE(texts.contains(heading)) << heading;
    EXPECT_EQ(texts.count("Clerks"), 2);
    EXPECT_LT(texts.indexOf("Enter Orders"), texts.indexOf("Print Reports"));
}

TEST_F(Reports, UsageCoversBothEndDaysWithItsLookUps)
{
    // Dates read as the short date of the regional settings, times where there are.
    Platform::setRegionalSettings(Platform::RegionalSettings {});
    run(2);
    Platform::setRegionalSettings(std::nullopt);
    EXPECT_EQ(rangeQuestions, 1);
    const QStringList texts = pageTexts(preview(), 1);
    EXPECT_TRUE(texts.contains("Usage Report"));
    for (const char* heading : {"Log Entry", "Date", "User Name", "Access Name"})
        EXPECT_TRUE(texts.contains(heading)) << heading;
    EXPECT_TRUE(texts.contains("*** Logon ***"));
    EXPECT_TRUE(texts.contains("Approve Orders"));
    EXPECT_TRUE(texts.contains("Unknown")); // deleted user and deleted constant
    EXPECT_EQ(texts.count("Unknown"), 2);
    EXPECT_EQ(texts.count("Ann"), 2);
    EXPECT_EQ(texts.count("Bob"), 1);
    EXPECT_TRUE(texts.contains("1/10/2026"));
    EXPECT_TRUE(texts.contains("1/12/2026 15:30:00"));
    EXPECT_FALSE(texts.contains("1/9/2026"));
    EXPECT_FALSE(texts.contains("1/13/2026"));
    EXPECT_FALSE(window->sqlLog->active());
    EXPECT_FALSE(window->sqlUsers->active());

    // A cancelled range builds nothing and keeps the preview.
    rangeAnswer = false;
    run(2);
    EXPECT_EQ(pageTexts(preview(), 1), texts);
}

TEST_F(Reports, UsersAndTheirAccess)
{
    run(3);
    QStringList texts = pageTexts(preview(), 1);
    EXPECT_TRUE(texts.contains("User Report"));
    for (const char* heading : {"ID", "Name", "Field 1", "Field 2", "LastAccess", "Count", "Enabled", "Admin",
                                "Acct. Locking", "Acct. Locked"})
        EXPECT_TRUE(texts.contains(heading)) << heading;
    EXPECT_TRUE(texts.contains("Sales"));
    EXPECT_TRUE(texts.contains("Support"));
    EXPECT_FALSE(texts.contains("Gone"));
    EXPECT_EQ(texts.count("Yes"), 2 + 1 + 1); // enabled twice, Bob admin, Ann locked

    // The calculated columns not shown by default.
    TQuery* q = window->qryReport;
    q->open();
    ASSERT_TRUE(q->findField("AllowPasswordChanging"));
    EXPECT_EQ(q->findField("AllowPasswordChanging")->asString(), "No"); // Ann: PWNOCHANGE 1
    EXPECT_EQ(q->findField("PasswordAging")->asString(), "No");
    EXPECT_EQ(q->findField("PWMAXDAYS")->displayLabel(), "pw. Expire Days ");
    q->next();
    EXPECT_EQ(q->findField("AllowPasswordChanging")->asString(), "Yes");
    q->close();

    run(4);
    texts = pageTexts(preview(), 1);
    EXPECT_TRUE(texts.contains("User Access Report"));
    for (const char* heading : {"User ID", "User Name", "Type", "Access Label"})
        EXPECT_TRUE(texts.contains(heading)) << heading;
    EXPECT_TRUE(texts.contains("Clerks"));
    EXPECT_TRUE(texts.contains("Approve Orders"));
    EXPECT_TRUE(texts.contains("**Group not found"));
    EXPECT_TRUE(texts.contains("**Constant not found"));
    EXPECT_EQ(texts.count("G"), 2);
}

TEST_F(Reports, PrintedAndSavedReportsReadBackAsText)
{
    QTemporaryDir dir;
    const QString printed = dir.filePath("printed.pdf");
    PdfPrinting pdf(printed);
    run(4);
    window->fgnReport->button(1)->click(); // no print dialog in the reports window
    EXPECT_EQ(pdf.dialogs, 0);
    ASSERT_EQ(pdfPages(printed).size(), 1);
    const QString text = pdfPages(printed).first();
    EXPECT_TRUE(text.contains("User Access Report"));
    EXPECT_TRUE(text.contains("**Constant not found"));
    EXPECT_TRUE(text.contains("Access Label"));

    const QString saved = dir.filePath("saved.pdf");
    ASSERT_TRUE(window->SaveAsPdf(saved));
    EXPECT_EQ(pdfInfo(saved, "Title"), "User Access Report");
    EXPECT_TRUE(pdfPages(saved).first().contains("Clerks"));
    EXPECT_TRUE(pdfInfo(saved, "Page size").startsWith("792 x 612"));
}

TEST_F(Reports, DesignerCancelStillBuildsWithTheFieldEdits)
{
    window->cmboxReportType->setCurrentIndex(0);
    bool designerSeen = false;
    QTimer::singleShot(0, [&] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            designerSeen = d->windowTitle() == "Report Designer";
            d->reject();
        }
    });
    window->spbtnDesign->click();
    EXPECT_TRUE(designerSeen);
    EXPECT_TRUE(pageTexts(preview(), 1).contains("Access Constants Report"));
}

TEST_F(Reports, UsageAsksThroughTheRangeDialog)
{
    TFormSecDB::setUsageRangeDialog({});
    QString caption, offered;
    QTimer::singleShot(0, [&] {
        if (auto* d = qobject_cast<TFrmUsageDlg*>(QApplication::activeModalWidget())) {
            caption = d->windowTitle();
            offered = d->dedStart->date().toString(Qt::ISODate) + " " + d->dedEnd->date().toString(Qt::ISODate);
            d->dedStart->setDate(QDate(2026, 1, 11));
            d->dedEnd->setDate(QDate(2026, 1, 11));
            d->OKBtn->click();
        }
    });
    Platform::setRegionalSettings(Platform::RegionalSettings {});
    run(2);
    Platform::setRegionalSettings(std::nullopt);
    EXPECT_EQ(caption, "Select Ranges");
    // The range offered is the log's first and last day.
    EXPECT_EQ(offered, QString("2026-01-09 2026-01-13"));
    const QStringList texts = pageTexts(preview(), 1);
    EXPECT_TRUE(texts.contains("1/11/2026"));
    EXPECT_FALSE(texts.contains("1/10/2026"));
    EXPECT_FALSE(texts.contains("1/12/2026"));
}

TEST_F(Reports, AReportWithoutRowsSaysSoOnItsPrintedPage)
{
    TFormSecDB::setUsageRangeDialog([](QWidget*, QDate& start, QDate& end) {
        start = QDate(2025, 3, 1);
        end = QDate(2025, 3, 2);
        return true;
    });
    Platform::setRegionalSettings(Platform::RegionalSettings {});
    run(2);
    Platform::setRegionalSettings(std::nullopt);
    EXPECT_EQ(preview().pageCount(), 1);
    EXPECT_TRUE(pageTexts(preview(), 1).contains("Log Entry"));
    QTemporaryDir dir;
    ASSERT_TRUE(window->SaveAsPdf(dir.filePath("usage.pdf")));
    const QString text = pdfPages(dir.filePath("usage.pdf")).join(" ").simplified();
    EXPECT_TRUE(text.contains("There are no entries for the Usage Report from 3/1/2025 to 3/2/2025."))
        << text.toStdString();
    EXPECT_EQ(window->rdUsage->rowsBuilt(), 0);

    db->exec("delete from GRPCOLL");
    run(1);
    EXPECT_TRUE(pageTexts(preview(), 1).contains("There are no entries for the Groups Report."));
    run(0);
    EXPECT_FALSE(pageTexts(preview(), 1).join(" ").contains("no entries"));
}

TEST_F(Reports, NameListsSortWithoutRegardToCase)
{
    const int al = db->addUser("al", "x1");
    db->exec(QString("insert into USERACC (USER_ID, ACCESS_ID, TYPE) values (%1, 3, 'C')").arg(al));
    db->exec("insert into ACCESS (ACCESS_NAME) values ('billing')");
    db->exec("insert into GRPCOLL (GROUP_ID, ACCESS_ID) values (1, 4)");
    run(0);
    QStringList texts = pageTexts(preview(), 1);
    EXPECT_LT(texts.indexOf("billing"), texts.indexOf("Enter Orders"));
    run(1);
    texts = pageTexts(preview(), 1);
    EXPECT_LT(texts.indexOf("billing"), texts.indexOf("Enter Orders"));
    run(4);
    texts = pageTexts(preview(), 1);
    EXPECT_LT(texts.indexOf("al"), texts.indexOf("Ann"));
    EXPECT_GE(texts.indexOf("al"), 0);
}

TEST_F(Reports, TheWindowKeepsItsPlaceAndOpensWhollyOnTheScreen)
{
    QTemporaryDir settingsDir;
    struct Settings {
        explicit Settings(const QString& path)
        {
            QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path);
        }
        ~Settings()
        {
            QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                               QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
        }
    } settings(settingsDir.path());
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    window->show();
    window->setGeometry(area.left() + 40, area.top() + 50, 700, 420);
    window->close();
    auto again = std::make_unique<TFormSecDB>();
    again->show();
    EXPECT_EQ(again->geometry(), QRect(area.left() + 40, area.top() + 50, 700, 420));

    // Left partly below the screen, and too tall for it: it comes back inside.
    again->setGeometry(area.left() + 10, area.bottom() - 100, 400, area.height() + 200);
    again->close();
    again = std::make_unique<TFormSecDB>();
    again->show();
    EXPECT_TRUE(area.contains(again->frameGeometry())) << again->frameGeometry().bottom() << " " << area.bottom();
    again.reset();
}

TEST_F(Reports, TheDefaultUsersReportFitsItsPaperAndMarksCutCells)
{
    db->addUser("Maximilian Alexander Fitzgerald-Worthington", "m1", "LOCKED", "1");
    run(3);
    const double right = preview().phyWidth() / 10.0 - 0.5;
    for (const TTextBoxCmd* t : textBoxes(preview(), 1))
        EXPECT_LE(t->X2, right + 1e-9) << t->Text.toStdString();
    // The columns give up the room beyond their headings, never a heading.
    TFormGenWin& win = *window->fgwMain;
    win.setTextFont(TFont("Arial", 12, true));
    for (const char* heading : {"ID", "Name", "LastAccess", "Acct. Locking", "Acct. Locked"}) {
        const TTextBoxCmd* t = findText(preview(), 1, heading);
        ASSERT_TRUE(t) << heading;
        EXPECT_GE(t->X2 - t->X1 - 2 * win.textMargin() + 1e-9, win.GetTextWidth(heading)) << heading;
    }

    QTemporaryDir dir;
    const QString file = dir.filePath("users.pdf");
    ASSERT_TRUE(window->SaveAsPdf(file));
    const QString text = pdfPages(file).join("\n");
    for (const char* heading : {"ID", "Field 2", "LastAccess", "Acct. Locking", "Acct. Locked"})
        EXPECT_TRUE(text.contains(heading)) << heading;
    // A name too long for its column ends in an ellipsis instead of stopping mid-word.
    EXPECT_FALSE(text.contains("Fitzgerald-Worthington"));
    EXPECT_TRUE(text.contains(QRegularExpression("Max\\S*( \\S*)?…"))) << text.toStdString();
}

// Cells whose text fits are not clipped: a clip path for every cell doubled the size
// of a report's PDF. A cut cell ends in an ellipsis within its box instead.
TEST_F(Reports, APdfSetsNoClipForCellsThatFit)
{
    db->addUser("Maximilian Alexander Fitzgerald-Worthington", "m1");
    QTemporaryDir dir;
    for (int report : {2, 3}) {
        run(report);
        const QString file = dir.filePath(QString("report%1.pdf").arg(report));
        ASSERT_TRUE(window->SaveAsPdf(file));
        EXPECT_EQ(pdfClipCount(file), 0) << report;
        EXPECT_FALSE(pdfPages(file).join("\n").isEmpty());
    }
}

TEST_F(Reports, DateTimesGetAColumnWideEnoughAndOneFormat)
{
    Platform::setRegionalSettings(Platform::RegionalSettings {});
    run(2);
    const TTextBoxCmd* stamp = findText(preview(), 1, "1/12/2026 15:30:00");
    ASSERT_TRUE(stamp);
    TFormGenWin& win = *window->fgwMain;
    win.setTextFont(TFont("Arial", 12));
    EXPECT_GE(stamp->X2 - stamp->X1 - 2 * win.textMargin() + 1e-9, win.GetTextWidth("12/28/2026 23:58:58"));
    QTemporaryDir dir;
    const QString file = dir.filePath("usage.pdf");
    ASSERT_TRUE(window->SaveAsPdf(file));
    Platform::setRegionalSettings(std::nullopt);
    EXPECT_TRUE(pdfPages(file).join("\n").contains("1/12/2026 15:30:00"));
}

TEST_F(Reports, TextColumnsTakeTheirWidthInCharacters)
{
    // USER_DEF1 is a VARCHAR(30); the report does not list it, so the designer offers it
    // with its declared width.
    run(4);
    window->qryUserAcc->open();
    const TField* def1 = window->qryUserAcc->findField("USER_DEF1");
    ASSERT_TRUE(def1);
    EXPECT_EQ(def1->displayWidth(), 30);
    window->qryUserAcc->close();
}

TEST_F(Reports, PrintWritesThePdfFileAndCopiesChosenInPrintSetup)
{
    if (Platform::printersInstalled())
        GTEST_SKIP() << "a printer is installed";
    QTemporaryDir dir;
    const QString file = dir.filePath("setup.pdf");
    int questions = 0;
    Reporting::setPdfFileHandler([&](const QString&) {
        ++questions;
        return dir.filePath("asked.pdf");
    });
    QPrinter& printer = Platform::printer();
    printer.setOutputFileName(file);
    printer.setCopyCount(2);
    // Print Setup shows these settings and the user confirms them.
    whenModal([](QWidget* modal) { static_cast<QDialog*>(modal)->accept(); });
    ASSERT_TRUE(Platform::printerSetup(window.get()));

    run(3);
    window->fgnReport->button(1)->click();
    Reporting::setPdfFileHandler({});
    EXPECT_EQ(questions, 0);
    EXPECT_EQ(pdfInfo(file, "Pages"), "2");
    EXPECT_EQ(pdfInfo(file, "Title"), "User Report");
    EXPECT_EQ(printer.copyCount(), 2) << "kept for the next print";
    printer.setCopyCount(1);
}

// The PDF button, the preview's Print and its print dialog all suggest the file name
// the report's title makes; a title is free text, so no character of it makes a path.
TEST_F(Reports, EveryQuestionForAReportsPdfFileSuggestsOneNameFromItsTitle)
{
    QTemporaryDir dir;
    QStringList asked;
    Reporting::setPrinterNameHandler([] { return QString(); });
    Reporting::setPdfFileHandler([&](const QString& suggested) {
        asked << suggested;
        return dir.filePath(suggested);
    });
    run(3);
    window->spbtnSavePdf->click();
    window->fgnReport->button(1)->click();
    QString offered;
    whenModal([&](QWidget* modal) {
        if (auto* dialog = qobject_cast<TfrmPrintToPdf*>(modal))
            offered = dialog->edFileName->text();
        static_cast<QDialog*>(modal)->reject();
    });
    window->fgwMain->setOptions(foShowPrint);
    window->fgnReport->button(1)->click();
    Reporting::setPdfFileHandler({});
    Reporting::setPrinterNameHandler({});
    EXPECT_EQ(asked, QStringList({"User_Report.pdf", "User_Report.pdf"}));
    EXPECT_EQ(QDir::toNativeSeparators(offered), QDir::toNativeSeparators(QDir::home().filePath("User_Report.pdf")));
    EXPECT_EQ(Reporting::pdfFileNameFor(" Users/Groups: C:\\x?* "), "Users_Groups__C__x__.pdf");
    EXPECT_EQ(Reporting::pdfFileNameFor(""), "Report.pdf");
}

// Print Setup's suggested file, confirmed as it is, gives each report a file named
// after it in that folder: one report's print does not overwrite another's.
TEST_F(Reports, PrintSetupsSuggestedFileLeftAsItIsTakesTheReportsName)
{
    if (Platform::printersInstalled())
        GTEST_SKIP() << "a printer is installed";
    QTemporaryDir home;
    const QByteArray realHome = qgetenv("HOME");
    qputenv("HOME", home.path().toLocal8Bit());
    const QString suggested = Platform::defaultPdfFile();
    QPrinter& printer = Platform::printer();
    printer.setOutputFileName(suggested);
    whenModal([](QWidget* modal) { static_cast<QDialog*>(modal)->accept(); });
    const bool confirmed = Platform::printerSetup(window.get());
    if (confirmed && suggested.startsWith(home.path())) {
        run(3);
        window->fgnReport->button(1)->click();
    }
    qputenv("HOME", realHome);
    ASSERT_TRUE(confirmed);
    ASSERT_TRUE(suggested.startsWith(home.path())) << suggested.toStdString();
    EXPECT_EQ(pdfInfo(QFileInfo(suggested).dir().filePath("User_Report.pdf"), "Title"), "User Report");
    EXPECT_FALSE(QFile::exists(suggested));
}

// A PDF that cannot be written is said over the reports window that wrote it, not
// over whichever window the focus went back to once the file question closed.
TEST_F(Reports, AnUnwritablePdfIsSaidOverTheReportsWindow)
{
    QMainWindow main;
    main.show();
    window->show();
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    run(3);
    QWidget* owner = nullptr;
    QString text;
    whenModal([&](QWidget* modal) {
        owner = modal->parentWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            text = box->text();
        modal->close();
    });
    EXPECT_FALSE(window->SaveAsPdf(QDir::temp().filePath("no such folder/x.pdf")));
    EXPECT_EQ(owner, window.get()) << text.toStdString();
    EXPECT_TRUE(text.startsWith("Unable to write the file")) << text.toStdString();
}

// The Audit Trail report lists the trail's events oldest first over the days asked
// for, offering the trail's own days; a name made to look like a formula or markup is
// printed as given, the changes of an event stand on its one row, and no hash is
// printed. A database without the trail says that auditing is off and builds nothing.
TEST_F(Reports, TheAuditTrailListsItsEventsInOrderOrSaysAuditingIsOff)
{
    const QString hostile = QStringLiteral("=cmd|' /C calc'!A0 <b>&amp;");
    TDatabase& connection = *TDatabase::connectionFor(db->alias());
    for (const char* kind : {TAuditKind::UserAdded, TAuditKind::LogonRefused, TAuditKind::UserDeleted})
        TAuditTrail::record(connection,
                            TAuditTrail::userEvent(kind, hostile, 7, "User_Def1:  -> Sales\nLocked: 0 -> 1"));
    const QByteArray head = TAuditTrail::head(connection).second;
    QDate offeredStart, offeredEnd;
    TFormSecDB::setUsageRangeDialog([&](QWidget*, QDate& start, QDate& end) {
        offeredStart = start;
        offeredEnd = end;
        return true;
    });
    run(5);
    EXPECT_EQ(offeredStart, QDate::currentDate());
    EXPECT_EQ(offeredEnd, QDate::currentDate());
    const QStringList texts = pageTexts(preview(), 1);
    EXPECT_TRUE(texts.contains("Audit Trail Report"));
    const qsizetype added = texts.indexOf("UserAdded");
    const qsizetype refused = texts.indexOf("LogonRefused");
    const qsizetype deleted = texts.indexOf("UserDeleted");
    EXPECT_TRUE(added > 0 && added < refused && refused < deleted) << texts.join('|').toStdString();
    EXPECT_EQ(texts.count(hostile), 6) << "the security user and the object of each event";
    EXPECT_EQ(texts.count("User_Def1:  -> Sales; Locked: 0 -> 1"), 3) << texts.join('|').toStdString();
    for (const QString& text : texts)
        EXPECT_FALSE(text.contains(QString::fromLatin1(head.left(12)))) << "a hash is printed";
    EXPECT_TRUE(texts.contains("The audit trail is intact from event #1 to #3.")) << texts.join('|').toStdString();

    // Under the rows, whether the printed events still chain: an event before the days
    // asked for is no part of it (its link to them holds), a changed one printed is.
    db->exec("update AUDIT_TRAIL set EVENT_TIME = EVENT_TIME - 2 where EVENT_ID = 1");
    TFormSecDB::setUsageRangeDialog([](QWidget*, QDate& start, QDate& end) {
        start = end = QDate::currentDate();
        return true;
    });
    run(5);
    EXPECT_TRUE(findText(preview(), 1, "The audit trail is intact from event #2 to #3."))
        << pageTexts(preview(), 1).join('|').toStdString();
    db->exec("update AUDIT_TRAIL set DETAILS = 'Locked: 1 -> 0' where EVENT_ID = 3");
    run(5);
    EXPECT_TRUE(findText(preview(), 1, "The audit trail is broken at event #3: Event #3 was changed."))
        << pageTexts(preview(), 1).join('|').toStdString();

    // Days without events: the page says so, naming the days.
    TFormSecDB::setUsageRangeDialog([](QWidget*, QDate& start, QDate& end) {
        start = end = QDate(2001, 2, 3);
        return true;
    });
    run(5);
    const QString day = Platform::formatDate(QStringLiteral("ddddd"), QDate(2001, 2, 3));
    EXPECT_TRUE(
        findText(preview(), 1, "There are no entries for the Audit Trail Report from " + day + " to " + day + "."))
        << pageTexts(preview(), 1).join('|').toStdString();

    TestDatabase old(true, QStringLiteral("JOVSEC_NO_TRAIL"));
    old.exec("drop table AUDIT_TRAIL");
    old.exec("drop table AUDIT_HEAD");
    MessageRecorder messages;
    window->AliasName = old.alias();
    window->ApplyAlias();
    window->fgwMain->Clear();
    run(5);
    EXPECT_EQ(messages.texts(), QStringList {"Auditing is off: this security database has no audit trail. "
                                             "\"jovsecadm upgrade\" adds it."});
    EXPECT_EQ(preview().commandCount(), 0);
}
