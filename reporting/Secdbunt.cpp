#include "reporting/Secdbunt.h"

#include "database/EDatabaseError.h"
#include "database/TQuery.h"
#include "desktop/Usgdlunt.h"
#include "platform/MessageBox.h"
#include "platform/RegionalSettings.h"
#include "reporting/Frmgennav.h"
#include "reporting/Frmgenwn.h"
#include "reporting/PrintSetup.h"
#include "reporting/Rptdsgn.h"
#include "reporting/TReportDesignStore.h"

#include <QCloseEvent>
#include <algorithm>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QToolButton>
#include <QVBoxLayout>
#include "widgets/Dateedit.h"

TFormSecDB* FormSecDB = nullptr;

namespace {

TFormSecDB::RangeDialog& rangeDialog()
{
    static TFormSecDB::RangeDialog dialog;
    return dialog;
}

struct FieldDef {
    const char* name;
    const char* label; // null: the column name
    int width;
    Qt::Alignment alignment;
};

constexpr Qt::Alignment L = Qt::AlignLeft;
constexpr Qt::Alignment C = Qt::AlignHCenter;
constexpr Qt::Alignment R = Qt::AlignRight;

const FieldDef accessFields[] = {{"Access_ID", "ID", 10, C}, {"Access_Name", "Name", 20, L}};
const FieldDef groupFields[] = {{"Group_ID", "Group ID", 10, C},
                                {"Group_Name", "Group Name", 20, L},
                                {"Access_ID", "Access ID", 10, C},
                                {"Access_Name", "Access Name", 20, L}};
const FieldDef logFields[] = {{"LOGCOUNT", "Log Entry", 10, R}, {"ACCESS_DATE", "Date", 10, L},
                              {"UserName", "User Name", 20, L}, {"AccessName", "Access Name", 20, L},
                              {"USER_ID", "User_Id", 10, R},    {"ACCESS_ID", "Access_Id", 10, R}};
const FieldDef userFields[] = {
    {"User_ID", "ID", 10, C},
    {"User_Name", "Name", 16, L},
    {"User_Password", "Password", 15, L},
    {"User_Def1", "Field 1", 10, L},
    {"User_Def2", "Field 2", 10, L},
    {"User_LastAccess", "LastAccess", 14, L},
    {"User_AccessCount", "Count", 10, R},
    {"USER_ENABLED", "Enabled", 10, C},
    {"USER_ADMIN", "Admin", 10, C},
    {"enabledyesno", "Enabled", 10, C},
    {"adminyesno", "Admin", 10, C},
    {"PasswordAging", "Password Aging", 15, C},
    {"AcctLocked", "Acct. Locked", 15, C},
    {"AcctLockingEnabled", "Acct. Locking", 15, C},
    {"AllowPasswordChanging", "pw. Change Allowed", 15, C},
    {"PasswordNeverExpires", "pw. Never Expires", 15, C},
    {"PWAGING", nullptr, 10, R},
    {"ACCTLOCKING", nullptr, 10, R},
    {"LOCKED", nullptr, 10, R},
    {"PWSETDATE", "pw. Set Date", 10, R},
    {"PWMAXDAYS", "pw. Expire Days ", 10, C},
    {"PWMINDAYS", "pw. Min. Days", 10, C},
    {"PWMINSIZE", "pw. Min. Size", 10, C},
    {"PWNEVEREXPIRES", nullptr, 10, C},
    {"PWNOCHANGE", nullptr, 10, C},
};
const FieldDef userAccFields[] = {{"User_ID", "User ID", 14, C},
                                  {"User_Name", "User Name", 24, L},
                                  {"User_ID_1", "User_ID_1", 10, R},
                                  {"Access_ID", "Access_ID", 10, R},
                                  {"Type", "Type", 7, C},
                                  {"Access_Label", "Access Label", 30, L}};

const QStringList groupsSql {QStringLiteral("SELECT Groups.Group_ID, Groups.Group_Name,"),
                             QStringLiteral("Access.Access_ID, Access.Access_Name,"),
                             QStringLiteral("GrpColl.Group_ID, GrpColl.Access_ID"),
                             QStringLiteral("  FROM Groups, Access, GrpColl"),
                             QStringLiteral("  WHERE (GrpColl.Group_ID=Groups.Group_ID) AND"),
                             QStringLiteral("        (GrpColl.Access_ID=Access.Access_ID)"),
                             QStringLiteral("  ORDER BY UPPER(Groups.Group_Name), Groups.Group_Name,"),
                             QStringLiteral("           UPPER(Access.Access_Name), Access.Access_Name")};
// Names sort without regard to letter case, as the editor's lists do.
const QString accessSql = QStringLiteral("SELECT * FROM ACCESS ORDER BY UPPER(ACCESS_NAME), ACCESS_NAME");
const QString logSql =
    QStringLiteral("Select * from Log Where Log.Access_Date>=:AccessStartDate and Log.Access_Date<=:AccessEndDate "
                   "Order by User_ID, Access_Date");
const QString usersSql =
    QStringLiteral("Select * From Users, PWHist Where Users.User_ID=PWHist.User_ID Order By Users.User_ID");

QString yesNo(bool yes) { return yes ? QStringLiteral("Yes") : QStringLiteral("No"); }

// Finds a row of a look-up query by one column, without regard to case and only on
// whole values, and gives another column of it; found tells whether there was one.
QString lookup(TQuery* q, const QString& keyColumn, const QString& key, const QString& wanted, bool& found)
{
    QString doubled = key;
    doubled.replace(QLatin1Char('\''), QStringLiteral("''"));
    q->setFilter(keyColumn + QStringLiteral("='") + doubled + QLatin1Char('\''));
    q->setFiltered(true);
    found = q->findFirst();
    const QString value = found ? q->fieldByName(wanted)->asString() : QString();
    q->setFiltered(false);
    return value;
}

// Runs a command of the window's buttons. An engine error that the command does
// not catch is shown with the engine's text, as the desktop shows its own, and the
// program goes on: no exception may leave a slot of the toolkit.
void guarded(const std::function<void()>& command)
{
    try {
        command();
    } catch (const EDatabaseError& e) {
        Platform::showError(e.message());
    } catch (const std::exception& e) {
        Platform::showError(QString::fromLocal8Bit(e.what()));
    }
}

QIcon glyph(int kind)
{
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(3, 1, 12, 17);
    for (int y = 5; y < 16; y += 3)
        p.drawLine(5, y, 13, y);
    if (kind == 0) { // preview: a magnifier
        p.setBrush(QColor(180, 220, 255));
        p.drawEllipse(8, 8, 8, 8);
        p.setPen(QPen(Qt::black, 2));
        p.drawLine(15, 15, 19, 19);
    } else if (kind == 1) { // modify: a pencil
        p.setPen(QPen(QColor(200, 120, 0), 3));
        p.drawLine(8, 18, 18, 8);
    } else { // PDF: a red band
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 0, 0));
        p.drawRect(6, 11, 13, 7);
        p.setPen(Qt::white);
        QFont f = p.font();
        f.setPixelSize(6);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRect(6, 11, 13, 7), Qt::AlignCenter, QStringLiteral("PDF"));
    }
    return QIcon(pixmap);
}

} // namespace

void TFormSecDB::setUsageRangeDialog(RangeDialog dialog) { rangeDialog() = std::move(dialog); }

bool TFormSecDB::askUsageRange(QWidget* owner, QDate& start, QDate& end)
{
    if (rangeDialog())
        return rangeDialog()(owner, start, end);
    TFrmUsageDlg dialog(owner);
    FrmUsageDlg = &dialog;
    if (start.isValid())
        dialog.dedStart->setDate(start);
    if (end.isValid())
        dialog.dedEnd->setDate(end);
    const bool ok = dialog.exec() == QDialog::Accepted;
    FrmUsageDlg = nullptr;
    if (ok) {
        start = dialog.dedStart->date();
        end = dialog.dedEnd->date();
    }
    return ok;
}

TFormSecDB::TFormSecDB(QWidget* owner) : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("FormSecDB"));
    setWindowTitle(QStringLiteral("Reporting"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    createControls();
    createQueries();
    createReports();
    resize(820, 600);
}

TFormSecDB::~TFormSecDB()
{
    if (qryReport->active())
        qryReport->close();
    if (FormSecDB == this)
        FormSecDB = nullptr;
    if (onDestroyed)
        onDestroyed();
}

void TFormSecDB::createControls()
{
    pnlTopArea = new QFrame(this);
    pnlTopArea->setObjectName(QStringLiteral("pnlTopArea"));
    pnlTopArea->setFrameStyle(QFrame::Panel | QFrame::Raised);
    // 51 high at the least; the navigator's row below the report's row may need more.
    pnlTopArea->setMinimumHeight(51);
    pnlTopArea->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    lblReport = new QLabel(QStringLiteral("Report:"), pnlTopArea);
    lblReport->setObjectName(QStringLiteral("lblReport"));
    cmboxReportType = new QComboBox(pnlTopArea);
    cmboxReportType->setObjectName(QStringLiteral("cmboxReportType"));
    cmboxReportType->addItems({QStringLiteral("Access Constants"), QStringLiteral("Groups"), QStringLiteral("Usage"),
                               QStringLiteral("Users"), QStringLiteral("Users (w/ Access)")});
    cmboxReportType->setCurrentIndex(-1);
    cmboxReportType->setMinimumWidth(160);
    lblReport->setBuddy(cmboxReportType);
    const auto tool = [this](const QString& name, const QString& hint, int kind) {
        auto* b = new QToolButton(pnlTopArea);
        b->setObjectName(name);
        b->setToolTip(hint);
        b->setIcon(glyph(kind));
        b->setIconSize(QSize(20, 20));
        b->setAutoRaise(true);
        return b;
    };
    spbtnExecute = tool(QStringLiteral("spbtnExecute"), QStringLiteral("Preview Report"), 0);
    spbtnDesign = tool(QStringLiteral("spbtnDesign"), QStringLiteral("Modify Report"), 1);
    spbtnSavePdf = tool(QStringLiteral("spbtnSavePdf"), QStringLiteral("Save as PDF"), 2);
    connect(spbtnExecute, &QToolButton::clicked, this,
            [this] { guarded([this] { spbtnExecuteClick(spbtnExecute); }); });
    connect(spbtnDesign, &QToolButton::clicked, this, [this] { guarded([this] { spbtnExecuteClick(spbtnDesign); }); });
    connect(spbtnSavePdf, &QToolButton::clicked, this, [this] { guarded([this] { SaveAsPdfClick(); }); });

    fgwMain = new TFormGenWin(this);
    fgwMain->setObjectName(QStringLiteral("fgwMain"));
    fgwMain->setAlignment(Qt::AlignLeft);
    fgwMain->setOptions(foShowDialog);
    fgwMain->setLineWidth(4);

    fgnReport = new TFormGenNav(pnlTopArea);
    fgnReport->setObjectName(QStringLiteral("fgnReport"));
    fgnReport->setVisibleButtons(visBtn(nbZoom) | visBtn(nbPrint) | visBtn(nbPrevPage) | visBtn(nbNextPage) |
                                 visBtn(nbClear) | visBtn(nbPrintDialog) | visBtn(nbFirstPage) | visBtn(nbLastPage) |
                                 visBtn(nbPageBox));
    // The stored hints name the visible buttons; the hidden build button has none.
    fgnReport->setHints({QString(), QStringLiteral("Print"), QStringLiteral("Previous Page"),
                         QStringLiteral("Next Page"), QStringLiteral("Clear"), QStringLiteral("Zoom")});
    fgnReport->setFormComponent(fgwMain);
    fgnReport->setFixedSize(fgnReport->sizeHint());

    // The report's row, and below it the navigator's, so that a narrow window shows
    // every control.
    auto* rows = new QVBoxLayout(pnlTopArea);
    rows->setContentsMargins(4, 2, 4, 2);
    rows->setSpacing(2);
    auto* row = new QHBoxLayout;
    row->addWidget(lblReport);
    row->addWidget(cmboxReportType);
    row->addWidget(spbtnExecute);
    row->addWidget(spbtnDesign);
    row->addStretch();
    auto* navRow = new QHBoxLayout;
    navRow->addWidget(fgnReport);
    navRow->addWidget(spbtnSavePdf);
    navRow->addStretch();
    rows->addLayout(row);
    rows->addLayout(navRow);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(pnlTopArea);
    layout->addWidget(fgwMain, 1);
}

void TFormSecDB::createQueries()
{
    const auto query = [this](const char* name, const QStringList& sql) {
        auto* q = new TQuery(this);
        q->setObjectName(QString::fromLatin1(name));
        q->setSQL(sql);
        return q;
    };
    QryAccess = query("QryAccess", {accessSql});
    qryGroups = query("qryGroups", groupsSql);
    sqlLog = query("sqlLog", {QStringLiteral("select * from log")});
    sqlUsers = query("sqlUsers", {QStringLiteral("select * from Users order by User_ID")});
    sqlAccess = query("sqlAccess", {QStringLiteral("select * from Access order by Access_ID")});
    qryReport = query("qryReport", {usersSql});
    qryUserAcc =
        query("qryUserAcc", {QStringLiteral("Select * From Users, UserAcc Where Users.User_ID=UserAcc.User_ID"),
                             QStringLiteral("  Order By UPPER(Users.User_Name), Users.User_Name, Type")});
    sqlGroupsTable = query("sqlGroupsTable", {QStringLiteral("select * from groups Order by Group_ID")});
    sqlUserAccTable = query("sqlUserAccTable", {QStringLiteral("Select * from USERACC order by User_Id")});

    sqlLog->addCalculatedField(QStringLiteral("UserName"), 48);
    sqlLog->addCalculatedField(QStringLiteral("AccessName"), 20);
    sqlLog->setOnCalcFields([this](TQuery& q) { sqlLogCalcFields(q); });
    qryReport->addCalculatedField(QStringLiteral("enabledyesno"), 3);
    qryReport->addCalculatedField(QStringLiteral("adminyesno"), 3);
    for (const char* name :
         {"PasswordAging", "AcctLocked", "AcctLockingEnabled", "AllowPasswordChanging", "PasswordNeverExpires"})
        qryReport->addCalculatedField(QString::fromLatin1(name), 20);
    qryReport->setOnCalcFields([this](TQuery& q) { qryReportCalcFields(q); });
    qryUserAcc->addCalculatedField(QStringLiteral("Access_Label"), 30);
    qryUserAcc->setOnCalcFields([this](TQuery& q) { qryUserAccCalcFields(q); });
}

namespace {
// The described design of each report, by its item index.
struct DefaultDesign {
    const char* name;
    const char* title;
    bool centred;
    TPageNumStyle pageNum;
    TDatePosition date;
    QStringList fields;
};

const DefaultDesign& defaultDesign(int index)
{
    static const DefaultDesign designs[] = {
        {"rdAccess",
         "Access Constants Report",
         false,
         pnsBottomCenter,
         dpCenter,
         {QStringLiteral("Access_ID"), QStringLiteral("Access_Name")}},
        {"rdGroups",
         "Groups Report",
         false,
         pnsNone,
         dpCenter,
         {QStringLiteral("Group_ID"), QStringLiteral("Group_Name"), QStringLiteral("Access_ID"),
          QStringLiteral("Access_Name")}},
        {"rdUsage",
         "Usage Report",
         true,
         pnsBottomCenter,
         dpLeft,
         {QStringLiteral("LogCount"), QStringLiteral("Access_Date"), QStringLiteral("UserName"),
          QStringLiteral("AccessName")}},
        {"rdUsers",
         "User Report",
         true,
         pnsBottomCenter,
         dpLeft,
         {QStringLiteral("User_ID"), QStringLiteral("User_Name"), QStringLiteral("User_Def1"),
          QStringLiteral("User_Def2"), QStringLiteral("User_LastAccess"), QStringLiteral("User_AccessCount"),
          QStringLiteral("enabledyesno"), QStringLiteral("adminyesno"), QStringLiteral("AcctLockingEnabled"),
          QStringLiteral("AcctLocked")}},
        {"rdUserAcc",
         "User Access Report",
         true,
         pnsBottomCenter,
         dpRight,
         {QStringLiteral("User_ID"), QStringLiteral("User_Name"), QStringLiteral("Type"),
          QStringLiteral("Access_Label")}},
    };
    return designs[index];
}
} // namespace

void TFormSecDB::createReports()
{
    TReportDesign** members[] = {&rdAccess, &rdGroups, &rdUsage, &rdUsers, &rdUserAcc};
    TQuery* data[] = {QryAccess, qryGroups, sqlLog, qryReport, qryUserAcc};
    for (int i = 0; i < 5; ++i) {
        auto* r = new TReportDesign(this);
        r->setObjectName(QString::fromLatin1(defaultDesign(i).name));
        r->setDataSet(data[i]);
        r->setFormComponent(fgwMain);
        *members[i] = r;
        applyDefaultDesign(i);
    }
}

void TFormSecDB::applyDefaultDesign(int index)
{
    const DefaultDesign& d = defaultDesign(index);
    TReportDesign* r = report(index);
    r->setTitle(QString::fromLatin1(d.title));
    r->setSubTitle(QString());
    r->setTitleCentered(d.centred);
    r->setPageNumLocation(d.pageNum);
    r->setPageNumLabel(QString());
    r->setDatePosition(d.date);
    r->setFields(d.fields);
    r->setBodyFont(TFont(QStringLiteral("Arial"), 12));
    r->setHeadingFont(TFont(QStringLiteral("Arial"), 12, true));
    r->setTitleFont(TFont(QStringLiteral("Arial"), 14, true));
    r->setSubTitleFont(TFont(QStringLiteral("Arial"), 12, true, true));
    r->setPortrait(false);
    r->setDividerStyle(dvsSolid);
    r->setPageSizeIndex(0);
    r->setDateFormat(QStringLiteral("ddddd"));
}

TReportDesign* TFormSecDB::report(int index) const
{
    switch (index) {
    case 0:
        return rdAccess;
    case 1:
        return rdGroups;
    case 2:
        return rdUsage;
    case 3:
        return rdUsers;
    case 4:
        return rdUserAcc;
    default:
        return nullptr;
    }
}

void TFormSecDB::ApplyAlias()
{
    setWindowTitle(QStringLiteral("Security in ") + AliasName);
    qryReport->setDatabaseName(AliasName);
}

void TFormSecDB::defineFields(TQuery* q, bool again)
{
    if (!again && q->property("jovsecFieldsDefined").toBool())
        return;
    const FieldDef* begin = nullptr;
    const FieldDef* end = nullptr;
    const auto use = [&](const auto& table) {
        begin = std::begin(table);
        end = std::end(table);
    };
    if (q == QryAccess)
        use(accessFields);
    else if (q == qryGroups)
        use(groupFields);
    else if (q == sqlLog)
        use(logFields);
    else if (q == qryReport)
        use(userFields);
    else if (q == qryUserAcc)
        use(userAccFields);
    // Every field gets its described heading, width and alignment; one the reports
    // describe no heading for gets a readable one, so a field added in the designer
    // is headed in words rather than by its column name.
    for (const QString& name : q->fieldNames()) {
        TField* f = q->findField(name);
        const FieldDef* d = std::find_if(begin, end, [&name](const FieldDef& def) {
            return name.compare(QLatin1String(def.name), Qt::CaseInsensitive) == 0;
        });
        const bool described = d != end;
        f->setDisplayLabel(described && d->label ? QString::fromLatin1(d->label)
                                                 : TReportDesign::readableHeading(name));
        f->setDisplayWidth(described ? d->width : -1);
        f->setAlignment(described ? d->alignment : Qt::Alignment());
    }
    q->setProperty("jovsecFieldsDefined", true);
}

bool TFormSecDB::openReportData(int index)
{
    for (TQuery* q :
         {QryAccess, qryGroups, sqlLog, sqlUsers, sqlAccess, qryReport, qryUserAcc, sqlGroupsTable, sqlUserAccTable})
        q->setDatabaseName(AliasName);
    switch (index) {
    case 0:
        QryAccess->setSQL(accessSql);
        QryAccess->open();
        defineFields(QryAccess);
        break;
    case 1:
        qryGroups->setSQL(groupsSql);
        qryGroups->open();
        defineFields(qryGroups);
        break;
    case 2: {
        // The range offered first is the log's own: its first and last day.
        TQuery span;
        span.setDatabaseName(AliasName);
        span.setSQL(QStringLiteral("select min(ACCESS_DATE) as FIRST_DAY, max(ACCESS_DATE) as LAST_DAY from LOG"));
        span.open();
        QDate start = span.field(0)->asDateTime().date();
        QDate end = span.field(1)->asDateTime().date();
        span.close();
        if (!start.isValid())
            start = end = QDate::currentDate();
        if (!askUsageRange(this, start, end))
            return false;
        sqlUsers->open();
        sqlAccess->open();
        sqlLog->setSQL(logSql);
        sqlLog->setParamDate(QStringLiteral("AccessStartDate"), start);
        // The whole end day counts, whatever time of day an entry carries.
        sqlLog->setParamDateTime(QStringLiteral("AccessEndDate"), QDateTime(end, QTime(23, 59, 59, 999)));
        sqlLog->open();
        defineFields(sqlLog);
        rdUsage->setEmptyText(QStringLiteral("There are no entries for the Usage Report from %1 to %2.")
                                  .arg(Platform::formatDate(Platform::regionalSettings().shortDateFormat, start),
                                       Platform::formatDate(Platform::regionalSettings().shortDateFormat, end)));
        sqlLog->first();
        break;
    }
    case 3:
        qryReport->setSQL(usersSql);
        qryReport->open();
        defineFields(qryReport);
        break;
    case 4:
        sqlAccess->open();
        sqlGroupsTable->open();
        sqlUserAccTable->open();
        qryUserAcc->open();
        defineFields(qryUserAcc);
        break;
    default:
        return false;
    }
    return true;
}

void TFormSecDB::closeReportData(int index)
{
    switch (index) {
    case 0:
        QryAccess->close();
        break;
    case 1:
        qryGroups->close();
        break;
    case 2:
        sqlLog->close();
        sqlAccess->close();
        sqlUsers->close();
        break;
    case 3:
        qryReport->close();
        break;
    case 4:
        qryUserAcc->close();
        sqlUserAccTable->close();
        sqlGroupsTable->close();
        sqlAccess->close();
        break;
    }
}

void TFormSecDB::spbtnExecuteClick(QObject* sender)
{
    const int index = cmboxReportType->currentIndex();
    TReportDesign* rd = report(index);
    if (!rd)
        return;
    if (!openReportData(index))
        return;
    // The data must be open: a kept design also sets the headings of its fields.
    if (!m_designLoaded[index])
        useKeptDesign(index);
    rd->setSubTitle(m_subTitle[index].isEmpty() ? defaultSubTitle() : m_subTitle[index]);
    if (sender && sender->objectName() == QLatin1String("spbtnDesign")) {
        TReportDesign::Keeping keeping;
        keeping.place = TReportDesignStore(AliasName).placeOf(rd->objectName()) == TReportDesignStore::InDatabaseFolder;
        if (rd->Design(&keeping))
            keepDesign(index,
                       keeping.place == 1 ? TReportDesignStore::InDatabaseFolder : TReportDesignStore::WithAlias);
        else if (keeping.restoreDefault)
            restoreDefaultDesign(index);
    }
    rd->Execute();
    m_lastBuilt = index;
    closeReportData(index);
}

QString TFormSecDB::defaultSubTitle() const { return QStringLiteral("Alias: ") + AliasName; }

void TFormSecDB::useKeptDesign(int index)
{
    TReportDesign* rd = report(index);
    m_designLoaded[index] = true;
    rd->setSubTitle(defaultSubTitle());
    const TReportDesignStore::Loaded loaded = TReportDesignStore(AliasName).load(rd->objectName(), *rd);
    m_designPlace[index] = loaded.place;
    m_subTitle[index] = rd->subTitle() == defaultSubTitle() ? QString() : rd->subTitle();
    if (!loaded.problem.isEmpty())
        Platform::showError(loaded.problem);
}

void TFormSecDB::keepDesign(int index, int place)
{
    TReportDesign* rd = report(index);
    m_subTitle[index] = rd->subTitle() == defaultSubTitle() ? QString() : rd->subTitle();
    const TReportDesignStore store(AliasName);
    QString error;
    if (place == TReportDesignStore::InDatabaseFolder) {
        if (store.save(rd->objectName(), *rd, TReportDesignStore::InDatabaseFolder, defaultSubTitle(), &error)) {
            m_designPlace[index] = place;
            return;
        }
        Platform::showError(QStringLiteral("The design of the %1 cannot be kept in the database's folder: %2 It is "
                                           "kept with the alias's settings instead.")
                                .arg(rd->title(), error));
    }
    if (store.save(rd->objectName(), *rd, TReportDesignStore::WithAlias, defaultSubTitle(), &error))
        m_designPlace[index] = TReportDesignStore::WithAlias;
    else
        Platform::showError(
            QStringLiteral("The design of the %1 could not be kept: %2 It is used until the database is closed.")
                .arg(rd->title(), error));
}

void TFormSecDB::restoreDefaultDesign(int index)
{
    TReportDesign* rd = report(index);
    QString error;
    if (!TReportDesignStore(AliasName).remove(rd->objectName(), &error))
        Platform::showError(
            QStringLiteral("The kept design of the %1 could not be removed: %2").arg(rd->title(), error));
    applyDefaultDesign(index);
    defineFields(rd->dataSet(), true);
    m_subTitle[index].clear();
    rd->setSubTitle(defaultSubTitle());
    m_designPlace[index] = TReportDesignStore::Default;
}

QString TFormSecDB::designPlace(int index) const
{
    if (index < 0 || index > 4)
        return QString();
    return TReportDesignStore(AliasName).describe(TReportDesignStore::Place(m_designPlace[index]));
}

bool TFormSecDB::SaveAsPdf(const QString& fileName)
{
    const TReportDesign* rd = report(m_lastBuilt);
    QString error;
    if (!fgwMain->SaveToPdf(fileName, rd ? rd->title() : windowTitle(), &error)) {
        Platform::showError(error);
        return false;
    }
    return true;
}

void TFormSecDB::SaveAsPdfClick()
{
    if (fgwMain->commandCount() == 0)
        return;
    const TReportDesign* rd = report(m_lastBuilt);
    QString suggested = rd ? rd->title() : QStringLiteral("Report");
    suggested.replace(QLatin1Char(' '), QLatin1Char('_'));
    const QString file = Reporting::askPdfFileName(suggested + QStringLiteral(".pdf"), this);
    if (!file.isEmpty())
        SaveAsPdf(file);
}

namespace {
const QString geometryKey = QStringLiteral("ReportsWindow/Geometry");
}

void TFormSecDB::showEvent(QShowEvent* event)
{
    if (!m_geometryRestored) {
        m_geometryRestored = true;
        const QByteArray saved =
            QSettings(QStringLiteral("JovSec"), QStringLiteral("SecDesk")).value(geometryKey).toByteArray();
        if (!saved.isEmpty())
            restoreGeometry(saved);
    }
    QWidget::showEvent(event);
    const QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!shown)
        return;
    // The frame, title bar included, fits in the screen's free area: shrink what is
    // too large, then move what hangs over an edge back in.
    const QRect area = shown->availableGeometry();
    const QRect frame = frameGeometry();
    const QSize border = frame.size() - size();
    const QSize fitted = size().boundedTo(area.size() - border);
    if (fitted != size())
        resize(fitted);
    QRect wanted(frame.topLeft(), fitted + border);
    wanted.moveLeft(std::max(area.left(), std::min(wanted.left(), area.right() + 1 - wanted.width())));
    wanted.moveTop(std::max(area.top(), std::min(wanted.top(), area.bottom() + 1 - wanted.height())));
    if (wanted.topLeft() != frame.topLeft())
        move(wanted.topLeft());
}

void TFormSecDB::hideEvent(QHideEvent* event)
{
    QSettings(QStringLiteral("JovSec"), QStringLiteral("SecDesk")).setValue(geometryKey, saveGeometry());
    QWidget::hideEvent(event);
}

void TFormSecDB::closeEvent(QCloseEvent* event)
{
    // Closing only hides the window; the desktop destroys it with the database.
    event->accept();
}

// ---------------------------------------------------------------- calculated fields

void TFormSecDB::qryReportCalcFields(TQuery& q)
{
    const auto flag = [&q](const char* column) { return q.fieldByName(QString::fromLatin1(column))->asInteger() == 1; };
    q.fieldByName(QStringLiteral("enabledyesno"))->setValue(yesNo(flag("User_Enabled")));
    q.fieldByName(QStringLiteral("adminyesno"))->setValue(yesNo(flag("User_admin")));
    q.fieldByName(QStringLiteral("PasswordAging"))->setValue(yesNo(flag("PWAGING")));
    q.fieldByName(QStringLiteral("AcctLocked"))->setValue(yesNo(flag("Locked")));
    q.fieldByName(QStringLiteral("AcctLockingEnabled"))->setValue(yesNo(flag("AcctLocking")));
    q.fieldByName(QStringLiteral("PasswordNeverExpires"))->setValue(yesNo(flag("PWNeverExpires")));
    q.fieldByName(QStringLiteral("AllowPasswordChanging"))->setValue(yesNo(!flag("PWNoChange")));
}

void TFormSecDB::qryUserAccCalcFields(TQuery& q)
{
    const QString id = q.fieldByName(QStringLiteral("Access_Id"))->asString();
    bool found = false;
    QString label;
    if (q.fieldByName(QStringLiteral("Type"))->asString().trimmed() == QLatin1String("G")) {
        label = lookup(sqlGroupsTable, QStringLiteral("Group_Id"), id, QStringLiteral("Group_Name"), found);
        if (!found)
            label = QStringLiteral("**Group not found");
    } else {
        label = lookup(sqlAccess, QStringLiteral("Access_Id"), id, QStringLiteral("Access_Name"), found);
        if (!found)
            label = QStringLiteral("**Constant not found");
    }
    q.fieldByName(QStringLiteral("Access_Label"))->setValue(label);
}

void TFormSecDB::sqlLogCalcFields(TQuery& q)
{
    bool found = false;
    const QString user =
        lookup(sqlUsers, QStringLiteral("User_ID"), q.fieldByName(QStringLiteral("User_ID"))->asString(),
               QStringLiteral("User_Name"), found);
    q.fieldByName(QStringLiteral("UserName"))->setValue(found ? user : QStringLiteral("Unknown"));
    const TField* access = q.fieldByName(QStringLiteral("Access_ID"));
    if (access->isNull()) {
        q.fieldByName(QStringLiteral("AccessName"))->setValue(QStringLiteral("*** Logon ***"));
        return;
    }
    const QString name =
        lookup(sqlAccess, QStringLiteral("Access_ID"), access->asString(), QStringLiteral("Access_Name"), found);
    q.fieldByName(QStringLiteral("AccessName"))->setValue(found ? name : QStringLiteral("Unknown"));
}
