#include "reporting/TFormGenWin.h"

#include "reporting/TfrmPlsWt.h"

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

} // namespace

TFormGenWin::TFormGenWin(QWidget* owner) : QFrame(owner)
{
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
    clearPages();
    m_destroying = true;
    notifyNavigator();
    m_pageImage->removeEventFilter(this);
    m_surround->removeEventFilter(this);
    m_scrollBox->viewport()->removeEventFilter(this);
    m_scrollBox->removeEventFilter(this);
}

QWidget* TFormGenWin::pageImage() const { return m_pageImage; }

// ---------------------------------------------------------------- page size and zoom

void TFormGenWin::pageSizeChanged()
{
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

// ---------------------------------------------------------------- building and paging

void TFormGenWin::Execute()
{
    record([this](TPageDocument&) {
        if (OnBuildReport)
            OnBuildReport(this);
    });
}

void TFormGenWin::record(const std::function<void(TPageDocument&)>& build)
{
    m_currentPage = 1;
    pageSizeChanged();
    {
        std::unique_ptr<TfrmPlsWt> wait;
        if (m_options & foShowDialog) {
            wait = std::make_unique<TfrmPlsWt>(window());
            wait->SetWaitMessage(QStringLiteral("Creating the Report"));
            wait->show();
            QApplication::processEvents();
        }
        TPageDocument::record(build);
    }
    updatePageImage();
    notifyNavigator();
}

void TFormGenWin::Clear()
{
    resetRecording();
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
        commands()[size_t(i)]->Draw(painter, scale);
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
