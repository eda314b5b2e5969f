// The pick-list dialog through its real exec(): OK, Cancel, OK without a selection, double click.
#include "widgets/TfrmPickList.h"
#include "tests/support/ModalPoller.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QStringList aliases {QStringLiteral("ALPHA_SEC"), QStringLiteral("BETA_SEC"), QStringLiteral("GAMMA_SEC")};

// Opens the list, lets act work on the dialog, and returns what PickFromList gave.
int pickWith(std::function<void(TfrmPickList*)> act)
{
    bool seen = false;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<TfrmPickList*>(modal);
        if (!dialog) {
            modal->close();
            return;
        }
        seen = true;
        EXPECT_EQ(dialog->windowTitle(), "Select Security Alias");
        EXPECT_EQ(dialog->lblLabel->text(), "Alias:");
        EXPECT_EQ(dialog->lboxList->count(), 3);
        act(dialog);
    });
    const int picked = PickFromList(QStringLiteral("Alias:"), QStringLiteral("Select Security Alias"), aliases);
    EXPECT_TRUE(seen);
    EXPECT_EQ(frmPickList, nullptr);
    return picked;
}

} // namespace

TEST(PickList, OkReturnsTheSelectedIndex)
{
    EXPECT_EQ(pickWith([](TfrmPickList* d) {
                  d->lboxList->setCurrentRow(2);
                  d->bbtnOk->click();
              }),
              2);
}

TEST(PickList, CancelAndOkWithoutSelectionBothGiveMinusOne)
{
    EXPECT_EQ(pickWith([](TfrmPickList* d) {
                  d->lboxList->setCurrentRow(1);
                  d->bbtnCancel->click();
              }),
              -1);
    EXPECT_EQ(pickWith([](TfrmPickList* d) { d->bbtnOk->click(); }), -1);
}

TEST(PickList, DoubleClickPicksAtOnce)
{
    EXPECT_EQ(pickWith([](TfrmPickList* d) {
                  QListWidgetItem* item = d->lboxList->item(1);
                  const QPoint at = d->lboxList->visualItemRect(item).center();
                  QTest::mouseClick(d->lboxList->viewport(), Qt::LeftButton, {}, at);
                  QTest::mouseDClick(d->lboxList->viewport(), Qt::LeftButton, {}, at);
              }),
              1);
}
