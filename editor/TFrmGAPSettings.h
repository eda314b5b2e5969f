#pragma once
// TFrmGAPSettings (unit CSgapset): the global account policy dialog. The editor loads
// it from the PROGRAM row and, after OK, stores what it shows and hands it on to every
// user who follows the global policy.

#include "rules/TAccountPolicy.h"

#include <QDialog>

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class TPolicyPages;
class TRadioGroup;
class TUpDown;

class TFrmGAPSettings : public QDialog {
    Q_OBJECT
public:
    explicit TFrmGAPSettings(QWidget* owner = nullptr);
    ~TFrmGAPSettings() override;

    // Shows the stored global policy (the GLB_ columns of PROGRAM).
    void loadPolicy(const TAccountPolicy& policy);
    // The policy the dialog shows, as OK stores it.
    TAccountPolicy policy() const;

    void ckbxPWAgingEnabledClick();
    void grpMaxAgeClick();
    void grpMinAgeClick();
    void grpMinLengthClick();
    void grpUniquenessClick();
    void rbtnAccountLockingClick();

    QTabWidget* PageControl2;
    QWidget* TabSheet3;
    QWidget* TabSheet1;
    QWidget* TabSheet2;
    QCheckBox* ckbxPWAgingEnabled;
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
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;

private:
    // Builds the three policy pages and holds their enabling rules.
    std::unique_ptr<TPolicyPages> m_pages;
};

// The open global policy dialog.
extern TFrmGAPSettings* FrmGAPSettings;
