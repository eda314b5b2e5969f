#pragma once
// A captioned group of radio buttons with one selected item (itemIndex), or none
// (-1). Selecting an item, by a click or by setItemIndex, emits clicked() when the
// selection changes. An item may carry widgets after its caption, such as the edit
// that sits in the gap of "Password Expires In ... Days".

#include <QGroupBox>
#include <QList>
#include <QStringList>

class QHBoxLayout;
class QRadioButton;
class QVBoxLayout;

class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);

    int itemIndex() const { return m_itemIndex; }
    void setItemIndex(int index);
    int count() const { return int(m_buttons.size()); }
    QRadioButton* button(int index) const { return m_buttons.value(index); }
    QStringList items() const;

    // Places the widgets after the item's caption, in the order given.
    void setItemTrailer(int index, const QList<QWidget*>& widgets);

signals:
    void clicked();

private:
    void buttonClicked(int index);

    QList<QRadioButton*> m_buttons;
    QList<QHBoxLayout*> m_rows;
    int m_itemIndex = -1;
};
