#pragma once
// A sorted list box whose entries carry a TIntObject. It starts a drag when an
// entry is pressed and moved (the drag only copies; the source keeps its entry) and
// asks its owner whether to accept a drop.

#include "editor/TIntObject.h"

#include <QListWidget>

#include <functional>
#include <vector>

class TListBox : public QListWidget {
    Q_OBJECT
public:
    struct Entry {
        QString text;
        int id = 0;
    };
    using DragOverHandler = std::function<bool(QObject* source)>;
    using DragDropHandler = std::function<void(QObject* source)>;

    explicit TListBox(QWidget* parent = nullptr);

    // Replaces every entry in one go, sorted by text.
    void setEntries(std::vector<Entry> entries);
    // Adds one entry at its sorted place.
    void addEntry(const QString& text, int id);
    void removeEntry(int index);
    int entryCount() const { return count(); }
    QString entryText(int index) const;
    TIntObject entryObject(int index) const;
    int entryId(int index) const { return entryObject(index).value(); }
    // The selected entry, -1 when none.
    int itemIndex() const;
    void setItemIndex(int index);
    // The entries' texts in their order.
    QStringList texts() const;

    // Drops are refused unless handlers are set.
    void setDropHandlers(DragOverHandler over, DragDropHandler drop);

    // Sort order of the editor's lists: letters without regard to case.
    static bool lessThan(const QString& a, const QString& b);

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    DragOverHandler m_dragOver;
    DragDropHandler m_dragDrop;
};
