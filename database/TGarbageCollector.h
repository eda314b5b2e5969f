#pragma once
// Removes the old versions of rows deleted en masse (Clear Log) in the background, on
// a connection of its own to the database an open connection reaches: the local file
// with the embedded engine, or the same server, so the work is done where the data is.

#include <QString>

#include <future>

class TDatabase;

class TGarbageCollector {
public:
    // Starts reading table on the program's thread pool and returns at once, so that
    // neither this program nor the next one that reads the table waits for the
    // clean-up. The future gives the engine's text when the work failed, an empty
    // text when it succeeded; nobody has to wait for it.
    static std::future<QString> start(const TDatabase& database, const QString& table);
};
