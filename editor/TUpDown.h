#pragma once
// A spin control paired with a numeric edit: its arrows step the number in the
// edit (read from the edit first, bounded by the range) and write it back. Setting
// the position does not touch the edit.

#include <QPointer>
#include <QSpinBox>

class QLineEdit;

class TUpDown : public QSpinBox {
    Q_OBJECT
public:
    explicit TUpDown(QWidget* parent = nullptr);

    void setAssociate(QLineEdit* edit) { m_associate = edit; }
    QLineEdit* associate() const { return m_associate; }
    int position() const { return value(); }
    void setPosition(int position) { setValue(position); }

    void stepBy(int steps) override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

private:
    QPointer<QLineEdit> m_associate;
};
