#pragma once
// TPolicyPages: the three account policy pages ("Password Aging", "Password
// Restrictions", "Account Locking") that the setup editor and the global policy
// dialog both show, the one mapping between an account policy and their controls,
// and the enabling rules of the controls. Each form names its check box and pages,
// connects the controls to its own handlers and keeps its own pointers to them (see
// adoptControls).

#include "rules/TAccountPolicy.h"

#include <QString>

#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTabWidget;
class QWidget;
class TRadioGroup;
class TUpDown;

class TPolicyPages {
public:
    // Numbers the edits give or show where the controls or the policy give none.
    struct Numbers {
        int maxDays;
        int minDays;
        int minSize;
        int count;
        int allowedAttempts;
    };

    // Where the two forms differ.
    struct Options {
        const char* agingCheckName; // the "Password Aging Enabled" check box
        const char* agingPageName; // "Password Aging"
        const char* restrictionsPageName; // "Password Restrictions"
        const char* lockingPageName; // "Account Locking"
        // true: an edit's length bounds typing only and is kept in maxTypedProperty
        // for the form's own key filter; false: the edit's maximum length.
        bool typedLengthOnly = false;
        // What meditUniqueness shows at first (the others show "1").
        QString uniquenessText = QStringLiteral("1");
        // Whether the two labels around the attempts edit are dimmed with it.
        bool lockingDimsLabels = false;
        // What the day and length edits show, disabled, while their choice does not
        // use them (maxDays, minDays, minSize); none: they keep what they show.
        std::optional<Numbers> unchosenNumbers;
    };

    // The property holding an edit's typing limit when Options::typedLengthOnly.
    static const char* const maxTypedProperty;

    // Creates the pages and their controls and adds the pages to tabs.
    TPolicyPages(QTabWidget* tabs, const Options& options);

    // Shows a policy: its choices and numbers, with the controls enabled as they
    // follow from them. The uniqueness edit shows policy.count when it is set.
    void show(const TAccountPolicy& policy) const;
    // The policy the controls show; an edit that holds no integer gives the
    // fallback. The count is set only while "Remember" is chosen.
    TAccountPolicy chosen(const Numbers& fallbacks) const;

    // Gives a form's members of the same names the shared controls.
    template <typename Form>
    void adoptControls(Form& form) const
    {
        form.grpMaxAge = grpMaxAge;
        form.meditMaxAge = meditMaxAge;
        form.spinMaxAge = spinMaxAge;
        form.grpMinAge = grpMinAge;
        form.meditMinAge = meditMinAge;
        form.spinMinAge = spinMinAge;
        form.grpMinLength = grpMinLength;
        form.meditMinLength = meditMinLength;
        form.spinMinLength = spinMinLength;
        form.grpUniqueness = grpUniqueness;
        form.meditUniqueness = meditUniqueness;
        form.spinUniqueness = spinUniqueness;
        form.rbtnAccountLocking = rbtnAccountLocking;
        form.rbtnNoLocking = rbtnNoLocking;
        form.lblLocking1 = lblLocking1;
        form.lblLocking2 = lblLocking2;
        form.meditNumOfAttempts = meditNumOfAttempts;
        form.spinAllowedAttempts = spinAllowedAttempts;
    }

    // Enabling rules.
    // Both age groups and both edits with their spins follow the check box.
    void agingEnablesAll() const;
    // Both age groups follow the check box; an edit and its spin also need the
    // group's choice that uses them.
    void agingEnablesByChoice() const;
    // An edit and its spin are enabled while their group's choice uses them.
    void maxAgeChosen() const;
    void minAgeChosen() const;
    void minLengthChosen() const;
    void uniquenessChosen() const;
    // The attempts edit and spin (and with withLabels its two labels) are enabled
    // while account locking is chosen.
    void lockingChosen(bool withLabels) const;
    static void enable(QLineEdit* edit, TUpDown* spin, bool on);

    QWidget* agingPage;
    QWidget* restrictionsPage;
    QWidget* lockingPage;
    QCheckBox* agingEnabled;
    TRadioGroup* grpMaxAge;
    QLineEdit* meditMaxAge;
    TUpDown* spinMaxAge;
    TRadioGroup* grpMinAge;
    QLineEdit* meditMinAge;
    TUpDown* spinMinAge;
    TRadioGroup* grpMinLength;
    QLineEdit* meditMinLength;
    TUpDown* spinMinLength;
    TRadioGroup* grpUniqueness;
    QLineEdit* meditUniqueness;
    TUpDown* spinUniqueness;
    QRadioButton* rbtnAccountLocking;
    QRadioButton* rbtnNoLocking;
    QLabel* lblLocking1;
    QLabel* lblLocking2;
    QLineEdit* meditNumOfAttempts;
    TUpDown* spinAllowedAttempts;

private:
    Options m_options;
};
