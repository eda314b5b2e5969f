// The date-range dialog: its texts, the stored starting range and both answers.
#include "widgets/TFrmUsageDlg.h"
#include "platform/RegionalSettings.h"
#include "tests/support/ModalPoller.h"
#include "widgets/TDateEdit.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

TEST(UsageDialog, StartsAtTheStoredRangeAndReturnsTheChosenDates)
{
    Platform::setRegionalSettings(Platform::RegionalSettings {});
    {
        TFrmUsageDlg dialog;
        EXPECT_EQ(FrmUsageDlg, &dialog);
        EXPECT_EQ(dialog.windowTitle(), "Select Ranges");
        EXPECT_EQ(dialog.lblStart->text(), "Start Date:");
        EXPECT_EQ(dialog.lblEnd->text(), "Ending Date:");
        EXPECT_EQ(dialog.dedStart->ValidDateColor, QColor(Qt::blue));

        whenModal([&](QWidget* modal) {
            EXPECT_EQ(modal, &dialog);
            EXPECT_EQ(dialog.dedStart->text(), "4/6/1998") << "shown, the stored date stays";
            EXPECT_EQ(dialog.dedEnd->date(), QDate(1998, 4, 6));
            dialog.dedEnd->setDate(QDate(1998, 5, 1));
            dialog.OKBtn->click();
        });
        ASSERT_EQ(dialog.exec(), QDialog::Accepted);
        EXPECT_EQ(dialog.dedStart->date(), QDate(1998, 4, 6));
        EXPECT_EQ(dialog.dedEnd->date(), QDate(1998, 5, 1));

        whenModal([&](QWidget*) { dialog.CancelBtn->click(); });
        EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    }
    EXPECT_EQ(FrmUsageDlg, nullptr);
    Platform::setRegionalSettings(std::nullopt);
}

TEST(UsageDialog, EnterInTheEndingDateTakesTheDateTypedThere)
{
    Platform::setRegionalSettings(Platform::RegionalSettings {});
    TFrmUsageDlg dialog;
    whenModal([&](QWidget*) {
        dialog.dedEnd->setFocus();
        dialog.dedEnd->setText("12/31/2001");
        QTest::keyClick(dialog.dedEnd, Qt::Key_Return);
    });
    ASSERT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(dialog.dedEnd->date(), QDate(2001, 12, 31));
    Platform::setRegionalSettings(std::nullopt);
}
