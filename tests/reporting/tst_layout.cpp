// The report layout: pages, headings, page numbers, the date line, column widths
// and dividers, laid out from a real security database.
#include "database/TQuery.h"
#include "platform/RegionalSettings.h"
#include "reporting/TFormGenWin.h"
#include "reporting/TReportDesign.h"
#include "tests/reporting/ReportTestSupport.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/TestDatabase.h"

namespace {

class Layout : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = std::make_unique<TestDatabase>();
        db->exec(QString("INSERT INTO ACCESS (ACCESS_NAME) SELECT FIRST %1 "
                         "'Feature ' || LPAD(ROW_NUMBER() OVER (), 3, '0') FROM RDB$TYPES")
                     .arg(rows));
        query = std::make_unique<TQuery>();
        query->setDatabaseName(db->alias());
        query->setSQL("SELECT * FROM ACCESS ORDER BY ACCESS_NAME");
        win.setOptions(0);
        report.setDataSet(query.get());
        report.setFormComponent(&win);
        report.setTitle("Access Constants Report");
        report.setFields({"Access_ID", "Access_Name"});
    }
    void TearDown() override { closeAllWindows(); }

    // The rows of data on a page: texts starting "Feature".
    QStringList dataRows(int page) const
    {
        QStringList rowsOnPage;
        for (const QString& t : pageTexts(win, page))
            if (t.startsWith("Feature"))
                rowsOnPage << t;
        return rowsOnPage;
    }

    int rows = 120;
    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<TQuery> query;
    TFormGenWin win;
    TReportDesign report;
};

} // namespace

TEST_F(Layout, RowsFlowOverPagesWithHeadingsAndNumbersOnEach)
{
    report.setPageNumLocation(pnsBottomCenter);
    report.setPageNumLabel("Page ");
    report.setDividerStyle(dvsSolid);
    report.Execute();
    EXPECT_EQ(win.phyWidth(), 110); // landscape letter
    EXPECT_EQ(win.phyHeight(), 85);
    ASSERT_GT(win.pageCount(), 2);
    QStringList all;
    for (int p = 1; p <= win.pageCount(); ++p) {
        const QStringList texts = pageTexts(win, p);
        EXPECT_TRUE(texts.contains("Access Constants Report")) << p;
        EXPECT_TRUE(texts.contains("ACCESS_ID")) << p;
        EXPECT_TRUE(texts.contains("ACCESS_NAME")) << p;
        const TTextBoxCmd* number = findText(win, p, QString("Page %1").arg(p));
        ASSERT_TRUE(number) << p;
        EXPECT_DOUBLE_EQ(number->Y1, 8.5 - 0.8);
        EXPECT_DOUBLE_EQ(number->Y2, 8.5);
        EXPECT_TRUE(number->State->Format & tfCenter);
        for (const TTextBoxCmd* t : textBoxes(win, p)) {
            if (t->Text.startsWith("Feature")) {
                EXPECT_LE(t->Y1, 8.5 - 1.0 + 0.3) << t->Text.toStdString();
            }
        }
        EXPECT_EQ(countOf(win, [p](const TDrawCmd& c) { return c.Page == p && dynamic_cast<const TLineCmd*>(&c); }), 1);
        all += dataRows(p);
    }
    ASSERT_EQ(all.size(), rows);
    for (int i = 0; i < rows; ++i)
        EXPECT_EQ(all[i], QString("Feature %1").arg(i + 1, 3, 10, QChar('0')));
    // Every page but the last is full: no row would have fitted below its last.
    EXPECT_EQ(dataRows(1).size(), dataRows(2).size());
    // The record set stays open at its end.
    EXPECT_TRUE(query->active());
    EXPECT_TRUE(query->eof());
}

TEST_F(Layout, UpperRightPageNumberWithoutTitle)
{
    report.setTitle(QString());
    report.setPageNumLocation(pnsUpperRight);
    report.setPageNumLabel("p. ");
    report.Execute();
    ASSERT_GT(win.pageCount(), 1);
    const TTextBoxCmd* number = findText(win, 2, "p. 2");
    ASSERT_TRUE(number);
    EXPECT_DOUBLE_EQ(number->Y1, 0.5);
    EXPECT_TRUE(number->State->Format & tfRight);
    win.textFont() = report.titleFont();
    const double titleLine = 1.25 * win.GetTextHeight("X");
    const TTextBoxCmd* heading = findText(win, 2, "ACCESS_ID");
    ASSERT_TRUE(heading);
    EXPECT_NEAR(heading->Y1, 0.5 + titleLine, 1e-9);
    EXPECT_FALSE(findText(win, win.pageCount(), QString::number(win.pageCount())));
}

TEST_F(Layout, DateSharesTheSubTitleLineOnlyWhereTheyCannotCollide)
{
    report.setSubTitle("Alias: JOVSEC_TEST");
    report.setDateFormat(QString());
    const QString today = Platform::formatDate("ddddd", QDate::currentDate());
    struct Case {
        bool centred;
        TDatePosition position;
        bool shared;
    };
    for (const Case c : {Case {true, dpRight, true}, Case {true, dpCenter, false}, Case {true, dpLeft, true},
                         Case {false, dpLeft, false}, Case {false, dpRight, true}}) {
        report.setTitleCentered(c.centred);
        report.setDatePosition(c.position);
        report.Execute();
        const TTextBoxCmd* sub = findText(win, 1, "Alias: JOVSEC_TEST");
        const TTextBoxCmd* date = findText(win, 1, today);
        ASSERT_TRUE(sub && date);
        EXPECT_EQ(date->Y1 == sub->Y1, c.shared) << c.centred << " " << c.position;
        EXPECT_EQ(bool(sub->State->Format & tfCenter), c.centred);
        EXPECT_EQ(date->State->Format & 3, c.position == dpCenter ? 1 : c.position == dpRight ? 2 : 0);
    }
    EXPECT_EQ(report.dateFormat(), "ddddd");
}

TEST_F(Layout, ColumnsAreAsWideAsTheirHeadingOrSampleAndClipLongValues)
{
    query->open();
    TField* name = query->findField("ACCESS_NAME");
    name->setDisplayLabel("A Very Long Heading For A Narrow Column");
    name->setDisplayWidth(2);
    query->findField("Access_ID")->setDisplayWidth(30);
    report.setFields({"Access_ID", "NoSuchField", "ACCESS_NAME", "Access_ID"});
    report.setDividerStyle(dvsDash);
    report.Execute();
    const TTextBoxCmd* idHead = textBoxes(win, 1)[1];
    const TTextBoxCmd* nameHead = findText(win, 1, "A Very Long Heading For A Narrow Column");
    ASSERT_TRUE(nameHead);
    const double m = win.textMargin();
    win.textFont() = report.headingFont();
    EXPECT_NEAR(nameHead->X2 - nameHead->X1, win.GetTextWidth(nameHead->Text) + 2 * m, 1e-9);
    win.textFont() = report.bodyFont();
    EXPECT_NEAR(idHead->X2 - idHead->X1, win.GetTextWidth(QString(30, 'o')) + 2 * m, 1e-9);
    // The missing name takes no space; the repeated one is a second column.
    EXPECT_NEAR(nameHead->X1, idHead->X2, 1e-9);
    EXPECT_EQ(pageTexts(win, 1).count("ACCESS_ID"), 2);
    // Values are placed in their column, left-aligned by default, and clipped there.
    const TTextBoxCmd* value = findText(win, 1, "Feature 001");
    ASSERT_TRUE(value);
    EXPECT_DOUBLE_EQ(value->X1, nameHead->X1);
    EXPECT_DOUBLE_EQ(value->X2, nameHead->X2);
    EXPECT_FALSE(value->State->Format & tfNoClip);
    EXPECT_FALSE(value->State->Format & tfWordBreak);
    // Integers are right-aligned; one dash under each heading.
    EXPECT_TRUE(findText(win, 1, "1")->State->Format & tfRight);
    EXPECT_EQ(countOf(win, [](const TDrawCmd& c) { return c.Page == 1 && dynamic_cast<const TLineCmd*>(&c); }), 3);
}

TEST_F(Layout, EmptyRecordSetGivesOnePageSayingSo)
{
    query->setSQL("SELECT * FROM ACCESS WHERE ACCESS_ID < 0");
    report.setPageNumLocation(pnsBottomCenter);
    report.Execute();
    EXPECT_EQ(win.pageCount(), 1);
    EXPECT_TRUE(findText(win, 1, "There are no entries for the " + report.title() + "."));
    EXPECT_EQ(report.rowsBuilt(), 0);
}

TEST_F(Layout, PaperSizesOrientationAndMissingParts)
{
    report.setPortrait(true);
    report.setPageSizeIndex(1);
    report.Execute();
    EXPECT_EQ(win.phyWidth(), 85);
    EXPECT_EQ(win.phyHeight(), 140);
    report.setPortrait(false);
    report.setPageSizeIndex(2);
    report.Execute();
    EXPECT_EQ(win.phyWidth(), 117);
    EXPECT_EQ(win.phyHeight(), 83);
    report.setPageSizeIndex(7); // no such paper: an empty page size, but no failure
    report.Execute();
    EXPECT_EQ(win.phyWidth(), 0);

    QStringList many;
    for (int i = 0; i < 30; ++i)
        many << "Access_ID";
    report.setFields(many);
    EXPECT_EQ(report.fields().size(), TReportDesign::maxColumns);

    MessageRecorder messages;
    TReportDesign orphan;
    orphan.Execute();
    EXPECT_EQ(messages.texts(), QStringList {"FormComponent Property is not Assigned."});
    EXPECT_FALSE(orphan.Design());
    orphan.setFormComponent(&win);
    orphan.Execute(); // no record set: an empty page
    EXPECT_EQ(win.commandCount(), 0);
    EXPECT_EQ(messages.shown.size(), 1);
}
