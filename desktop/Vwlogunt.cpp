#include "desktop/Vwlogunt.h"

#include "database/EDatabaseError.h"
#include "database/TDatabase.h"
#include "database/TFirebirdEnv.h"
#include "database/TLogSlices.h"
#include "database/TQuery.h"
#include "desktop/TLogQuery.h"
#include "platform/MessageBox.h"
#include "platform/RegionalSettings.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QScreen>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QThreadPool>
#include <QVBoxLayout>

TfrmViewLog* frmViewLog = nullptr;

TfrmViewLog::TfrmViewLog(QWidget* owner) : QDialog(owner)
{
    frmViewLog = this;
    setObjectName(QStringLiteral("frmViewLog"));
    setWindowTitle(QStringLiteral("View Log"));

    sqlUsers = new TQuery(this);
    sqlUsers->setObjectName(QStringLiteral("sqlUsers"));
    sqlUsers->setSQL(QStringLiteral("Select * from Users order by User_Id"));
    sqlAccess = new TQuery(this);
    sqlAccess->setObjectName(QStringLiteral("sqlAccess"));
    sqlAccess->setSQL(QStringLiteral("select * from access order by access_id"));
    sqlLog = new TLogQuery(this);
    sqlLog->setLookups(sqlUsers, sqlAccess);

    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setModel(sqlLog);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setShowGrid(true);
    DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    DBGrid1->horizontalHeader()->setHighlightSections(false);
    DBGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 4);
    DBGrid1->verticalHeader()->setFixedWidth(14);
    DBGrid1->setWordWrap(false);
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { sqlLog->setIndicatorRow(current.row()); });

    btnClearLog = new QPushButton(QStringLiteral("&Clear Log"), this);
    btnClearLog->setObjectName(QStringLiteral("btnClearLog"));
    btnClearLog->setAutoDefault(false);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    connect(btnClearLog, &QPushButton::clicked, this, &TfrmViewLog::btnClearLogClick);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnClearLog);
    buttons->addWidget(OKBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(DBGrid1);
    layout->addLayout(buttons);

    int gridWidth = DBGrid1->verticalHeader()->width() + 24;
    for (int c = 0; c < TLogQuery::ColumnCount; ++c)
        gridWidth += columnWidth(c);
    setFixedSize(gridWidth + 24, 380);
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    OKBtn->setFocus();
}

// A column is as wide as its display width in characters, and never narrower than its
// title; the date column holds any date-time whole.
int TfrmViewLog::columnWidth(int column) const
{
    const QFontMetrics cells(DBGrid1->font());
    const QFontMetrics titles(DBGrid1->horizontalHeader()->font());
    const QString title = sqlLog->headerData(column, Qt::Horizontal).toString();
    int width = std::max(TLogQuery::displayWidth(column) * cells.horizontalAdvance(QLatin1Char('0')),
                         titles.horizontalAdvance(title));
    if (column == TLogQuery::ColAccessDate)
        width = std::max(width, cells.horizontalAdvance(Platform::widestDateTime(Platform::regionalSettings())));
    return width + 16;
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
    for (int c = 0; c < TLogQuery::ColumnCount; ++c)
        DBGrid1->setColumnWidth(c, columnWidth(c));
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

namespace {
// The deleted rows' old versions are removed in the background on a connection of
// its own, so that neither this program nor the next that reads the log waits for it.
void collectLogGarbage(const QSqlDatabase& connection)
{
    const QString location = connection.databaseName();
    const QString user = connection.userName();
    const QString password = connection.password();
    QThreadPool::globalInstance()->start(
        [=] { TFirebirdEnv::collectGarbage(location, user, password, QStringLiteral("LOG"), nullptr); });
}
} // namespace

void TfrmViewLog::btnClearLogClick()
{
    if (!Platform::askYesNo(QStringLiteral("Are you sure you want to clear the Log?")))
        return;
    // The grid's select holds a transaction of its own; end it before the delete.
    sqlLog->close();
    TDatabase* db = nullptr;
    bool cleared = false;
    try {
        db = TDatabase::connectionFor(sqlLog->databaseName());
        db->startTransaction();
        // Prepared after the transaction began, so the deletes run inside it; a log row
        // another program holds is waited for only as long as the lock timeout.
        const auto run = [db](const QString& sql, QVariantList* row) {
            db->performWaiting([&] {
                QSqlQuery q(db->sqlDatabase());
                const bool done = q.exec(sql);
                const QString error = q.lastError().text();
                if (done && row && q.next())
                    *row = {q.value(0), q.value(1)};
                q.clear();
                if (!done)
                    throw EDatabaseError(error);
            });
        };
        QVariantList keys;
        run(QStringLiteral("select min(LOGCOUNT), max(LOGCOUNT) from LOG"), &keys);
        const qint64 first = keys.value(0).isNull() ? 0 : keys.value(0).toLongLong();
        const qint64 last = keys.value(1).isNull() ? -1 : keys.value(1).toLongLong();
        TLogSlices::forEach(
            first, last, [&](const QString& slice) { run(QStringLiteral("delete from LOG where ") + slice, nullptr); });
        db->commit();
        cleared = true;
        collectLogGarbage(db->sqlDatabase());
    } catch (const EDatabaseError&) {
        if (db && db->inTransaction()) {
            try {
                db->rollback();
            } catch (const EDatabaseError&) { }
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
