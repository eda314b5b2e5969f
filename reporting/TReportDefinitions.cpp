#include "reporting/TReportDefinitions.h"

#include "database/TAuditTrail.h"
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "platform/MessageBox.h"
#include "platform/RegionalSettings.h"
#include "reporting/TReportDesign.h"
#include "reporting/TReportDesignStore.h"

#include <algorithm>

namespace {

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
// The audit trail's columns; its hashes are left out of the query, so they are never
// offered as a column.
const FieldDef auditFields[] = {
    {"EVENT_ID", "Event", 6, R},          {"EVENT_TIME", "Time", 14, L},    {"OSLogin", "OS Login", 18, L},
    {"SEC_USER", "Security User", 14, L}, {"PROGRAM", "Program", 12, L},    {"KIND", "Kind", 20, L},
    {"ObjectText", "Object", 18, L},      {"Changes", "Details", 36, L},    {"OS_USER", "OS User", 12, L},
    {"MACHINE", "Machine", 12, L},        {"OBJECT_ID", "Object ID", 8, R}, {"OBJECT_NAME", "Object Name", 18, L},
    {"DETAILS", "Details", 36, L}};

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
const QString auditSql = QStringLiteral(
    "SELECT EVENT_ID, EVENT_TIME, OS_USER, MACHINE, SEC_USER, PROGRAM, KIND, OBJECT_ID, OBJECT_NAME, DETAILS "
    "FROM AUDIT_TRAIL WHERE EVENT_TIME >= :FromTime AND EVENT_TIME <= :ToTime ORDER BY EVENT_ID");
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

// The described design of each report, by its item index.
struct DefaultDesign {
    const char* name;
    const char* title;
    bool centred;
    TPageNumStyle pageNum;
    TDatePosition date;
    QStringList fields;
    // Of the body and the headings; the audit trail's seven columns fit landscape
    // Letter in a smaller size.
    double bodyPoints = 12;
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
        {"rdAuditTrail",
         "Audit Trail Report",
         true,
         pnsBottomCenter,
         dpLeft,
         {QStringLiteral("EVENT_TIME"), QStringLiteral("OSLogin"), QStringLiteral("SEC_USER"),
          QStringLiteral("PROGRAM"), QStringLiteral("KIND"), QStringLiteral("ObjectText"), QStringLiteral("Changes")},
         9},
    };
    return designs[index];
}
} // namespace

QStringList TReportDefinitions::names()
{
    return {QStringLiteral("Access Constants"),
            QStringLiteral("Groups"),
            QStringLiteral("Usage"),
            QStringLiteral("Users"),
            QStringLiteral("Users (w/ Access)"),
            QStringLiteral("Audit Trail")};
}

int TReportDefinitions::indexOf(const QString& name)
{
    const QStringList all = names();
    for (int i = 0; i < all.size(); ++i)
        if (all.at(i).compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool TReportDefinitions::hasRange(int index) { return index == Usage || index == AuditTrail; }

TReportDefinitions::TReportDefinitions(QObject* owner) : QObject(owner)
{
    createQueries();
    createReports();
}

TReportDefinitions::~TReportDefinitions()
{
    for (TQuery* q : queries())
        if (q->active())
            q->close();
}

QList<TQuery*> TReportDefinitions::queries() const
{
    return {QryAccess, qryGroups,  sqlLog,         sqlUsers,        sqlAccess,
            qryReport, qryUserAcc, sqlGroupsTable, sqlUserAccTable, qryAuditTrail};
}

void TReportDefinitions::createQueries()
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
    qryAuditTrail = query("qryAuditTrail", {auditSql});

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
    qryAuditTrail->addCalculatedField(QStringLiteral("OSLogin"), 193);
    qryAuditTrail->addCalculatedField(QStringLiteral("ObjectText"), 64);
    qryAuditTrail->addCalculatedField(QStringLiteral("Changes"), 4000);
    qryAuditTrail->setOnCalcFields([this](TQuery& q) { qryAuditTrailCalcFields(q); });
}

void TReportDefinitions::createReports()
{
    TReportDesign** members[] = {&rdAccess, &rdGroups, &rdUsage, &rdUsers, &rdUserAcc, &rdAuditTrail};
    TQuery* data[] = {QryAccess, qryGroups, sqlLog, qryReport, qryUserAcc, qryAuditTrail};
    for (int i = 0; i < ReportCount; ++i) {
        auto* r = new TReportDesign(this);
        r->setObjectName(QString::fromLatin1(defaultDesign(i).name));
        r->setDataSet(data[i]);
        *members[i] = r;
        applyDefaultDesign(i);
    }
}

void TReportDefinitions::setPages(TPageDocument* pages)
{
    for (int i = 0; i < ReportCount; ++i)
        report(i)->setFormComponent(pages);
}

void TReportDefinitions::applyDefaultDesign(int index)
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
    r->setBodyFont(TFont(QStringLiteral("Arial"), d.bodyPoints));
    r->setHeadingFont(TFont(QStringLiteral("Arial"), d.bodyPoints, true));
    r->setTitleFont(TFont(QStringLiteral("Arial"), 14, true));
    r->setSubTitleFont(TFont(QStringLiteral("Arial"), 12, true, true));
    r->setPortrait(false);
    r->setDividerStyle(dvsSolid);
    r->setPageSizeIndex(0);
    r->setDateFormat(QStringLiteral("ddddd"));
}

TReportDesign* TReportDefinitions::report(int index) const
{
    switch (index) {
    case AccessConstants:
        return rdAccess;
    case Groups:
        return rdGroups;
    case Usage:
        return rdUsage;
    case Users:
        return rdUsers;
    case UsersAccess:
        return rdUserAcc;
    case AuditTrail:
        return rdAuditTrail;
    default:
        return nullptr;
    }
}

void TReportDefinitions::setAliasName(const QString& alias)
{
    m_alias = alias;
    for (TQuery* q : queries())
        q->setDatabaseName(alias);
}

QString TReportDefinitions::unavailable(int index) const
{
    if (index != AuditTrail || TAuditTrail::present(*TDatabase::connectionFor(m_alias)))
        return QString();
    return QStringLiteral("Auditing is off: this security database has no audit trail. \"jovsecadm upgrade\" adds it.");
}

std::pair<QDate, QDate> TReportDefinitions::span(int index) const
{
    if (!hasRange(index))
        return {};
    TQuery span;
    span.setDatabaseName(m_alias);
    span.setSQL(index == Usage ? QStringLiteral("select min(ACCESS_DATE), max(ACCESS_DATE) from LOG")
                               : QStringLiteral("select min(EVENT_TIME), max(EVENT_TIME) from AUDIT_TRAIL"));
    span.open();
    const std::pair<QDate, QDate> days {span.field(0)->asDateTime().date(), span.field(1)->asDateTime().date()};
    span.close();
    return days;
}

void TReportDefinitions::defineFields(TQuery* q, bool again)
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
    else if (q == qryAuditTrail)
        use(auditFields);
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

namespace {
// "from <first day> to <last day>" in the user's short dates, for an empty report.
QString rangeText(const QString& title, const QDate& start, const QDate& end)
{
    const QString format = Platform::regionalSettings().shortDateFormat;
    return QStringLiteral("There are no entries for the %1 from %2 to %3.")
        .arg(title, Platform::formatDate(format, start), Platform::formatDate(format, end));
}
// Whether the events a report of the days prints still chain as they were written:
// the line under them.
QString chainText(TDatabase& connection, const QDate& start, const QDate& end)
{
    const auto [first, last] =
        TAuditTrail::idsBetween(connection, QDateTime(start, QTime(0, 0)), QDateTime(end, QTime(23, 59, 59, 999)));
    if (first == 0)
        return {};
    const TAuditTrail::Verdict verdict = TAuditTrail::verify(connection, first, last);
    if (verdict.firstBroken)
        return QStringLiteral("The audit trail is broken at event #%1: %2")
            .arg(verdict.firstBroken)
            .arg(verdict.problem);
    return QStringLiteral("The audit trail is intact from event #%1 to #%2.").arg(first).arg(last);
}
} // namespace

void TReportDefinitions::open(int index, const QDate& start, const QDate& end)
{
    for (TQuery* q : queries())
        q->setDatabaseName(m_alias);
    switch (index) {
    case AccessConstants:
        QryAccess->setSQL(accessSql);
        QryAccess->open();
        defineFields(QryAccess);
        break;
    case Groups:
        qryGroups->setSQL(groupsSql);
        qryGroups->open();
        defineFields(qryGroups);
        break;
    case Usage:
        sqlUsers->open();
        sqlAccess->open();
        sqlLog->setSQL(logSql);
        sqlLog->setParamDate(QStringLiteral("AccessStartDate"), start);
        // The whole end day counts, whatever time of day an entry carries.
        sqlLog->setParamDateTime(QStringLiteral("AccessEndDate"), QDateTime(end, QTime(23, 59, 59, 999)));
        sqlLog->open();
        defineFields(sqlLog);
        rdUsage->setEmptyText(rangeText(QStringLiteral("Usage Report"), start, end));
        sqlLog->first();
        break;
    case Users:
        qryReport->setSQL(usersSql);
        qryReport->open();
        defineFields(qryReport);
        break;
    case UsersAccess:
        sqlAccess->open();
        sqlGroupsTable->open();
        sqlUserAccTable->open();
        qryUserAcc->open();
        defineFields(qryUserAcc);
        break;
    case AuditTrail:
        qryAuditTrail->setSQL(auditSql);
        qryAuditTrail->setParamDateTime(QStringLiteral("FromTime"), QDateTime(start, QTime(0, 0)));
        qryAuditTrail->setParamDateTime(QStringLiteral("ToTime"), QDateTime(end, QTime(23, 59, 59, 999)));
        qryAuditTrail->open();
        defineFields(qryAuditTrail);
        rdAuditTrail->setEmptyText(rangeText(QStringLiteral("Audit Trail Report"), start, end));
        rdAuditTrail->setClosingText(chainText(*TDatabase::connectionFor(m_alias), start, end));
        break;
    }
}

void TReportDefinitions::close(int index)
{
    switch (index) {
    case AccessConstants:
        QryAccess->close();
        break;
    case Groups:
        qryGroups->close();
        break;
    case Usage:
        sqlLog->close();
        sqlAccess->close();
        sqlUsers->close();
        break;
    case Users:
        qryReport->close();
        break;
    case UsersAccess:
        qryUserAcc->close();
        sqlUserAccTable->close();
        sqlGroupsTable->close();
        sqlAccess->close();
        break;
    case AuditTrail:
        qryAuditTrail->close();
        break;
    }
}

void TReportDefinitions::prepare(int index)
{
    // The data must be open: a kept design also sets the headings of its fields.
    if (!m_designLoaded[index])
        useKeptDesign(index);
    report(index)->setSubTitle(m_subTitle[index].isEmpty() ? defaultSubTitle() : m_subTitle[index]);
}

void TReportDefinitions::build(int index, const QDate& start, const QDate& end)
{
    open(index, start, end);
    prepare(index);
    report(index)->Execute();
    close(index);
}

QString TReportDefinitions::defaultSubTitle() const { return QStringLiteral("Alias: ") + m_alias; }

void TReportDefinitions::useKeptDesign(int index)
{
    TReportDesign* rd = report(index);
    m_designLoaded[index] = true;
    rd->setSubTitle(defaultSubTitle());
    const TReportDesignStore::Loaded loaded = TReportDesignStore(m_alias).load(rd->objectName(), *rd);
    m_designPlace[index] = loaded.place;
    m_subTitle[index] = rd->subTitle() == defaultSubTitle() ? QString() : rd->subTitle();
    if (!loaded.problem.isEmpty())
        Platform::showError(loaded.problem);
}

void TReportDefinitions::keepDesign(int index, int place)
{
    TReportDesign* rd = report(index);
    m_subTitle[index] = rd->subTitle() == defaultSubTitle() ? QString() : rd->subTitle();
    const TReportDesignStore store(m_alias);
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

void TReportDefinitions::restoreDefaultDesign(int index)
{
    TReportDesign* rd = report(index);
    QString error;
    if (!TReportDesignStore(m_alias).remove(rd->objectName(), &error))
        Platform::showError(
            QStringLiteral("The kept design of the %1 could not be removed: %2").arg(rd->title(), error));
    applyDefaultDesign(index);
    defineFields(rd->dataSet(), true);
    m_subTitle[index].clear();
    rd->setSubTitle(defaultSubTitle());
    m_designPlace[index] = TReportDesignStore::Default;
}

QString TReportDefinitions::designPlace(int index) const
{
    if (index < 0 || index >= ReportCount)
        return QString();
    return TReportDesignStore(m_alias).describe(TReportDesignStore::Place(m_designPlace[index]));
}

// ---------------------------------------------------------------- calculated fields

void TReportDefinitions::qryReportCalcFields(TQuery& q)
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

void TReportDefinitions::qryUserAccCalcFields(TQuery& q)
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

void TReportDefinitions::sqlLogCalcFields(TQuery& q)
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

void TReportDefinitions::qryAuditTrailCalcFields(TQuery& q)
{
    const auto text = [&q](const char* column) { return q.fieldByName(QString::fromLatin1(column))->asString(); };
    const QString machine = text("MACHINE");
    q.fieldByName(QStringLiteral("OSLogin"))
        ->setValue(machine.isEmpty() ? text("OS_USER") : text("OS_USER") + QLatin1Char('@') + machine);
    // The object by its name, by its number when it has no name.
    const QString name = text("OBJECT_NAME");
    q.fieldByName(QStringLiteral("ObjectText"))->setValue(name.isEmpty() ? text("OBJECT_ID") : name);
    // A report row is one line: the changes follow one another.
    q.fieldByName(QStringLiteral("Changes"))
        ->setValue(text("DETAILS").split(QLatin1Char('\n'), Qt::SkipEmptyParts).join(QStringLiteral("; ")));
}
