// The calendar popup: cells, geometry, keys and mouse, placement on the screen.
#include "platform/DateTimeValue.h"
#include "platform/RegionalSettings.h"
#include "widgets/TfrmCalPop.h"
#include "widgets/TDateEdit.h"

#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

using namespace Platform;

class CalPopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setRegionalSettings(RegionalSettings {});
        host.setGeometry(40, 40, 200, 60);
        edit = new TDateEdit(&host);
        edit->setGeometry(10, 10, 150, 24);
        host.show();
    }
    void TearDown() override
    {
        host.close();
        setRegionalSettings(std::nullopt);
    }
    std::unique_ptr<TfrmCalPop> popupOn(const QDate& date)
    {
        edit->setDate(date);
        return std::make_unique<TfrmCalPop>(edit);
    }
    static void mouse(TfrmCalPop& pop, QEvent::Type type, QPoint at)
    {
        QMouseEvent e(type, at, pop.mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&pop, &e);
    }

    QWidget host;
    TDateEdit* edit = nullptr;
};

TEST_F(CalPopTest, CellsStartOnTheMonthsWeekday)
{
    auto pop = popupOn(QDate(1998, 8, 15)); // 1 August 1998 was a Saturday
    EXPECT_EQ(pop->firstWeekday(), 7);
    EXPECT_EQ(pop->cellText(6), "  ");
    EXPECT_EQ(pop->cellText(7), "1");
    EXPECT_EQ(pop->cellText(37), "31");
    EXPECT_EQ(pop->cellText(38), "  ");
    EXPECT_EQ(pop->currentCell(), 7 + 15 - 1);

    auto feb = popupOn(QDate(2004, 2, 1)); // a Sunday, leap year
    EXPECT_EQ(feb->cellText(1), "1");
    EXPECT_EQ(feb->cellText(29), "29");
    EXPECT_EQ(feb->cellText(30), "  ");
}

TEST_F(CalPopTest, GeometryFollowsTheFont)
{
    auto pop = popupOn(QDate(1999, 1, 1));
    const int u = pop->unitWidth();
    const int r = pop->rowHeight();
    EXPECT_GT(u, 0);
    EXPECT_GT(r, 0);
    EXPECT_EQ(pop->width(), 21 * u + 8);
    EXPECT_EQ(pop->height(), 8 * r + 2);
    EXPECT_EQ(pop->cellRect(1).topLeft(), QPoint(4, 2 * r + 2));
    EXPECT_EQ(pop->cellRect(42).bottomRight(), QPoint(21 * u + 4, 8 * r + 2));
    for (int k = 1; k <= 42; ++k)
        EXPECT_EQ(pop->cellAt(pop->cellRect(k).center()), k) << k;
    EXPECT_EQ(pop->cellAt(QPoint(4, 3 * r)), 0) << "the grid's left edge is outside";
    EXPECT_EQ(pop->cellAt(QPoint(30, r + 5)), 0) << "weekday row";
    EXPECT_EQ(pop->cellAt(QPoint(30, 8 * r + 2)), 0);
}

struct KeyCase {
    QDate from;
    Qt::Key key;
    QDate to;
};

class CalPopKeys : public CalPopTest, public ::testing::WithParamInterface<KeyCase> { };

TEST_P(CalPopKeys, MoveTheCurrentDate)
{
    const KeyCase c = GetParam();
    auto pop = popupOn(c.from);
    QTest::keyClick(pop.get(), c.key);
    EXPECT_EQ(pop->currentDate(), c.to) << c.from.toString(Qt::ISODate).toStdString();
    EXPECT_EQ(pop->cellText(pop->currentCell()), QString::number(c.to.day()));
    EXPECT_EQ(edit->date(), c.from) << "only Enter or a click changes the edit";
}

INSTANTIATE_TEST_SUITE_P(Keys, CalPopKeys,
                         ::testing::Values(KeyCase {QDate(1999, 1, 31), Qt::Key_PageDown, QDate(1999, 3, 3)},
                                           KeyCase {QDate(2000, 1, 31), Qt::Key_PageDown, QDate(2000, 3, 2)},
                                           KeyCase {QDate(1999, 1, 15), Qt::Key_PageUp, QDate(1998, 12, 15)},
                                           KeyCase {QDate(1999, 3, 31), Qt::Key_PageUp, QDate(1999, 3, 3)},
                                           KeyCase {QDate(1999, 3, 15), Qt::Key_Home, QDate(2000, 3, 15)},
                                           KeyCase {QDate(2000, 3, 15), Qt::Key_End, QDate(1999, 3, 15)},
                                           KeyCase {QDate(2000, 1, 15), Qt::Key_Home, QDate(2001, 1, 15)},
                                           KeyCase {QDate(2001, 1, 15), Qt::Key_End, QDate(2000, 1, 15)},
                                           KeyCase {QDate(2000, 2, 29), Qt::Key_Home, QDate(2001, 3, 1)},
                                           KeyCase {QDate(1999, 12, 31), Qt::Key_Right, QDate(2000, 1, 1)},
                                           KeyCase {QDate(1999, 3, 1), Qt::Key_Left, QDate(1999, 2, 28)},
                                           KeyCase {QDate(1999, 3, 3), Qt::Key_Up, QDate(1999, 2, 24)},
                                           KeyCase {QDate(1999, 3, 3), Qt::Key_Down, QDate(1999, 3, 10)},
                                           KeyCase {QDate(1999, 3, 3), Qt::Key_A, QDate(1999, 3, 3)}));

TEST_F(CalPopTest, EnterPutsTheDateIntoTheEditEscapeDoesNot)
{
    edit->setDate(dateTimeValue(QDateTime(QDate(1999, 1, 31), QTime(9, 0))));
    {
        TfrmCalPop pop(edit);
        QTest::keyClick(&pop, Qt::Key_Right);
        QTest::keyClick(&pop, Qt::Key_Escape);
        EXPECT_EQ(pop.result(), QDialog::Rejected);
    }
    EXPECT_EQ(edit->Date(), dateTimeValue(QDateTime(QDate(1999, 1, 31), QTime(9, 0))));
    {
        TfrmCalPop pop(edit);
        QTest::keyClick(&pop, Qt::Key_Right);
        QTest::keyClick(&pop, Qt::Key_Enter);
        EXPECT_EQ(pop.result(), QDialog::Accepted);
    }
    EXPECT_EQ(edit->Date(), dateValue(QDate(1999, 2, 1)));
    EXPECT_EQ(edit->text(), "2/1/1999");
}

TEST_F(CalPopTest, MouseTracksDaysAndPicksOnRelease)
{
    auto pop = popupOn(QDate(1998, 8, 15));
    // A blank cell does nothing.
    mouse(*pop, QEvent::MouseButtonPress, pop->cellRect(3).center());
    EXPECT_FALSE(pop->tracking());
    EXPECT_EQ(pop->currentDate(), QDate(1998, 8, 15));
    mouse(*pop, QEvent::MouseButtonRelease, pop->cellRect(3).center());
    EXPECT_EQ(edit->date(), QDate(1998, 8, 15));

    mouse(*pop, QEvent::MouseButtonPress, pop->cellRect(7).center());
    EXPECT_TRUE(pop->tracking());
    EXPECT_EQ(pop->currentDate(), QDate(1998, 8, 1));
    mouse(*pop, QEvent::MouseMove, pop->cellRect(10).center());
    EXPECT_EQ(pop->currentDate(), QDate(1998, 8, 4));
    EXPECT_EQ(pop->previousCell(), 7);
    mouse(*pop, QEvent::MouseMove, pop->cellRect(40).center());
    EXPECT_EQ(pop->currentDate(), QDate(1998, 8, 4)) << "blank cells are passed over";
    mouse(*pop, QEvent::MouseButtonRelease, pop->cellRect(40).center());
    EXPECT_FALSE(pop->tracking());
    EXPECT_EQ(edit->date(), QDate(1998, 8, 4));
    EXPECT_EQ(pop->result(), QDialog::Accepted);
}

TEST_F(CalPopTest, ArrowBoxesTurnTheMonth)
{
    auto pop = popupOn(QDate(1999, 3, 31));
    mouse(*pop, QEvent::MouseButtonPress, pop->previousMonthBox().center());
    EXPECT_EQ(pop->currentDate(), QDate(1999, 3, 3));
    mouse(*pop, QEvent::MouseButtonPress, pop->nextMonthBox().center());
    EXPECT_EQ(pop->currentDate(), QDate(1999, 4, 3));
    EXPECT_FALSE(pop->tracking());
}

TEST_F(CalPopTest, OpensUnderTheEditAndStaysOnTheScreen)
{
    auto pop = popupOn(QDate(1999, 1, 1));
    const QPoint editTopLeft = edit->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(pop->pos(), QPoint(editTopLeft.x() + 1, editTopLeft.y() + edit->height() + 1));
    EXPECT_EQ(pop->currentDate(), QDate(1999, 1, 1)) << "from the edit's text";

    const QRect screen = host.screen()->geometry();
    host.move(screen.right() - host.width() + 40, screen.bottom() - 30);
    host.show();
    auto corner = popupOn(QDate(1999, 1, 2));
    EXPECT_LE(corner->geometry().right(), screen.right());
    EXPECT_EQ(corner->pos().y(), edit->mapToGlobal(QPoint(0, 0)).y() - corner->height()) << "above the edit";

    edit->setText(QString());
    auto today = std::make_unique<TfrmCalPop>(edit);
    EXPECT_EQ(today->currentDate(), QDate::currentDate()) << "an empty edit opens on today";
}
