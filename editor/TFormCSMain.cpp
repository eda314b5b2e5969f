// The setup editor's window: its controls, life cycle and page switching.
#include "editor/TFormCSMain.h"

#include "database/EDatabaseError.h"
#include "database/TQuery.h"
#include "editor/TDBCheckBox.h"
#include "editor/TDBEdit.h"
#include "editor/TDBLookupComboBox.h"
#include "editor/TListBox.h"
#include "editor/TPolicyPages.h"
#include "widgets/TRadioGroup.h"
#include "editor/TUpDown.h"
#include "platform/FormControls.h"
#include "platform/MessageBox.h"

#include "widgets/GuardedCommand.h"
#include <QCheckBox>
#include <QDate>
#include <QFocusEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

using Widgets::guarded;

TFormCSMain* FormCSMain = nullptr;

using Platform::named;

namespace {
TQuery* recordSet(QObject* owner, const char* name, const QString& sql)
{
    auto* q = new TQuery(owner);
    q->setObjectName(QLatin1String(name));
    q->setDatabaseName(QStringLiteral("jovCSsecurity"));
    q->setSQL(sql);
    q->setRequestLive(true);
    return q;
}

// The caption holds the accelerator: "&Add" on the users' row, "A&dd" on the lists'
// rows below it, so that no two buttons shown together share a letter.
QToolButton* speedButton(const char* name, const QString& caption, const QString& tip, QWidget* parent)
{
    auto* b = named(new QToolButton(parent), name);
    b->setText(caption);
    b->setToolTip(tip);
    b->setAutoRaise(true);
    return b;
}

QToolButton* arrowButton(const char* name, Qt::ArrowType arrow, const QString& tip, QWidget* parent)
{
    auto* b = speedButton(name, QString(), tip, parent);
    Platform::makeArrowButton(b, arrow);
    return b;
}

} // namespace

TFormCSMain::TFormCSMain(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("FormCSMain"));
    setWindowTitle(QStringLiteral("Security Setup"));
    sqlUsers = recordSet(this, "sqlUsers", QStringLiteral("select * from users order by user_id"));
    // The chosen user's history row only: reread at every choice and save.
    sqlPWHist =
        recordSet(this, "sqlPWHist", QStringLiteral("select * from pwhist where User_ID = :User_ID order by user_id"));
    sqlPWHist->setParamInteger(QStringLiteral("User_ID"), -1);
    sqlGroups = recordSet(this, "sqlGroups", QStringLiteral("select * from groups order by Group_ID"));
    sqlAccess = recordSet(this, "sqlAccess", QStringLiteral("select * from access"));
    sqlGrpColl = recordSet(this, "sqlGrpColl", QStringLiteral("select * from grpcoll"));
    // Only the chosen user's rows: the whole table can hold a million grants.
    sqlUsrAcc = recordSet(this, "sqlUsrAcc", QStringLiteral("select * from useracc where User_ID = :User_ID"));
    sqlUsrAcc->setParamInteger(QStringLiteral("User_ID"), -1);
    sqlUsrAcc->addCalculatedField(QStringLiteral("AccLabel"), 22);
    sqlUsrAcc->setOnCalcFields([this](TQuery& q) { sqlUsrAccCalcFields(q); });
    sqlProgram = recordSet(this, "sqlProgram", QStringLiteral("select * from program"));
    sqlUpdate = recordSet(this, "sqlUpdate", QString());
    sqlUpdate->setRequestLive(false);
    dsUsers = sqlUsers;
    dsProgram = sqlProgram;

    buildWindow();
    connectHandlers();
    FormCreate();
}

TFormCSMain::~TFormCSMain()
{
    if (!m_destroyed) {
        try {
            FormDestroy();
        } catch (const EDatabaseError& e) {
            Platform::showError(e.message());
        }
    }
    if (FormCSMain == this)
        FormCSMain = nullptr;
}

const QColor& TFormCSMain::greyText()
{
    static const QColor grey(128, 128, 128);
    return grey;
}

void TFormCSMain::setFontColor(QWidget* widget, const QColor& color)
{
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, color);
    p.setColor(QPalette::ButtonText, color);
    p.setColor(QPalette::Text, color);
    widget->setPalette(p);
    widget->update();
}

void TFormCSMain::buildWindow()
{
    auto* main = new QVBoxLayout(this);

    grpSecuritySystem = named(new QGroupBox(QStringLiteral("Security System:"), this), "grpSecuritySystem");
    auto* header = new QGridLayout(grpSecuritySystem);
    dbedSecLabel = named(new TDBEdit, "dbedSecLabel");
    dbedSecLabel->setMaxLength(48);
    DBEdit1 = named(new TDBEdit, "DBEdit1");
    DBEdit1->setMaxLength(20);
    DBEdit2 = named(new TDBEdit, "DBEdit2");
    DBEdit2->setMaxLength(20);
    dbchkSecEnabled = named(new TDBCheckBox(QStringLiteral("Security Enabled")), "dbchkSecEnabled");
    dbcxLogEnabled = named(new TDBCheckBox(QStringLiteral("Logging Enabled")), "dbcxLogEnabled");
    header->addWidget(new QLabel(QStringLiteral("Security Label:")), 0, 0);
    header->addWidget(dbedSecLabel, 0, 1, 1, 3);
    header->addWidget(new QLabel(QStringLiteral("Label for User Field 1:")), 1, 0);
    header->addWidget(DBEdit1, 1, 1);
    header->addWidget(dbchkSecEnabled, 1, 2);
    header->addWidget(new QLabel(QStringLiteral("Label for User Field 2:")), 2, 0);
    header->addWidget(DBEdit2, 2, 1);
    header->addWidget(dbcxLogEnabled, 2, 2);
    main->addWidget(grpSecuritySystem);

    PageControl1 = named(new QTabWidget(this), "PageControl1");
    UserSheet = named(buildUserSheet(), "UserSheet");
    AccountSheet = named(buildAccountSheet(), "AccountSheet");
    PageControl1->addTab(UserSheet, QStringLiteral("User Setup"));
    PageControl1->addTab(AccountSheet, QStringLiteral("Account Policy"));
    m_currentPage = UserSheet;
    main->addWidget(PageControl1);

    btnOk = named(new QPushButton(QStringLiteral("&OK"), this), "btnOk");
    btnOk->setToolTip(QStringLiteral("Close the setup editor, keeping every change"));
    btnOk->setDefault(false);
    btnOk->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    main->addLayout(buttons);

    setFixedSize(sizeHint().expandedTo(QSize(560, 520)));
}

QWidget* TFormCSMain::buildUserSheet()
{
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);

    dblkUserName = named(new TDBLookupComboBox(page), "dblkUserName");
    spbtnAddUser = speedButton("spbtnAddUser", QStringLiteral("&Add"), QStringLiteral("Add a new user"), page);
    spbtnEditUser = speedButton("spbtnEditUser", QStringLiteral("Ed&it"), QStringLiteral("Edit the chosen user"), page);
    spbtnDelUser = speedButton("spbtnDelUser", QStringLiteral("D&el"), QStringLiteral("Delete the chosen user"), page);
    auto* users = new QHBoxLayout;
    users->addWidget(new QLabel(QStringLiteral("Users:")));
    users->addWidget(dblkUserName, 1);
    users->addWidget(spbtnAddUser);
    users->addWidget(spbtnEditUser);
    users->addWidget(spbtnDelUser);
    grid->addLayout(users, 0, 0, 1, 3);
    lblEffectivePolicy = named(new QLabel(page), "lblEffectivePolicy");
    lblEffectivePolicy->setWordWrap(true);
    lblEffectivePolicy->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblEffectivePolicy->setToolTip(QStringLiteral("The account policy a logon of this user meets; change it on the "
                                                  "Account Policy page or with Global Settings"));
    // Room for two lines whatever the policy says: the window's size is fixed.
    lblEffectivePolicy->setMinimumHeight(2 * lblEffectivePolicy->fontMetrics().lineSpacing());
    lblEffectivePolicy->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(lblEffectivePolicy, 1, 0, 1, 3);

    lbUsrAccess = named(new TListBox(page), "lbUsrAccess");
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Security Access for User:")));
    left->addWidget(lbUsrAccess);
    grid->addLayout(left, 2, 0);

    spbtnAddAccess = arrowButton("spbtnAddAccess", Qt::LeftArrow,
                                 QStringLiteral("Grant the selected group or constant to the user"), page);
    spbtnDelAccess = arrowButton("spbtnDelAccess", Qt::RightArrow,
                                 QStringLiteral("Take the selected access away from the user"), page);
    auto* arrows = new QVBoxLayout;
    arrows->addStretch(1);
    arrows->addWidget(spbtnAddAccess);
    arrows->addWidget(spbtnDelAccess);
    arrows->addStretch(1);
    grid->addLayout(arrows, 2, 1);

    tnbkLists = named(new QTabWidget(page), "tnbkLists");
    tsGroups = named(new QWidget, "tsGroups");
    lbGroups = named(new TListBox(tsGroups), "lbGroups");
    spbtnAddGroup = speedButton("spbtnAddGroup", QStringLiteral("A&dd"), QStringLiteral("Add a new group"), tsGroups);
    spbtnEditGroup = speedButton("spbtnEditGroup", QStringLiteral("Edi&t"),
                                 QStringLiteral("Edit the selected group and its constants"), tsGroups);
    spbtnDelGroup =
        speedButton("spbtnDelGroup", QStringLiteral("De&l"), QStringLiteral("Delete the selected group"), tsGroups);
    auto* groups = new QVBoxLayout(tsGroups);
    groups->addWidget(lbGroups);
    auto* groupButtons = new QHBoxLayout;
    groupButtons->addWidget(spbtnAddGroup);
    groupButtons->addWidget(spbtnEditGroup);
    groupButtons->addWidget(spbtnDelGroup);
    groupButtons->addStretch(1);
    groups->addLayout(groupButtons);

    tsConstants = named(new QWidget, "tsConstants");
    lbConstants = named(new TListBox(tsConstants), "lbConstants");
    spbtnAccAdd =
        speedButton("spbtnAccAdd", QStringLiteral("A&dd"), QStringLiteral("Add a new access constant"), tsConstants);
    spbtnAccEdit = speedButton("spbtnAccEdit", QStringLiteral("Edi&t"),
                               QStringLiteral("Rename the selected access constant"), tsConstants);
    spbtnAccDel = speedButton("spbtnAccDel", QStringLiteral("De&l"),
                              QStringLiteral("Delete the selected access constant"), tsConstants);
    auto* constants = new QVBoxLayout(tsConstants);
    constants->addWidget(lbConstants);
    auto* constantButtons = new QHBoxLayout;
    constantButtons->addWidget(spbtnAccAdd);
    constantButtons->addWidget(spbtnAccEdit);
    constantButtons->addWidget(spbtnAccDel);
    constantButtons->addStretch(1);
    constants->addLayout(constantButtons);

    tnbkLists->addTab(tsGroups, QStringLiteral("Groups"));
    tnbkLists->addTab(tsConstants, QStringLiteral("Constants"));
    tnbkLists->setCurrentWidget(tsConstants);
    grid->addWidget(tnbkLists, 2, 2);
    return page;
}

QWidget* TFormCSMain::buildAccountSheet()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);

    btnGAPSettings = named(new QPushButton(QStringLiteral("&Global Settings"), page), "btnGAPSettings");
    btnGAPSettings->setToolTip(QStringLiteral("Change the global account policy"));
    btnGAPSettings->setAutoDefault(false);
    auto* top = new QHBoxLayout;
    top->addStretch(1);
    top->addWidget(btnGAPSettings);
    layout->addLayout(top);

    grpCAP = named(new QGroupBox(page), "grpCAP");
    auto* cap = new QVBoxLayout(grpCAP);
    rbtnUseGLBPolicy = named(new QRadioButton(QStringLiteral("Use Global Account Policy")), "rbtnUseGLBPolicy");
    rbtnUseGLBPolicy->setChecked(true);
    rbtnUseCustomPolicy =
        named(new QRadioButton(QStringLiteral("Customize User Account Policy")), "rbtnUseCustomPolicy");
    cap->addWidget(rbtnUseGLBPolicy);
    cap->addWidget(rbtnUseCustomPolicy);

    pcCAP = named(new QTabWidget(grpCAP), "pcCAP");

    TPolicyPages::Options options;
    options.agingCheckName = "dbchkPWAgingEnabled";
    options.agingPageName = "tsPasswordAging";
    options.restrictionsPageName = "tsPasswordRestrictions";
    options.lockingPageName = "tsAccountLocking";
    // Lengths limit typing only: eventFilter filters the keys, leaving may put "001".
    options.typedLengthOnly = true;
    options.uniquenessText = QStringLiteral("5");
    options.lockingDimsLabels = true;
    // Unchosen, the day and length edits show where a new choice starts.
    options.unchosenNumbers = TPolicyPages::Numbers {21, 1, 5, 5, 0};
    m_policyPages = std::make_unique<TPolicyPages>(pcCAP, options);
    tsPasswordAging = m_policyPages->agingPage;
    tsPasswordRestrictions = m_policyPages->restrictionsPage;
    tsAccountLocking = m_policyPages->lockingPage;
    dbchkPWAgingEnabled = m_policyPages->agingEnabled;
    m_policyPages->adoptControls(*this);
    cap->addWidget(pcCAP);
    layout->addWidget(grpCAP);
    return page;
}

void TFormCSMain::connectHandlers()
{
    auto on = [this](auto* sender, auto signal, void (TFormCSMain::*handler)()) {
        connect(sender, signal, this, [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    };
    on(btnOk, &QPushButton::clicked, &TFormCSMain::btnOkClick);
    on(dblkUserName, &TDBLookupComboBox::keyValueChanged, &TFormCSMain::dblkUserNameChange);
    on(dblkUserName, &TDBLookupComboBox::dropDown, &TFormCSMain::dblkUserNameDropDown);
    on(spbtnAddUser, &QToolButton::clicked, &TFormCSMain::spbtnAddUserClick);
    on(spbtnEditUser, &QToolButton::clicked, &TFormCSMain::spbtnEditUserClick);
    on(spbtnDelUser, &QToolButton::clicked, &TFormCSMain::spbtnDelUserClick);
    on(spbtnAddAccess, &QToolButton::clicked, &TFormCSMain::AddAccess);
    on(spbtnDelAccess, &QToolButton::clicked, &TFormCSMain::RemoveAccess);
    on(spbtnAccAdd, &QToolButton::clicked, &TFormCSMain::spbtnAccAddClick);
    on(spbtnAccEdit, &QToolButton::clicked, &TFormCSMain::spbtnAccEditClick);
    on(spbtnAccDel, &QToolButton::clicked, &TFormCSMain::spbtnAccDelClick);
    on(spbtnAddGroup, &QToolButton::clicked, &TFormCSMain::spbtnAddGroupClick);
    on(spbtnEditGroup, &QToolButton::clicked, &TFormCSMain::spbtnEditGroupClick);
    on(spbtnDelGroup, &QToolButton::clicked, &TFormCSMain::spbtnDelGroupClick);
    on(btnGAPSettings, &QPushButton::clicked, &TFormCSMain::btnGAPSettingsClick);
    on(rbtnUseGLBPolicy, &QRadioButton::toggled, &TFormCSMain::rbtnUseGLBPolicyClick);
    on(rbtnUseCustomPolicy, &QRadioButton::toggled, &TFormCSMain::rbtnUseGLBPolicyClick);
    on(dbchkPWAgingEnabled, &QCheckBox::clicked, &TFormCSMain::dbchkPWAgingEnabledClick);
    on(grpMaxAge, &TRadioGroup::clicked, &TFormCSMain::grpMaxAgeClick);
    on(grpMinAge, &TRadioGroup::clicked, &TFormCSMain::grpMinAgeClick);
    on(grpMinLength, &TRadioGroup::clicked, &TFormCSMain::grpMinLengthClick);
    on(grpUniqueness, &TRadioGroup::clicked, &TFormCSMain::grpUniquenessClick);
    on(rbtnAccountLocking, &QRadioButton::toggled, &TFormCSMain::rbtnAccountLockingClick);
    on(rbtnNoLocking, &QRadioButton::toggled, &TFormCSMain::rbtnAccountLockingClick);

    connect(PageControl1, &QTabWidget::currentChanged, this, [this](int) {
        QWidget* leaving = m_currentPage;
        m_currentPage = PageControl1->currentWidget();
        guarded([this, leaving] { pageChanging(leaving); });
    });

    for (QLineEdit* e : {meditMaxAge, meditMinAge, meditMinLength, meditUniqueness, meditNumOfAttempts})
        e->installEventFilter(this);

    lbUsrAccess->setDropHandlers([this](QObject* s) { return lbUsrAccessDragOver(s); },
                                 [this](QObject* s) { guarded([this, s] { lbUsrAccessDragDrop(s); }); });
    lbConstants->setDropHandlers([this](QObject* s) { return lbConstantsDragOver(s); },
                                 [this](QObject* s) { guarded([this, s] { lbConstantsDragDrop(s); }); });
}

bool TFormCSMain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(event)->text();
        if (text.size() == 1) {
            QChar key = text.at(0);
            meditNumOfAttemptsKeyPress(watched, key);
            if (key.isNull())
                return true;
            const auto* edit = qobject_cast<QLineEdit*>(watched);
            const int maxTyped = watched->property(TPolicyPages::maxTypedProperty).toInt();
            if (edit && key.unicode() >= 32 && maxTyped > 0 &&
                edit->text().size() - edit->selectedText().size() >= maxTyped)
                return true;
        }
    } else if (event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // Leaving the window or opening a popup does not leave the edit.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            if (watched == meditMaxAge)
                meditMaxAgeExit();
            else if (watched == meditMinAge)
                meditMinAgeExit();
            else if (watched == meditMinLength)
                meditMinLengthExit();
            else if (watched == meditUniqueness)
                meditUniquenessExit();
            else if (watched == meditNumOfAttempts)
                meditNumOfAttemptsExit();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFormCSMain::FormCreate() { LimitAccess = false; }

void TFormCSMain::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_shown)
        guarded([this] { FormShow(); });
}

void TFormCSMain::FormShow()
{
    m_shown = true;
    for (TQuery* q : {sqlUsers, sqlPWHist, sqlGroups, sqlAccess, sqlGrpColl, sqlProgram, sqlUsrAcc, sqlUpdate})
        q->setDatabaseName(SecAlias);
    sqlUsers->open();
    sqlPWHist->setParamInteger(QStringLiteral("User_ID"), -1);
    sqlPWHist->open();
    sqlGroups->open();
    sqlAccess->open();
    sqlGrpColl->open();
    sqlUsrAcc->setParamInteger(QStringLiteral("User_ID"), -1);
    sqlUsrAcc->open();
    m_usrAccUser = -1;
    sqlProgram->open();

    if (sqlProgram->isEmpty()) {
        sqlProgram->append();
        sqlProgram->fieldByName(QStringLiteral("Security_Label"))->setAsString(QString());
        sqlProgram->post();
        sqlProgram->edit();
    }

    dblkUserName->setListSource(dsUsers, QStringLiteral("User_ID"), QStringLiteral("User_Name"));
    dbedSecLabel->setDataField(dsProgram, QStringLiteral("Security_Label"));
    DBEdit1->setDataField(dsProgram, QStringLiteral("Label1"));
    DBEdit2->setDataField(dsProgram, QStringLiteral("Label2"));
    dbchkSecEnabled->setDataField(dsProgram, QStringLiteral("Enabled"));
    dbcxLogEnabled->setDataField(dsProgram, QStringLiteral("LogEnabled"));

    PageControl1->setCurrentWidget(UserSheet);
    pcCAP->setCurrentWidget(tsPasswordAging);

    UpdateUserInformation();
    UpdateAccessInformation();
    UpdateGroupInformation();

    PrevEnabled = sqlProgram->fieldByName(QStringLiteral("ENABLED"))->asInteger() != 0;

    if (LimitAccess) {
        spbtnAccAdd->hide();
        spbtnAccEdit->hide();
        spbtnAccDel->hide();
    }
}

void TFormCSMain::btnOkClick() { done(QDialog::Accepted); }

void TFormCSMain::done(int result)
{
    guarded([this] { FormClose(); });
    QDialog::done(result);
}

void TFormCSMain::FormClose()
{
    if (selectedUserId() > -1)
        saveSelectedUser();
}

void TFormCSMain::FormDestroy()
{
    m_destroyed = true;
    if (sqlProgram->active()) {
        if (PrevEnabled && sqlProgram->fieldByName(QStringLiteral("Enabled"))->asInteger() != 1)
            sqlProgram->fieldByName(QStringLiteral("DateDisabled"))->setAsDate(QDate::currentDate());
        if (dsProgram->state() == TQuery::State::Edit || dsProgram->state() == TQuery::State::Insert)
            postProgram();
    }
    for (TQuery* q : {sqlUsrAcc, sqlUsers, sqlPWHist, sqlProgram, sqlGrpColl, sqlAccess, sqlGroups})
        q->close();
}

void TFormCSMain::PageControl1Changing(bool& allowChange)
{
    pageChanging(PageControl1->currentWidget());
    allowChange = true;
}

void TFormCSMain::pageChanging(QWidget* leaving)
{
    if (selectedUserId() <= -1)
        return;
    if (leaving == AccountSheet)
        saveSelectedUser();
    else if (leaving == UserSheet)
        UpdateUserInformation();
}

void TFormCSMain::saveSelectedUser()
{
    if (rbtnUseCustomPolicy->isChecked())
        SaveUserInformation();
    else
        SaveGAPToUser();
    refreshEffectivePolicy(selectedUserId());
}
