#include "reporting/Frmgennav.h"

#include "reporting/Frmgenwn.h"

#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace {

const TVisBtnType buttonKinds[5] = {nbExecute, nbPrint, nbPrevPage, nbNextPage, nbClear};

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
    default: // clear: a red cross
        p.setPen(QPen(QColor(200, 0, 0), 2.5));
        p.drawLine(3, 3, 13, 13);
        p.drawLine(13, 3, 3, 13);
    }
    p.end();
    return QIcon(pixmap);
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
    m_zoomBox = new QComboBox(this);
    m_zoomBox->setObjectName(QStringLiteral("cmboxZoom"));
    m_zoomBox->setEditable(true);
    m_zoomBox->setInsertPolicy(QComboBox::NoInsert);
    m_zoomBox->setGeometry(114, 0, 60, m_zoomBox->sizeHint().height());
    m_zoomBox->addItems({QStringLiteral("150"), QStringLiteral("100"), QStringLiteral("75"), QStringLiteral("50"),
                         QStringLiteral("25")});
    m_zoomBox->setEditText(QString());
    connect(m_zoomBox, &QComboBox::editTextChanged, this, [this] {
        if (!m_updating)
            zoomBoxChange();
    });
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
    m_visible = (buttons & allVisBtns) ? (buttons & allVisBtns) : visBtn(nbExecute);
    for (int i = 0; i < 5; ++i)
        m_buttons[i]->setVisible(m_visible & visBtn(buttonKinds[i]));
    m_zoomBox->setVisible(m_visible & visBtn(nbZoom));
    layoutBar();
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
    m_buttons[1]->setEnabled(content);
    m_buttons[4]->setEnabled(content);
    m_buttons[2]->setEnabled(m_form->currentPage() != 1);
    m_buttons[3]->setEnabled(m_form->currentPage() != m_form->pageCount());
    m_updating = true;
    m_zoomBox->setEditText(QString::number(m_form->zoomPercent()));
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
    bool ok = false;
    int percent = m_zoomBox->currentText().trimmed().toInt(&ok);
    if (!ok)
        percent = 100;
    m_form->setZoomPercent(percent);
    if (m_form->zoomPercent() != before)
        updateState();
}

void TFormGenNav::layoutBar()
{
    if (m_layingOut)
        return;
    m_layingOut = true;
    int n = 0;
    for (int i = 0; i < 5; ++i)
        if (m_visible & visBtn(buttonKinds[i]))
            ++n;
    const bool zoom = m_visible & visBtn(nbZoom);
    const int boxHeight = m_zoomBox->height();
    if (zoom && height() < boxHeight + 2)
        resize(width(), boxHeight + 2);
    const int extra = zoom ? 68 : 4;
    // With no button at all only the zoom box remains, at the left.
    const int b = n > 0 ? (width() - extra) / n : 0;
    resize(n * b + extra, height());
    int k = 0;
    for (int i = 0; i < 5; ++i) {
        if (m_visible & visBtn(buttonKinds[i])) {
            m_buttons[i]->setGeometry(b * k + 1, 1, b, height() - 2);
            ++k;
        } else {
            m_buttons[i]->setGeometry(m_buttons[i]->x(), 1, 0, height() - 2);
        }
    }
    if (zoom)
        m_zoomBox->move(b * n + 4, (height() - boxHeight) / 2);
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
