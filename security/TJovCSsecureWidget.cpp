#include "security/TJovCSsecureWidget.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {
void drawShield(QPainter& painter, const QRectF& box)
{
    const qreal w = box.width(), h = box.height(), x = box.left(), y = box.top();
    QPainterPath shield;
    shield.moveTo(x + w / 2, y + h * 0.04);
    shield.lineTo(x + w * 0.9, y + h * 0.18);
    shield.cubicTo(x + w * 0.9, y + h * 0.62, x + w * 0.72, y + h * 0.82, x + w / 2, y + h * 0.96);
    shield.cubicTo(x + w * 0.28, y + h * 0.82, x + w * 0.1, y + h * 0.62, x + w * 0.1, y + h * 0.18);
    shield.closeSubpath();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x1f, 0x3a, 0x6e), qMax<qreal>(1, w / 24)));
    painter.setBrush(QColor(0x3f, 0x72, 0xc4));
    painter.drawPath(shield);
    // Keyhole
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xf4, 0xc4, 0x30));
    painter.drawEllipse(QPointF(x + w / 2, y + h * 0.42), w * 0.11, w * 0.11);
    QPainterPath slot;
    slot.moveTo(x + w * 0.45, y + h * 0.46);
    slot.lineTo(x + w * 0.55, y + h * 0.46);
    slot.lineTo(x + w * 0.59, y + h * 0.72);
    slot.lineTo(x + w * 0.41, y + h * 0.72);
    slot.closeSubpath();
    painter.drawPath(slot);
}
} // namespace

TJovCSsecureWidget::TJovCSsecureWidget(QWidget* parent) : QWidget(parent), m_component(new TJovCSsecure(this))
{
    setFixedSize(sizeHint());
    setToolTip(QStringLiteral("TJovCSsecure"));
    hide(); // a non-visual component: nothing to see at run time
}

void TJovCSsecureWidget::setDesigning(bool on)
{
    m_component->setDesigning(on);
    setVisible(on);
}

QIcon TJovCSsecureWidget::icon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        drawShield(painter, QRectF(0, 0, size, size));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void TJovCSsecureWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().button());
    painter.setPen(palette().mid().color());
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    drawShield(painter, QRectF(rect()).adjusted(3, 3, -3, -3));
}
