#include "editor/CSgapset.h"

#include "editor/TPolicyPages.h"
#include "editor/TRadioGroup.h"
#include "editor/TUpDown.h"

#include <QCheckBox>
#include <QHBoxLayout>
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

void showNumber(QLineEdit* edit, TUpDown* spin, int value)
{
    edit->setText(QString::number(value));
    spin->setPosition(value);
}
} // namespace

TFrmGAPSettings::TFrmGAPSettings(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("FrmGAPSettings"));
    setWindowTitle(QStringLiteral("Global Account Policy"));

    PageControl2 = named(new QTabWidget, "PageControl2");

    TPolicyPages::Options options;
    options.agingCheckName = "ckbxPWAgingEnabled";
    options.agingPageName = "TabSheet3";
    options.restrictionsPageName = "TabSheet1";
    options.lockingPageName = "TabSheet2";
    m_pages = std::make_unique<TPolicyPages>(PageControl2, options);
    TabSheet3 = m_pages->agingPage;
    TabSheet1 = m_pages->restrictionsPage;
    TabSheet2 = m_pages->lockingPage;
    ckbxPWAgingEnabled = m_pages->agingEnabled;
    m_pages->adoptControls(*this);
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
    m_pages->maxAgeChosen();

    if (minDays == 0) {
        grpMinAge->setItemIndex(0);
    } else if (minDays == 99999) {
        grpMinAge->setItemIndex(1);
    } else {
        grpMinAge->setItemIndex(2);
        showNumber(meditMinAge, spinMinAge, minDays);
    }
    m_pages->minAgeChosen();

    ckbxPWAgingEnabled->setChecked(aging == 1);
    grpMaxAge->setEnabled(aging == 1);
    grpMinAge->setEnabled(aging == 1);
    if (aging != 1) {
        TPolicyPages::enable(meditMaxAge, spinMaxAge, false);
        TPolicyPages::enable(meditMinAge, spinMinAge, false);
    }

    if (minSize <= 0) {
        grpMinLength->setItemIndex(0);
    } else {
        grpMinLength->setItemIndex(1);
        showNumber(meditMinLength, spinMinLength, minSize);
    }
    m_pages->minLengthChosen();

    grpUniqueness->setItemIndex(keepHistory);
    showNumber(meditUniqueness, spinUniqueness, count);
    m_pages->uniquenessChosen();

    if (locking == 1)
        rbtnAccountLocking->setChecked(true);
    else if (locking == 0)
        rbtnNoLocking->setChecked(true);
    showNumber(meditNumOfAttempts, spinAllowedAttempts, allowedAttempts);
    TPolicyPages::enable(meditNumOfAttempts, spinAllowedAttempts, locking == 1);
}

void TFrmGAPSettings::ckbxPWAgingEnabledClick() { m_pages->agingEnablesByChoice(); }
void TFrmGAPSettings::grpMaxAgeClick() { m_pages->maxAgeChosen(); }
void TFrmGAPSettings::grpMinAgeClick() { m_pages->minAgeChosen(); }
void TFrmGAPSettings::grpMinLengthClick() { m_pages->minLengthChosen(); }
void TFrmGAPSettings::grpUniquenessClick() { m_pages->uniquenessChosen(); }
void TFrmGAPSettings::rbtnAccountLockingClick() { m_pages->lockingChosen(false); }
