#include "editor/TPolicyPages.h"

#include "widgets/TRadioGroup.h"
#include "editor/TUpDown.h"
#include "platform/FormControls.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <initializer_list>

const char* const TPolicyPages::maxTypedProperty = "maxTypedLength";

using Platform::named;

namespace {
QLineEdit* numericEdit(const char* name, int maxLength, bool typedLengthOnly, const QString& text)
{
    auto* e = named(new QLineEdit, name);
    if (typedLengthOnly)
        e->setProperty(TPolicyPages::maxTypedProperty, maxLength);
    else
        e->setMaxLength(maxLength);
    e->setText(text);
    // Room for the longest number at the font's size, whatever the screen's dpi.
    e->setFixedWidth(e->fontMetrics().horizontalAdvance(QString(maxLength + 1, QLatin1Char('0'))) + 12);
    e->setAlignment(Qt::AlignRight);
    return e;
}

void showNumber(QLineEdit* edit, TUpDown* spin, int value)
{
    edit->setText(QString::number(value));
    spin->setPosition(value);
}

// The number an edit holds, or the fallback when its text is not an integer.
int numberIn(const QLineEdit* edit, int fallback)
{
    bool ok = false;
    const int n = edit->text().trimmed().toInt(&ok);
    return ok ? n : fallback;
}

// The spin starts at the number the edit shows.
TUpDown* upDown(const char* name, QLineEdit* edit, int maximum)
{
    const int minimum = 1;
    auto* s = named(new TUpDown, name);
    s->setRange(minimum, maximum);
    s->setAssociate(edit);
    bool ok = false;
    const int n = edit->text().toInt(&ok);
    s->setPosition(ok ? n : minimum);
    return s;
}
} // namespace

TPolicyPages::TPolicyPages(QTabWidget* tabs, const Options& options) : m_options(options)
{
    const bool typedOnly = options.typedLengthOnly;
    const QString one = QStringLiteral("1");

    agingPage = named(new QWidget, options.agingPageName);
    auto* aging = new QVBoxLayout(agingPage);
    agingEnabled = named(new QCheckBox(QStringLiteral("Password Aging Enabled")), options.agingCheckName);
    aging->addWidget(agingEnabled);
    grpMaxAge = named(new TRadioGroup(QStringLiteral("Maximum Password Age"), {QStringLiteral("Password Never Expires"),
                                                                               QStringLiteral("Password Expires In")}),
                      "grpMaxAge");
    meditMaxAge = numericEdit("meditMaxAge", 3, typedOnly, one);
    spinMaxAge = upDown("spinMaxAge", meditMaxAge, 999);
    grpMaxAge->setItemTrailer(1, {meditMaxAge, spinMaxAge, new QLabel(QStringLiteral("Days"))});
    aging->addWidget(grpMaxAge);
    grpMinAge = named(new TRadioGroup(QStringLiteral("Minimum Password Age"),
                                      {QStringLiteral("Allow Immediate Change"), QStringLiteral("Never Allow Change"),
                                       QStringLiteral("Allow Change After")}),
                      "grpMinAge");
    meditMinAge = numericEdit("meditMinAge", 3, typedOnly, one);
    spinMinAge = upDown("spinMinAge", meditMinAge, 999);
    grpMinAge->setItemTrailer(2, {meditMinAge, spinMinAge, new QLabel(QStringLiteral("Days"))});
    aging->addWidget(grpMinAge);
    aging->addStretch(1);

    restrictionsPage = named(new QWidget, options.restrictionsPageName);
    auto* restrictions = new QVBoxLayout(restrictionsPage);
    grpMinLength =
        named(new TRadioGroup(QStringLiteral("Minimum Length of Password"),
                              {QStringLiteral("Allow Blank Password"), QStringLiteral("Password Must Be  At Least")}),
              "grpMinLength");
    meditMinLength = numericEdit("meditMinLength", 2, typedOnly, one);
    spinMinLength = upDown("spinMinLength", meditMinLength, 15);
    grpMinLength->setItemTrailer(1, {meditMinLength, spinMinLength, new QLabel(QStringLiteral("Characters"))});
    restrictions->addWidget(grpMinLength);
    grpUniqueness = named(new TRadioGroup(QStringLiteral("Password Uniqueness"),
                                          {QStringLiteral("No Password History"), QStringLiteral("Remember")}),
                          "grpUniqueness");
    meditUniqueness = numericEdit("meditUniqueness", 2, typedOnly, options.uniquenessText);
    spinUniqueness = upDown("spinUniqueness", meditUniqueness, 25);
    grpUniqueness->setItemTrailer(1, {meditUniqueness, spinUniqueness, new QLabel(QStringLiteral("Passwords"))});
    restrictions->addWidget(grpUniqueness);
    restrictions->addStretch(1);

    lockingPage = named(new QWidget, options.lockingPageName);
    auto* locking = new QVBoxLayout(lockingPage);
    rbtnAccountLocking = named(new QRadioButton(QStringLiteral("Account Locking")), "rbtnAccountLocking");
    rbtnNoLocking = named(new QRadioButton(QStringLiteral("No Account Locking")), "rbtnNoLocking");
    rbtnNoLocking->setChecked(true);
    lblLocking1 = named(new QLabel(QStringLiteral("Lock Account After")), "lblLocking1");
    lblLocking2 = named(new QLabel(QStringLiteral("Incorrect Login Attempts")), "lblLocking2");
    meditNumOfAttempts = numericEdit("meditNumOfAttempts", 3, typedOnly, one);
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

    // All three tabs show whole at any font size: without scroll buttons and elision
    // the tab bar asks its form for room for every tab.
    tabs->setUsesScrollButtons(false);
    tabs->setElideMode(Qt::ElideNone);
    tabs->addTab(agingPage, QStringLiteral("Password Aging"));
    tabs->addTab(restrictionsPage, QStringLiteral("Password Restrictions"));
    tabs->addTab(lockingPage, QStringLiteral("Account Locking"));
}

void TPolicyPages::enable(QLineEdit* edit, TUpDown* spin, bool on)
{
    edit->setEnabled(on);
    spin->setEnabled(on);
}

void TPolicyPages::agingEnablesAll() const
{
    const bool on = agingEnabled->isChecked();
    for (QWidget* w :
         std::initializer_list<QWidget*> {grpMaxAge, meditMaxAge, spinMaxAge, grpMinAge, meditMinAge, spinMinAge})
        w->setEnabled(on);
}

void TPolicyPages::agingEnablesByChoice() const
{
    const bool on = agingEnabled->isChecked();
    grpMaxAge->setEnabled(on);
    grpMinAge->setEnabled(on);
    enable(meditMinAge, spinMinAge, on && grpMinAge->itemIndex() == 2);
    enable(meditMaxAge, spinMaxAge, on && grpMaxAge->itemIndex() == 1);
}

void TPolicyPages::maxAgeChosen() const { enable(meditMaxAge, spinMaxAge, grpMaxAge->itemIndex() == 1); }
void TPolicyPages::minAgeChosen() const { enable(meditMinAge, spinMinAge, grpMinAge->itemIndex() == 2); }
void TPolicyPages::minLengthChosen() const { enable(meditMinLength, spinMinLength, grpMinLength->itemIndex() == 1); }
void TPolicyPages::uniquenessChosen() const
{
    enable(meditUniqueness, spinUniqueness, grpUniqueness->itemIndex() == 1);
}

void TPolicyPages::lockingChosen(bool withLabels) const
{
    const bool on = rbtnAccountLocking->isChecked();
    meditNumOfAttempts->setEnabled(on);
    if (withLabels) {
        lblLocking1->setEnabled(on);
        lblLocking2->setEnabled(on);
    }
    spinAllowedAttempts->setEnabled(on);
}

void TPolicyPages::show(const TAccountPolicy& policy) const
{
    const std::optional<Numbers>& unchosen = m_options.unchosenNumbers;
    const bool aging = policy.aging == 1;
    agingEnabled->setChecked(aging);

    grpMaxAge->setItemIndex(policy.expires() ? 1 : 0);
    if (policy.expires())
        showNumber(meditMaxAge, spinMaxAge, policy.maxDays);
    else if (unchosen)
        showNumber(meditMaxAge, spinMaxAge, unchosen->maxDays);

    const int minItem = policy.minDays == 0 ? 0 : policy.minDays == TAccountPolicy::kNeverAllowChange ? 1 : 2;
    grpMinAge->setItemIndex(minItem);
    if (minItem == 2)
        showNumber(meditMinAge, spinMinAge, policy.minDays);
    else if (unchosen)
        showNumber(meditMinAge, spinMinAge, unchosen->minDays);

    grpMinLength->setItemIndex(policy.hasMinLength() ? 1 : 0);
    if (policy.hasMinLength())
        showNumber(meditMinLength, spinMinLength, policy.minSize);
    else if (unchosen)
        showNumber(meditMinLength, spinMinLength, unchosen->minSize);

    grpUniqueness->setItemIndex(policy.keepHistory);
    if (policy.count)
        showNumber(meditUniqueness, spinUniqueness, *policy.count);

    // A value other than 1 or 0 leaves both buttons as they are.
    if (policy.acctLocking == 1)
        rbtnAccountLocking->setChecked(true);
    else if (policy.acctLocking == 0)
        rbtnNoLocking->setChecked(true);
    showNumber(meditNumOfAttempts, spinAllowedAttempts, policy.allowedAttempts);

    grpMaxAge->setEnabled(aging);
    grpMinAge->setEnabled(aging);
    enable(meditMaxAge, spinMaxAge, aging && policy.expires());
    enable(meditMinAge, spinMinAge, aging && minItem == 2);
    enable(meditMinLength, spinMinLength, policy.hasMinLength());
    enable(meditUniqueness, spinUniqueness, policy.keepHistory == 1);
    const bool locking = policy.acctLocking == 1;
    enable(meditNumOfAttempts, spinAllowedAttempts, locking);
    if (m_options.lockingDimsLabels) {
        lblLocking1->setEnabled(locking);
        lblLocking2->setEnabled(locking);
    }
}

TAccountPolicy TPolicyPages::chosen(const Numbers& fallbacks) const
{
    TAccountPolicy p;
    p.aging = agingEnabled->isChecked() ? 1 : 0;
    p.maxDays = grpMaxAge->itemIndex() > 0 ? numberIn(meditMaxAge, fallbacks.maxDays) : 0;
    const int minItem = grpMinAge->itemIndex();
    p.minDays = minItem == 0   ? 0
                : minItem == 1 ? TAccountPolicy::kNeverAllowChange
                               : numberIn(meditMinAge, fallbacks.minDays);
    p.minSize = grpMinLength->itemIndex() > 0 ? numberIn(meditMinLength, fallbacks.minSize) : 0;
    p.keepHistory = grpUniqueness->itemIndex();
    if (p.keepHistory == 1)
        p.count = numberIn(meditUniqueness, fallbacks.count);
    p.acctLocking = rbtnAccountLocking->isChecked() ? 1 : 0;
    p.allowedAttempts = numberIn(meditNumOfAttempts, fallbacks.allowedAttempts);
    return p;
}
