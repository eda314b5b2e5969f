#include "widgets/TOrderedGroupBox.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QStyle>

namespace {

// Badge and caption texts longer than these are outside what the box supports.
constexpr int BadgeTextMax = 10;
constexpr int CaptionMax = 255;

bool sameFont(const QFont& a, const QFont& b)
{
    return a.family() == b.family() && a.pointSizeF() == b.pointSizeF() && a.pixelSize() == b.pixelSize() &&
           a.bold() == b.bold() && a.italic() == b.italic() && a.underline() == b.underline() &&
           a.strikeOut() == b.strikeOut();
}

} // namespace

TOrderedGroupBox::TOrderedGroupBox(QWidget* parent) : TOrderedGroupBox(QString(), parent) { }

TOrderedGroupBox::TOrderedGroupBox(const QString& caption, QWidget* parent)
    : QGroupBox(caption, parent), m_labelFont(QApplication::font())
{
    m_labelFontColor = palette().color(QPalette::WindowText);
    placeContents();
}

void TOrderedGroupBox::setLabelOrder(int order)
{
    if (order == m_labelOrder)
        return;
    m_labelOrder = order;
    changed();
}

void TOrderedGroupBox::setLabelFont(const QFont& font) { setLabelFont(font, m_labelFontColor); }

void TOrderedGroupBox::setLabelFont(const QFont& font, const QColor& color)
{
    if (sameFont(font, m_labelFont) && color == m_labelFontColor)
        return;
    m_labelFont = font;
    m_labelFontColor = color;
    placeContents();
    changed();
}

void TOrderedGroupBox::setLabelFontColor(const QColor& color) { setLabelFont(m_labelFont, color); }

void TOrderedGroupBox::setLabelColor(const QColor& color)
{
    if (color == m_labelColor)
        return;
    m_labelColor = color;
    changed();
}

void TOrderedGroupBox::setLabelType(TLabelType type)
{
    if (type == m_labelType)
        return;
    m_labelType = type;
    changed();
}

QString TOrderedGroupBox::badgeText() const
{
    const QString text =
        m_labelType == ltAlphabetic ? QString(QChar(64 + m_labelOrder)) : QString::number(m_labelOrder);
    return text.left(BadgeTextMax);
}

QRect TOrderedGroupBox::badgeRect() const
{
    const int s = QFontMetrics(m_labelFont).height() + 2;
    return QRect(8, 0, s, s);
}

QSize TOrderedGroupBox::minimumSizeHint() const
{
    const QFontMetrics fm(font());
    const int captionWidth = fm.horizontalAdvance(QGroupBox::title().left(CaptionMax).remove(QLatin1Char('&')));
    QSize size = QGroupBox::minimumSizeHint();
    size.setWidth(std::max(size.width(), captionLeft() + captionWidth + 8));
    return size;
}

void TOrderedGroupBox::changed()
{
    update();
    emit appearanceChanged();
}

// The box draws its own caption line, so the children start below the badge.
void TOrderedGroupBox::placeContents()
{
    const int top = std::max(badgeRect().height(), QFontMetrics(font()).height()) + 4;
    const QMargins wanted(4, top, 4, 4);
    if (contentsMargins() != wanted)
        setContentsMargins(wanted);
}

void TOrderedGroupBox::changeEvent(QEvent* event)
{
    QGroupBox::changeEvent(event);
    // The base class recomputes its margins for its own title on these changes.
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange ||
        event->type() == QEvent::ContentsRectChange)
        placeContents();
}

void TOrderedGroupBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int h = QFontMetrics(font()).height();

    // Etched frame: highlight one pixel right and down, the shadow over it.
    const QRect frame(0, h / 2, width() - 2, height() - h / 2 - 2);
    p.setBrush(Qt::NoBrush);
    p.setPen(palette().color(QPalette::Light));
    p.drawRect(frame.translated(1, 1));
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(frame);

    const QRect badge = badgeRect();
    p.setPen(Qt::black);
    p.setBrush(m_labelColor);
    p.drawRect(badge.adjusted(0, 0, -1, -1));
    p.setFont(m_labelFont);
    p.setPen(m_labelFontColor);
    p.drawText(badge.adjusted(1, 1, -1, -1), Qt::AlignCenter | Qt::TextSingleLine, badgeText());

    const QString caption = QGroupBox::title().left(CaptionMax);
    if (caption.isEmpty())
        return;
    p.setFont(font());
    const QFontMetrics fm(font());
    QString shown = caption;
    shown.replace(QLatin1String("&&"), QLatin1String("\x01"))
        .remove(QLatin1Char('&'))
        .replace(QChar(1), QLatin1Char('&'));
    const QRect captionRect(captionLeft(), 0, fm.horizontalAdvance(shown), h);
    p.fillRect(captionRect, palette().color(backgroundRole()));
    style()->drawItemText(&p, captionRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, palette(),
                          isEnabled(), caption, foregroundRole());
}
