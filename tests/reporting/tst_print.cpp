// Printing where no printer is installed: the recording replayed into a PDF file,
// with page ranges, the current page, copies and collation done by the program.
#include "reporting/TFormGenNav.h"
#include "reporting/TFormGenWin.h"
#include "reporting/TfrmPlsWt.h"
#include "reporting/TfrmPrintAbort.h"
#include "reporting/TfrmPrintToPdf.h"
#include "tests/reporting/ReportTestSupport.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/ModalPoller.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

namespace {

class Printing : public ::testing::Test {
protected:
    void SetUp() override
    {
        file = dir.filePath("out.pdf");
        pdf = std::make_unique<PdfPrinting>(file);
        win.OnBuildReport = [this](TFormGenWin* w) {
            ++builds;
            w->textFont() = TFont("Arial", 12);
            for (int p = 1; p <= pages; ++p) {
                if (p > 1)
                    w->NewPage();
                w->StrRect(QString("Marker-%1").arg(p), 1, 1, 4, 1.5);
            }
        };
        win.setOptions(0);
        win.Execute();
    }
    void TearDown() override
    {
        pdf.reset();
        closeAllWindows();
    }

    // The markers of the PDF's pages, in order ("1 2 3").
    QString printedOrder() const
    {
        QStringList order;
        static const QRegularExpression marker("Marker-(\\d+)");
        for (const QString& page : pdfPages(file)) {
            const auto m = marker.match(page);
            order << (m.hasMatch() ? m.captured(1) : QString("?"));
        }
        return order.join(' ');
    }

    QTemporaryDir dir;
    QString file;
    std::unique_ptr<PdfPrinting> pdf;
    TFormGenWin win;
    int pages = 3;
    int builds = 0;
};

} // namespace

TEST_F(Printing, WithoutTheDialogEveryPageGoesToTheFileAskedFor)
{
    win.Print();
    EXPECT_EQ(pdf->fileQuestions, 1);
    EXPECT_EQ(pdf->dialogs, 0);
    EXPECT_EQ(printedOrder(), "1 2 3");
    EXPECT_EQ(pdfInfo(file, "Pages"), "3");
}

TEST_F(Printing, PresetRangesAreKeptWithinTheDocument)
{
    struct Case {
        int from, to;
        QString order;
    };
    for (const Case& c :
         {Case {2, 3, "2 3"}, Case {0, 2, "1 2"}, Case {3, 9, "3"}, Case {5, 2, "2"}, Case {-1, 0, "1 2 3"}}) {
        QFile::remove(file);
        win.setPrintFromPage(c.from);
        win.setPrintToPage(c.to);
        win.Print();
        EXPECT_EQ(printedOrder(), c.order) << c.from << ".." << c.to;
    }
}

TEST_F(Printing, DialogChoicesOfRangeSelectionCopiesAndCollation)
{
    win.setOptions(foShowPrint);
    win.NextPage();
    win.setPrintCopies(2);
    win.setPrintCollate(true);
    struct Case {
        Reporting::TPrintChoice::Range range;
        int from, to, copies;
        bool collate;
        QString order;
    };
    using R = Reporting::TPrintChoice;
    const Case cases[] = {
        {R::AllPages, 0, 0, 1, false, "1 2 3"},       {R::PageNums, 2, 3, 1, false, "2 3"},
        {R::Selection, 0, 0, 1, false, "2"},          {R::AllPages, 0, 0, 2, true, "1 2 3 1 2 3"},
        {R::AllPages, 0, 0, 2, false, "1 1 2 2 3 3"}, {R::PageNums, 1, 2, 3, true, "1 2 1 2 1 2"},
    };
    for (const Case& c : cases) {
        QFile::remove(file);
        pdf->answerDialog([&](Reporting::TPrintChoice& choice) {
            choice.range = c.range;
            choice.fromPage = c.from;
            choice.toPage = c.to;
            choice.copies = c.copies;
            choice.collate = c.collate;
            return true;
        });
        win.Print();
        EXPECT_EQ(printedOrder(), c.order) << c.copies << (c.collate ? " collated" : "");
    }
    // The dialog was offered the document's pages, the current page and the presets.
    EXPECT_EQ(pdf->offered.minPage, 1);
    EXPECT_EQ(pdf->offered.maxPage, 3);
    EXPECT_EQ(pdf->offered.fromPage, 2);
    EXPECT_EQ(pdf->offered.toPage, 2);
    EXPECT_EQ(pdf->offered.copies, 2);
    EXPECT_TRUE(pdf->offered.collate);
}

TEST_F(Printing, CtrlPWithoutAPrinterWritesTheCopiesAndPagesChosenIntoThePdf)
{
    pages = 6;
    win.Execute();
    TFormGenNav nav;
    nav.setVisibleButtons(allNavControls);
    nav.setFormComponent(&win);
    nav.show();
    MessageRecorder messages;
    const auto printTwoCopiesOf3To5 = [&](bool collate) {
        bool asked = false;
        whenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<TfrmPrintToPdf*>(modal);
            if (!dialog)
                return;
            asked = true;
            dialog->edFileName->setText(file);
            dialog->spinCopies->setValue(2);
            dialog->ckbxCollate->setChecked(collate);
            dialog->spinFromPage->setValue(3);
            dialog->spinToPage->setValue(5);
            dialog->bbtnOk->click();
        });
        QApplication::setActiveWindow(&nav);
        QTest::keyClick(&nav, Qt::Key_P, Qt::ControlModifier);
        EXPECT_TRUE(asked) << "Ctrl+P shows the print dialog";
    };
    printTwoCopiesOf3To5(true);
    EXPECT_EQ(pdfInfo(file, "Pages"), "6");
    EXPECT_EQ(printedOrder(), "3 4 5 3 4 5");
    EXPECT_EQ(pdf->fileQuestions, 0) << "the dialog named the file";

    // The same file again, replaced once the user agrees; now each page twice.
    messages.answers << Platform::MsgResult::Yes;
    printTwoCopiesOf3To5(false);
    EXPECT_EQ(printedOrder(), "3 3 4 4 5 5");
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.last().contains("already exists")) << messages.last().toStdString();
}

TEST_F(Printing, CancelledDialogOrFileQuestionPrintsNothing)
{
    win.setOptions(foShowPrint);
    pdf->answerDialog([](Reporting::TPrintChoice&) { return false; });
    win.Print();
    EXPECT_EQ(pdf->fileQuestions, 0);
    EXPECT_FALSE(QFile::exists(file));

    win.setOptions(0);
    Reporting::setPdfFileHandler([](const QString&) { return QString(); });
    win.Print();
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(Printing, PagesWiderThanHighPrintInLandscapeOnTheReportsPaper)
{
    win.setPhyWidth(110);
    win.setPhyHeight(85);
    win.Print();
    EXPECT_TRUE(pdfInfo(file, "Page size").startsWith("792 x 612")) << pdfInfo(file, "Page size").toStdString();
    QFile::remove(file);
    win.setPhyWidth(85);
    win.setPhyHeight(140);
    win.Print();
    EXPECT_TRUE(pdfInfo(file, "Page size").startsWith("612 x 1008")) << pdfInfo(file, "Page size").toStdString();
}

TEST_F(Printing, AbortStopsAtOnceAndLeavesNoDocument)
{
    pages = 40;
    win.Execute();
    QString printerLabel;
    int progressAtAbort = -1;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<TfrmPrintAbort*>(w); box && box->isVisible()) {
                printerLabel = box->lblPrinterName->text();
                progressAtAbort = box->prbarStat->value();
                box->BitBtn1->click();
            }
    });
    win.Print();
    EXPECT_EQ(printerLabel, "on " + QDir::toNativeSeparators(file));
    EXPECT_GE(progressAtAbort, 0);
    EXPECT_LT(progressAtAbort, 100);
    EXPECT_FALSE(QFile::exists(file));
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<TfrmPrintAbort*>(w)) << "the abort box outlived printing";
}

// Presses a key in the box of type Box once a job shows it.
template <class Box>
static void pressInBox(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTimer::singleShot(0, [key, modifiers] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<Box*>(w); box && box->isVisible())
                QTest::keyClick(box, key, modifiers);
    });
}

// The main window's Ctrl+W closes the database and deletes the reports window with
// it: pressed while a report is built or printed, it does nothing.
TEST_F(Printing, ProgramKeysDoNothingWhileAReportIsBuiltOrPrinted)
{
    pages = 40;
    QPointer<TFormGenWin> reports = new TFormGenWin;
    reports->OnBuildReport = win.OnBuildReport;
    QWidget main;
    auto* close = new QAction(&main);
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    close->setShortcutContext(Qt::ApplicationShortcut);
    main.addAction(close);
    QObject::connect(close, &QAction::triggered, [&] { delete reports.data(); });
    main.show();
    // The main window is the active one when each job starts, as when its menu asked.
    const auto activateMain = [&main] {
        main.activateWindow();
        return QTest::qWaitForWindowActive(&main);
    };

    ASSERT_TRUE(activateMain());
    reports->setOptions(foShowDialog);
    pressInBox<TfrmPlsWt>(Qt::Key_W, Qt::ControlModifier);
    reports->Execute();
    ASSERT_TRUE(reports) << "Ctrl+W deleted the window while its report was built";
    EXPECT_EQ(reports->pageCount(), 40);

    ASSERT_TRUE(activateMain());
    pressInBox<TfrmPrintAbort>(Qt::Key_W, Qt::ControlModifier);
    reports->Print();
    ASSERT_TRUE(reports) << "Ctrl+W deleted the window while it printed";
    EXPECT_EQ(pdfInfo(file, "Pages"), "40");

    // Escape in the abort box aborts the job, as its button does.
    QFile::remove(file);
    pressInBox<TfrmPrintAbort>(Qt::Key_Escape);
    reports->Print();
    EXPECT_FALSE(QFile::exists(file));

    ASSERT_TRUE(activateMain());
    QTest::keyClick(&main, Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(reports) << "Ctrl+W did nothing once the job was over";
}

TEST_F(Printing, OneBuildServesPreviewPrinterAndPdf)
{
    win.NextPage();
    win.Print();
    const QString saved = dir.filePath("saved.pdf");
    ASSERT_TRUE(win.SaveToPdf(saved, "Usage Report"));
    EXPECT_EQ(builds, 1);
    EXPECT_EQ(pdfInfo(saved, "Title"), "Usage Report");
    EXPECT_EQ(pdfInfo(saved, "Pages"), "3");
    EXPECT_EQ(win.currentPage(), 2); // printing leaves the preview where it was

    MessageRecorder messages;
    EXPECT_FALSE(win.SaveToPdf(dir.filePath("no/such/folder/x.pdf"), "x"));
    ASSERT_EQ(messages.shown.size(), 0); // the caller reports it
}
