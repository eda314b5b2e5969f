#include "reporting/Frmgenwn.h"

#include "reporting/Plswtunt.h"

#include <QApplication>
#include <QDropEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

// The page image: a fixed-size white surface inside the scroll box.
class TPageImage : public QWidget {
public:
    explicit TPageImage(TFormGenWin* owner) : QWidget(nullptr), m_owner(owner)
    {
        setObjectName(QStringLiteral("pbxPage"));
        setAutoFillBackground(true);
        QPalette p = palette();
        p.setColor(QPalette::Window, Qt::white);
        setPalette(p);
        // White paper, not the grey around it that it would otherwise inherit.
        setBackgroundRole(QPalette::Window);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        m_owner->paintPage(painter, size());
    }

private:
    TFormGenWin* m_owner;
};

namespace {

// The grey margin around the page and the width of the page's shadow, in pixels.
constexpr int surroundMargin = 12;
constexpr int shadowWidth = 4;

// The surface the page lies on: the scroll box's grey shows around it, and a soft
// shadow below and right of the page lifts it off that grey, as previews do.
class TPageSurround : public QWidget {
public:
    TPageSurround() { setObjectName(QStringLiteral("pnlSurround")); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const QWidget* page = findChild<QWidget*>(QStringLiteral("pbxPage"));
        if (!page)
            return;
        QPainter painter(this);
        QColor shadow = palette().color(QPalette::Shadow);
        for (int i = shadowWidth; i > 0; --i) {
            shadow.setAlpha(40 + 30 * (shadowWidth - i) / shadowWidth);
            painter.fillRect(page->geometry().translated(i, i), shadow);
        }
    }
};

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

TFormGenWin::TFormGenWin(QWidget* owner) : QFrame(owner)
{
    TFont::installSubstitutes();
    setObjectName(QStringLiteral("FormGenWin"));
    setFrameShape(QFrame::Panel);
    setFocusPolicy(Qt::StrongFocus);
    resize(193, 145);
    m_scrollBox = new QScrollArea(this);
    m_scrollBox->setObjectName(QStringLiteral("sbxPage"));
    m_scrollBox->setFocusPolicy(Qt::NoFocus);
    // The page lies on grey, centred where it is smaller than the box.
    m_scrollBox->setBackgroundRole(QPalette::Dark);
    m_scrollBox->setWidgetResizable(false);
    m_scrollBox->setAlignment(Qt::AlignCenter);
    m_surround = new TPageSurround;
    m_pageImage = new TPageImage(this);
    m_pageImage->setParent(m_surround);
    m_pageImage->move(surroundMargin, surroundMargin);
    resizePageImage(850, 1100);
    m_scrollBox->setWidget(m_surround);
    // Moves are passed on with or without a button held. Drags and drops go to the
    // scroll box alone, the page image lying inside it, so the owner sees one enter
    // and one leave per drag over the window.
    m_scrollBox->viewport()->setMouseTracking(true);
    m_surround->setMouseTracking(true);
    m_pageImage->setMouseTracking(true);
    m_scrollBox->viewport()->setAcceptDrops(true);
    m_scrollBox->viewport()->installEventFilter(this);
    m_surround->installEventFilter(this);
    m_pageImage->installEventFilter(this);
    m_scrollBox->installEventFilter(this);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_scrollBox);
}

TFormGenWin::~TFormGenWin()
{
    clearCommands();
    m_destroying = true;
    notifyNavigator();
    m_pageImage->removeEventFilter(this);
    m_surround->removeEventFilter(this);
    m_scrollBox->viewport()->removeEventFilter(this);
    m_scrollBox->removeEventFilter(this);
}

QWidget* TFormGenWin::pageImage() const { return m_pageImage; }

// ---------------------------------------------------------------- page size and zoom

void TFormGenWin::setPhyWidth(int tenths)
{
    if (tenths == m_phyWidth)
        return;
    m_phyWidth = tenths;
    applyPageSize();
}

void TFormGenWin::setPhyHeight(int tenths)
{
    if (tenths == m_phyHeight)
        return;
    m_phyHeight = tenths;
    applyPageSize();
}

void TFormGenWin::applyPageSize()
{
    m_pageWidth = m_phyWidth / 10.0;
    m_pageHeight = m_phyHeight / 10.0;
    const QSize size = pageImageSize();
    resizePageImage(size.width(), size.height());
    applyZoomFit();
}

QSize TFormGenWin::pageImageSize() const
{
    if (m_zoomMode == 4)
        return {Rnd(m_phyWidth * m_zoomPercent * 0.1), Rnd(m_phyHeight * m_zoomPercent * 0.1)};
    const double divisor = m_zoomMode == 1 ? 1.0 : 2.0 * m_zoomMode - 2;
    return {Rnd(m_pageWidth * 100 / divisor), Rnd(m_pageHeight * 100 / divisor)};
}

void TFormGenWin::resizePageImage(int width, int height)
{
    m_pageImage->resize(std::max(width, 0), std::max(height, 0));
    m_surround->resize(m_pageImage->width() + 2 * surroundMargin, m_pageImage->height() + 2 * surroundMargin);
    m_pageImage->update();
}

void TFormGenWin::updatePageImage() { m_pageImage->update(); }

void TFormGenWin::setZoomMode(int mode)
{
    if (mode < 1 || mode > 3 || mode == m_zoomMode)
        return;
    m_zoomFit = zfNone;
    m_zoomMode = mode;
    const QSize size = pageImageSize();
    resizePageImage(size.width(), size.height());
}

void TFormGenWin::setZoomPercent(int percent)
{
    if (percent < 25 || percent > 200)
        return;
    m_zoomFit = zfNone;
    m_zoomPercent = percent;
    m_zoomMode = 4;
    const QSize size = pageImageSize();
    resizePageImage(size.width(), size.height());
}

void TFormGenWin::setZoomFit(TZoomFit fit)
{
    m_zoomFit = fit;
    applyZoomFit();
    notifyNavigator();
}

void TFormGenWin::applyZoomFit()
{
    if (m_zoomFit == zfNone || m_phyWidth <= 0 || m_phyHeight <= 0)
        return;
    // The room of the scroll box without scroll bars, less the grey margins.
    const QSize room = m_scrollBox->maximumViewportSize() - QSize(2 * surroundMargin, 2 * surroundMargin);
    const auto percentFor = [this](int width, int height) {
        const double across = width / (m_phyWidth * 0.1);
        return int(m_zoomFit == zfWidth ? across : std::min(across, height / (m_phyHeight * 0.1)));
    };
    int percent = percentFor(room.width(), room.height());
    // A page fitted to the width that is taller than the box brings a vertical
    // scroll bar, which takes its own width from the room.
    if (m_zoomFit == zfWidth && Rnd(m_phyHeight * percent * 0.1) > room.height())
        percent = percentFor(room.width() - m_scrollBox->style()->pixelMetric(QStyle::PM_ScrollBarExtent), 0);
    m_zoomPercent = std::clamp(percent, 25, 200);
    m_zoomMode = 4;
    const QSize size = pageImageSize();
    resizePageImage(size.width(), size.height());
}

void TFormGenWin::Zoom()
{
    const int mode = m_zoomMode == 4 ? 3 : m_zoomMode;
    setZoomMode(mode % 3 + 1);
    notifyNavigator();
}

// ---------------------------------------------------------------- recording

template <class Cmd>
Cmd* TFormGenWin::addCommand()
{
    auto cmd = std::make_unique<Cmd>();
    cmd->Page = m_pageCount;
    Cmd* raw = cmd.get();
    m_commands.push_back(std::move(cmd));
    return raw;
}

std::pair<int, int> TFormGenWin::pageRange(int page) const
{
    const auto byPage = [](const std::unique_ptr<TDrawCmd>& cmd, int p) { return cmd->Page < p; };
    const auto first = std::lower_bound(m_commands.begin(), m_commands.end(), page, byPage);
    const auto last = std::lower_bound(first, m_commands.end(), page + 1, byPage);
    return {int(first - m_commands.begin()), int(last - m_commands.begin())};
}

void TFormGenWin::Line(double x1, double y1, double x2, double y2)
{
    TLineCmd* cmd = addCommand<TLineCmd>();
    cmd->X1 = x1;
    cmd->Y1 = y1;
    cmd->X2 = x2;
    cmd->Y2 = y2;
    cmd->PenWidth = m_penWidth;
}

void TFormGenWin::setBox(TBoxCmd* cmd, double x1, double y1, double x2, double y2)
{
    cmd->X1 = x1;
    cmd->Y1 = y1;
    cmd->X2 = x2;
    cmd->Y2 = y2;
}

TDrawState TFormGenWin::boxState() const
{
    TDrawState state;
    state.PenWidth = m_penWidth;
    state.BrushStyle = quint8(m_textBrush.style());
    state.BrushColor = m_textBrush.color().rgba();
    return state;
}

TDrawStatePtr TFormGenWin::shareState(const TDrawState& state)
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

void TFormGenWin::clearCommands()
{
    m_commands.clear();
    m_states.clear();
}

void TFormGenWin::Box(double x1, double y1, double x2, double y2)
{
    TBoxCmd* cmd = addCommand<TBoxCmd>();
    setBox(cmd, x1, y1, x2, y2);
    cmd->State = shareState(boxState());
}

void TFormGenWin::Ellipse(double x1, double y1, double x2, double y2)
{
    TEllipseCmd* cmd = addCommand<TEllipseCmd>();
    setBox(cmd, x1, y1, x2, y2);
    cmd->State = shareState(boxState());
}

quint16 TFormGenWin::textFormat() const
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

void TFormGenWin::TextRect(const QString& text, double x1, double y1, double x2, double y2)
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

void TFormGenWin::StrRect(const QString& text, double x1, double y1, double x2, double y2)
{
    if (!text.isEmpty())
        TextRect(text, x1, y1, x2, y2);
}

void TFormGenWin::RotateText(const QString& text, double x, double y, double angle)
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

void TFormGenWin::GraphicImage(const QImage& graphic, double x, double y)
{
    TGraphicCmd* cmd = addCommand<TGraphicCmd>();
    cmd->Left = x;
    cmd->Top = y;
    cmd->Right = x + graphic.width() / 100.0;
    cmd->Bottom = y + graphic.height() / 100.0;
    cmd->Bitmap = graphic.copy();
}

void TFormGenWin::SizedImage(const QImage& graphic, double x1, double y1, double x2, double y2)
{
    TGraphicCmd* cmd = addCommand<TGraphicCmd>();
    cmd->Left = x1;
    cmd->Top = y1;
    cmd->Right = x2;
    cmd->Bottom = y2;
    cmd->Bitmap = graphic.copy();
}

void TFormGenWin::StartMultiLine(double x, double y)
{
    m_multiX = x;
    m_multiY = y;
}

void TFormGenWin::AddLine(const QString& text)
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

// ---------------------------------------------------------------- building and paging

void TFormGenWin::Execute()
{
    clearCommands();
    m_pageCount = 1;
    m_currentPage = 1;
    applyPageSize();
    {
        std::unique_ptr<TfrmPlsWt> wait;
        if (m_options & foShowDialog) {
            wait = std::make_unique<TfrmPlsWt>(window());
            wait->SetWaitMessage(QStringLiteral("Creating the Report"));
            wait->show();
            QApplication::processEvents();
        }
        if (OnBuildReport)
            OnBuildReport(this);
    }
    updatePageImage();
    notifyNavigator();
}

void TFormGenWin::Clear()
{
    clearCommands();
    const QColor color = m_textFont.color;
    m_textFont = TFont(QStringLiteral("Times Roman"), 10);
    m_textFont.color = color;
    m_textMargin = 0.025;
    m_penWidth = 0.01;
    m_boxText = false;
    m_multiX = 0;
    m_multiY = 0;
    m_wordWrap = true;
    m_pageCount = 1;
    m_currentPage = 1;
    m_zoomMode = 1;
    m_zoomFit = zfNone;
    updatePageImage();
    notifyNavigator();
}

void TFormGenWin::NextPage()
{
    if (m_currentPage >= m_pageCount)
        return;
    ++m_currentPage;
    updatePageImage();
    notifyNavigator();
}

void TFormGenWin::PrevPage()
{
    if (m_currentPage < 2)
        return;
    --m_currentPage;
    updatePageImage();
    notifyNavigator();
}

void TFormGenWin::showPage(int page, bool atBottom)
{
    QScrollBar* bar = m_scrollBox->verticalScrollBar();
    bar->setValue(atBottom ? bar->maximum() : bar->minimum());
    if (page < 1 || page > m_pageCount || page == m_currentPage)
        return;
    m_currentPage = page;
    updatePageImage();
    notifyNavigator();
}

void TFormGenWin::FirstPage() { showPage(1); }

void TFormGenWin::LastPage() { showPage(m_pageCount); }

void TFormGenWin::GoToPage(int page)
{
    if (page >= 1 && page <= m_pageCount)
        showPage(page);
}

void TFormGenWin::ScrollDownOrNextPage()
{
    const QScrollBar* bar = m_scrollBox->verticalScrollBar();
    if (bar->value() < bar->maximum())
        ScrollDownPage();
    else if (m_currentPage < m_pageCount)
        showPage(m_currentPage + 1);
}

void TFormGenWin::ScrollUpOrPrevPage()
{
    const QScrollBar* bar = m_scrollBox->verticalScrollBar();
    if (bar->value() > bar->minimum())
        ScrollUpPage();
    else if (m_currentPage > 1)
        showPage(m_currentPage - 1, true);
}

void TFormGenWin::ScrollDownPage()
{
    m_scrollBox->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
}

void TFormGenWin::ScrollUpPage()
{
    m_scrollBox->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
}

void TFormGenWin::ScrollRightPage()
{
    m_scrollBox->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
}

void TFormGenWin::ScrollLeftPage()
{
    m_scrollBox->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
}

double TFormGenWin::GetTextHeight(const QString&)
{
    // The height of a line of the font, whatever its letters.
    return metricsFor(m_textFont.atPointSize()).height() / screenPixelsPerInch;
}

double TFormGenWin::GetTextWidth(const QString& text)
{
    return metricsFor(m_textFont.atPointSize()).horizontalAdvance(text) / screenPixelsPerInch;
}

// ---------------------------------------------------------------- painting

void TFormGenWin::paintPage(QPainter& painter, const QSize& imageSize) const
{
    const int w = imageSize.width();
    const int h = imageSize.height();
    painter.setPen(QPen(Qt::black, 0));
    const QPoint outline[] = {{0, 0}, {0, h - 1}, {w - 1, h - 1}, {w - 1, 0}, {0, 0}};
    painter.drawPolyline(outline, 5);
    if (m_pageWidth <= 0 || m_pageHeight <= 0)
        return;
    const double scale = std::min(h / m_pageHeight, w / m_pageWidth);
    const auto [first, last] = pageRange(m_currentPage);
    for (int i = first; i < last; ++i)
        m_commands[size_t(i)]->Draw(painter, scale);
}

// ---------------------------------------------------------------- navigator

void TFormGenWin::attachNavigator(QObject* navigator, std::function<void()> notify)
{
    m_navigator = navigator;
    m_notify = std::move(notify);
}

void TFormGenWin::detachNavigator()
{
    m_navigator = nullptr;
    m_notify = nullptr;
}

void TFormGenWin::notifyNavigator()
{
    if (m_navigator && m_notify) {
        const auto notify = m_notify; // the navigator may detach itself
        notify();
    }
}

// ---------------------------------------------------------------- keys and mouse

void TFormGenWin::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    if (!hasFocus() || frameWidth() <= 0)
        return;
    QPainter painter(this);
    const int w = frameWidth();
    painter.setPen(QPen(palette().color(QPalette::Highlight), w));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect()).adjusted(w / 2.0, w / 2.0, -w / 2.0, -w / 2.0));
}

void TFormGenWin::focusInEvent(QFocusEvent* event)
{
    QFrame::focusInEvent(event);
    update();
}

void TFormGenWin::focusOutEvent(QFocusEvent* event)
{
    QFrame::focusOutEvent(event);
    update();
}

void TFormGenWin::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_PageUp:
        ScrollUpOrPrevPage();
        break;
    case Qt::Key_PageDown:
        ScrollDownOrNextPage();
        break;
    case Qt::Key_Home:
        FirstPage();
        break;
    case Qt::Key_End:
        LastPage();
        break;
    case Qt::Key_Left:
        ScrollLeftPage();
        break;
    case Qt::Key_Right:
        ScrollRightPage();
        break;
    default:
        QFrame::keyPressEvent(event);
    }
}

bool TFormGenWin::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_scrollBox) {
        if (event->type() == QEvent::Resize && m_zoomFit != zfNone) {
            const int before = m_zoomPercent;
            applyZoomFit();
            if (m_zoomPercent != before)
                notifyNavigator();
        }
        return QFrame::eventFilter(watched, event);
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget)
        return QFrame::eventFilter(watched, event);
    const auto position = [&](QMouseEvent* e) { return widget->mapTo(this, e->position().toPoint()); };
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (focusPolicy() & Qt::TabFocus)
            setFocus(Qt::MouseFocusReason);
        emit mousePressed(e->button(), position(e));
        break;
    }
    case QEvent::MouseButtonRelease: {
        auto* e = static_cast<QMouseEvent*>(event);
        emit mouseReleased(e->button(), position(e));
        // A click is the left button let go over the surface it went down on.
        if (e->button() == Qt::LeftButton && widget->rect().contains(e->position().toPoint()))
            emit clicked();
        break;
    }
    case QEvent::MouseButtonDblClick:
        emit doubleClicked();
        break;
    case QEvent::MouseMove:
        emit mouseMoved(position(static_cast<QMouseEvent*>(event)));
        break;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
        return passOnDrag(widget, event);
    default:
        return QFrame::eventFilter(watched, event);
    }
    // Handled here: the page image would otherwise hand the event on to the scroll
    // box, and the owner would hear it twice.
    event->accept();
    return true;
}

bool TFormGenWin::passOnDrag(QWidget* surface, QEvent* event)
{
    if (event->type() == QEvent::DragLeave) {
        if (OnDragOver)
            OnDragOver(nullptr, m_dragPosition, dsDragLeave);
        m_dropAccepted = false;
        return true;
    }
    auto* e = static_cast<QDropEvent*>(event);
    m_dragPosition = surface->mapTo(this, e->position().toPoint());
    if (event->type() == QEvent::Drop) {
        const bool accepted = m_dropAccepted && OnDragDrop;
        m_dropAccepted = false;
        if (!accepted) {
            e->ignore();
            return true;
        }
        e->acceptProposedAction();
        OnDragDrop(e->source(), m_dragPosition);
        return true;
    }
    if (!OnDragOver) {
        e->ignore();
        return true;
    }
    const bool entering = event->type() == QEvent::DragEnter;
    m_dropAccepted = OnDragOver(e->source(), m_dragPosition, entering ? dsDragEnter : dsDragMove);
    // An enter is taken whatever the answer, or the toolkit sends no moves: the
    // drag may reach a place where a drop is welcome.
    if (m_dropAccepted || entering)
        e->acceptProposedAction();
    else
        e->ignore();
    if (entering && !m_dropAccepted)
        e->setDropAction(Qt::IgnoreAction);
    return true;
}
