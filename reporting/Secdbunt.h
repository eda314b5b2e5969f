#pragma once
// TFormSecDB: the reports window. Five fixed reports over the open security
// database ("Access Constants", "Groups", "Usage", "Users", "Users (w/ Access)"),
// each a query and a report layout built into the preview area, paged, zoomed and
// printed through the navigator, designed through the report designer, and saved
// as a PDF file.

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

    // The report definition of a list item (0 to 4).
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

    TQuery* QryAccess;
    TQuery* qryGroups;
    TQuery* sqlLog;
    TQuery* sqlUsers;
    TQuery* sqlAccess;
    TQuery* qryReport;
    TQuery* qryUserAcc;
    TQuery* sqlGroupsTable;
    TQuery* sqlUserAccTable;

    TReportDesign* rdAccess;
    TReportDesign* rdGroups;
    TReportDesign* rdUsage;
    TReportDesign* rdUsers;
    TReportDesign* rdUserAcc;

    void qryReportCalcFields(TQuery& q);
    void qryUserAccCalcFields(TQuery& q);
    void sqlLogCalcFields(TQuery& q);

protected:
    void closeEvent(QCloseEvent* event) override;
    // The window comes back where the user left it, and always wholly on the screen.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool m_geometryRestored = false;
    void createControls();
    void createQueries();
    void createReports();
    // Sets the display definitions of a query's fields after its first opening, and
    // again when the default design is restored.
    void defineFields(TQuery* q, bool again = false);
    bool openReportData(int index);
    void closeReportData(int index);
    // The described design of a report.
    void applyDefaultDesign(int index);
    QString defaultSubTitle() const;
    // A report's design as kept for the database, read on its first build; changed
    // in the designer and kept where the user chose; or the default brought back.
    void useKeptDesign(int index);
    void keepDesign(int index, int place);
    void restoreDefaultDesign(int index);

    int m_lastBuilt = -1;
    bool m_designLoaded[5] = {};
    int m_designPlace[5] = {};
    QString m_subTitle[5];
};

// The one reports window.
extern TFormSecDB* FormSecDB;
