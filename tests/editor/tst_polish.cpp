// What a new user meets first: every policy tab shown whole, arrow buttons big
// enough to hit with tool tips, tool tips and non-clashing accelerators on the
// editor's buttons, user field labels, and constant ids shown where a developer
// looks for them.
#include "EditorFixture.h"

#include "editor/TFormCSGroup.h"
#include "editor/TformCSUser.h"
#include "editor/TFrmGAPSettings.h"
#include "platform/FormControls.h"

#include <QAbstractButton>
#include <QDir>
#include <QTabBar>

namespace {
// Saves what the window shows when JOVSEC_SCREENSHOT_DIR names a folder, so a run
// under a real display can be looked at.
void saveShot(QWidget* window, const QString& name)
{
    const QString dir = qEnvironmentVariable("JOVSEC_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        window->grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

// Every tab of the bar shows its whole caption, and the bar shows no scroll arrows.
void expectTabsWhole(QTabWidget* tabs)
{
    const QTabBar* bar = tabs->tabBar();
    for (int i = 0; i < bar->count(); ++i) {
        const QRect tab = bar->tabRect(i);
        EXPECT_GT(tab.width(), bar->fontMetrics().horizontalAdvance(bar->tabText(i))) << qPrintable(bar->tabText(i));
        EXPECT_LE(tab.right(), bar->width()) << qPrintable(bar->tabText(i));
    }
    for (const QToolButton* arrow : bar->findChildren<QToolButton*>())
        EXPECT_FALSE(arrow->isVisible()) << "scroll arrows shown";
}

// The visible buttons of a window each have a tool tip, those with a caption an
// accelerator, and no two share a letter.
void expectButtonsHelpful(QWidget* window, const QString& where)
{
    for (const QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        if (!b->isVisibleTo(window) || (!qobject_cast<const QPushButton*>(b) && !qobject_cast<const QToolButton*>(b)))
            continue;
        EXPECT_FALSE(b->toolTip().isEmpty()) << qPrintable(where + ": " + b->objectName());
        if (!b->text().isEmpty()) {
            EXPECT_FALSE(QKeySequence::mnemonic(b->text()).isEmpty()) << qPrintable(where + ": " + b->text());
        }
    }
    EXPECT_EQ(Platform::clashingAccelerators(window), QString()) << qPrintable(where);
}

void expectArrowUsable(QToolButton* arrow)
{
    arrow->ensurePolished();
    const int text = arrow->fontMetrics().height();
    EXPECT_GE(arrow->width(), text) << qPrintable(arrow->objectName());
    EXPECT_GE(arrow->height(), text) << qPrintable(arrow->objectName());
    // The arrow itself is drawn as tall as the text, on a framed button.
    EXPECT_FALSE(arrow->icon().isNull()) << qPrintable(arrow->objectName());
    EXPECT_GE(arrow->iconSize().height(), text) << qPrintable(arrow->objectName());
    EXPECT_FALSE(arrow->autoRaise()) << qPrintable(arrow->objectName());
    EXPECT_FALSE(arrow->toolTip().isEmpty()) << qPrintable(arrow->objectName());
}
} // namespace

TEST(PolicyTabsTest, GlobalPolicyDialogShowsEveryTabWholeAtNormalAndLargeFonts)
{
    for (const qreal scale : {1.0, 1.5, 2.0}) {
        TFrmGAPSettings dialog;
        QFont font = dialog.font();
        font.setPointSizeF(font.pointSizeF() * scale);
        dialog.setFont(font);
        dialog.show();
        QApplication::processEvents();
        expectTabsWhole(dialog.PageControl2);
        EXPECT_FALSE(dialog.PageControl2->usesScrollButtons());
        for (int i = 0; i < dialog.PageControl2->count(); ++i) {
            dialog.PageControl2->setCurrentIndex(i);
            expectButtonsHelpful(&dialog, QStringLiteral("global policy tab %1").arg(i));
            saveShot(&dialog, QStringLiteral("gapset-x%1-tab%2").arg(scale).arg(i));
        }
        dialog.close();
    }
}

TEST_F(EditorTest, EditorPagesHaveToolTipsUsableArrowsAndNoClashingAccelerators)
{
    db->addProgram();
    openEditor();
    editor->show();
    QApplication::processEvents();
    expectArrowUsable(editor->spbtnAddAccess);
    expectArrowUsable(editor->spbtnDelAccess);
    for (QWidget* list : {editor->tsGroups, editor->tsConstants}) {
        editor->tnbkLists->setCurrentWidget(list);
        expectButtonsHelpful(editor.get(), "User Setup with " + list->objectName());
        saveShot(editor.get(), "editor-" + list->objectName());
    }
    editor->PageControl1->setCurrentWidget(editor->AccountSheet);
    expectButtonsHelpful(editor.get(), QStringLiteral("Account Policy"));
    expectTabsWhole(editor->pcCAP);
    saveShot(editor.get(), QStringLiteral("editor-account"));
}

TEST_F(EditorTest, GroupDialogArrowsAreUsableAndExplained)
{
    db->addProgram();
    openEditor();
    bool seen = false;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<TFormCSGroup*>(modal);
        ASSERT_NE(dialog, nullptr);
        seen = true;
        expectArrowUsable(dialog->spbtnAdd);
        expectArrowUsable(dialog->spbtnDel);
        expectButtonsHelpful(dialog, QStringLiteral("group dialog"));
        saveShot(dialog, QStringLiteral("group-dialog"));
        dialog->bbtnCancel->click();
    });
    editor->spbtnAddGroupClick();
    EXPECT_TRUE(seen);
}

TEST_F(EditorTest, UserDialogLabelsShowTheSetLabelsOrNothing)
{
    struct Case {
        const char* label1;
        const char* label2;
        QString caption1;
        QString caption2;
    };
    db->addProgram();
    for (const Case& c : {Case {"Dept", "", "Dept:", ""}, Case {"", "  ", "", ""}, Case {"A", "B", "A:", "B:"}}) {
        db->exec(QStringLiteral("update PROGRAM set Label1 = '%1', Label2 = '%2'").arg(c.label1, c.label2));
        openEditor();
        QString caption1, caption2;
        whenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<TformCSUser*>(modal);
            ASSERT_NE(dialog, nullptr);
            caption1 = dialog->lblDef1->text();
            caption2 = dialog->lblDef2->text();
            expectButtonsHelpful(dialog, QStringLiteral("user dialog"));
            dialog->bbtnCancel->click();
        });
        editor->spbtnAddUserClick();
        EXPECT_EQ(caption1, c.caption1);
        EXPECT_EQ(caption2, c.caption2);
    }
}

TEST_F(EditorTest, ConstantIdShowsInTheListToolTipAndTheEditDialog)
{
    db->addProgram();
    addConstant("Orders");
    const int id = addConstant("Reports");
    openEditor();
    select(editor->lbConstants, "Reports");
    const int row = editor->lbConstants->itemIndex();
    EXPECT_TRUE(editor->lbConstants->item(row)->toolTip().contains(QString::number(id)));
    EXPECT_TRUE(editor->lbConstants->item(row)->toolTip().contains("TestAccess"));

    // The real dialog: the id read-only above the label being edited.
    Platform::setInputHandler({});
    QString shownId;
    bool readOnly = false;
    whenModal([&](QWidget* modal) {
        auto* shown = modal->findChild<QLineEdit*>(QStringLiteral("edShown"));
        auto* value = modal->findChild<QLineEdit*>(QStringLiteral("edValue"));
        ASSERT_TRUE(shown && value);
        shownId = shown->text();
        readOnly = shown->isReadOnly();
        EXPECT_EQ(value->text(), "Reports");
        value->setText("Printing");
        QTest::keyClick(value, Qt::Key_Return);
    });
    editor->spbtnAccEditClick();
    EXPECT_EQ(shownId, QString::number(id));
    EXPECT_TRUE(readOnly);
    EXPECT_EQ(db->scalar(QStringLiteral("select ACCESS_NAME from ACCESS where ACCESS_ID = %1").arg(id)), "Printing");
}
