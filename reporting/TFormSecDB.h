#pragma once
// TFormSecDB (unit Secdbunt): the reports window. The security reports over the open
// security database ("Access Constants", "Groups", "Usage", "Users", "Users (w/
// Access)", "Audit Trail"), each a query and a report layout (TReportDefinitions) built
// into the preview area, paged, zoomed and printed through the navigator, designed
// through the report designer, and saved as a PDF file.

#include <QDate>
#include <QWidget>

#include <functional>

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QToolButton;
class TFormGenNav;
class TFormGenWin;
class TQuery;
class TReportDefinitions;
class TReportDesign;

class TFormSecDB : public QWidget {
    Q_OBJECT
public:
    explicit TFormSecDB(QWidget* owner = nullptr);
    ~TFormSecDB() override;

    QString AliasName;
    // Sets the caption and points the queries at the database named AliasName.
    void ApplyAlias();

    // Runs the selected report; from spbtnDesign it opens the designer first.
    void spbtnExecuteClick(QObject* sender);
    // Writes the built report to a PDF file named by the user; the report's title
    // becomes the document's title.
    void SaveAsPdfClick();
    bool SaveAsPdf(const QString& fileName);

    // Replaces the Usage report's range dialog (tests, scripts); an empty function
    // restores it.
    using RangeDialog = std::function<bool(QWidget* owner, QDate& start, QDate& end)>;
    static void setUsageRangeDialog(RangeDialog dialog);
    // The range dialog "Select Ranges" (or the replacement), offering start and end
    // when they are valid; false when cancelled.
    static bool askUsageRange(QWidget* owner, QDate& start, QDate& end);
    // Called when the window is destroyed, so its creator can forget it.
    std::function<void()> onDestroyed;

    // The report definition of a list item (0 to 5).
    TReportDesign* report(int index) const;
    // Where the design a report was last built with is kept ("with the settings of
    // the alias X", "in FILE"); empty for the described design.
    QString designPlace(int index) const;

    QFrame* pnlTopArea;
    QLabel* lblReport;
    QComboBox* cmboxReportType;
    QToolButton* spbtnExecute;
    QToolButton* spbtnDesign;
    QToolButton* spbtnSavePdf;
    TFormGenNav* fgnReport;
    TFormGenWin* fgwMain;

    // The reports' queries and layouts; the members below name its parts.
    TReportDefinitions* definitions;
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

protected:
    void closeEvent(QCloseEvent* event) override;
    // The window comes back where the user left it, and always wholly on the screen.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool m_geometryRestored = false;
    void createControls();
    void createReports();

    int m_lastBuilt = -1;
};

// The one reports window.
extern TFormSecDB* FormSecDB;
