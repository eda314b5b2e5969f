#include "widgets/TRadioGroup.h"

#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent) : QGroupBox(caption, parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setSpacing(2);
    for (int i = 0; i < items.size(); ++i) {
        auto* row = new QHBoxLayout;
        row->setSpacing(4);
        auto* button = new QRadioButton(items.at(i), this);
        // The group keeps the selection itself, so that it can also show none.
        button->setAutoExclusive(false);
        connect(button, &QRadioButton::clicked, this, [this, i] { buttonClicked(i); });
        row->addWidget(button);
        row->addStretch(1);
        layout->addLayout(row);
        m_buttons << button;
        m_rows << row;
    }
}

QStringList TRadioGroup::items() const
{
    QStringList list;
    for (const QRadioButton* b : m_buttons)
        list << b->text();
    return list;
}

void TRadioGroup::setItemIndex(int index)
{
    if (index < -1 || index >= count())
        index = -1;
    for (int i = 0; i < count(); ++i)
        m_buttons[i]->setChecked(i == index);
    if (index == m_itemIndex)
        return;
    m_itemIndex = index;
    emit clicked();
}

void TRadioGroup::buttonClicked(int index)
{
    // A click on the selected button keeps it selected.
    m_buttons[index]->setChecked(true);
    setItemIndex(index);
}

void TRadioGroup::setItemTrailer(int index, const QList<QWidget*>& widgets)
{
    QHBoxLayout* row = m_rows.value(index);
    if (!row)
        return;
    int at = 1;
    for (QWidget* w : widgets) {
        w->setParent(this);
        row->insertWidget(at++, w);
    }
}
