#pragma once
// TDashboard: the main window's central area. With a security database open it shows
// the alias and location, the counts of users, groups, access constants, grants and
// log rows, the latest logons and the locked accounts; with none open, how to open
// one. The main window refreshes it whenever something may have changed them.

#include "rules/TDashboardFigures.h"

#include <QWidget>

class QGroupBox;
class QLabel;
class QListWidget;
class QStackedWidget;
class QTreeWidget;

class TDashboard : public QWidget {
    Q_OBJECT
public:
    explicit TDashboard(QWidget* parent = nullptr);

    // Reads and shows the figures of the database open under the alias; an empty
    // alias shows that none is open. A database that cannot be read shows why, here
    // rather than in a message box.
    void refresh(const QString& alias);
    void showFigures(const TDashboardFigures& figures);
    void showNothingOpen();

    // What is shown: the figures last read (none while nothing is open).
    const TDashboardFigures& figures() const { return m_figures; }
    bool showsDatabase() const;

    QLabel* lblNothingOpen;
    QLabel* lblAlias;
    QLabel* lblLocation;
    QLabel* lblUsers;
    QLabel* lblGroups;
    QLabel* lblConstants;
    QLabel* lblGrants;
    QLabel* lblLogRows;
    QLabel* lblAuditTrail;
    QLabel* lblProblem;
    QGroupBox* grpLastLogons;
    QTreeWidget* lvLastLogons;
    QGroupBox* grpLocked;
    QListWidget* lbLocked;

private:
    QWidget* buildFiguresPage();

    QStackedWidget* m_pages;
    QWidget* m_figuresPage;
    TDashboardFigures m_figures;
};
