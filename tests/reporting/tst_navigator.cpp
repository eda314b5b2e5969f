// The navigator bar: enabling in step with the window, the zoom box, the veto of
// its owner, visible buttons and hints, and detaching when either side goes.
#include "reporting/TFormGenNav.h"
#include "reporting/TFormGenWin.h"
#include "tests/reporting/ReportTestSupport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

void buildPages(TFormGenWin& win, int pages)
{
    win.OnBuildReport = [pages](TFormGenWin* w) {
        for (int p = 1; p <= pages; ++p) {
            if (p > 1)
                w->NewPage();
            w->StrRect(QString("page %1").arg(p), 1, 1, 3, 2);
        }
    };
    win.setOptions(0);
    win.Execute();
}

// A window as the reports window has it: the full navigator above its preview,
// shown and active, so that its keys work as a user's would.
struct ShownPreview {
    ShownPreview()
    {
        auto* layout = new QVBoxLayout(&top);
        nav = new TFormGenNav(&top);
        win = new TFormGenWin(&top);
        nav->setVisibleButtons(allNavControls & ~visBtn(nbExecute));
        nav->setFixedSize(nav->sizeHint());
        nav->setFormComponent(win);
        layout->addWidget(nav);
        layout->addWidget(win, 1);
        top.resize(700, 500);
        top.show();
        QApplication::setActiveWindow(&top);
    }
    ~ShownPreview() { closeAllWindows(); }
    QWidget top;
    TFormGenNav* nav;
    TFormGenWin* win;
};

} // namespace

TEST(Navigator, PageBoxAndKeysReachAnyPage)
{
    ShownPreview shown;
    TFormGenWin& win = *shown.win;
    TFormGenNav& nav = *shown.nav;
    buildPages(win, 9);
    EXPECT_EQ(nav.pageLabel()->text(), "Page 1 of 9");

    nav.pageBox()->setFocus();
    nav.pageBox()->selectAll();
    QTest::keyClicks(nav.pageBox(), "7");
    EXPECT_EQ(win.currentPage(), 1) << "the page turns when the number is complete";
    QTest::keyClick(nav.pageBox(), Qt::Key_Return);
    EXPECT_EQ(win.currentPage(), 7);
    EXPECT_EQ(nav.pageLabel()->text(), "Page 7 of 9");

    // The keys work wherever the focus is in the window, here on a button.
    nav.button(1)->setFocus();
    QTest::keyClick(nav.button(1), Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(win.currentPage(), 9);
    EXPECT_EQ(nav.pageBox()->value(), 9);
    EXPECT_FALSE(nav.lastPageButton()->isEnabled());
    QTest::keyClick(nav.button(1), Qt::Key_Home);
    EXPECT_EQ(win.currentPage(), 1);

    // Page Down shows the rest of a page before it turns to the next one, at its top.
    QScrollBar* bar = win.scrollBox()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0) << "the page is taller than the window";
    int presses = 0;
    while (win.currentPage() == 1 && presses < 50) {
        QTest::keyClick(nav.button(1), Qt::Key_PageDown);
        ++presses;
        if (win.currentPage() == 1) {
            EXPECT_GT(bar->value(), 0);
        }
    }
    EXPECT_EQ(win.currentPage(), 2);
    EXPECT_GT(presses, 1);
    EXPECT_EQ(bar->value(), 0);
    QTest::keyClick(nav.button(1), Qt::Key_PageUp);
    EXPECT_EQ(win.currentPage(), 1);
    EXPECT_EQ(bar->value(), bar->maximum()) << "back at the bottom of the page before";
}

// A list or a drop-down list that has the focus takes Home, End and the page keys
// itself (the reports window's choice of report), once, and the pages stay.
TEST(Navigator, AListWithTheFocusTakesThePagingKeys)
{
    ShownPreview shown;
    buildPages(*shown.win, 3);
    auto* choice = new QComboBox(&shown.top);
    choice->addItems({"Access Constants", "Groups", "Audit Trail"});
    choice->show();
    choice->setFocus();
    int changes = 0;
    QObject::connect(choice, &QComboBox::currentIndexChanged, [&] { ++changes; });
    QTest::keyClick(choice, Qt::Key_End);
    EXPECT_EQ(choice->currentIndex(), 2);
    EXPECT_EQ(changes, 1);
    QTest::keyClick(choice, Qt::Key_Home);
    EXPECT_EQ(choice->currentIndex(), 0);
    EXPECT_EQ(shown.win->currentPage(), 1);
    QTest::keyClick(choice, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(shown.win->currentPage(), 3) << "Ctrl+End still turns to the last page";
}

TEST(Navigator, ZoomRefusesLettersAndFitsThePage)
{
    ShownPreview shown;
    TFormGenWin& win = *shown.win;
    QComboBox* zoom = shown.nav->zoomBox();
    buildPages(win, 2);
    zoom->setEditText("75");
    zoom->lineEdit()->setFocus();
    zoom->lineEdit()->end(false);
    QTest::keyClicks(zoom->lineEdit(), "abc");
    EXPECT_EQ(zoom->currentText(), "75");
    EXPECT_EQ(win.zoomPercent(), 75);

    // Fit Page: the whole page within the scroll box, also after the window grows.
    const auto fitsInside = [&] {
        const QSize room = win.scrollBox()->maximumViewportSize();
        const QSize page = win.pageImage()->size();
        return page.width() <= room.width() && page.height() <= room.height() &&
               (page.width() > room.width() - 40 || page.height() > room.height() - 40);
    };
    zoom->setCurrentIndex(zoom->findText("Fit Page"));
    EXPECT_EQ(win.zoomFit(), zfPage);
    EXPECT_TRUE(fitsInside()) << win.pageImage()->size().height();
    EXPECT_EQ(zoom->currentText(), QString::number(win.zoomPercent()));
    shown.top.resize(900, 800);
    EXPECT_TRUE(fitsInside());
    EXPECT_EQ(zoom->currentText(), QString::number(win.zoomPercent()));

    // Fit Width: as wide as the box less the scroll bar the taller page brings.
    zoom->setCurrentIndex(zoom->findText("Fit Width"));
    EXPECT_EQ(win.zoomFit(), zfWidth);
    QApplication::processEvents(); // the scroll bars follow the new size
    QScrollBar* bar = win.scrollBox()->verticalScrollBar();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(win.scrollBox()->horizontalScrollBar()->maximum(), 0) << "no sideways scrolling";
    EXPECT_GT(win.pageImage()->width(), win.scrollBox()->viewport()->width() - 40);

    zoom->setEditText("50"); // a number ends the fit
    EXPECT_EQ(win.zoomFit(), zfNone);
    EXPECT_EQ(win.zoomPercent(), 50);
}

TEST(Navigator, ButtonsFollowTheWindowThroughBuildPagingAndClear)
{
    TFormGenWin win;
    TFormGenNav nav;
    nav.setFormComponent(&win);
    EXPECT_FALSE(nav.button(1)->isEnabled()); // print: nothing recorded
    EXPECT_FALSE(nav.button(4)->isEnabled()); // clear
    EXPECT_FALSE(nav.button(2)->isEnabled()); // page 1 of 1
    EXPECT_FALSE(nav.button(3)->isEnabled());
    EXPECT_EQ(nav.zoomBox()->currentText(), "100");

    buildPages(win, 3);
    EXPECT_TRUE(nav.button(1)->isEnabled());
    EXPECT_TRUE(nav.button(4)->isEnabled());
    EXPECT_FALSE(nav.button(2)->isEnabled());
    EXPECT_TRUE(nav.button(3)->isEnabled());

    nav.button(3)->click();
    nav.button(3)->click();
    EXPECT_EQ(win.currentPage(), 3);
    EXPECT_TRUE(nav.button(2)->isEnabled());
    EXPECT_FALSE(nav.button(3)->isEnabled());

    nav.button(4)->click();
    EXPECT_EQ(win.commandCount(), 0);
    EXPECT_FALSE(nav.button(1)->isEnabled());
    EXPECT_FALSE(nav.button(4)->isEnabled());
    EXPECT_FALSE(nav.button(3)->isEnabled());
}

TEST(Navigator, ZoomBoxTextsAndTheirEffect)
{
    TFormGenWin win;
    TFormGenNav nav;
    nav.setFormComponent(&win);
    EXPECT_EQ(nav.zoomBox()->count(), 7); // the percentages, then the two fits
    EXPECT_EQ(nav.zoomBox()->itemText(0), "150");
    nav.zoomBox()->setEditText("30");
    EXPECT_EQ(win.zoomPercent(), 30);
    EXPECT_EQ(win.zoomMode(), 4);
    EXPECT_EQ(win.pageImage()->size(), QSize(255, 330));

    win.setZoomPercent(100);
    nav.zoomBox()->setEditText("300"); // refused by the window
    EXPECT_EQ(win.zoomPercent(), 100);
    nav.zoomBox()->setEditText("abc"); // counts as 100
    EXPECT_EQ(win.zoomPercent(), 100);
    nav.zoomBox()->setEditText("75");
    EXPECT_EQ(win.zoomPercent(), 75);
}

TEST(Navigator, OwnerMayVetoEveryAction)
{
    TFormGenWin win;
    TFormGenNav nav;
    nav.setFormComponent(&win);
    buildPages(win, 2);
    std::vector<TFGEvent> events;
    nav.OnNavEvent = [&](TFormGenNav* sender, TFGEvent event, bool& doDefault) {
        EXPECT_EQ(sender, &nav);
        events.push_back(event);
        doDefault = false;
    };
    nav.button(3)->click();
    nav.button(4)->click();
    nav.zoomBox()->setEditText("50");
    nav.lastPageButton()->click();
    nav.pageBox()->setValue(2);
    EXPECT_EQ(win.currentPage(), 1);
    EXPECT_EQ(nav.pageBox()->value(), 1) << "a refused jump leaves the box on the page shown";
    EXPECT_GT(win.commandCount(), 0);
    EXPECT_EQ(win.zoomPercent(), 100);
    EXPECT_EQ(events, (std::vector<TFGEvent> {fgeNextPage, fgeClear, fgeZoom, fgeLastPage, fgeGoToPage}));

    nav.OnNavEvent = [&](TFormGenNav*, TFGEvent, bool&) {};
    nav.buttonClick(0); // build: the window builds again
    EXPECT_EQ(win.pageCount(), 2);
}

TEST(Navigator, VisibleButtonsHintsAndLayout)
{
    TFormGenNav nav;
    nav.setVisibleButtons(0);
    EXPECT_EQ(nav.visibleButtons(), visBtn(nbExecute));
    EXPECT_FALSE(nav.zoomBox()->isVisibleTo(&nav));

    nav.resize(300, 25);
    nav.setVisibleButtons(visBtn(nbZoom) | visBtn(nbPrint) | visBtn(nbPrevPage) | visBtn(nbNextPage) | visBtn(nbClear));
    EXPECT_FALSE(nav.button(0)->isVisibleTo(&nav));
    EXPECT_TRUE(nav.zoomBox()->isVisibleTo(&nav));
    // Four buttons share the width less 68 for the zoom box.
    const int b = (300 - 68) / 4;
    EXPECT_EQ(nav.width(), 4 * b + 68);
    EXPECT_EQ(nav.button(1)->geometry().left(), 1);
    EXPECT_EQ(nav.button(4)->geometry().left(), 3 * b + 1);
    EXPECT_EQ(nav.button(4)->width(), b);
    EXPECT_EQ(nav.zoomBox()->x(), 4 * b + 4);
    EXPECT_GE(nav.height(), nav.zoomBox()->height() + 2);

    nav.setHints({"Build", "Print", "Back"});
    EXPECT_EQ(nav.hints(), (QStringList {"Build", "Print", "Back"}));
    EXPECT_EQ(nav.button(1)->toolTip(), "Print");
    nav.setHints({"a", "b", "c", "d", "e", "Zoom", "ignored"});
    EXPECT_EQ(nav.hints().size(), 6);
    EXPECT_EQ(nav.zoomBox()->toolTip(), "Zoom");
}

TEST(Navigator, EitherSideMayBeDestroyedFirst)
{
    auto win = std::make_unique<TFormGenWin>();
    auto nav = std::make_unique<TFormGenNav>();
    nav->setFormComponent(win.get());
    win.reset();
    EXPECT_EQ(nav->formComponent(), nullptr);
    nav->buttonClick(1); // nothing attached: nothing happens
    nav->zoomBox()->setEditText("50");

    win = std::make_unique<TFormGenWin>();
    nav->setFormComponent(win.get());
    nav.reset();
    win->NextPage();
    win->Clear(); // tells nobody, and does not crash
    SUCCEED();
}
