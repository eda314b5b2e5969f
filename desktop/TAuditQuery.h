#pragma once
// The audit trail as SecDesk's viewer shows it: newest event first, only the blocks of
// events on the screen read, so that the first screen, the oldest event or any place
// between shows at once on a trail of a million events, and memory holds a bounded
// number of blocks wherever the user goes. Events are numbered without gaps, so an
// unfiltered trail is counted and read by number, and so are days, whose events are
// a range of numbers found by halving. A user, a kind or a part of an object's name is
// not counted first: its events are searched for from the newest down, a step at a
// time on the event loop, the rows growing as they are found ("at least N events"),
// and the window answers between the steps however rare the events are.

#include "database/TAuditTrail.h"
#include "desktop/TBlockCache.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QHash>
#include <QList>
#include <QString>

#include <map>
#include <optional>
#include <vector>

class QTimer;
class TQuery;

// Which events are shown; every part left empty lets all events through.
struct TAuditFilter {
    // First and last day shown, both whole days.
    QDate from;
    QDate to;
    // The security user, in any letter case.
    QString securityUser;
    QString kind;
    // Text the object's name contains, in any letter case.
    QString object;

    bool isEmpty() const
    {
        return !from.isValid() && !to.isValid() && securityUser.isEmpty() && kind.isEmpty() && object.isEmpty();
    }
    bool operator==(const TAuditFilter&) const = default;
};

class TAuditQuery : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColEvent, ColTime, ColLogin, ColUser, ColProgram, ColKind, ColObject, ColDetails, ColumnCount };
    // Events read with one statement, and the most blocks kept.
    static constexpr int kBlockRows = 128;
    static constexpr int kCachedBlocks = 16;
    // Rows whose event number is remembered, for reading a filtered trail from them again.
    static constexpr size_t kKnownEdges = 8192;
    // A search step finds at most this many events, and looks at most at kSearchWindow
    // events: no index finds a user, a kind or a part of an object's name.
    static constexpr int kStepRows = 2048;
    static constexpr qint64 kSearchWindow = 16384;
    // Before the first screen shows, the search looks at this many windows' events at most.
    static constexpr int kFirstScreenWindows = 2;

    explicit TAuditQuery(QObject* owner = nullptr);
    ~TAuditQuery() override;

    QString databaseName() const { return m_databaseName; }
    void setDatabaseName(const QString& name) { m_databaseName = name; }

    // Counts the events and shows the first ones. Throws EDatabaseError.
    void open();
    void close();
    bool active() const { return m_active; }
    // Whether every event the filter lets through has been found, so the row count is
    // the events' count; otherwise there are at least as many, and the search goes on.
    bool complete() const { return !m_active || m_complete; }
    // Finds the rest of the events at once (one pass over the trail). Throws EDatabaseError.
    void fetchAll();

    // A new filter takes effect at once when open. Throws EDatabaseError.
    TAuditFilter filter() const { return m_filter; }
    void setFilter(const TAuditFilter& filter);

    // While deferred (the scroll bar's thumb is being dragged), rows not read yet show
    // empty instead of being read for every position passed.
    void setFetchDeferred(bool deferred);
    // Blocks held now, and statements run to read them since open.
    int cachedBlocks() const { return int(m_blocks.size()); }
    int blockReads() const { return m_blockReads; }
    // Whether rows are read straight by their event number (no filter, no gap found).
    bool readsByNumber() const { return m_byNumber; }

    // The days of the oldest and the newest event (invalid when there is none).
    QDate firstDay() const { return m_firstDay; }
    QDate lastDay() const { return m_lastDay; }

    // The event shown in a row, read when needed; null when it cannot be read.
    const TAuditEvent* eventAt(int row) const;
    // The row that shows the event with this number, or -1 when the filter hides it
    // or there is none; an event the search has not reached yet is searched for first.
    // Throws EDatabaseError.
    int rowOfEvent(qint64 id);
    // Every field of an event, one a line, for the detail pane.
    static QString describe(const TAuditEvent& event);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

signals:
    // A block could not be read; the engine's text.
    void readFailed(const QString& message);
    // A search step has run: more events may have been found, or the search ended.
    void searched();

private:
    void count();
    void reset();
    // Searches the events not searched yet, from the newest of them down: finds at
    // most rows of them, and looks at no more than window events when no index serves
    // the filter. Rows are inserted unless the model is being reset.
    void searchStep(int rows, qint64 window, bool resetting);
    // The search's first steps, before the first screen shows; the rest is left to
    // the event loop.
    void startSearch();
    void searchLater();
    QList<TAuditEvent> readBlock(int block) const;
    // count events after the one numbered key (or from the newest when there is none),
    // skipping skip, newest first or, reversed, oldest first.
    QList<TAuditEvent> readEvents(const std::optional<qint64>& key, qint64 skip, int count, bool reverse) const;
    QString whereText(const QStringList& more) const;
    void bindFilter(TQuery& query) const;
    QList<TAuditEvent> run(TQuery& query) const;
    qint64 countEvents(const QStringList& more, const std::optional<qint64>& key = std::nullopt) const;
    qint64 firstStampedFrom(const QDateTime& at, qint64 oldest, qint64 newest) const;
    // A gap in the numbers (events deleted behind the programs' back): from now on
    // the trail is counted and read as a filtered one.
    void gapFound() const;

    QString m_databaseName;
    TDatabase* m_connection = nullptr;
    bool m_active = false;
    TAuditFilter m_filter;
    int m_count = 0;
    qint64 m_newest = 0;
    bool m_byNumber = false;
    bool m_gapFound = false;
    // The days asked for, as the event numbers they span.
    bool m_ranged = false;
    qint64 m_rangeLow = 0;
    qint64 m_rangeHigh = 0;
    // Whether the rows are every event the filter lets through. While they are not,
    // events numbered below m_searchKey (down to m_oldest) are still to be searched.
    bool m_complete = true;
    bool m_searched = false;
    qint64 m_searchKey = 0;
    qint64 m_oldest = 0;
    // For rows found by the search: the number of the last event of each whole block,
    // and of the last event found.
    std::vector<qint64> m_blockEnds;
    qint64 m_lastFound = 0;
    QTimer* m_searchTimer = nullptr;
    QDate m_firstDay;
    QDate m_lastDay;
    bool m_deferred = false;

    // The blocks read, least recently used dropped first.
    mutable TBlockCache<TAuditEvent> m_blocks {kCachedBlocks};
    // Place in the shown order -> event number, for the first and last row of each block read.
    mutable std::map<qint64, qint64> m_edges;
    mutable int m_blockReads = 0;
    mutable bool m_failed = false;
};
