#include "desktop/TfrmViewLog.h"

#include "database/EDatabaseError.h"
#include "database/TAuditTrail.h"
#include "database/TDatabase.h"
#include "database/TGarbageCollector.h"
#include "database/TLogSlices.h"
#include "database/TQuery.h"
#include "desktop/TLogQuery.h"
#include "platform/MessageBox.h"
#include "widgets/TDateEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

TfrmViewLog* frmViewLog = nullptr;

namespace {
// The busy cursor for as long as a scope runs.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// The log-ons: the constant list's entry for rows without a constant.
constexpr int kLogonsEntry = -1;
} // namespace

TfrmViewLog::TfrmViewLog(QWidget* owner) : QDialog(owner)
{
    frmViewLog = this;
    setObjectName(QStringLiteral("frmViewLog"));
    setWindowTitle(QStringLiteral("View Log"));
    // A large log is read better in a large window.
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setSizeGripEnabled(true);

    sqlUsers = new TQuery(this);
    sqlUsers->setObjectName(QStringLiteral("sqlUsers"));
    sqlUsers->setSQL(QStringLiteral("Select * from Users order by User_Id"));
    sqlAccess = new TQuery(this);
    sqlAccess->setObjectName(QStringLiteral("sqlAccess"));
    sqlAccess->setSQL(QStringLiteral("select * from access order by access_id"));
    sqlLog = new TLogQuery(this);
    sqlLog->setLookups(sqlUsers, sqlAccess);
    connect(sqlLog, &TLogQuery::readFailed, this, [](const QString& text) { Platform::showError(text); });

    cbUser = new QComboBox(this);
    cbUser->setObjectName(QStringLiteral("cbUser"));
    cbAccess = new QComboBox(this);
    cbAccess->setObjectName(QStringLiteral("cbAccess"));
    ckbxDates = new QCheckBox(QStringLiteral("&Days from"), this);
    ckbxDates->setObjectName(QStringLiteral("ckbxDates"));
    dedFrom = new TDateEdit(this);
    dedFrom->setObjectName(QStringLiteral("dedFrom"));
    dedTo = new TDateEdit(this);
    dedTo->setObjectName(QStringLiteral("dedTo"));
    for (TDateEdit* edit : {dedFrom, dedTo}) {
        edit->setEnabled(false);
        // As wide as a date and the calendar button, also in a maximised window.
        edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) +
                            edit->sizeHint().height() + 12);
    }
    auto* lblUser = new QLabel(QStringLiteral("&User:"), this);
    lblUser->setBuddy(cbUser);
    auto* lblAccess = new QLabel(QStringLiteral("C&onstant:"), this);
    lblAccess->setBuddy(cbAccess);
    auto* lblTo = new QLabel(QStringLiteral("&to"), this);
    lblTo->setBuddy(dedTo);
    for (QComboBox* list : {cbUser, cbAccess}) {
        list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        connect(list, &QComboBox::currentIndexChanged, this, &TfrmViewLog::applyFilter);
    }
    connect(ckbxDates, &QCheckBox::toggled, this, [this](bool on) {
        dedFrom->setEnabled(on);
        dedTo->setEnabled(on);
        applyFilter();
    });
    for (TDateEdit* edit : {dedFrom, dedTo})
        connect(edit, &TDateEdit::OnDateChange, this, [this] {
            if (ckbxDates->isChecked())
                applyFilter();
        });

    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setModel(sqlLog);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setShowGrid(true);
    DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    DBGrid1->horizontalHeader()->setHighlightSections(false);
    DBGrid1->horizontalHeader()->setSectionsClickable(true);
    DBGrid1->horizontalHeader()->setSortIndicator(TLogQuery::ColAccessDate, Qt::DescendingOrder);
    DBGrid1->horizontalHeader()->setSortIndicatorShown(true);
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    connect(DBGrid1->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this, &TfrmViewLog::sortIndicatorChanged);
    DBGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 4);
    DBGrid1->verticalHeader()->setFixedWidth(14);
    DBGrid1->setWordWrap(false);
    // Tab leaves the grid for the next control; the arrows move within it.
    DBGrid1->setTabKeyNavigation(false);
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { sqlLog->setIndicatorRow(current.row()); });
    // Dragging the thumb across a million rows reads only where it is let go.
    connect(DBGrid1->verticalScrollBar(), &QScrollBar::sliderPressed, this, [this] { sqlLog->setFetchDeferred(true); });
    connect(DBGrid1->verticalScrollBar(), &QScrollBar::sliderReleased, this,
            [this] { sqlLog->setFetchDeferred(false); });

    btnClearLog = new QPushButton(QStringLiteral("&Clear Log"), this);
    btnClearLog->setObjectName(QStringLiteral("btnClearLog"));
    btnClearLog->setAutoDefault(false);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    connect(btnClearLog, &QPushButton::clicked, this, &TfrmViewLog::btnClearLogClick);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    auto* filters = new QHBoxLayout;
    filters->addWidget(lblUser);
    filters->addWidget(cbUser);
    filters->addSpacing(8);
    filters->addWidget(lblAccess);
    filters->addWidget(cbAccess);
    filters->addSpacing(8);
    filters->addWidget(ckbxDates);
    filters->addWidget(dedFrom);
    filters->addWidget(lblTo);
    filters->addWidget(dedTo);
    filters->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnClearLog);
    buttons->addWidget(OKBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(DBGrid1);
    layout->addLayout(buttons);
    const QList<QWidget*> order {cbUser, cbAccess, ckbxDates, dedFrom, dedTo, DBGrid1, btnClearLog, OKBtn};
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));

    fitColumns();
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    OKBtn->setFocus();
}

// A column is as wide as its display width in characters and as its widest value
// in this log (dates with their time, the largest count, the longest name), and
// never narrower than its title.
int TfrmViewLog::columnWidth(int column) const
{
    const QFontMetrics cells(DBGrid1->font());
    const QFontMetrics titles(DBGrid1->horizontalHeader()->font());
    const QString title = sqlLog->headerData(column, Qt::Horizontal).toString();
    // Room for the sort indicator beside the title.
    const int width = std::max({TLogQuery::displayWidth(column) * cells.horizontalAdvance(QLatin1Char('0')),
                                titles.horizontalAdvance(title) + titles.height(),
                                cells.horizontalAdvance(sqlLog->widestText(column))});
    return width + 16;
}

// The columns fit their contents; the window grows to show them all, up to the
// screen's width.
void TfrmViewLog::fitColumns()
{
    int gridWidth = DBGrid1->verticalHeader()->width() + DBGrid1->verticalScrollBar()->sizeHint().width() + 8;
    for (int c = 0; c < TLogQuery::ColumnCount; ++c) {
        DBGrid1->setColumnWidth(c, columnWidth(c));
        gridWidth += columnWidth(c);
    }
    if (isVisible() || isMaximized())
        return;
    int width = std::max(gridWidth + 24, layout()->minimumSize().width());
    if (const QScreen* screen = this->screen())
        width = std::min(width, screen->availableGeometry().width());
    resize(width, std::max(height(), 420));
}

void TfrmViewLog::sortIndicatorChanged(int column, Qt::SortOrder order)
{
    if (!TLogQuery::sortable(column)) {
        // Names and ids do not sort: the indicator stays where the order is.
        const QSignalBlocker keep(DBGrid1->horizontalHeader());
        DBGrid1->horizontalHeader()->setSortIndicator(sqlLog->sortColumn(), sqlLog->sortOrder());
        return;
    }
    const WaitCursor wait;
    sqlLog->sort(column, order);
    showFirstRow();
}

// As in any grid of rows, the first row is the current one, so the keys move from it.
void TfrmViewLog::showFirstRow()
{
    if (sqlLog->rowCount() > 0)
        DBGrid1->setCurrentIndex(sqlLog->index(0, 0));
    DBGrid1->scrollToTop();
}

void TfrmViewLog::fillFilterLists()
{
    const auto fill = [](QComboBox* list, TQuery* lookup, const char* keyName, const char* nameName, const QString& all,
                         bool logons) {
        const QSignalBlocker quiet(list);
        const QVariant chosen = list->currentData();
        list->clear();
        list->addItem(all);
        if (logons)
            list->addItem(QStringLiteral("*** Logon ***"), kLogonsEntry);
        const TField* key = lookup->findField(QString::fromLatin1(keyName));
        const TField* name = lookup->findField(QString::fromLatin1(nameName));
        if (!key || !name)
            return;
        QList<std::pair<QString, int>> entries;
        for (int r = 0; r < lookup->totalRowCount(); ++r)
            entries.append({lookup->rowValue(r, name->index()).toString(), lookup->rowValue(r, key->index()).toInt()});
        // As the editor's lists: without regard to letter case.
        std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
            return QString::compare(a.first, b.first, Qt::CaseInsensitive) < 0;
        });
        for (const auto& [text, id] : entries)
            list->addItem(text, id);
        list->setCurrentIndex(std::max(0, list->findData(chosen)));
    };
    fill(cbUser, sqlUsers, "USER_ID", "USER_NAME", QStringLiteral("(all users)"), false);
    fill(cbAccess, sqlAccess, "ACCESS_ID", "ACCESS_NAME", QStringLiteral("(all constants)"), true);
    // The days start as the whole log, as the Usage report's range does.
    const QSignalBlocker quietFrom(dedFrom);
    const QSignalBlocker quietTo(dedTo);
    if (!ckbxDates->isChecked()) {
        const QDate today = QDate::currentDate();
        dedFrom->setDate(sqlLog->firstDay().isValid() ? sqlLog->firstDay() : today);
        dedTo->setDate(sqlLog->lastDay().isValid() ? sqlLog->lastDay() : today);
    }
}

void TfrmViewLog::applyFilter()
{
    TLogFilter filter;
    if (cbUser->currentData().isValid())
        filter.userId = cbUser->currentData().toInt();
    if (cbAccess->currentData().isValid()) {
        if (cbAccess->currentData().toInt() == kLogonsEntry)
            filter.logonsOnly = true;
        else
            filter.accessId = cbAccess->currentData().toInt();
    }
    if (ckbxDates->isChecked()) {
        filter.from = dedFrom->date();
        filter.to = dedTo->date();
    }
    if (!sqlLog->active())
        return;
    const WaitCursor wait;
    try {
        sqlLog->setFilter(filter);
    } catch (const EDatabaseError& e) {
        Platform::showError(e.message());
    }
    showFirstRow();
}

TfrmViewLog::~TfrmViewLog()
{
    FormHide();
    if (frmViewLog == this)
        frmViewLog = nullptr;
}

void TfrmViewLog::FormShow()
{
    if (!sqlUsers->active())
        sqlUsers->open();
    if (!sqlAccess->active())
        sqlAccess->open();
    sqlLog->open();
    fillFilterLists();
    fitColumns();
    showFirstRow();
}

void TfrmViewLog::FormHide()
{
    sqlLog->close();
    sqlUsers->close();
    sqlAccess->close();
}

void TfrmViewLog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    OKBtn->setFocus();
}

void TfrmViewLog::hideEvent(QHideEvent* event)
{
    FormHide();
    QDialog::hideEvent(event);
}

void TfrmViewLog::btnClearLogClick()
{
    if (!Platform::askYesNo(QStringLiteral("Are you sure you want to clear the Log?")))
        return;
    // The grid's select holds a transaction of its own; end it before the delete.
    sqlLog->close();
    TDatabase* db = nullptr;
    bool cleared = false;
    {
        const WaitCursor wait;
        QProgressDialog progress(QStringLiteral("Clearing the log..."), QString(), 0, 1, this);
        progress.setObjectName(QStringLiteral("progressClearLog"));
        progress.setWindowTitle(windowTitle());
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(0);
        progress.setValue(0);
        try {
            db = TDatabase::connectionFor(sqlLog->databaseName());
            // One transaction, with the audit event that records it; a log row another
            // program holds is waited for only as long as the lock timeout.
            TAuditTrail::run(*db, [&] {
                TQuery keys;
                keys.setDatabaseName(sqlLog->databaseName());
                keys.setSQL(QStringLiteral("select min(LOGCOUNT), max(LOGCOUNT) from LOG"));
                keys.open();
                const qint64 first = keys.field(0)->isNull() ? 0 : keys.field(0)->value().toLongLong();
                const qint64 last = keys.field(1)->isNull() ? -1 : keys.field(1)->value().toLongLong();
                keys.close();
                // Each slice moves the bar on; the commit, which writes every page, is the last step.
                progress.setMaximum(TLogSlices::count(first, last) + 1);
                progress.setValue(0);
                qint64 deleted = 0;
                TQuery remove;
                remove.setDatabaseName(sqlLog->databaseName());
                TLogSlices::forEach(first, last, [&](const QString& slice) {
                    remove.setSQL(QStringLiteral("delete from LOG where ") + slice);
                    remove.execSQL();
                    deleted += remove.rowsAffected();
                    progress.setValue(progress.value() + 1);
                });
                TAuditEvent event =
                    TAuditTrail::event(QLatin1String(TAuditKind::LogCleared), QStringLiteral("SUPERVISOR"));
                event.details = QStringLiteral("Rows deleted: %1\n").arg(deleted);
                TAuditTrail::append(*db, event);
            });
            progress.setValue(progress.maximum());
            cleared = true;
            // The deleted rows' old versions go in the background, so that neither this
            // program nor the next that reads the log waits for them.
            TGarbageCollector::start(*db, QStringLiteral("LOG"));
        } catch (const EDatabaseError&) {
            // The transaction has been rolled back.
        }
    }
    if (!cleared) {
        Platform::showError(QStringLiteral("Unable to open Log Table Exclusively."));
        sqlLog->open();
        return;
    }
    accept();
}

void ViewLog(QWidget* owner, const QString& alias)
{
    TfrmViewLog dialog(owner);
    dialog.sqlUsers->setDatabaseName(alias);
    dialog.sqlAccess->setDatabaseName(alias);
    dialog.sqlLog->setDatabaseName(alias);
    dialog.FormShow();
    dialog.exec();
}
