// Opening the editor from the component, and the editor's life cycle with the
// PROGRAM row.
#include "EditorFixture.h"

#include "editor/TDBCheckBox.h"
#include "security/TJovCSsecure.h"

#include <QDate>
#include <QTest>
#include <QPushButton>
#include <QToolButton>

namespace {
struct SetupCase {
    const char* who;
    const char* logonName; // empty: nobody logs on
    const char* password;
    bool shown;
    bool constantButtons;
};
} // namespace

TEST_F(EditorTest, SetupShowsTheEditorToAdministratorsOnlyAndConstantsToTheSupervisor)
{
    db->addProgram(1, 0);
    db->addUser("boss", "pw1", "User_Admin", "1");
    db->addUser("clerk", "pw2");
    const SetupCase cases[] = {
        {"supervisor", "SUPERVISOR", "masterkey", true, true},
        {"other administrator", "boss", "pw1", true, false},
        {"not an administrator", "clerk", "pw2", false, false},
        {"nobody", "", "", false, false},
    };
    for (const SetupCase& c : cases) {
        SCOPED_TRACE(c.who);
        messages.clear();
        TJovCSsecure component;
        component.setAlias(db->alias());
        component.setPassword("masterkey");
        component.setOptions(soShowUI);
        component.Loaded();
        if (*c.logonName) {
            ASSERT_TRUE(component.LogonEx(c.logonName, c.password));
        }

        bool seen = false, buttonsVisible = false;
        QString alias, auditUser;
        whenModal([&](QWidget* modal) {
            auto* editorWindow = qobject_cast<TFormCSMain*>(modal);
            if (!editorWindow)
                return;
            seen = true;
            alias = editorWindow->SecAlias;
            auditUser = editorWindow->AuditUser;
            buttonsVisible = !editorWindow->spbtnAccAdd->isHidden() && !editorWindow->spbtnAccEdit->isHidden() &&
                             !editorWindow->spbtnAccDel->isHidden();
            editorWindow->btnOk->click();
        });
        EXPECT_EQ(component.Setup(), c.shown);
        EXPECT_EQ(seen, c.shown);
        if (c.shown) {
            EXPECT_EQ(alias, db->alias());
            EXPECT_EQ(buttonsVisible, c.constantButtons);
            // The audit trail names the user logged on to the component.
            EXPECT_EQ(auditUser, c.logonName);
            EXPECT_TRUE(messages.shown.isEmpty()) << qPrintable(messages.texts().join("|"));
        } else {
            ASSERT_EQ(messages.shown.size(), 1);
            EXPECT_EQ(messages.last(), "Administrative rights have not been granted.");
            EXPECT_EQ(messages.shown.last().kind, Platform::MsgKind::Error);
        }
        // A poller armed for a dialog that never showed must not act on the next one.
        ++modalPollerGeneration();
    }
}

TEST_F(EditorTest, GrantsMadeInSetupCountAtOnceInTheSameProgram)
{
    db->addProgram(1, 0);
    const int clerk = db->addUser("clerk", "pw2");
    db->exec("insert into ACCESS (ACCESS_NAME) values ('Print')");
    TJovCSsecure component;
    component.setAlias(db->alias());
    component.setPassword("masterkey");
    component.setOptions({});
    component.Loaded();
    ASSERT_TRUE(component.LogonEx("SUPERVISOR", "masterkey"));

    // The supervisor grants the constant while the program runs...
    whenModal([&](QWidget* modal) {
        if (auto* editorWindow = qobject_cast<TFormCSMain*>(modal)) {
            db->exec(QString("insert into USERACC values (%1, 1, 'C')").arg(clerk));
            editorWindow->btnOk->click();
        }
    });
    ASSERT_TRUE(component.Setup());
    QCoreApplication::processEvents();
    ASSERT_EQ(db->count("USERACC"), 1);
    // ...and the clerk holds it at the next logon without a restart.
    ASSERT_TRUE(component.LogonEx("clerk", "pw2"));
    EXPECT_TRUE(component.TestAccess(1));
}

TEST_F(EditorTest, AnEmptyProgramTableGetsOneRowWithAnEmptyLabel)
{
    ASSERT_EQ(db->count("PROGRAM"), 0);
    openEditor();
    EXPECT_EQ(editor->sqlProgram->state(), TQuery::State::Edit);
    editor.reset();
    EXPECT_EQ(db->count("PROGRAM"), 1);
    EXPECT_EQ(db->scalar("select Security_Label from PROGRAM"), "");
    EXPECT_EQ(integer("select Enabled from PROGRAM"), 1);
    EXPECT_EQ(integer("select GLB_PWMaxDays from PROGRAM"), 21);
}

TEST_F(EditorTest, HeaderControlsEditTheProgramRowAndClosingPostsIt)
{
    db->addProgram(1, 1);
    openEditor();
    EXPECT_EQ(editor->dbedSecLabel->text(), "Test");
    EXPECT_TRUE(editor->dbchkSecEnabled->isChecked());
    editor->dbedSecLabel->setFocus();
    editor->dbedSecLabel->selectAll();
    QTest::keyClicks(editor->dbedSecLabel, "Payroll");
    QTest::keyClicks(editor->DBEdit1, "Dept");
    editor->dbcxLogEnabled->click();
    editor.reset();
    EXPECT_EQ(db->scalar("select Security_Label from PROGRAM"), "Payroll");
    EXPECT_EQ(db->scalar("select Label1 from PROGRAM"), "Dept");
    EXPECT_EQ(integer("select LogEnabled from PROGRAM"), 0);
}

TEST_F(EditorTest, DateDisabledIsSetOnlyWhenSecurityIsSwitchedOffWhileOpen)
{
    struct Case {
        int enabledAtShow;
        bool clear;
        bool dated;
    } cases[] = {{1, true, true}, {1, false, false}, {0, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(QString("enabled %1, clear %2").arg(c.enabledAtShow).arg(c.clear).toStdString());
        db->exec("delete from PROGRAM");
        db->addProgram(c.enabledAtShow, 1);
        openEditor();
        if (c.clear)
            editor->dbchkSecEnabled->click();
        editor.reset();
        const QString date = db->scalar("select DATEDISABLED from PROGRAM");
        if (c.dated)
            EXPECT_EQ(date, QDate::currentDate().toString(Qt::ISODate));
        else
            EXPECT_TRUE(date.isEmpty()) << qPrintable(date);
    }
}

TEST_F(EditorTest, LimitAccessHidesTheConstantButtonsOnly)
{
    db->addProgram();
    openEditor(true);
    EXPECT_TRUE(editor->spbtnAccAdd->isHidden());
    EXPECT_TRUE(editor->spbtnAccEdit->isHidden());
    EXPECT_TRUE(editor->spbtnAccDel->isHidden());
    EXPECT_FALSE(editor->lbConstants->isHidden());
    EXPECT_FALSE(editor->spbtnAddGroup->isHidden());
}
