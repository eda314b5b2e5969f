#include "reporting/TPageDocument.h"

#include <QDir>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>

namespace {

// Text is measured at 96 pixels per inch whatever the screen, so a report lays out
// the same everywhere.
const QFontMetrics& metricsFor(const QFont& font)
{
    static QImage device = [] {
        QImage image(1, 1, QImage::Format_RGB32);
        image.setDotsPerMeterX(3780);
        image.setDotsPerMeterY(3780);
        return image;
    }();
    struct Entry {
        QFont font;
        QFontMetrics metrics;
    };
    static std::vector<Entry> cache;
    for (const Entry& e : cache)
        if (e.font == font)
            return e.metrics;
    if (cache.size() >= 16)
        cache.erase(cache.begin());
    cache.push_back({font, QFontMetrics(font, &device)});
    return cache.back().metrics;
}

constexpr double screenPixelsPerInch = 96.0;

} // namespace

TPageDocument::TPageDocument() { TFont::installSubstitutes(); }

TPageDocument::~TPageDocument() = default;

void TPageDocument::setPhyWidth(int tenths)
{
    if (tenths == m_phyWidth)
        return;
    m_phyWidth = tenths;
    m_pageWidth = tenths / 10.0;
    pageSizeChanged();
}

void TPageDocument::setPhyHeight(int tenths)
{
    if (tenths == m_phyHeight)
        return;
    m_phyHeight = tenths;
    m_pageHeight = tenths / 10.0;
    pageSizeChanged();
}

// ---------------------------------------------------------------- recording

template <class Cmd>
Cmd* TPageDocument::addCommand()
{
    auto cmd = std::make_unique<Cmd>();
    cmd->Page = m_pageCount;
    Cmd* raw = cmd.get();
    m_commands.push_back(std::move(cmd));
    return raw;
}

std::pair<int, int> TPageDocument::pageRange(int page) const
{
    const auto byPage = [](const std::unique_ptr<TDrawCmd>& cmd, int p) { return cmd->Page < p; };
    const auto first = std::lower_bound(m_commands.begin(), m_commands.end(), page, byPage);
    const auto last = std::lower_bound(first, m_commands.end(), page + 1, byPage);
    return {int(first - m_commands.begin()), int(last - m_commands.begin())};
}

void TPageDocument::Line(double x1, double y1, double x2, double y2)
{
    TLineCmd* cmd = addCommand<TLineCmd>();
    cmd->X1 = x1;
    cmd->Y1 = y1;
    cmd->X2 = x2;
    cmd->Y2 = y2;
    cmd->PenWidth = m_penWidth;
}

void TPageDocument::setBox(TBoxCmd* cmd, double x1, double y1, double x2, double y2)
{
    cmd->X1 = x1;
    cmd->Y1 = y1;
    cmd->X2 = x2;
    cmd->Y2 = y2;
}

TDrawState TPageDocument::boxState() const
{
    TDrawState state;
    state.PenWidth = m_penWidth;
    state.BrushStyle = quint8(m_textBrush.style());
    state.BrushColor = m_textBrush.color().rgba();
    return state;
}

TDrawStatePtr TPageDocument::shareState(const TDrawState& state)
{
    // Reports switch between a few states (heading, body, title), so the last few
    // states made are the ones worth looking at.
    constexpr size_t recent = 16;
    for (size_t i = m_states.size(); i > 0 && m_states.size() - i < recent; --i)
        if (*m_states[i - 1].constData() == state)
            return m_states[i - 1];
    m_states.emplace_back(new TDrawState(state));
    return m_states.back();
}

void TPageDocument::clearPages()
{
    m_commands.clear();
    m_states.clear();
    m_pageCount = 1;
}

void TPageDocument::resetRecording()
{
    clearPages();
    const QColor color = m_textFont.color;
    m_textFont = TFont(QStringLiteral("Times Roman"), 10);
    m_textFont.color = color;
    m_textMargin = 0.025;
    m_penWidth = 0.01;
    m_boxText = false;
    m_multiX = 0;
    m_multiY = 0;
    m_wordWrap = true;
}

void TPageDocument::Box(double x1, double y1, double x2, double y2)
{
    TBoxCmd* cmd = addCommand<TBoxCmd>();
    setBox(cmd, x1, y1, x2, y2);
    cmd->State = shareState(boxState());
}

void TPageDocument::Ellipse(double x1, double y1, double x2, double y2)
{
    TEllipseCmd* cmd = addCommand<TEllipseCmd>();
    setBox(cmd, x1, y1, x2, y2);
    cmd->State = shareState(boxState());
}

quint16 TPageDocument::textFormat() const
{
    quint16 format = 0;
    if (m_wordWrap)
        format += tfWordBreak;
    if (!m_clipText)
        format += tfNoClip;
    if (m_alignment & Qt::AlignHCenter)
        format += tfCenter;
    else if (m_alignment & Qt::AlignRight)
        format += tfRight;
    if (m_singleLine)
        format += tfSingleLineVCenter;
    return format;
}

void TPageDocument::TextRect(const QString& text, double x1, double y1, double x2, double y2)
{
    TTextBoxCmd* cmd = addCommand<TTextBoxCmd>();
    setBox(cmd, x1, y1, x2, y2);
    TDrawState state = boxState();
    state.Margin = m_textMargin;
    state.Boxed = m_boxText;
    state.Font = m_textFont;
    state.Format = textFormat();
    cmd->State = shareState(state);
    cmd->Text = text;
}

void TPageDocument::StrRect(const QString& text, double x1, double y1, double x2, double y2)
{
    if (!text.isEmpty())
        TextRect(text, x1, y1, x2, y2);
}

void TPageDocument::RotateText(const QString& text, double x, double y, double angle)
{
    TRotateTextCmd* cmd = addCommand<TRotateTextCmd>();
    cmd->X = x;
    cmd->Y = y;
    cmd->Text = text;
    TDrawState state;
    state.Font = m_textFont;
    cmd->State = shareState(state);
    cmd->Angle = angle;
}

void TPageDocument::GraphicImage(const QImage& graphic, double x, double y)
{
    TGraphicCmd* cmd = addCommand<TGraphicCmd>();
    cmd->Left = x;
    cmd->Top = y;
    cmd->Right = x + graphic.width() / 100.0;
    cmd->Bottom = y + graphic.height() / 100.0;
    cmd->Bitmap = graphic.copy();
}

void TPageDocument::SizedImage(const QImage& graphic, double x1, double y1, double x2, double y2)
{
    TGraphicCmd* cmd = addCommand<TGraphicCmd>();
    cmd->Left = x1;
    cmd->Top = y1;
    cmd->Right = x2;
    cmd->Bottom = y2;
    cmd->Bitmap = graphic.copy();
}

void TPageDocument::StartMultiLine(double x, double y)
{
    m_multiX = x;
    m_multiY = y;
}

void TPageDocument::AddLine(const QString& text)
{
    if (text.isEmpty())
        return;
    TTextBoxCmd* cmd = addCommand<TTextBoxCmd>();
    setBox(cmd, m_multiX, m_multiY, m_pageWidth, m_pageHeight);
    TDrawState state = boxState();
    state.Font = m_textFont;
    state.Format = tfNoClip;
    cmd->State = shareState(state);
    cmd->Text = text;
    m_multiY += m_textFont.size() / 72.0;
}

void TPageDocument::record(const std::function<void(TPageDocument&)>& build)
{
    clearPages();
    if (build)
        build(*this);
}

double TPageDocument::GetTextHeight(const QString&)
{
    // The height of a line of the font, whatever its letters.
    return metricsFor(m_textFont.atPointSize()).height() / screenPixelsPerInch;
}

double TPageDocument::GetTextWidth(const QString& text)
{
    return metricsFor(m_textFont.atPointSize()).horizontalAdvance(text) / screenPixelsPerInch;
}

// ---------------------------------------------------------------- replaying

void TPageDocument::replayPage(int page, QPainter& canvas, QPoint offset, double scaleX, double scaleY) const
{
    const auto [first, last] = pageRange(page);
    for (int k = first; k < last; ++k)
        m_commands[size_t(k)]->PrintTo(offset.x(), offset.y(), scaleX, scaleY, canvas);
}

bool TPageDocument::SaveToPdf(const QString& fileName, const QString& title, QString* error) const
{
    QPdfWriter writer(fileName);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("SecDesk"));
    // The PDF page is the paper laid out, in the printer's high resolution.
    writer.setResolution(1200);
    const double w = std::min(m_phyWidth, m_phyHeight) / 10.0;
    const double h = std::max(m_phyWidth, m_phyHeight) / 10.0;
    const QPageSize paper = w > 0 && h > 0 ? QPageSize(QSizeF(w, h), QPageSize::Inch) : QPageSize(QPageSize::Letter);
    writer.setPageLayout(QPageLayout(paper, m_pageWidth > m_pageHeight ? QPageLayout::Landscape : QPageLayout::Portrait,
                                     QMarginsF(0, 0, 0, 0)));
    QPainter canvas;
    if (!canvas.begin(&writer)) {
        if (error)
            *error = QStringLiteral("Unable to write the file %1.").arg(QDir::toNativeSeparators(fileName));
        return false;
    }
    for (int page = 1; page <= m_pageCount; ++page) {
        if (page > 1)
            writer.newPage();
        replayPage(page, canvas, QPoint(0, 0), writer.logicalDpiX(), writer.logicalDpiY());
    }
    canvas.end();
    if (error)
        error->clear();
    return true;
}
