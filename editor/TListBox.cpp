#include "editor/TListBox.h"

#include "platform/FormControls.h"

#include <QDragEnterEvent>
#include <QDropEvent>

#include <algorithm>

TListBox::TListBox(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
    setUniformItemSizes(true);
    Platform::keepFrameWhenScaled(this);
}

bool TListBox::lessThan(const QString& a, const QString& b)
{
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

void TListBox::setEntries(std::vector<Entry> entries)
{
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return lessThan(a.text, b.text); });
    const bool updates = updatesEnabled();
    setUpdatesEnabled(false);
    clear();
    for (const Entry& e : entries) {
        auto* item = new QListWidgetItem(e.text);
        item->setData(Qt::UserRole, QVariant::fromValue(TIntObject(e.id)));
        addItem(item);
    }
    setUpdatesEnabled(updates);
}

void TListBox::addEntry(const QString& text, int id)
{
    int at = count();
    // Binary search for the first entry that sorts after the text.
    int lo = 0, hi = count();
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (lessThan(text, item(mid)->text()))
            hi = mid;
        else
            lo = mid + 1;
    }
    at = lo;
    auto* entry = new QListWidgetItem(text);
    entry->setData(Qt::UserRole, QVariant::fromValue(TIntObject(id)));
    insertItem(at, entry);
}

void TListBox::removeEntry(int index) { delete takeItem(index); }

QString TListBox::entryText(int index) const
{
    const QListWidgetItem* entry = item(index);
    return entry ? entry->text() : QString();
}

TIntObject TListBox::entryObject(int index) const
{
    const QListWidgetItem* entry = item(index);
    return entry ? entry->data(Qt::UserRole).value<TIntObject>() : TIntObject(0);
}

int TListBox::itemIndex() const
{
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? -1 : row(selected.first());
}

void TListBox::setItemIndex(int index)
{
    if (index < 0 || index >= count()) {
        clearSelection();
        setCurrentRow(-1);
        return;
    }
    setCurrentRow(index);
    item(index)->setSelected(true);
}

QStringList TListBox::texts() const
{
    QStringList list;
    for (int i = 0; i < count(); ++i)
        list << item(i)->text();
    return list;
}

void TListBox::setDropHandlers(DragOverHandler over, DragDropHandler drop)
{
    m_dragOver = std::move(over);
    m_dragDrop = std::move(drop);
    setAcceptDrops(m_dragOver != nullptr);
    setDragDropMode(m_dragOver ? QAbstractItemView::DragDrop : QAbstractItemView::DragOnly);
}

void TListBox::startDrag(Qt::DropActions)
{
    // A copy: a moved entry would vanish from its source list.
    QListWidget::startDrag(Qt::CopyAction);
}

void TListBox::dragEnterEvent(QDragEnterEvent* event)
{
    if (m_dragOver && m_dragOver(event->source())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TListBox::dragMoveEvent(QDragMoveEvent* event)
{
    if (m_dragOver && m_dragOver(event->source())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TListBox::dropEvent(QDropEvent* event)
{
    if (!m_dragOver || !m_dragOver(event->source())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (m_dragDrop)
        m_dragDrop(event->source());
}
