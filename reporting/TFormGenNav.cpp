#include "reporting/TFormGenNav.h"

#include "reporting/TFormGenWin.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpressionValidator>
#include <QPointer>
#include <QShortcut>
#include <QSpinBox>
#include <QToolButton>

#include <vector>

namespace {

const TVisBtnType buttonKinds[5] = {nbExecute, nbPrint, nbPrevPage, nbNextPage, nbClear};
// The bar from left to right; the zoom box and the page label follow.
const TVisBtnType barOrder[] = {nbExecute, nbPrint,    nbPrintDialog, nbFirstPage, nbPrevPage,
                                nbPageBox, nbNextPage, nbLastPage,    nbClear};
const QString fitWidth = QStringLiteral("Fit Width");
const QString fitPage = QStringLiteral("Fit Page");
constexpr int comfortableButtonWidth = 28;

// The bar's glyphs "BTN1" to "BTN5", drawn by the program.
QIcon glyph(int index)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
    case 0: // build: a sheet with a green start mark
        p.setPen(Qt::black);
        p.setBrush(Qt::white);
        p.drawRect(2, 1, 9, 13);
        p.setBrush(QColor(0, 150, 0));
        p.drawPolygon(QPolygon({{8, 6}, {15, 10}, {8, 14}}));
        break;
    case 1: // print: a printer
        p.setPen(Qt::black);
        p.setBrush(Qt::white);
        p.drawRect(4, 1, 8, 6);
        p.setBrush(QColor(160, 160, 160));
        p.drawRect(1, 6, 14, 6);
        p.setBrush(Qt::white);
        p.drawRect(4, 10, 8, 5);
        break;
    case 2: // previous page
    case 3: // next page
    {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 160));
        const bool left = index == 2;
        QPainterPath path;
        path.moveTo(left ? 3 : 13, 8);
        path.lineTo(left ? 12 : 4, 2);
        path.lineTo(left ? 12 : 4, 14);
        path.closeSubpath();
        p.drawPath(path);
        break;
    }
    case 4: // clear: a red cross
        p.setPen(QPen(QColor(200, 0, 0), 2.5));
        p.drawLine(3, 3, 13, 13);
        p.drawLine(13, 3, 3, 13);
        break;
    case 5: // first page: a bar and an arrow to it
    case 6: // last page
    {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 160));
        const bool left = index == 5;
        p.drawRect(left ? 2 : 12, 2, 2, 12);
        QPainterPath path;
        path.moveTo(left ? 5 : 11, 8);
        path.lineTo(left ? 13 : 3, 2);
        path.lineTo(left ? 13 : 3, 14);
        path.closeSubpath();
        p.drawPath(path);
        break;
    }
    default: // print dialog: a printer with the dots of a question
        p.setPen(Qt::black);
        p.setBrush(Qt::white);
        p.drawRect(3, 1, 7, 5);
        p.setBrush(QColor(160, 160, 160));
        p.drawRect(0, 5, 12, 6);
        p.setBrush(Qt::white);
        p.drawRect(3, 9, 6, 5);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        for (int x : {10, 12, 14})
            p.drawRect(x, 14, 1, 1);
    }
    p.end();
    return QIcon(pixmap);
}

QToolButton* toolButton(QWidget* bar, const char* name, int glyphIndex, const QString& hint)
{
    auto* b = new QToolButton(bar);
    b->setObjectName(QString::fromLatin1(name));
    b->setIcon(glyph(glyphIndex));
    b->setAutoRaise(true);
    b->setToolTip(hint);
    return b;
}

} // namespace

TFormGenNav::TFormGenNav(QWidget* owner) : QFrame(owner)
{
    setObjectName(QStringLiteral("FormGenNav"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    resize(177, 25);
    static const char* names[5] = {"btnExecute", "btnPrint", "btnPrevPage", "btnNextPage", "btnClear"};
    for (int i = 0; i < 5; ++i) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(names[i]));
        b->setIcon(glyph(i));
        b->setAutoRaise(true);
        b->setGeometry(23 * i + 1, 1, 23, 23);
        connect(b, &QToolButton::clicked, this, [this, i] { buttonClick(i); });
        m_buttons[i] = b;
    }
    m_firstPage = toolButton(this, "btnFirstPage", 5, QStringLiteral("First Page (Ctrl+Home)"));
    m_lastPage = toolButton(this, "btnLastPage", 6, QStringLiteral("Last Page (Ctrl+End)"));
    m_printDialog = toolButton(this, "btnPrintDialog", 7, QStringLiteral("Print... (Ctrl+P)"));
    connect(m_firstPage, &QToolButton::clicked, this, [this] { navAction(fgeFirstPage); });
    connect(m_lastPage, &QToolButton::clicked, this, [this] { navAction(fgeLastPage); });
    connect(m_printDialog, &QToolButton::clicked, this, [this] { navAction(fgePrintDialog); });

    m_zoomBox = new QComboBox(this);
    m_zoomBox->setObjectName(QStringLiteral("cmboxZoom"));
    m_zoomBox->setEditable(true);
    m_zoomBox->setInsertPolicy(QComboBox::NoInsert);
    m_zoomBox->setGeometry(114, 0, 60, m_zoomBox->sizeHint().height());
    m_zoomBox->addItems({QStringLiteral("150"), QStringLiteral("100"), QStringLiteral("75"), QStringLiteral("50"),
                         QStringLiteral("25"), fitWidth, fitPage});
    // A percentage (the sign may follow) or a fit; letters that make neither are
    // refused as they are typed.
    m_zoomBox->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("\\d{0,3}%?|Fit Width|Fit Page"), QRegularExpression::CaseInsensitiveOption),
        m_zoomBox));
    m_zoomBox->view()->setMinimumWidth(m_zoomBox->fontMetrics().horizontalAdvance(fitWidth) + 24);
    m_zoomBox->setEditText(QString());
    connect(m_zoomBox, &QComboBox::editTextChanged, this, [this] {
        if (!m_updating)
            zoomBoxChange();
    });
    // A percentage outside the window's range stays in the box only while typed.
    connect(m_zoomBox->lineEdit(), &QLineEdit::editingFinished, this, [this] { updateState(); });

    m_pageBox = new QSpinBox(this);
    m_pageBox->setObjectName(QStringLiteral("spinPage"));
    m_pageBox->setToolTip(QStringLiteral("Go to Page (Ctrl+G)"));
    m_pageBox->setRange(1, 99999);
    m_pageBoxWidth = m_pageBox->sizeHint().width();
    m_pageBox->setRange(1, 1);
    // The page is turned when the number is complete (Enter, Tab, the arrows), not
    // at each digit typed.
    m_pageBox->setKeyboardTracking(false);
    connect(m_pageBox, &QSpinBox::valueChanged, this, [this] {
        if (!m_updating)
            navAction(fgeGoToPage);
    });
    m_pageLabel = new QLabel(this);
    m_pageLabel->setObjectName(QStringLiteral("lblPage"));
    m_pageLabelWidth = m_pageLabel->fontMetrics().horizontalAdvance(QStringLiteral("Page 88888 of 88888")) + 4;
    m_pageLabel->setText(QStringLiteral("Page 1 of 1"));
    for (QWidget* w : std::initializer_list<QWidget*> {m_firstPage, m_lastPage, m_printDialog, m_pageBox, m_pageLabel})
        w->hide();
    // Tab walks the bar from left to right.
    QWidget* previous = m_buttons[0];
    for (QWidget* w : std::initializer_list<QWidget*> {m_buttons[1], m_printDialog, m_firstPage, m_buttons[2],
                                                       m_pageBox, m_buttons[3], m_lastPage, m_buttons[4], m_zoomBox}) {
        setTabOrder(previous, w);
        previous = w;
    }
    createShortcuts();
}

void TFormGenNav::createShortcuts()
{
    const auto key = [this](const QKeySequence& keys, std::function<void()> action) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setEnabled(false);
        connect(shortcut, &QShortcut::activated, this, std::move(action));
        return shortcut;
    };
    for (int k : {Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End})
        m_pagingKeys.push_back(key(QKeySequence(k), [this, k] { pagingKey(k, Qt::NoModifier); }));
    for (int k : {Qt::Key_Home, Qt::Key_End})
        m_pagingKeys.push_back(key(QKeySequence(Qt::CTRL | k), [this, k] { pagingKey(k, Qt::ControlModifier); }));
    m_pagingKeys.push_back(key(QKeySequence(Qt::CTRL | Qt::Key_G), [this] {
        m_pageBox->setFocus(Qt::ShortcutFocusReason);
        m_pageBox->selectAll();
    }));
    m_printKey = key(QKeySequence::Print, [this] {
        if (m_printDialog->isEnabled())
            navAction(fgePrintDialog);
    });
}

void TFormGenNav::pagingKey(int key, Qt::KeyboardModifiers modifiers)
{
    QWidget* focus = QApplication::focusWidget();
    const auto* combo = qobject_cast<QComboBox*>(focus);
    if (modifiers == Qt::NoModifier && ((combo && !combo->isEditable()) || qobject_cast<QAbstractItemView*>(focus))) {
        // The key goes to the list as typed. Its delivery looks for a shortcut first, and
        // would find this one again: the paging keys stand aside while the list takes it.
        const QPointer<TFormGenNav> alive(this);
        std::vector<QPointer<QShortcut>> standingAside;
        for (QShortcut* shortcut : m_pagingKeys)
            if (shortcut->isEnabled()) {
                shortcut->setEnabled(false);
                standingAside.emplace_back(shortcut);
            }
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(focus, &press);
        if (alive)
            for (const QPointer<QShortcut>& shortcut : standingAside)
                if (shortcut)
                    shortcut->setEnabled(true);
        return;
    }
    if (!m_form)
        return;
    switch (key) {
    case Qt::Key_PageUp:
        m_form->ScrollUpOrPrevPage();
        break;
    case Qt::Key_PageDown:
        m_form->ScrollDownOrNextPage();
        break;
    case Qt::Key_Home:
        m_form->FirstPage();
        break;
    case Qt::Key_End:
        m_form->LastPage();
        break;
    }
}

TFormGenNav::~TFormGenNav()
{
    if (m_form)
        m_form->detachNavigator();
}

void TFormGenNav::setHints(const QStringList& hints)
{
    m_hints.clear();
    for (int i = 0; i < 5; ++i) {
        if (i < hints.size()) {
            m_hints << hints[i];
            m_buttons[i]->setToolTip(hints[i]);
        }
    }
    if (hints.size() > 5) {
        m_hints << hints[5];
        m_zoomBox->setToolTip(hints[5]);
    }
}

void TFormGenNav::setVisibleButtons(TVisBtnSet buttons)
{
    m_visible = (buttons & allNavControls) ? (buttons & allNavControls) : visBtn(nbExecute);
    for (int i = 0; i < 5; ++i)
        m_buttons[i]->setVisible(m_visible & visBtn(buttonKinds[i]));
    m_zoomBox->setVisible(m_visible & visBtn(nbZoom));
    m_firstPage->setVisible(m_visible & visBtn(nbFirstPage));
    m_lastPage->setVisible(m_visible & visBtn(nbLastPage));
    m_printDialog->setVisible(m_visible & visBtn(nbPrintDialog));
    m_pageBox->setVisible(m_visible & visBtn(nbPageBox));
    m_pageLabel->setVisible(m_visible & visBtn(nbPageBox));
    // The keys come with the controls they stand for.
    const bool paging = m_visible & (visBtn(nbFirstPage) | visBtn(nbLastPage) | visBtn(nbPageBox));
    for (QShortcut* key : m_pagingKeys)
        key->setEnabled(paging);
    m_printKey->setEnabled(m_visible & visBtn(nbPrintDialog));
    layoutBar();
    updateGeometry();
}

void TFormGenNav::setFormComponent(TFormGenWin* window)
{
    if (!window) {
        m_form = nullptr;
        return;
    }
    m_form = window;
    window->attachNavigator(this, [this] { formNotify(); });
    updateState();
}

void TFormGenNav::formNotify()
{
    if (!m_form)
        return;
    if (m_form->destroying()) {
        m_form->detachNavigator();
        m_form = nullptr;
        return;
    }
    updateState();
}

void TFormGenNav::Update()
{
    updateState();
    update();
}

void TFormGenNav::updateState()
{
    if (!m_form)
        return;
    const bool content = m_form->commandCount() > 0;
    const int page = m_form->currentPage();
    const int pages = m_form->pageCount();
    m_buttons[1]->setEnabled(content);
    m_printDialog->setEnabled(content);
    m_buttons[4]->setEnabled(content);
    m_buttons[2]->setEnabled(page != 1);
    m_firstPage->setEnabled(page != 1);
    m_buttons[3]->setEnabled(page != pages);
    m_lastPage->setEnabled(page != pages);
    m_updating = true;
    // No list entry stays chosen, so that choosing a fit again is a change.
    if (m_zoomBox->currentIndex() >= 0)
        m_zoomBox->setCurrentIndex(-1);
    m_zoomBox->setEditText(QString::number(m_form->zoomPercent()));
    m_pageBox->setRange(1, std::max(pages, 1));
    m_pageBox->setValue(page);
    m_pageLabel->setText(QStringLiteral("Page %1 of %2").arg(page).arg(pages));
    m_updating = false;
}

void TFormGenNav::buttonClick(int index)
{
    if (!m_form || index < 0 || index > 4)
        return;
    bool doDefault = true;
    if (OnNavEvent)
        OnNavEvent(this, TFGEvent(index), doDefault);
    if (!doDefault || !m_form)
        return;
    switch (index) {
    case 0:
        m_form->Execute();
        break;
    case 1:
        m_form->Print();
        break;
    case 2:
        m_form->PrevPage();
        break;
    case 3:
        m_form->NextPage();
        break;
    case 4:
        m_form->Clear();
        break;
    }
    updateState();
}

void TFormGenNav::navAction(TFGEvent event)
{
    if (!m_form)
        return;
    bool doDefault = true;
    if (OnNavEvent)
        OnNavEvent(this, event, doDefault);
    if (doDefault && m_form) {
        switch (event) {
        case fgeFirstPage:
            m_form->FirstPage();
            break;
        case fgeLastPage:
            m_form->LastPage();
            break;
        case fgeGoToPage:
            m_form->GoToPage(m_pageBox->value());
            break;
        case fgePrintDialog:
            m_form->PrintWithDialog();
            break;
        default:
            break;
        }
    }
    // A refused jump leaves the page box on the page shown.
    updateState();
}

void TFormGenNav::zoomBoxChange()
{
    if (!m_form)
        return;
    bool doDefault = true;
    if (OnNavEvent)
        OnNavEvent(this, fgeZoom, doDefault);
    if (!doDefault || !m_form)
        return;
    const int before = m_form->zoomPercent();
    QString text = m_zoomBox->currentText().trimmed();
    if (text.compare(fitWidth, Qt::CaseInsensitive) == 0 || text.compare(fitPage, Qt::CaseInsensitive) == 0) {
        m_form->setZoomFit(text.compare(fitWidth, Qt::CaseInsensitive) == 0 ? zfWidth : zfPage);
        updateState();
        return;
    }
    if (text.endsWith(QLatin1Char('%')))
        text.chop(1);
    bool ok = false;
    const int percent = text.toInt(&ok);
    // Text that is no number changes nothing.
    if (!ok)
        return;
    m_form->setZoomPercent(percent);
    if (m_form->zoomPercent() != before)
        updateState();
}

int TFormGenNav::visibleButtonCount() const
{
    int n = 0;
    for (TVisBtnType kind : barOrder)
        if (kind != nbPageBox && (m_visible & visBtn(kind)))
            ++n;
    return n;
}

// The width of what is not a button: the zoom box (with the bar's edges), and the
// page box with its label.
int TFormGenNav::extraWidth() const
{
    int extra = (m_visible & visBtn(nbZoom)) ? 68 : 4;
    if (m_visible & visBtn(nbPageBox))
        extra += m_pageBoxWidth + 4 + m_pageLabelWidth + 4;
    return extra;
}

QSize TFormGenNav::sizeHint() const
{
    const int height = std::max({25, m_zoomBox->sizeHint().height() + 2, m_pageBox->sizeHint().height() + 2});
    return {visibleButtonCount() * comfortableButtonWidth + extraWidth(), height};
}

void TFormGenNav::layoutBar()
{
    if (m_layingOut)
        return;
    m_layingOut = true;
    const int n = visibleButtonCount();
    const bool zoom = m_visible & visBtn(nbZoom);
    const int boxHeight = m_zoomBox->height();
    if (zoom && height() < boxHeight + 2)
        resize(width(), boxHeight + 2);
    const int extra = extraWidth();
    // With no button at all only the zoom box remains, at the left.
    const int b = n > 0 ? (width() - extra) / n : 0;
    resize(n * b + extra, height());
    const auto buttonOf = [this](TVisBtnType kind) -> QToolButton* {
        switch (kind) {
        case nbFirstPage:
            return m_firstPage;
        case nbLastPage:
            return m_lastPage;
        case nbPrintDialog:
            return m_printDialog;
        default:
            for (int i = 0; i < 5; ++i)
                if (buttonKinds[i] == kind)
                    return m_buttons[i];
            return nullptr;
        }
    };
    int x = 1;
    for (TVisBtnType kind : barOrder) {
        const bool shown = m_visible & visBtn(kind);
        if (kind == nbPageBox) {
            if (shown) {
                const int h = std::min(m_pageBox->sizeHint().height(), height());
                m_pageBox->setGeometry(x + 2, (height() - h) / 2, m_pageBoxWidth, h);
                x += m_pageBoxWidth + 4;
            }
            continue;
        }
        QToolButton* button = buttonOf(kind);
        if (shown) {
            button->setGeometry(x, 1, b, height() - 2);
            x += b;
        } else {
            button->setGeometry(button->x(), 1, 0, height() - 2);
        }
    }
    x += 3;
    if (zoom) {
        m_zoomBox->move(x, (height() - boxHeight) / 2);
        x += m_zoomBox->width() + 4;
    }
    m_pageLabel->setGeometry(x, 0, m_pageLabelWidth, height());
    m_layingOut = false;
}

void TFormGenNav::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    layoutBar();
}

void TFormGenNav::showEvent(QShowEvent* event)
{
    QFrame::showEvent(event);
    layoutBar();
}

void TFormGenNav::changeEvent(QEvent* event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        layoutBar();
}
