#include "desktop/TFormAuditTrail.h"

#include "database/EDatabaseError.h"
#include "database/TAuditTrail.h"
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "desktop/TAuditQuery.h"
#include "platform/MessageBox.h"
#include "platform/RegionalSettings.h"
#include "widgets/TDateEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

TFormAuditTrail* FormAuditTrail = nullptr;

namespace {
// The busy cursor for as long as a scope runs.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

const QString kAllUsers = QStringLiteral("(all users)");
const QString kAllKinds = QStringLiteral("(all kinds)");
} // namespace

TFormAuditTrail::TFormAuditTrail(QWidget* owner) : QDialog(owner)
{
    FormAuditTrail = this;
    setObjectName(QStringLiteral("FormAuditTrail"));
    setWindowTitle(QStringLiteral("View Audit Trail"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setSizeGripEnabled(true);

    sqlAudit = new TAuditQuery(this);
    connect(sqlAudit, &TAuditQuery::readFailed, this, [](const QString& text) { Platform::showError(text); });
    // A gap found in the numbers counts the trail again.
    connect(sqlAudit, &QAbstractItemModel::modelReset, this, [this] { showCount(); });
    // Events found by the search of a filter that is not counted first.
    connect(sqlAudit, &TAuditQuery::searched, this, [this] { showCount(); });

    ckbxDates = new QCheckBox(QStringLiteral("&Days from"), this);
    ckbxDates->setObjectName(QStringLiteral("ckbxDates"));
    dedFrom = new TDateEdit(this);
    dedFrom->setObjectName(QStringLiteral("dedFrom"));
    dedTo = new TDateEdit(this);
    dedTo->setObjectName(QStringLiteral("dedTo"));
    for (TDateEdit* edit : {dedFrom, dedTo}) {
        edit->setEnabled(false);
        edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) +
                            edit->sizeHint().height() + 12);
        // A first day after the last moves the other end with it, as a range of no
        // days would show "0 events" without a word of why.
        connect(edit, &TDateEdit::OnDateChange, this, [this, edit] {
            TDateEdit* other = edit == dedFrom ? dedTo : dedFrom;
            const QDate first = dedFrom->date(), last = dedTo->date();
            if (first.isValid() && last.isValid() && first > last) {
                const QSignalBlocker quiet(other);
                other->setDate(edit->date());
            }
            if (ckbxDates->isChecked())
                applyFilter();
        });
    }
    auto* lblTo = new QLabel(QStringLiteral("&to"), this);
    lblTo->setBuddy(dedTo);
    connect(ckbxDates, &QCheckBox::toggled, this, [this](bool on) {
        dedFrom->setEnabled(on);
        dedTo->setEnabled(on);
        applyFilter();
    });

    // Any name may be typed: the trail keeps the names of users deleted since.
    cbUser = new QComboBox(this);
    cbUser->setObjectName(QStringLiteral("cbUser"));
    cbUser->setEditable(true);
    cbUser->setInsertPolicy(QComboBox::NoInsert);
    cbUser->setMinimumContentsLength(14);
    connect(cbUser, &QComboBox::activated, this, &TFormAuditTrail::applyFilter);
    connect(cbUser->lineEdit(), &QLineEdit::editingFinished, this, &TFormAuditTrail::applyFilter);
    auto* lblUser = new QLabel(QStringLiteral("&User:"), this);
    lblUser->setBuddy(cbUser);

    cbKind = new QComboBox(this);
    cbKind->setObjectName(QStringLiteral("cbKind"));
    cbKind->addItem(kAllKinds);
    for (const QString& kind : TAuditTrail::kinds())
        cbKind->addItem(kind, kind);
    cbKind->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(cbKind, &QComboBox::currentIndexChanged, this, &TFormAuditTrail::applyFilter);
    auto* lblKind = new QLabel(QStringLiteral("&Kind:"), this);
    lblKind->setBuddy(cbKind);

    edObject = new QLineEdit(this);
    edObject->setObjectName(QStringLiteral("edObject"));
    edObject->setClearButtonEnabled(true);
    edObject->setPlaceholderText(QStringLiteral("part of a name"));
    connect(edObject, &QLineEdit::editingFinished, this, &TFormAuditTrail::applyFilter);
    auto* lblObject = new QLabel(QStringLiteral("&Object:"), this);
    lblObject->setBuddy(edObject);

    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));

    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setModel(sqlAudit);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setWordWrap(false);
    // Tab leaves the grid for the next control; the arrows move within it.
    DBGrid1->setTabKeyNavigation(false);
    DBGrid1->horizontalHeader()->setHighlightSections(false);
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    DBGrid1->verticalHeader()->setVisible(false);
    DBGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 4);
    DBGrid1->installEventFilter(this);
    // Dragging the thumb across a million events reads only where it is let go.
    connect(DBGrid1->verticalScrollBar(), &QScrollBar::sliderPressed, this,
            [this] { sqlAudit->setFetchDeferred(true); });
    connect(DBGrid1->verticalScrollBar(), &QScrollBar::sliderReleased, this,
            [this] { sqlAudit->setFetchDeferred(false); });
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TFormAuditTrail::showCurrentEvent);
    memEvent = new QPlainTextEdit(this);
    memEvent->setObjectName(QStringLiteral("memEvent"));
    memEvent->setReadOnly(true);
    memEvent->setTabChangesFocus(true);
    memEvent->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(DBGrid1);
    split->addWidget(memEvent);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 1);
    split->setChildrenCollapsible(false);

    btnVerify = new QPushButton(QStringLiteral("&Verify"), this);
    btnVerify->setObjectName(QStringLiteral("btnVerify"));
    connect(btnVerify, &QPushButton::clicked, this, &TFormAuditTrail::btnVerifyClick);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    // Enter in a filter field applies it: no button takes Enter from the fields.
    for (QPushButton* button : {btnVerify, OKBtn})
        button->setAutoDefault(false);

    auto* filters = new QHBoxLayout;
    filters->addWidget(ckbxDates);
    filters->addWidget(dedFrom);
    filters->addWidget(lblTo);
    filters->addWidget(dedTo);
    filters->addSpacing(8);
    filters->addWidget(lblUser);
    filters->addWidget(cbUser);
    filters->addSpacing(8);
    filters->addWidget(lblKind);
    filters->addWidget(cbKind);
    filters->addSpacing(8);
    filters->addWidget(lblObject);
    filters->addWidget(edObject, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lblCount);
    buttons->addStretch();
    buttons->addWidget(btnVerify);
    buttons->addWidget(OKBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);
    const QList<QWidget*> order {ckbxDates, dedFrom, dedTo,    cbUser,    cbKind,
                                 edObject,  DBGrid1, memEvent, btnVerify, OKBtn};
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));

    int width = 24;
    for (int c = 0; c < TAuditQuery::ColumnCount; ++c)
        width += columnWidth(c);
    QSize size(std::max(width, layout->minimumSize().width()), 560);
    if (const QScreen* screen = this->screen()) {
        size = size.boundedTo(screen->availableGeometry().size());
        resize(size);
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    } else {
        resize(size);
    }
    DBGrid1->setFocus();
}

// Wide enough for a date with its time, the longest kind, and names of usual length;
// the details take the rest.
int TFormAuditTrail::columnWidth(int column) const
{
    const QFontMetrics cells(DBGrid1->font());
    const auto chars = [&cells](int n) { return n * cells.horizontalAdvance(QLatin1Char('0')) + 16; };
    switch (column) {
    case TAuditQuery::ColEvent:
        return chars(8);
    case TAuditQuery::ColTime:
        return cells.horizontalAdvance(Platform::widestDateTime(Platform::regionalSettings())) + 16;
    case TAuditQuery::ColLogin:
        return chars(18);
    case TAuditQuery::ColKind:
        return cells.horizontalAdvance(QStringLiteral("PasswordChangeRefused")) + 16;
    case TAuditQuery::ColObject:
        return chars(16);
    case TAuditQuery::ColDetails:
        return chars(30);
    default:
        return chars(12);
    }
}

TFormAuditTrail::~TFormAuditTrail()
{
    FormHide();
    if (FormAuditTrail == this)
        FormAuditTrail = nullptr;
}

void TFormAuditTrail::setDatabaseName(const QString& name) { sqlAudit->setDatabaseName(name); }

void TFormAuditTrail::FormShow()
{
    sqlAudit->open();
    // The grid has its columns once the trail is open.
    for (int c = 0; c < TAuditQuery::ColumnCount; ++c)
        DBGrid1->setColumnWidth(c, columnWidth(c));
    fillFilterLists();
    showCount();
    showRow(0);
}

void TFormAuditTrail::FormHide() { sqlAudit->close(); }

void TFormAuditTrail::hideEvent(QHideEvent* event)
{
    FormHide();
    QDialog::hideEvent(event);
}

// The users of the database and the supervisor; the days start as the whole trail.
void TFormAuditTrail::fillFilterLists()
{
    QStringList names;
    TQuery users;
    users.setDatabaseName(sqlAudit->databaseName());
    users.setSQL(QStringLiteral("select USER_NAME from USERS"));
    users.open();
    for (int r = 0; r < users.totalRowCount(); ++r)
        names << users.rowValue(r, 0).toString().trimmed();
    users.close();
    names << QStringLiteral("SUPERVISOR");
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseInsensitive) < 0; });
    {
        const QSignalBlocker quiet(cbUser);
        cbUser->clear();
        cbUser->addItem(kAllUsers);
        cbUser->addItems(names);
        cbUser->setCurrentIndex(0);
    }
    const QSignalBlocker quietFrom(dedFrom);
    const QSignalBlocker quietTo(dedTo);
    const QDate today = QDate::currentDate();
    dedFrom->setDate(sqlAudit->firstDay().isValid() ? sqlAudit->firstDay() : today);
    dedTo->setDate(sqlAudit->lastDay().isValid() ? sqlAudit->lastDay() : today);
}

void TFormAuditTrail::applyFilter()
{
    TAuditFilter filter;
    if (ckbxDates->isChecked()) {
        filter.from = dedFrom->date();
        filter.to = dedTo->date();
    }
    const QString user = cbUser->currentText().trimmed();
    if (user != kAllUsers)
        filter.securityUser = user;
    filter.kind = cbKind->currentData().toString();
    filter.object = edObject->text().trimmed();
    if (!sqlAudit->active() || filter == sqlAudit->filter())
        return;
    {
        const WaitCursor wait;
        try {
            sqlAudit->setFilter(filter);
        } catch (const EDatabaseError& e) {
            Platform::showError(e.message());
        }
    }
    showCount();
    showRow(0);
}

// Ctrl+End on events not all found yet finds the rest first, so it reaches the oldest.
bool TFormAuditTrail::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == DBGrid1 && event->type() == QEvent::KeyPress && !sqlAudit->complete()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_End && key->modifiers().testFlag(Qt::ControlModifier)) {
            const WaitCursor wait;
            try {
                sqlAudit->fetchAll();
            } catch (const EDatabaseError& e) {
                Platform::showError(e.message());
                return true;
            }
            showCount();
        }
    }
    return QDialog::eventFilter(watched, event);
}

// The count, and a busy cursor over the grid while the search goes on.
void TFormAuditTrail::showCount()
{
    if (sqlAudit->canFetchMore(QModelIndex()))
        DBGrid1->viewport()->setCursor(Qt::BusyCursor);
    else
        DBGrid1->viewport()->unsetCursor();
    const int n = sqlAudit->rowCount();
    if (!sqlAudit->complete()) {
        lblCount->setText(QStringLiteral("at least %1 events").arg(n));
        return;
    }
    lblCount->setText(n == 1 ? QStringLiteral("1 event") : QStringLiteral("%1 events").arg(n));
}

// The row becomes the current one, so the keys move from it.
void TFormAuditTrail::showRow(int row)
{
    if (row >= 0 && row < sqlAudit->rowCount()) {
        DBGrid1->setCurrentIndex(sqlAudit->index(row, 0));
        DBGrid1->scrollTo(sqlAudit->index(row, 0), QAbstractItemView::PositionAtCenter);
    } else {
        DBGrid1->scrollToTop();
    }
    showCurrentEvent();
}

void TFormAuditTrail::showCurrentEvent()
{
    const TAuditEvent* event = sqlAudit->eventAt(DBGrid1->currentIndex().row());
    memEvent->setPlainText(event ? TAuditQuery::describe(*event) : QString());
}

void TFormAuditTrail::btnVerifyClick()
{
    TAuditTrail::Verdict verdict;
    {
        const WaitCursor wait;
        try {
            verdict = TAuditTrail::verify(*TDatabase::connectionFor(sqlAudit->databaseName()));
        } catch (const EDatabaseError& e) {
            Platform::showError(e.message());
            return;
        }
    }
    if (verdict.firstBroken == 0) {
        Platform::showInformation(QStringLiteral("The audit trail is intact (%1 events).").arg(verdict.events));
        return;
    }
    // The broken event, when the filter lets it through, becomes the current row, the
    // search reading on to it first.
    try {
        const WaitCursor wait;
        const int row = sqlAudit->rowOfEvent(verdict.firstBroken);
        if (row >= 0)
            showRow(row);
    } catch (const EDatabaseError&) { }
    showCount();
    Platform::showError(
        QStringLiteral("The audit trail is broken at event #%1: %2").arg(verdict.firstBroken).arg(verdict.problem));
}

void ViewAuditTrail(QWidget* owner, const QString& alias)
{
    if (!TAuditTrail::present(*TDatabase::connectionFor(alias))) {
        Platform::showInformation(QStringLiteral("Auditing is off: this security database has no audit trail. "
                                                 "\"jovsecadm upgrade\" adds it."));
        return;
    }
    TFormAuditTrail dialog(owner);
    dialog.setDatabaseName(alias);
    dialog.FormShow();
    dialog.exec();
}
