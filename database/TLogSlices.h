#pragma once
// Clearing a large activity log in slices of its key. Every statement that changes
// rows waits at most the lock timeout (TLockWatch), and the watch cannot tell a
// statement that waits for another program's row from one that is merely long: one
// "delete from LOG" of millions of rows on a busy disk takes longer than that and was
// cancelled. Each slice is one statement of at most kRows keys, short whatever the
// size of the log (200,000 rows still ran past the limit while builds shared the
// disk); the caller runs them all in one transaction, so the clear stays all or
// nothing, and shows its progress slice by slice.

#include <QString>

#include <functional>

class TLogSlices {
public:
    static constexpr qint64 kRows = 50000;
    // Calls deleteSlice with a condition on LOGCOUNT for each slice between first and
    // last (the least and greatest key; last < first when the log is empty), then once
    // for keys outside them, such as rows logged since they were read.
    static void forEach(qint64 first, qint64 last, const std::function<void(const QString& condition)>& deleteSlice);
    // How many times forEach calls deleteSlice, for a progress bar.
    static int count(qint64 first, qint64 last);
};
