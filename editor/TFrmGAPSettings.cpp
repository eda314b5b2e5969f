#include "editor/TFrmGAPSettings.h"

#include "editor/TPolicyPages.h"
#include "widgets/TRadioGroup.h"
#include "editor/TUpDown.h"
#include "platform/FormControls.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

TFrmGAPSettings* FrmGAPSettings = nullptr;

using Platform::named;

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

    BitBtn1 = named(new QPushButton(QStringLiteral("&OK")), "BitBtn1");
    BitBtn1->setDefault(true);
    BitBtn1->setToolTip(QStringLiteral("Store this policy and give it to every user who follows the global policy"));
    BitBtn2 = named(new QPushButton(QStringLiteral("&Cancel")), "BitBtn2");
    BitBtn2->setToolTip(QStringLiteral("Close without changing the global policy"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    layout->addLayout(buttons);
    // The layout sizes the dialog: wide enough for every tab of the pages whole.
    layout->setSizeConstraint(QLayout::SetFixedSize);

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

void TFrmGAPSettings::loadPolicy(const TAccountPolicy& policy) { m_pages->show(policy); }

TAccountPolicy TFrmGAPSettings::policy() const
{
    // What OK stores where an edit holds no integer.
    constexpr TPolicyPages::Numbers fallbacks {21, 1, 5, 5, 3};
    return m_pages->chosen(fallbacks);
}

void TFrmGAPSettings::ckbxPWAgingEnabledClick() { m_pages->agingEnablesByChoice(); }
void TFrmGAPSettings::grpMaxAgeClick() { m_pages->maxAgeChosen(); }
void TFrmGAPSettings::grpMinAgeClick() { m_pages->minAgeChosen(); }
void TFrmGAPSettings::grpMinLengthClick() { m_pages->minLengthChosen(); }
void TFrmGAPSettings::grpUniquenessClick() { m_pages->uniquenessChosen(); }
void TFrmGAPSettings::rbtnAccountLockingClick() { m_pages->lockingChosen(false); }
