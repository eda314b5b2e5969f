// Mouse and drag events of the preview window: what happens on the scroll box and
// the page image reaches the window's owner once, in the window's own coordinates.
#include "reporting/TFormGenWin.h"
#include "tests/reporting/ReportTestSupport.h"

#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>

namespace {

struct Heard {
    QStringList events;
    std::vector<QPoint> positions;
    void add(const QString& what, QPoint at = {})
    {
        events << what;
        positions.push_back(at);
    }
};

class PreviewEvents : public ::testing::Test {
protected:
    void SetUp() override
    {
        win.resize(400, 300);
        win.show();
        QObject::connect(&win, &TFormGenWin::clicked, [this] { heard.add("click"); });
        QObject::connect(&win, &TFormGenWin::doubleClicked, [this] { heard.add("double"); });
        QObject::connect(&win, &TFormGenWin::mousePressed,
                         [this](Qt::MouseButton b, QPoint p) { heard.add(QString("down %1").arg(int(b)), p); });
        QObject::connect(&win, &TFormGenWin::mouseReleased,
                         [this](Qt::MouseButton b, QPoint p) { heard.add(QString("up %1").arg(int(b)), p); });
        QObject::connect(&win, &TFormGenWin::mouseMoved, [this](QPoint p) { heard.add("move", p); });
    }
    void TearDown() override { closeAllWindows(); }

    void mouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton)
    {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent e(type, at, target->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(target, &e);
    }

    // Sends one drag event to the scroll box, where the toolkit delivers drags over
    // the page image too; gives whether a drop is welcome there, and in taken
    // whether the window took the event (an enter it does not take ends the drag
    // for it).
    bool drag(QEvent::Type type, QPoint at, bool* taken = nullptr)
    {
        QWidget* viewport = win.scrollBox()->viewport();
        if (type == QEvent::DragLeave) {
            QDragLeaveEvent e;
            QApplication::sendEvent(viewport, &e);
            return e.isAccepted();
        }
        if (type == QEvent::Drop) {
            QDropEvent e(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(viewport, &e);
            return e.isAccepted();
        }
        std::unique_ptr<QDragMoveEvent> e;
        if (type == QEvent::DragEnter)
            e = std::make_unique<QDragEnterEvent>(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        else
            e = std::make_unique<QDragMoveEvent>(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, e.get());
        if (taken)
            *taken = e->isAccepted();
        return e->isAccepted() && e->dropAction() != Qt::IgnoreAction;
    }

    QPoint inWindow(QWidget* surface, QPoint at) const { return surface->mapTo(&win, at); }

    TFormGenWin win;
    Heard heard;
    QMimeData data;
};

} // namespace

TEST_F(PreviewEvents, MouseOnThePageImageReachesTheOwnerOnceInWindowCoordinates)
{
    QWidget* page = win.pageImage();
    // Scrolled, so page and window coordinates differ by more than the frame.
    win.scrollBox()->verticalScrollBar()->setValue(200);
    const QPoint at(120, 340);
    mouse(page, QEvent::MouseButtonPress, at);
    mouse(page, QEvent::MouseMove, at + QPoint(5, 5));
    mouse(page, QEvent::MouseButtonRelease, at + QPoint(5, 5));
    mouse(page, QEvent::MouseButtonDblClick, at + QPoint(5, 5));
    EXPECT_EQ(heard.events, QStringList({"down 1", "move", "up 1", "click", "double"}));
    EXPECT_EQ(heard.positions[0], inWindow(page, at));
    EXPECT_EQ(heard.positions[0], at + page->mapTo(win.scrollBox()->viewport(), QPoint()) +
                                      win.scrollBox()->viewport()->pos() + win.scrollBox()->pos());
    EXPECT_EQ(heard.positions[1], inWindow(page, at + QPoint(5, 5)));
    EXPECT_EQ(win.focusWidget(), &win) << "a press gives the window the focus";
}

TEST_F(PreviewEvents, MovesWithoutAButtonAndOtherButtonsArePassedOnButOnlyTheLeftButtonClicks)
{
    QWidget* viewport = win.scrollBox()->viewport();
    mouse(viewport, QEvent::MouseMove, {10, 10}, Qt::NoButton);
    mouse(viewport, QEvent::MouseButtonPress, {10, 10}, Qt::RightButton);
    mouse(viewport, QEvent::MouseButtonRelease, {10, 10}, Qt::RightButton);
    // Let go outside the surface it went down on: no click.
    mouse(viewport, QEvent::MouseButtonPress, {10, 10});
    mouse(viewport, QEvent::MouseButtonRelease, {-50, 10});
    EXPECT_EQ(heard.events, QStringList({"move", "down 2", "up 2", "down 1", "up 1"}));
    EXPECT_EQ(heard.positions[0], inWindow(viewport, {10, 10}));

    win.setFocusPolicy(Qt::NoFocus);
    win.clearFocus();
    mouse(viewport, QEvent::MouseButtonPress, {10, 10});
    EXPECT_EQ(win.focusWidget(), nullptr) << "without a tab stop a press leaves the focus alone";
}

TEST_F(PreviewEvents, DragsAreAnsweredByTheOwnerAndOnlyAcceptedDropsArePassedOn)
{
    QWidget* viewport = win.scrollBox()->viewport();
    // Without a handler the window takes nothing.
    bool taken = true;
    EXPECT_FALSE(drag(QEvent::DragEnter, {20, 20}, &taken));
    EXPECT_FALSE(taken);
    EXPECT_FALSE(drag(QEvent::Drop, {20, 20}));

    int drops = 0;
    QPoint dropAt;
    // Drops are welcome only on the left half of the window.
    win.OnDragOver = [&](QObject*, QPoint at, TDragState state) {
        heard.add(state == dsDragEnter ? "enter" : state == dsDragMove ? "over" : "leave", at);
        return at.x() < win.width() / 2;
    };
    win.OnDragDrop = [&](QObject* source, QPoint at) {
        EXPECT_EQ(source, nullptr) << "the drag came from outside the program";
        ++drops;
        dropAt = at;
    };
    // Entering where no drop is taken: the window still follows the drag.
    EXPECT_FALSE(drag(QEvent::DragEnter, {300, 40}, &taken));
    EXPECT_TRUE(taken);
    EXPECT_FALSE(drag(QEvent::DragMove, {300, 40}));
    EXPECT_FALSE(drag(QEvent::Drop, {300, 40}));
    EXPECT_EQ(drops, 0);
    EXPECT_FALSE(drag(QEvent::DragEnter, {300, 40}));
    EXPECT_TRUE(drag(QEvent::DragMove, {30, 40}));
    EXPECT_TRUE(drag(QEvent::Drop, {30, 40}));
    EXPECT_EQ(drops, 1);
    EXPECT_EQ(dropAt, inWindow(viewport, {30, 40}));
    EXPECT_EQ(heard.events, QStringList({"enter", "over", "enter", "over"}));
    EXPECT_EQ(heard.positions[0], inWindow(viewport, {300, 40}));
    EXPECT_EQ(heard.positions[3], inWindow(viewport, {30, 40}));

    // A drag that leaves is told so at its last position, and a drop after it is
    // refused.
    heard = {};
    drag(QEvent::DragEnter, {30, 40});
    drag(QEvent::DragMove, {35, 45});
    drag(QEvent::DragLeave, {});
    EXPECT_FALSE(drag(QEvent::Drop, {35, 45}));
    EXPECT_EQ(drops, 1);
    EXPECT_EQ(heard.events, QStringList({"enter", "over", "leave"}));
    EXPECT_EQ(heard.positions[2], inWindow(viewport, {35, 45}));
}
