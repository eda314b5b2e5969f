// The page commands and the preview window: recording, zoom and its rounding,
// paging, clearing, building, and painting.
#include "reporting/TFormGenWin.h"
#include "reporting/TfrmPlsWt.h"
#include "tests/reporting/ReportTestSupport.h"

#include <QFontInfo>
#include <QLabel>
#include <QPainter>

namespace {

struct ZoomCase {
    int phyWidth, phyHeight;
    int mode; // 1 to 3, or 4 with percent
    int percent;
    QSize expected;
};

class ZoomSizes : public ::testing::TestWithParam<ZoomCase> { };

// Dark pixels of an image inside a rectangle.
int darkPixels(const QImage& image, const QRect& area)
{
    int n = 0;
    for (int y = std::max(area.top(), 0); y <= std::min(area.bottom(), image.height() - 1); ++y)
        for (int x = std::max(area.left(), 0); x <= std::min(area.right(), image.width() - 1); ++x)
            n += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
    return n;
}

QImage paintCommand(const TDrawCmd& cmd, int size, const std::function<void(QPainter&)>& draw)
{
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setPen(QPen(Qt::black, 0));
    draw(p);
    (void)cmd;
    return image;
}

} // namespace

TEST_P(ZoomSizes, PageImageSizeFollowsTheZoomRule)
{
    const ZoomCase c = GetParam();
    TFormGenWin win;
    win.setPhyWidth(c.phyWidth);
    win.setPhyHeight(c.phyHeight);
    if (c.mode == 4)
        win.setZoomPercent(c.percent);
    else
        win.setZoomMode(c.mode);
    EXPECT_EQ(win.pageImageSize(), c.expected);
    EXPECT_EQ(win.pageImage()->size(), c.expected);
}

// Halves round to even: 212.5 -> 212, 637.5 -> 638, 207.5 -> 208, 292.5 -> 292.
INSTANTIATE_TEST_SUITE_P(Modes, ZoomSizes,
                         ::testing::Values(ZoomCase {85, 110, 1, 0, {850, 1100}}, ZoomCase {85, 110, 2, 0, {425, 550}},
                                           ZoomCase {85, 110, 3, 0, {212, 275}}, ZoomCase {85, 110, 4, 75, {638, 825}},
                                           ZoomCase {85, 110, 4, 25, {212, 275}},
                                           ZoomCase {110, 85, 4, 200, {2200, 1700}},
                                           ZoomCase {83, 117, 3, 0, {208, 292}}, ZoomCase {85, 140, 2, 0, {425, 700}}));

TEST(PreviewWindow, StartsWithTheDocumentedState)
{
    TFormGenWin win;
    EXPECT_EQ(win.phyWidth(), 85);
    EXPECT_EQ(win.phyHeight(), 110);
    EXPECT_EQ(win.options(), foShowDialog | foShowPrint);
    EXPECT_EQ(win.textFont().name(), "Times Roman");
    EXPECT_EQ(win.textFont().size(), 10);
    EXPECT_DOUBLE_EQ(win.penWidth(), 0.01);
    EXPECT_DOUBLE_EQ(win.textMargin(), 0.025);
    EXPECT_EQ(win.pageCount(), 1);
    EXPECT_EQ(win.currentPage(), 1);
    EXPECT_EQ(win.zoomMode(), 1);
    EXPECT_EQ(win.zoomPercent(), 100);
    EXPECT_EQ(win.size(), QSize(193, 145));
    EXPECT_EQ(win.pageImage()->size(), QSize(850, 1100));
}

TEST(PreviewWindow, ZoomCyclesAndRefusesValuesOutOfRange)
{
    TFormGenWin win;
    win.Zoom();
    EXPECT_EQ(win.zoomMode(), 2);
    win.Zoom();
    EXPECT_EQ(win.zoomMode(), 3);
    win.Zoom();
    EXPECT_EQ(win.zoomMode(), 1);
    win.setZoomPercent(60);
    EXPECT_EQ(win.zoomMode(), 4);
    win.Zoom(); // percentage counts as quarter size: on to full size
    EXPECT_EQ(win.zoomMode(), 1);

    for (int bad : {24, 201, 0, -5}) {
        win.setZoomPercent(bad);
        EXPECT_EQ(win.zoomPercent(), 60) << bad;
        EXPECT_EQ(win.zoomMode(), 1) << bad;
    }
    win.setZoomPercent(25);
    EXPECT_EQ(win.zoomPercent(), 25);
    win.setZoomPercent(200);
    EXPECT_EQ(win.zoomPercent(), 200);
    win.setZoomMode(0);
    win.setZoomMode(4);
    EXPECT_EQ(win.zoomMode(), 4);
}

TEST(PreviewWindow, PrimitivesRecordTheWindowStateOfTheMoment)
{
    TFormGenWin win;
    win.StrRect(QString(), 0, 0, 1, 1);
    EXPECT_EQ(win.commandCount(), 0);
    win.TextRect(QString(), 0, 0, 1, 1);
    EXPECT_EQ(win.commandCount(), 1);

    win.setWordWrap(false);
    win.setClipText(false);
    win.setAlignment(Qt::AlignHCenter);
    win.setSingleLine(true);
    win.setBoxText(true);
    win.setTextMargin(0.1);
    win.setPenWidth(0.03);
    win.setTextBrush(QBrush(Qt::yellow, Qt::SolidPattern));
    win.textFont() = TFont("Arial", 14, true);
    win.NewPage();
    win.StrRect("Total", 1, 2, 3, 4);
    const auto* t = dynamic_cast<const TTextBoxCmd*>(win.commands().back().get());
    ASSERT_TRUE(t);
    EXPECT_EQ(t->Page, 2);
    EXPECT_EQ(t->State->Format, 256 + 1 + 36);
    EXPECT_TRUE(t->State->Boxed);
    EXPECT_DOUBLE_EQ(t->State->Margin, 0.1);
    EXPECT_DOUBLE_EQ(t->State->PenWidth, 0.03);
    EXPECT_EQ(t->State->BrushStyle, Qt::SolidPattern);
    EXPECT_EQ(QColor::fromRgba(t->State->BrushColor), QColor(Qt::yellow));
    EXPECT_EQ(t->State->Font.name(), "Arial");
    EXPECT_TRUE(t->State->Font.bold());
    EXPECT_EQ(t->X1, 1);
    EXPECT_EQ(t->Y1, 2);
    EXPECT_EQ(t->X2, 3);
    EXPECT_EQ(t->Y2, 4);
    // The command keeps its own font: later changes do not reach it.
    win.textFont() = TFont("Arial", 8);
    EXPECT_EQ(t->State->Font.size(), 14);

    win.setAlignment(Qt::AlignRight);
    win.setWordWrap(true);
    win.setClipText(true);
    win.setSingleLine(false);
    win.StrRect("x", 0, 0, 1, 1);
    EXPECT_EQ(dynamic_cast<const TTextBoxCmd*>(win.commands().back().get())->State->Format, 16 + 2);

    win.Box(0, 0, 1, 1);
    win.Ellipse(0, 0, 1, 1);
    win.Line(0, 0, 1, 1);
    win.RotateText("up", 1, 1, 90);
    QImage picture(50, 20, QImage::Format_RGB32);
    win.GraphicImage(picture, 1, 2);
    const auto* g = dynamic_cast<const TGraphicCmd*>(win.commands().back().get());
    ASSERT_TRUE(g);
    EXPECT_DOUBLE_EQ(g->Right, 1.5);
    EXPECT_DOUBLE_EQ(g->Bottom, 2.2);
    EXPECT_EQ(win.commandCount(), 8);
}

TEST(PreviewWindow, AddLineStepsByTheFontSizeAndSkipsEmptyLines)
{
    TFormGenWin win;
    win.textFont() = TFont("Arial", 18);
    win.StartMultiLine(1, 2);
    win.AddLine("first");
    win.AddLine(QString());
    win.AddLine("second");
    ASSERT_EQ(win.commandCount(), 2);
    const auto* second = dynamic_cast<const TTextBoxCmd*>(win.commands()[1].get());
    EXPECT_DOUBLE_EQ(second->Y1, 2.25);
    EXPECT_DOUBLE_EQ(second->X2, 8.5);
    EXPECT_DOUBLE_EQ(second->Y2, 11);
    EXPECT_EQ(second->State->Format, 256);
    EXPECT_EQ(second->State->Margin, 0);
    EXPECT_DOUBLE_EQ(win.multiLineY(), 2.5);
}

TEST(PreviewWindow, ClearResetsTheDrawingStateButKeepsAlignmentBrushAndPercent)
{
    TFormGenWin win;
    win.setPhyWidth(110);
    win.setAlignment(Qt::AlignRight);
    win.setClipText(false);
    win.setSingleLine(true);
    win.setTextBrush(QBrush(Qt::red, Qt::SolidPattern));
    win.setZoomPercent(50);
    win.textFont() = TFont("Arial", 20, true);
    win.textFont().color = Qt::blue;
    win.setTextMargin(0.2);
    win.setPenWidth(0.5);
    win.setBoxText(true);
    win.setWordWrap(false);
    win.StartMultiLine(3, 3);
    win.StrRect("a", 0, 0, 1, 1);
    win.NewPage();
    win.NextPage();
    const QSize imageBefore = win.pageImage()->size();

    win.Clear();
    EXPECT_EQ(win.commandCount(), 0);
    EXPECT_EQ(win.textFont().name(), "Times Roman");
    EXPECT_EQ(win.textFont().size(), 10);
    EXPECT_FALSE(win.textFont().bold());
    EXPECT_EQ(win.textFont().color, QColor(Qt::blue));
    EXPECT_DOUBLE_EQ(win.textMargin(), 0.025);
    EXPECT_DOUBLE_EQ(win.penWidth(), 0.01);
    EXPECT_FALSE(win.boxText());
    EXPECT_TRUE(win.wordWrap());
    EXPECT_EQ(win.multiLineX(), 0);
    EXPECT_EQ(win.multiLineY(), 0);
    EXPECT_EQ(win.pageCount(), 1);
    EXPECT_EQ(win.currentPage(), 1);
    EXPECT_EQ(win.zoomMode(), 1);
    EXPECT_EQ(win.pageImage()->size(), imageBefore);
    EXPECT_EQ(win.alignment(), Qt::AlignRight);
    EXPECT_FALSE(win.clipText());
    EXPECT_TRUE(win.singleLine());
    EXPECT_EQ(win.textBrush().color(), QColor(Qt::red));
    EXPECT_EQ(win.zoomPercent(), 50);
    // Text placed after Clear takes the alignment set before it.
    win.StrRect("b", 0, 0, 1, 1);
    EXPECT_TRUE(dynamic_cast<const TTextBoxCmd*>(win.commands().back().get())->State->Format & tfRight);
}

TEST(PreviewWindow, PagingStopsAtBothEndsAndTellsTheNavigatorOnlyOfChanges)
{
    TFormGenWin win;
    QObject navigator;
    int notes = 0;
    win.attachNavigator(&navigator, [&] { ++notes; });
    win.PrevPage();
    win.NextPage();
    EXPECT_EQ(notes, 0);
    win.NewPage();
    win.NewPage();
    EXPECT_EQ(win.pageCount(), 3);
    win.NextPage();
    win.NextPage();
    win.NextPage();
    EXPECT_EQ(win.currentPage(), 3);
    EXPECT_EQ(notes, 2);
    win.PrevPage();
    EXPECT_EQ(win.currentPage(), 2);
    EXPECT_EQ(notes, 3);
}

TEST(PreviewWindow, ExecuteBuildsOnceBehindTheWaitBoxAndRemovesItAfterAFailure)
{
    TFormGenWin win;
    win.setPhyWidth(110);
    win.setPhyHeight(85);
    win.StrRect("old", 0, 0, 1, 1);
    int builds = 0;
    QString waitMessage;
    win.OnBuildReport = [&](TFormGenWin* sender) {
        ++builds;
        EXPECT_EQ(sender, &win);
        EXPECT_EQ(sender->commandCount(), 0);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<TfrmPlsWt*>(w); box && box->isVisible())
                waitMessage = box->lblMsg->text();
        sender->StrRect("page one", 1, 1, 3, 2);
        sender->NewPage();
        sender->StrRect("page two", 1, 1, 3, 2);
    };
    win.Execute();
    EXPECT_EQ(builds, 1);
    EXPECT_EQ(waitMessage, "Creating the Report");
    EXPECT_EQ(win.pageCount(), 2);
    EXPECT_EQ(win.currentPage(), 1);
    EXPECT_EQ(win.pageImage()->size(), QSize(1100, 850));
    EXPECT_EQ(pageTexts(win, 2), QStringList {"page two"});

    win.OnBuildReport = [](TFormGenWin* sender) {
        sender->StrRect("partial", 0, 0, 1, 1);
        throw std::runtime_error("engine failed");
    };
    EXPECT_THROW(win.Execute(), std::runtime_error);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<TfrmPlsWt*>(w)) << "the wait box outlived the failed build";
    EXPECT_EQ(pageTexts(win, 1), QStringList {"partial"});

    win.OnBuildReport = nullptr;
    win.Execute();
    EXPECT_EQ(win.pageCount(), 1);
    EXPECT_EQ(win.commandCount(), 0);
}

TEST(PreviewWindow, ReportFacesResolveToLiberationFonts)
{
    EXPECT_EQ(QFontInfo(TFont("Arial", 12).font).family(), "Liberation Sans");
    EXPECT_EQ(QFontInfo(TFont("MS Sans Serif", 8).font).family(), "Liberation Sans");
    EXPECT_EQ(QFontInfo(TFont("Times Roman", 10).font).family(), "Liberation Serif");
    // Measured in whole pixels at 96 pixels per inch whatever the screen.
    TFormGenWin win;
    win.textFont() = TFont("Arial", 12);
    const double pixels = win.GetTextHeight("X") * 96;
    EXPECT_DOUBLE_EQ(pixels, std::round(pixels));
    EXPECT_GE(pixels, 16);
    EXPECT_LE(pixels, 19);
    EXPECT_GT(win.GetTextWidth("WWW"), win.GetTextWidth("iii"));
}

TEST(PageCommands, PenWidthsFollowTheScaleOfTheDevice)
{
    TLineCmd line;
    line.X1 = 0.1;
    line.X2 = 0.9;
    line.Y1 = line.Y2 = 0.5;
    line.PenWidth = 0.01;
    // 50 pixels per inch: 0.5 px truncates to the thinnest line, one pixel.
    QImage preview = paintCommand(line, 60, [&](QPainter& p) { line.Draw(p, 50); });
    EXPECT_EQ(darkPixels(preview, QRect(30, 0, 1, 60)), 1);
    // A 600 dpi printer: 6 device pixels.
    QImage printed = paintCommand(line, 600, [&](QPainter& p) { line.PrintTo(0, 0, 600, 600, p); });
    EXPECT_EQ(darkPixels(printed, QRect(300, 0, 1, 600)), 6);
    // The offset moves every point.
    QImage shifted = paintCommand(line, 600, [&](QPainter& p) { line.PrintTo(0, -100, 600, 600, p); });
    EXPECT_EQ(darkPixels(shifted, QRect(300, 190, 1, 20)), 6);
}

TEST(PageCommands, TextIsClippedToItsBoxUnlessClippingIsOff)
{
    TTextBoxCmd text;
    text.X1 = 0.1;
    text.Y1 = 0.1;
    text.X2 = 0.6;
    text.Y2 = 0.5;
    text.State->Margin = 0.025;
    text.Text = "WWWWWWWWWWWWWWWWWWWW";
    text.State->Font = TFont("Arial", 12);
    QImage clipped = paintCommand(text, 400, [&](QPainter& p) { text.Draw(p, 100); });
    EXPECT_GT(darkPixels(clipped, QRect(10, 10, 48, 40)), 0);
    EXPECT_EQ(darkPixels(clipped, QRect(59, 0, 340, 400)), 0);
    text.State->Format = tfNoClip;
    QImage spilled = paintCommand(text, 400, [&](QPainter& p) { text.Draw(p, 100); });
    EXPECT_GT(darkPixels(spilled, QRect(59, 0, 340, 400)), 0);
}

TEST(PreviewWindow, PaintingShowsTheCurrentPageAndLeavesTheRecordingAlone)
{
    TFormGenWin win;
    win.textFont() = TFont("Arial", 24, true);
    win.StrRect("ONE", 1, 1, 4, 2);
    win.NewPage();
    win.Box(5, 5, 7, 7);
    const auto snapshot = [&] {
        QStringList s;
        for (const auto& c : win.commands()) {
            const auto* t = dynamic_cast<const TTextBoxCmd*>(c.get());
            s << QString("%1:%2").arg(c->Page).arg(t ? t->Text + QString::number(t->X1) : "box");
        }
        return s;
    };
    const QStringList before = snapshot();
    QImage page1(850, 1100, QImage::Format_RGB32);
    page1.fill(Qt::white);
    {
        QPainter p(&page1);
        win.paintPage(p, page1.size());
    }
    EXPECT_GT(darkPixels(page1, QRect(100, 100, 300, 100)), 50);
    EXPECT_EQ(darkPixels(page1, QRect(500, 500, 200, 200)), 0);
    EXPECT_EQ(darkPixels(page1, QRect(0, 500, 1, 1)), 1); // the paper's outline
    win.NextPage();
    QImage page2(850, 1100, QImage::Format_RGB32);
    page2.fill(Qt::white);
    {
        QPainter p(&page2);
        win.paintPage(p, page2.size());
    }
    EXPECT_EQ(darkPixels(page2, QRect(100, 100, 300, 100)), 0);
    EXPECT_GT(darkPixels(page2, QRect(495, 495, 210, 210)), 100);
    EXPECT_EQ(snapshot(), before);
}

TEST(PreviewWindow, CommandsRecordedInOneStateShareOneCopyOfIt)
{
    TFormGenWin win;
    const auto text = [&](int i) { return dynamic_cast<const TTextBoxCmd*>(win.commands()[size_t(i)].get()); };
    const auto box = [&](int i) { return dynamic_cast<const TBoxCmd*>(win.commands()[size_t(i)].get()); };
    win.setTextFont(TFont("Arial", 12));
    win.StrRect("a", 0, 0, 1, 1);
    win.StrRect("b", 0, 1, 1, 2);
    win.setTextFont(TFont("Arial", 12, true));
    win.StrRect("heading", 0, 2, 1, 3);
    // An equal font made anew, as a layout does for every row.
    win.setTextFont(TFont("Arial", 12));
    win.StrRect("c", 0, 3, 1, 4);
    win.setAlignment(Qt::AlignRight);
    win.StrRect("d", 0, 4, 1, 5);
    win.Box(0, 0, 1, 1);
    win.Box(1, 1, 2, 2);
    win.setPenWidth(0.02);
    win.Box(2, 2, 3, 3);

    EXPECT_EQ(text(0)->State.constData(), text(1)->State.constData());
    EXPECT_EQ(text(0)->State.constData(), text(3)->State.constData());
    EXPECT_NE(text(0)->State.constData(), text(2)->State.constData());
    EXPECT_NE(text(0)->State.constData(), text(4)->State.constData());
    EXPECT_EQ(box(5)->State.constData(), box(6)->State.constData());
    EXPECT_NE(box(6)->State.constData(), box(7)->State.constData());
    // Each command still draws in the state it was recorded in.
    EXPECT_FALSE(text(0)->State->Font.bold());
    EXPECT_TRUE(text(2)->State->Font.bold());
    EXPECT_EQ(text(3)->State->Format & 3, 0);
    EXPECT_EQ(text(4)->State->Format & 3, tfRight);
    EXPECT_DOUBLE_EQ(box(6)->State->PenWidth, 0.01);
    EXPECT_DOUBLE_EQ(box(7)->State->PenWidth, 0.02);

    // A command changed on its own gets its own copy: the others keep theirs.
    TTextBoxCmd single;
    single.State->Margin = 0.5;
    EXPECT_DOUBLE_EQ(defaultDrawState()->Margin, 0);
    EXPECT_DOUBLE_EQ(single.State->Margin, 0.5);
}

TEST(PageCommands, ARowOneLineHighKeepsItsDescendersAtEveryScale)
{
    // Rows as a report lays them out: one line of the body font measured at screen
    // resolution, plus the margins.
    TFormGenWin win;
    win.setTextFont(TFont("Arial", 12));
    win.setWordWrap(false);
    const double rowHeight = win.GetTextHeight("X") + 2 * win.textMargin();
    for (int i = 0; i < 8; ++i) {
        const double top = 0.1 + i * 0.013; // the rounding falls differently on each
        win.StrRect("gjpqy Managers", 0.1, top, 2.4, top + rowHeight);
    }
    // Each row drawn as recorded, and again without clipping.
    const auto render = [](const TTextBoxCmd& cmd, double scale, bool print) {
        QImage image(Rnd(2.5 * scale), Rnd(0.4 * scale), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        if (print)
            cmd.PrintTo(0, 0, scale, scale, p);
        else
            cmd.Draw(p, scale);
        return image;
    };
    for (const auto& [scale, print] : {std::pair {100.0, false}, {50.0, false}, {200.0, false}, {600.0, true}}) {
        for (const auto& cmd : win.commands()) {
            const auto& row = dynamic_cast<const TTextBoxCmd&>(*cmd);
            TTextBoxCmd unclipped;
            unclipped.X1 = row.X1;
            unclipped.X2 = row.X2;
            unclipped.Y1 = row.Y1;
            unclipped.Y2 = row.Y2;
            unclipped.Text = row.Text;
            unclipped.State = row.State;
            unclipped.State->Format |= tfNoClip;
            EXPECT_EQ(render(row, scale, print), render(unclipped, scale, print))
                << "row at " << row.Y1 << " in, " << scale << " pixels per inch";
        }
    }
}
