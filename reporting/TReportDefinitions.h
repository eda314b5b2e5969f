#pragma once
// TReportDefinitions: the security reports of one security database, with no window.
// For each report its query, the headings, widths and alignments of the query's
// fields, its calculated fields, its layout definition (TReportDesign) in the
// described design or in the one kept for the database, and for the Usage and Audit
// Trail reports the range of days they cover. The reports window (TFormSecDB) and
// jovsecadm report both build their pages through it, so both print the same.

#include <QDate>
#include <QObject>
#include <QStringList>

#include <utility>

class TPageDocument;
class TQuery;
class TReportDesign;

class TReportDefinitions : public QObject {
    Q_OBJECT
public:
    // The reports, by their place in the list.
    enum Report { AccessConstants, Groups, Usage, Users, UsersAccess, AuditTrail, ReportCount };

    // The names of the reports in list order: "Access Constants" ... "Audit Trail".
    static QStringList names();
    // The report of a name given without regard to letter case or surrounding
    // spaces; -1 for none.
    static int indexOf(const QString& name);
    // Whether a report covers a range of days (Usage, Audit Trail).
    static bool hasRange(int index);

    explicit TReportDefinitions(QObject* owner = nullptr);
    ~TReportDefinitions() override;

    // Points every query at the database of an alias.
    void setAliasName(const QString& alias);
    QString aliasName() const { return m_alias; }
    // The document every report is built into.
    void setPages(TPageDocument* pages);

    // The layout definition of a report; null for an index outside the list.
    TReportDesign* report(int index) const;
    // Why a report cannot be built on this database (the Audit Trail report on a
    // database that keeps no trail); empty when it can.
    QString unavailable(int index) const;
    // The first and last day of what a ranged report covers (the log's or the audit
    // trail's); invalid dates when there is nothing.
    std::pair<QDate, QDate> span(int index) const;

    // Opens the report's data, for the days from start to end when it has a range.
    void open(int index, const QDate& start = {}, const QDate& end = {});
    void close(int index);
    // Readies an opened report for its build: the design kept for the database on
    // the first build, and the sub-title.
    void prepare(int index);
    // Opens, prepares, builds into the pages and closes a report.
    void build(int index, const QDate& start = {}, const QDate& end = {});

    // A design changed in the designer, kept where the user chose (a
    // TReportDesignStore place); the default design brought back.
    void keepDesign(int index, int place);
    void restoreDefaultDesign(int index);
    // Where the design a report was last built with is kept ("with the settings of
    // the alias X", "in FILE"); empty for the described design.
    QString designPlace(int index) const;
    QString defaultSubTitle() const;

    TQuery* QryAccess;
    TQuery* qryGroups;
    TQuery* sqlLog;
    TQuery* sqlUsers;
    TQuery* sqlAccess;
    TQuery* qryReport;
    TQuery* qryUserAcc;
    TQuery* sqlGroupsTable;
    TQuery* sqlUserAccTable;
    TQuery* qryAuditTrail;

    TReportDesign* rdAccess;
    TReportDesign* rdGroups;
    TReportDesign* rdUsage;
    TReportDesign* rdUsers;
    TReportDesign* rdUserAcc;
    TReportDesign* rdAuditTrail;

    void qryReportCalcFields(TQuery& q);
    void qryUserAccCalcFields(TQuery& q);
    void sqlLogCalcFields(TQuery& q);
    void qryAuditTrailCalcFields(TQuery& q);

private:
    void createQueries();
    void createReports();
    // Sets the display definitions of a query's fields after its first opening, and
    // again when the default design is restored.
    void defineFields(TQuery* q, bool again = false);
    // The described design of a report.
    void applyDefaultDesign(int index);
    // A report's design as kept for the database, read on its first build.
    void useKeptDesign(int index);
    QList<TQuery*> queries() const;

    QString m_alias;
    bool m_designLoaded[ReportCount] = {};
    int m_designPlace[ReportCount] = {};
    QString m_subTitle[ReportCount];
};
