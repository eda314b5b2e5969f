#include "desktop/TDashboard.h"

#include "database/EDatabaseError.h"
#include "platform/FormControls.h"
#include "platform/RegionalSettings.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

using Platform::named;

namespace {
QLabel* value(const char* name)
{
    auto* label = named(new QLabel, name);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}
} // namespace

TDashboard::TDashboard(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Dashboard"));
    m_pages = new QStackedWidget(this);
    lblNothingOpen = named(new QLabel(QStringLiteral("No security database is open.\nFile > Open opens one by its "
                                                     "alias; File > New creates one.")),
                           "lblNothingOpen");
    lblNothingOpen->setAlignment(Qt::AlignCenter);
    lblNothingOpen->setEnabled(false);
    m_figuresPage = buildFiguresPage();
    m_pages->addWidget(lblNothingOpen);
    m_pages->addWidget(m_figuresPage);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    showNothingOpen();
}

QWidget* TDashboard::buildFiguresPage()
{
    auto* page = new QWidget;
    auto* database = named(new QGroupBox(QStringLiteral("Security Database")), "grpDatabase");
    auto* form = new QFormLayout(database);
    lblAlias = value("lblAlias");
    lblLocation = value("lblLocation");
    lblLocation->setWordWrap(true);
    lblUsers = value("lblUsers");
    lblGroups = value("lblGroups");
    lblConstants = value("lblConstants");
    lblGrants = value("lblGrants");
    lblLogRows = value("lblLogRows");
    lblAuditTrail = value("lblAuditTrail");
    // "off: ..." is long: it wraps rather than widen its column over the panels beside.
    lblAuditTrail->setWordWrap(true);
    form->addRow(QStringLiteral("Alias:"), lblAlias);
    form->addRow(QStringLiteral("Location:"), lblLocation);
    form->addRow(QStringLiteral("Users:"), lblUsers);
    form->addRow(QStringLiteral("Groups:"), lblGroups);
    form->addRow(QStringLiteral("Access Constants:"), lblConstants);
    form->addRow(QStringLiteral("Grants:"), lblGrants);
    form->addRow(QStringLiteral("Log Rows:"), lblLogRows);
    form->addRow(QStringLiteral("Audit Trail:"), lblAuditTrail);
    lblGrants->setToolTip(QStringLiteral("Access constants granted to users, and users' group memberships"));
    lblProblem = value("lblProblem");
    lblProblem->setWordWrap(true);
    lblProblem->hide();

    grpLastLogons = named(new QGroupBox(QStringLiteral("Last Logons")), "grpLastLogons");
    lvLastLogons = named(new QTreeWidget, "lvLastLogons");
    lvLastLogons->setHeaderLabels({QStringLiteral("User"), QStringLiteral("Last Logon")});
    lvLastLogons->setRootIsDecorated(false);
    lvLastLogons->setSelectionMode(QAbstractItemView::NoSelection);
    lvLastLogons->setFocusPolicy(Qt::NoFocus);
    lvLastLogons->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    lvLastLogons->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    lvLastLogons->header()->setStretchLastSection(false);
    Platform::keepFrameWhenScaled(lvLastLogons);
    (new QVBoxLayout(grpLastLogons))->addWidget(lvLastLogons);

    grpLocked = named(new QGroupBox(QStringLiteral("Locked Accounts")), "grpLocked");
    lbLocked = named(new QListWidget, "lbLocked");
    lbLocked->setSelectionMode(QAbstractItemView::NoSelection);
    lbLocked->setFocusPolicy(Qt::NoFocus);
    lbLocked->setToolTip(QStringLiteral("Unlock an account in Security > Setup: edit the user"));
    Platform::keepFrameWhenScaled(lbLocked);
    (new QVBoxLayout(grpLocked))->addWidget(lbLocked);

    auto* left = new QVBoxLayout;
    left->addWidget(database);
    left->addWidget(lblProblem);
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(grpLastLogons, 3);
    right->addWidget(grpLocked, 2);
    auto* layout = new QHBoxLayout(page);
    layout->addLayout(left, 1);
    layout->addLayout(right, 1);
    return page;
}

bool TDashboard::showsDatabase() const { return m_pages->currentWidget() == m_figuresPage; }

void TDashboard::showNothingOpen()
{
    m_figures = TDashboardFigures();
    m_pages->setCurrentWidget(lblNothingOpen);
}

void TDashboard::refresh(const QString& alias)
{
    if (alias.isEmpty()) {
        showNothingOpen();
        return;
    }
    try {
        showFigures(TDashboardFigures::read(alias));
    } catch (const EDatabaseError& e) {
        TDashboardFigures unread;
        unread.alias = alias;
        showFigures(unread);
        for (QLabel* l : {lblUsers, lblGroups, lblConstants, lblGrants, lblLogRows, lblAuditTrail})
            l->clear();
        lblProblem->setText(QStringLiteral("The figures could not be read: ") + e.message());
        lblProblem->show();
    }
}

void TDashboard::showFigures(const TDashboardFigures& figures)
{
    m_figures = figures;
    lblProblem->hide();
    lblAlias->setText(figures.alias);
    lblLocation->setText(figures.location);
    lblUsers->setText(QString::number(figures.users));
    lblGroups->setText(QString::number(figures.groups));
    lblConstants->setText(QString::number(figures.constants));
    lblGrants->setText(QString::number(figures.grants));
    lblLogRows->setText(QString::number(figures.logRows));
    lblAuditTrail->setText(figures.auditing
                               ? QStringLiteral("on, %1 events").arg(figures.auditEvents)
                               : QStringLiteral("off: this database has no audit trail (jovsecadm upgrade adds it)"));

    lvLastLogons->clear();
    for (const TDashboardFigures::Logon& logon : figures.lastLogons)
        lvLastLogons->addTopLevelItem(new QTreeWidgetItem({logon.user, Platform::formatDateTime(logon.when)}));

    grpLocked->setTitle(QStringLiteral("Locked Accounts (%1)").arg(figures.locked));
    lbLocked->clear();
    lbLocked->addItems(figures.lockedUsers);
    if (figures.locked > figures.lockedUsers.size())
        lbLocked->addItem(QStringLiteral("... and %1 more").arg(figures.locked - figures.lockedUsers.size()));
    m_pages->setCurrentWidget(m_figuresPage);
}
