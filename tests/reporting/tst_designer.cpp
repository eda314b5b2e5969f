// The report designer: its field lists, field editors, settings written back on
// OK, and the sample page.
#include "database/TQuery.h"
#include "widgets/TRadioGroup.h"
#include "reporting/TfrmReportDesigner.h"
#include "reporting/TFormGenWin.h"
#include "reporting/TReportDesign.h"
#include "tests/reporting/ReportTestSupport.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/TestDatabase.h"

#include <QCheckBox>
#include <QFontDialog>
#include <QTest>
#include <QTimer>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

class Designer : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = std::make_unique<TestDatabase>();
        db->addUser("ann", "pw1");
        db->addUser("bob", "pw2");
        query = std::make_unique<TQuery>();
        query->setDatabaseName(db->alias());
        query->setSQL("select USER_ID, USER_NAME, USER_DEF1, USER_ENABLED from USERS order by USER_ID");
        win.setOptions(0);
        report.setDataSet(query.get());
        report.setFormComponent(&win);
        report.setTitle("User Report");
        report.setFields({"User_Name", "Missing", "User_ID"});
        report.setDatePosition(dpLeft);
        report.setPageNumLocation(pnsBottomCenter);
        dialog = std::make_unique<TfrmReportDesigner>();
        dialog->setDefinition(&report);
    }
    void TearDown() override
    {
        TfrmReportDesigner::setFontChooser({});
        dialog.reset();
        closeAllWindows();
    }

    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<TQuery> query;
    TFormGenWin win;
    TReportDesign report;
    std::unique_ptr<TfrmReportDesigner> dialog;
};

} // namespace

TEST_F(Designer, ShowsTheDefinitionAndWritesItBackOnOk)
{
    ASSERT_TRUE(dialog->FormShow());
    EXPECT_EQ(dialog->lbReportFields->texts(), (QStringList {"USER_NAME", "USER_ID"}));
    EXPECT_EQ(dialog->lbRemainingFields->texts(), (QStringList {"USER_DEF1", "USER_ENABLED"}));
    EXPECT_FALSE(dialog->lbIndexes->isEnabled()); // a query, not a table
    EXPECT_EQ(dialog->rgrpOrient->itemIndex(), 1);
    EXPECT_EQ(dialog->rgrpDatePos->itemIndex(), 1);
    EXPECT_EQ(dialog->rgrpPageNum->itemIndex(), 1);
    EXPECT_EQ(dialog->edTitle->text(), "User Report");
    EXPECT_EQ(dialog->frmgenPreview->zoomMode(), 2);
    EXPECT_EQ(dialog->frmgenPreview->phyWidth(), 110);
    EXPECT_TRUE(pageTexts(*dialog->frmgenPreview, 1).contains("User Report"));
    EXPECT_TRUE(pageTexts(*dialog->frmgenPreview, 1).contains("USER_NAME"));
    EXPECT_TRUE(pageTexts(*dialog->frmgenPreview, 1).contains("1")); // the bottom page number

    dialog->rgrpOrient->setItemIndex(0);
    EXPECT_EQ(dialog->frmgenPreview->phyWidth(), 85);
    dialog->edTitle->setText("People");
    dialog->chboxCenterTitle->setChecked(false);
    dialog->rgrpDivider->setItemIndex(2);
    dialog->rgrpPageNum->setItemIndex(2);
    dialog->edPageNumLabel->setText("Page ");
    TfrmReportDesigner::setFontChooser([](TFont& font) {
        font = TFont("Times Roman", 9, false, true);
        return true;
    });
    dialog->btnBody->click();
    EXPECT_EQ(dialog->lblBodyFont->font().family(), "Times Roman");
    dialog->bbtnOkClick();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(report.fields(), (QStringList {"USER_NAME", "USER_ID"})); // the missing name is gone
    EXPECT_TRUE(report.portrait());
    EXPECT_EQ(report.title(), "People");
    EXPECT_FALSE(report.titleCentered());
    EXPECT_EQ(report.dividerStyle(), dvsDash);
    EXPECT_EQ(report.pageNumLocation(), pnsUpperRight);
    EXPECT_EQ(report.pageNumLabel(), "Page ");
    EXPECT_EQ(report.bodyFont().name(), "Times Roman");
    EXPECT_TRUE(report.bodyFont().italic());
    EXPECT_EQ(report.headingFont().name(), "Arial");

    report.Execute();
    EXPECT_TRUE(findText(win, 1, "Page 1"));
    EXPECT_EQ(win.phyWidth(), 85);
}

TEST_F(Designer, TheFontDialogStartsOnTheFaceTheReportIsDrawnWith)
{
    ASSERT_TRUE(dialog->FormShow());
    // The real dialog: it is shown the Liberation face that stands for "Arial".
    QString offered;
    QString pick;
    const auto answer = [&] {
        if (auto* d = qobject_cast<QFontDialog*>(QApplication::activeModalWidget())) {
            offered = d->currentFont().family();
            if (!pick.isEmpty())
                d->setCurrentFont(QFont(pick, 14));
            d->accept();
        }
    };
    QTimer::singleShot(0, answer);
    dialog->btnHeading->click();
    EXPECT_EQ(offered, "Liberation Sans");
    // OK without a change keeps the report's own face name.
    pick = "Liberation Serif";
    QTimer::singleShot(0, answer);
    dialog->btnBody->click();
    dialog->bbtnOkClick();
    EXPECT_EQ(report.headingFont().name(), "Arial");
    EXPECT_TRUE(report.headingFont().bold());
    EXPECT_EQ(report.headingFont().size(), 12);
    EXPECT_EQ(report.bodyFont().name(), "Liberation Serif");
    EXPECT_EQ(report.bodyFont().size(), 14);
}

TEST_F(Designer, MovingAddingAndRemovingFields)
{
    ASSERT_TRUE(dialog->FormShow());
    dialog->lbReportFields->setItemIndex(0);
    dialog->spbtnMoveDownClick();
    EXPECT_EQ(dialog->lbReportFields->texts(), (QStringList {"USER_ID", "USER_NAME"}));
    EXPECT_EQ(dialog->lbReportFields->itemIndex(), 1);
    dialog->spbtnMoveDownClick(); // already last
    dialog->spbtnMoveUpClick();
    EXPECT_EQ(dialog->lbReportFields->texts(), (QStringList {"USER_NAME", "USER_ID"}));

    dialog->lbRemainingFields->setItemIndex(1);
    dialog->SpeedButton1Click();
    EXPECT_EQ(dialog->lbReportFields->texts(), (QStringList {"USER_NAME", "USER_ID", "USER_ENABLED"}));
    EXPECT_TRUE(pageTexts(*dialog->frmgenPreview, 1).contains("USER_ENABLED"));
    dialog->lbReportFields->setItemIndex(0);
    dialog->SpeedButton3Click();
    EXPECT_EQ(dialog->lbRemainingFields->texts(), (QStringList {"USER_DEF1", "USER_NAME"}));
    EXPECT_FALSE(pageTexts(*dialog->frmgenPreview, 1).contains("USER_NAME"));

    dialog->spbtnLeftAllClick();
    EXPECT_EQ(dialog->lbReportFields->texts(), (QStringList {"USER_ID", "USER_ENABLED", "USER_DEF1", "USER_NAME"}));
    EXPECT_EQ(dialog->lbRemainingFields->count(), 0);
    dialog->spbtnRightAllClick();
    EXPECT_EQ(dialog->lbReportFields->count(), 0);
    EXPECT_EQ(dialog->lbRemainingFields->texts(), (QStringList {"USER_ID", "USER_NAME", "USER_DEF1", "USER_ENABLED"}));
}

TEST_F(Designer, DraggingFieldsBetweenAndWithinTheLists)
{
    dialog->show();
    ASSERT_TRUE(dialog->FormShow());
    TFieldListBox* report = dialog->lbReportFields;
    TFieldListBox* remaining = dialog->lbRemainingFields;
    const QPoint belowLast(5, report->height() - 3);
    const QPoint onFirst = report->visualItemRect(report->item(0)).center();

    remaining->setItemIndex(0);
    EXPECT_TRUE(dialog->lbReportFieldsDragOver(remaining, onFirst));
    dialog->lbReportFieldsDragDrop(remaining, onFirst);
    EXPECT_EQ(report->texts(), (QStringList {"USER_DEF1", "USER_NAME", "USER_ID"}));

    report->setItemIndex(0);
    EXPECT_FALSE(dialog->lbReportFieldsDragOver(report, onFirst)); // onto itself
    EXPECT_TRUE(dialog->lbReportFieldsDragOver(report, belowLast));
    dialog->lbReportFieldsDragDrop(report, belowLast);
    EXPECT_EQ(report->texts(), (QStringList {"USER_NAME", "USER_ID", "USER_DEF1"}));
    EXPECT_EQ(report->itemIndex(), 2);

    EXPECT_TRUE(dialog->lbRemainingFieldsDragOver(report));
    EXPECT_FALSE(dialog->lbRemainingFieldsDragOver(remaining));
    dialog->lbRemainingFieldsDragDrop(report);
    EXPECT_EQ(remaining->texts(), (QStringList {"USER_ENABLED", "USER_DEF1"}));
}

TEST_F(Designer, FieldEditorsActAtOnceAndSurviveCancel)
{
    ASSERT_TRUE(dialog->FormShow());
    dialog->pnlFieldListClick();
    EXPECT_TRUE(dialog->lbRemainingFields->isVisibleTo(dialog.get()));
    EXPECT_EQ(dialog->pnlFieldList->text(), "Remaining Fields");
    EXPECT_GE(dialog->lbRemainingFields->height(), 98);
    dialog->pnlFieldListClick();
    EXPECT_FALSE(dialog->lbRemainingFields->isVisibleTo(dialog.get()));
    EXPECT_EQ(dialog->pnlFieldList->text(), "Show Field List");

    // The arrows choose a field as a click does.
    dialog->lbReportFields->setItemIndex(0);
    QTest::keyClick(dialog->lbReportFields, Qt::Key_Down);
    EXPECT_EQ(dialog->edLabel->text(), "USER_ID");
    dialog->lbReportFields->setItemIndex(1);
    dialog->lbReportFieldsClick();
    EXPECT_EQ(dialog->edLabel->text(), "USER_ID");
    EXPECT_EQ(dialog->edWidth->text(), "10");
    EXPECT_EQ(dialog->cmboxAlign->currentText(), "taRightJustify");
    dialog->edLabel->setText("Number");
    dialog->edLabelChange();
    for (const char* bad : {"abc", "0", "-3", ""}) {
        dialog->edWidth->setText(bad);
        dialog->edWidthChange();
    }
    EXPECT_EQ(query->findField("USER_ID")->displayWidth(), 10);
    dialog->edWidth->setText("25");
    dialog->edWidthChange();
    dialog->cmboxAlign->setCurrentIndex(1);
    dialog->cmboxAlignChange();
    dialog->reject();
    dialog.reset();
    // The dialog opened the record set and closes it again; the fields keep their edits.
    EXPECT_FALSE(query->active());
    report.Execute();
    const TTextBoxCmd* heading = findText(win, 1, "Number");
    ASSERT_TRUE(heading);
    EXPECT_TRUE(heading->State->Format & tfCenter);
    EXPECT_EQ(report.fields(), (QStringList {"User_Name", "Missing", "User_ID"})); // Cancel wrote nothing
}

TEST_F(Designer, PaperDateFormatAndBadRecordSets)
{
    ASSERT_TRUE(dialog->FormShow());
    dialog->edDateFormat->clear();
    dialog->rgrpDatePos->setItemIndex(3);
    EXPECT_EQ(dialog->edDateFormat->text(), "ddddd");
    EXPECT_TRUE(dialog->edDateFormat->isEnabled());
    dialog->rgrpDatePos->setItemIndex(0);
    EXPECT_FALSE(dialog->edDateFormat->isEnabled());
    dialog->rgrpDatePos->setItemIndex(2);
    dialog->lbPageSize->setCurrentRow(2);
    dialog->lbPageSizeClick();
    EXPECT_EQ(dialog->frmgenPreview->phyWidth(), 117);
    dialog->rgrpZoom->setItemIndex(2);
    EXPECT_EQ(dialog->frmgenPreview->zoomMode(), 3);
    dialog->lbPageSize->clearSelection();
    dialog->bbtnOkClick();
    EXPECT_EQ(report.pageSizeIndex(), -1);
    EXPECT_EQ(report.dateFormat(), "ddddd");
    EXPECT_EQ(report.datePosition(), dpCenter);
    dialog.reset();
    EXPECT_FALSE(query->active());

    MessageRecorder messages;
    query->setSQL("select * from NO_SUCH_TABLE");
    TfrmReportDesigner broken;
    broken.setDefinition(&report);
    EXPECT_FALSE(broken.FormShow());
    EXPECT_EQ(messages.texts(), QStringList {"Invalid Table Property."});
    EXPECT_EQ(broken.result(), QDialog::Rejected);
}
