#include "editor/TUpDown.h"

#include <QLineEdit>

TUpDown::TUpDown(QWidget* parent) : QSpinBox(parent)
{
    // Only the arrows show; the number lives in the associated edit.
    lineEdit()->setVisible(false);
    setFocusPolicy(Qt::NoFocus);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
}

void TUpDown::stepBy(int steps)
{
    if (m_associate) {
        bool ok = false;
        const int typed = m_associate->text().trimmed().toInt(&ok);
        if (ok)
            setValue(typed);
    }
    QSpinBox::stepBy(steps);
    if (m_associate)
        m_associate->setText(QString::number(value()));
}

QSize TUpDown::sizeHint() const
{
    const QSize base = QSpinBox::sizeHint();
    return QSize(18, base.height());
}
