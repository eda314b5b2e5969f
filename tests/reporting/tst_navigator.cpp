// The navigator bar: enabling in step with the window, the zoom box, the veto of
// its owner, visible buttons and hints, and detaching when either side goes.
#include "reporting/Frmgennav.h"
#include "reporting/Frmgenwn.h"
#include "tests/reporting/ReportTestSupport.h"

#include <QComboBox>
#include <QToolButton>

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

} // namespace

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
    EXPECT_EQ(nav.zoomBox()->count(), 5);
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
    EXPECT_EQ(win.currentPage(), 1);
    EXPECT_GT(win.commandCount(), 0);
    EXPECT_EQ(win.zoomPercent(), 100);
    EXPECT_EQ(events, (std::vector<TFGEvent> {fgeNextPage, fgeClear, fgeZoom}));

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
