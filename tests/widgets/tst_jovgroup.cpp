// The numbered group box: badge text, repaint only on real changes, and what it paints.
#include "widgets/TOrderedGroupBox.h"

#include <QImage>
#include <QLabel>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

QImage paint(TOrderedGroupBox& box)
{
    box.resize(220, 80);
    return box.grab().toImage();
}

// Counts pixels of the row band [top, bottom) and columns [left, right) that differ from the given colour.
int pixelsNotOf(const QImage& image, QRect area, QColor colour)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y) != colour)
                ++n;
    return n;
}

} // namespace

TEST(OrderedGroupBox, BadgeShowsTheOrderAsNumberOrLetter)
{
    TOrderedGroupBox box(QStringLiteral("Alias:"));
    EXPECT_EQ(box.labelOrder(), 1);
    EXPECT_EQ(box.labelType(), ltNumeric);
    EXPECT_EQ(box.labelColor(), QColor(Qt::blue));
    EXPECT_EQ(box.badgeText(), "1");
    box.setLabelOrder(12);
    EXPECT_EQ(box.badgeText(), "12");
    box.setLabelOrder(3);
    box.setLabelType(ltAlphabetic);
    EXPECT_EQ(box.badgeText(), "C");
    box.setLabelOrder(1);
    EXPECT_EQ(box.badgeText(), "A");
}

TEST(OrderedGroupBox, RepaintsOnlyWhenAPropertyReallyChanges)
{
    TOrderedGroupBox box;
    QSignalSpy repaints(&box, &TOrderedGroupBox::appearanceChanged);

    box.setLabelOrder(1);
    box.setLabelColor(Qt::blue);
    box.setLabelType(ltNumeric);
    box.setLabelFont(QFont(box.labelFont()));
    EXPECT_EQ(repaints.count(), 0) << "equal values must not repaint";

    box.setLabelOrder(2);
    box.setLabelColor(Qt::red);
    box.setLabelType(ltAlphabetic);
    EXPECT_EQ(repaints.count(), 3);

    QFont bold = box.labelFont();
    bold.setBold(true);
    box.setLabelFont(bold);
    EXPECT_EQ(repaints.count(), 4);
    box.setLabelFontColor(Qt::white);
    EXPECT_EQ(repaints.count(), 5) << "the font's colour counts as part of the font";
    QFont bigger = bold;
    bigger.setPointSizeF(bold.pointSizeF() + 4);
    box.setLabelFont(bigger);
    EXPECT_EQ(repaints.count(), 6);
    EXPECT_EQ(box.badgeRect().height(), QFontMetrics(bigger).height() + 2);
}

TEST(OrderedGroupBox, PaintsTheBadgeInItsColourAndTheCaptionBesideIt)
{
    TOrderedGroupBox box(QStringLiteral("Master User ID && Password:"));
    box.setLabelColor(Qt::red);
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    box.setLabelFont(font, Qt::white);
    const QImage withCaption = paint(box);

    const QRect badge = box.badgeRect();
    EXPECT_EQ(withCaption.pixelColor(badge.left() + 2, badge.bottom() - 2), QColor(Qt::red));
    EXPECT_EQ(withCaption.pixelColor(badge.left(), badge.top()), QColor(Qt::black)) << "outlined badge";
    EXPECT_GT(pixelsNotOf(withCaption, badge.adjusted(2, 2, -2, -2), Qt::red), 0) << "badge text drawn";

    const QColor background = box.palette().color(box.backgroundRole());
    const QRect captionArea(box.captionLeft(), 0, 120, QFontMetrics(box.font()).height());
    EXPECT_GT(pixelsNotOf(withCaption, captionArea, background), 10);

    box.setTitle(QString());
    const QImage empty = paint(box);
    EXPECT_EQ(empty.pixelColor(badge.left() + 2, badge.bottom() - 2), QColor(Qt::red)) << "badge still drawn";
    // Without a caption only the frame line crosses the caption's place.
    const int frameY = QFontMetrics(box.font()).height() / 2;
    const QRect aboveFrame(box.captionLeft(), 0, 120, frameY - 1);
    EXPECT_EQ(pixelsNotOf(empty, aboveFrame, background), 0);
    EXPECT_NE(empty.pixelColor(box.captionLeft() + 40, frameY), background) << "frame line";
}

TEST(OrderedGroupBox, ChildrenStartBelowTheBadge)
{
    TOrderedGroupBox box(QStringLiteral("Alias:"));
    QFont big(QStringLiteral("Arial"), 20, QFont::Bold);
    box.setLabelFont(big);
    auto* layout = new QVBoxLayout(&box);
    auto* label = new QLabel(QStringLiteral("Select Alias or enter a new Alias to be created."), &box);
    layout->addWidget(label);
    box.resize(box.sizeHint());
    box.show();
    EXPECT_GE(label->geometry().top(), box.badgeRect().bottom());
    box.setFont(QFont(QStringLiteral("Arial"), 9));
    box.adjustSize();
    EXPECT_GE(box.contentsRect().top(), box.badgeRect().bottom()) << "after a font change too";
    box.close();
}
