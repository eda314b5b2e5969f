#include "editor/CSgapset.h"

#include "editor/TRadioGroup.h"
#include "editor/TUpDown.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

TFrmGAPSettings* FrmGAPSettings = nullptr;

namespace {
template <typename T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLineEdit* numberEdit(const char* name, int maxLength)
{
    auto* e = named(new QLineEdit, name);
    e->setMaxLength(maxLength);
    e->setText(QStringLiteral("1"));
    e->setFixedWidth(36);
    e->setAlignment(Qt::AlignRight);
    return e;
}

TUpDown* upDown(const char* name, QLineEdit* edit, int maximum)
{
    auto* s = named(new TUpDown, name);
    s->setRange(1, maximum);
    s->setAssociate(edit);
    return s;
}

void showNumber(QLineEdit* edit, TUpDown* spin, int value)
{
    edit->setText(QString::number(value));
    spin->setPosition(value);
}

void enable(QLineEdit* edit, TUpDown* spin, bool on)
{
    edit->setEnabled(on);
    spin->setEnabled(on);
}
} // namespace

TFrmGAPSettings::TFrmGAPSettings(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("FrmGAPSettings"));
    setWindowTitle(QStringLiteral("Global Account Policy"));

    PageControl2 = named(new QTabWidget, "PageControl2");

    TabSheet3 = named(new QWidget, "TabSheet3");
    auto* aging = new QVBoxLayout(TabSheet3);
    ckbxPWAgingEnabled = named(new QCheckBox(QStringLiteral("Password Aging Enabled")), "ckbxPWAgingEnabled");
    aging->addWidget(ckbxPWAgingEnabled);
    grpMaxAge = named(new TRadioGroup(QStringLiteral("Maximum Password Age"),
                                      {QStringLiteral("Password Never Expires"), QStringLiteral("Password Expires In")}),
                      "grpMaxAge");
    meditMaxAge = numberEdit("meditMaxAge", 3);
    spinMaxAge = upDown("spinMaxAge", meditMaxAge, 999);
    grpMaxAge->setItemTrailer(1, {meditMaxAge, spinMaxAge, new QLabel(QStringLiteral("Days"))});
    aging->addWidget(grpMaxAge);
    grpMinAge = named(new TRadioGroup(QStringLiteral("Minimum Password Age"),
                                      {QStringLiteral("Allow Immediate Change"), QStringLiteral("Never Allow Change"),
                                       QStringLiteral("Allow Change After")}),
                      "grpMinAge");
    meditMinAge = numberEdit("meditMinAge", 3);
    spinMinAge = upDown("spinMinAge", meditMinAge, 999);
    grpMinAge->setItemTrailer(2, {meditMinAge, spinMinAge, new QLabel(QStringLiteral("Days"))});
    aging->addWidget(grpMinAge);
    aging->addStretch(1);

    TabSheet1 = named(new QWidget, "TabSheet1");
    auto* restrictions = new QVBoxLayout(TabSheet1);
    grpMinLength = named(new TRadioGroup(QStringLiteral("Minimum Length of Password"),
                                         {QStringLiteral("Allow Blank Password"),
                                          QStringLiteral("Password Must Be  At Least")}),
                         "grpMinLength");
    meditMinLength = numberEdit("meditMinLength", 2);
    spinMinLength = upDown("spinMinLength", meditMinLength, 15);
    grpMinLength->setItemTrailer(1, {meditMinLength, spinMinLength, new QLabel(QStringLiteral("Characters"))});
    restrictions->addWidget(grpMinLength);
    grpUniqueness = named(new TRadioGroup(QStringLiteral("Password Uniqueness"),
                                          {QStringLiteral("No Password History"), QStringLiteral("Remember")}),
                          "grpUniqueness");
    meditUniqueness = numberEdit("meditUniqueness", 2);
    spinUniqueness = upDown("spinUniqueness", meditUniqueness, 25);
    grpUniqueness->setItemTrailer(1, {meditUniqueness, spinUniqueness, new QLabel(QStringLiteral("Passwords"))});
    restrictions->addWidget(grpUniqueness);
    restrictions->addStretch(1);

    TabSheet2 = named(new QWidget, "TabSheet2");
    auto* locking = new QVBoxLayout(TabSheet2);
    rbtnAccountLocking = named(new QRadioButton(QStringLiteral("Account Locking")), "rbtnAccountLocking");
    rbtnNoLocking = named(new QRadioButton(QStringLiteral("No Account Locking")), "rbtnNoLocking");
    rbtnNoLocking->setChecked(true);
    lblLocking1 = named(new QLabel(QStringLiteral("Lock Account After")), "lblLocking1");
    lblLocking2 = named(new QLabel(QStringLiteral("Incorrect Login Attempts")), "lblLocking2");
    meditNumOfAttempts = numberEdit("meditNumOfAttempts", 3);
    spinAllowedAttempts = upDown("spinAllowedAttempts", meditNumOfAttempts, 999);
    locking->addWidget(rbtnAccountLocking);
    auto* attempts = new QHBoxLayout;
    attempts->addSpacing(20);
    attempts->addWidget(lblLocking1);
    attempts->addWidget(meditNumOfAttempts);
    attempts->addWidget(spinAllowedAttempts);
    attempts->addWidget(lblLocking2);
    attempts->addStretch(1);
    locking->addLayout(attempts);
    locking->addWidget(rbtnNoLocking);
    locking->addStretch(1);

    PageControl2->addTab(TabSheet3, QStringLiteral("Password Aging"));
    PageControl2->addTab(TabSheet1, QStringLiteral("Password Restrictions"));
    PageControl2->addTab(TabSheet2, QStringLiteral("Account Locking"));
    PageControl2->setCurrentIndex(0);

    BitBtn1 = named(new QPushButton(QStringLiteral("OK")), "BitBtn1");
    BitBtn1->setDefault(true);
    BitBtn2 = named(new QPushButton(QStringLiteral("Cancel")), "BitBtn2");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    layout->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(380, 300)));

    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    connect(ckbxPWAgingEnabled, &QCheckBox::clicked, this, &TFrmGAPSettings::ckbxPWAgingEnabledClick);
    connect(grpMaxAge, &TRadioGroup::clicked, this, &TFrmGAPSettings::grpMaxAgeClick);
    connect(grpMinAge, &TRadioGroup::clicked, this, &TFrmGAPSettings::grpMinAgeClick);
    connect(grpMinLength, &TRadioGroup::clicked, this, &TFrmGAPSettings::grpMinLengthClick);
    connect(grpUniqueness, &TRadioGroup::clicked, this, &TFrmGAPSettings::grpUniquenessClick);
    connect(rbtnAccountLocking, &QRadioButton::toggled, this, &TFrmGAPSettings::rbtnAccountLockingClick);
    connect(rbtnNoLocking, &QRadioButton::toggled, this, &TFrmGAPSettings::rbtnAccountLockingClick);
}

TFrmGAPSettings::~TFrmGAPSettings()
{
    if (FrmGAPSettings == this)
        FrmGAPSettings = nullptr;
}

void TFrmGAPSettings::loadPolicy(int maxDays, int minDays, int aging, int minSize, int keepHistory, int count,
                                 int locking, int allowedAttempts)
{
    if (maxDays <= 0) {
        grpMaxAge->setItemIndex(0);
    } else {
        grpMaxAge->setItemIndex(1);
        showNumber(meditMaxAge, spinMaxAge, maxDays);
    }
    enable(meditMaxAge, spinMaxAge, grpMaxAge->itemIndex() == 1);

    if (minDays == 0) {
        grpMinAge->setItemIndex(0);
    } else if (minDays == 99999) {
        grpMinAge->setItemIndex(1);
    } else {
        grpMinAge->setItemIndex(2);
        showNumber(meditMinAge, spinMinAge, minDays);
    }
    enable(meditMinAge, spinMinAge, grpMinAge->itemIndex() == 2);

    ckbxPWAgingEnabled->setChecked(aging == 1);
    grpMaxAge->setEnabled(aging == 1);
    grpMinAge->setEnabled(aging == 1);
    if (aging != 1) {
        enable(meditMaxAge, spinMaxAge, false);
        enable(meditMinAge, spinMinAge, false);
    }

    if (minSize <= 0) {
        grpMinLength->setItemIndex(0);
    } else {
        grpMinLength->setItemIndex(1);
        showNumber(meditMinLength, spinMinLength, minSize);
    }
    enable(meditMinLength, spinMinLength, grpMinLength->itemIndex() == 1);

    grpUniqueness->setItemIndex(keepHistory);
    showNumber(meditUniqueness, spinUniqueness, count);
    enable(meditUniqueness, spinUniqueness, grpUniqueness->itemIndex() == 1);

    if (locking == 1)
        rbtnAccountLocking->setChecked(true);
    else if (locking == 0)
        rbtnNoLocking->setChecked(true);
    showNumber(meditNumOfAttempts, spinAllowedAttempts, allowedAttempts);
    enable(meditNumOfAttempts, spinAllowedAttempts, locking == 1);
}

void TFrmGAPSettings::ckbxPWAgingEnabledClick()
{
    const bool on = ckbxPWAgingEnabled->isChecked();
    grpMaxAge->setEnabled(on);
    grpMinAge->setEnabled(on);
    enable(meditMinAge, spinMinAge, on && grpMinAge->itemIndex() == 2);
    enable(meditMaxAge, spinMaxAge, on && grpMaxAge->itemIndex() == 1);
}

void TFrmGAPSettings::grpMaxAgeClick() { enable(meditMaxAge, spinMaxAge, grpMaxAge->itemIndex() == 1); }
void TFrmGAPSettings::grpMinAgeClick() { enable(meditMinAge, spinMinAge, grpMinAge->itemIndex() == 2); }
void TFrmGAPSettings::grpMinLengthClick() { enable(meditMinLength, spinMinLength, grpMinLength->itemIndex() == 1); }
void TFrmGAPSettings::grpUniquenessClick()
{
    enable(meditUniqueness, spinUniqueness, grpUniqueness->itemIndex() == 1);
}
void TFrmGAPSettings::rbtnAccountLockingClick()
{
    enable(meditNumOfAttempts, spinAllowedAttempts, rbtnAccountLocking->isChecked());
}
