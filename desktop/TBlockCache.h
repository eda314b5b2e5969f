#pragma once
// TBlockCache: the blocks of rows a grid's model has read from a large table, kept up
// to a number of blocks, the one used longest ago dropped first.

#include <QHash>
#include <QList>
#include <algorithm>

template <typename Row>
class TBlockCache {
public:
    explicit TBlockCache(int capacity) : m_capacity(capacity) { }

    // The rows of a block kept before, marked as used now; null when it is not kept.
    const QList<Row>* find(int block)
    {
        auto found = m_blocks.find(block);
        if (found == m_blocks.end())
            return nullptr;
        found->used = ++m_clock;
        return &found->rows;
    }
    // Keeps a block's rows, making room first when the cache is full.
    const QList<Row>* keep(int block, QList<Row> rows)
    {
        if (!m_blocks.contains(block) && m_blocks.size() >= m_capacity) {
            auto oldest = std::min_element(m_blocks.begin(), m_blocks.end(),
                                           [](const Block& a, const Block& b) { return a.used < b.used; });
            m_blocks.erase(oldest);
        }
        return &m_blocks.insert(block, Block {std::move(rows), ++m_clock})->rows;
    }
    bool contains(int block) const { return m_blocks.contains(block); }
    int size() const { return int(m_blocks.size()); }
    void clear() { m_blocks.clear(); }

private:
    struct Block {
        QList<Row> rows;
        quint64 used = 0;
    };
    QHash<int, Block> m_blocks;
    quint64 m_clock = 0;
    int m_capacity;
};
