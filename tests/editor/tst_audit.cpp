// The setup editor's audit events: every change it makes leaves its event, in order,
// with the acting user and what changed (never a password); a change the database
// refuses, or whose event cannot be kept, leaves neither.
#include "EditorFixture.h"

#include "database/TAuditTrail.h"
#include "database/TDatabase.h"
#include "editor/TFormCSGroup.h"
#include "editor/TformCSUser.h"
#include "editor/TFrmGAPSettings.h"

#include <QPushButton>
#include <QTest>

namespace {
QList<TAuditEvent> eventsOf(const TestDatabase& db)
{
    QList<TAuditEvent> events;
    TAuditTrail::read(*TDatabase::connectionFor(db.alias()), {}, [&](const TAuditEvent& e) {
        events << e;
        return true;
    });
    return events;
}

// "kind object: details" of every event, details on one line.
QStringList summaries(const QList<TAuditEvent>& events)
{
    QStringList lines;
    for (const TAuditEvent& e : events)
        lines << e.kind + " " + e.objectName + ": " + e.details.trimmed().replace('\n', "; ");
    return lines;
}
} // namespace

class EditorAuditTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        db->addProgram();
        openEditor();
    }
    // Runs an editor command that opens a dialog, with the steps done in the dialog.
    template <class Dialog>
    void inDialog(const std::function<void()>& command, const std::function<void(Dialog&)>& steps)
    {
        bool seen = false;
        whenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<Dialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            seen = true;
            steps(*dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        command();
        EXPECT_TRUE(seen);
    }
};

TEST_F(EditorAuditTest, EveryChangeLeavesItsEventInOrderWithTheActingUserAndNoPassword)
{
    editor->AuditUser = "boss";
    inputs << "Print";
    editor->spbtnAccAddClick();
    inDialog<TformCSUser>([&] { editor->spbtnAddUserClick(); },
                          [](TformCSUser& d) {
                              QTest::keyClicks(d.dbedName, "ann");
                              QTest::keyClicks(d.dbedPassword, "secret1");
                              d.bbtnOk->click();
                          });
    ASSERT_EQ(editor->dblkUserName->text(), "ann");
    const int ann = editor->selectedUserId();
    db->exec(QString("update USERS set LOCKED = 1, LoginAttempts = 3 where USER_ID = %1").arg(ann));
    messages.answers << Platform::MsgResult::Yes; // reset the failed logons
    inDialog<TformCSUser>([&] { editor->spbtnEditUserClick(); },
                          [](TformCSUser& d) {
                              d.dbedPassword->selectAll();
                              QTest::keyClicks(d.dbedPassword, "secret2");
                              QTest::keyClicks(d.dbedUserDef1, "Sales");
                              d.dbckbxAccountLocked->click();
                              d.bbtnOk->click();
                          });
    select(editor->lbConstants, "Print");
    editor->AddAccess();
    inDialog<TFormCSGroup>([&] { editor->spbtnAddGroupClick(); },
                           [](TFormCSGroup& d) {
                               QTest::keyClicks(d.dbedGroupName, "Clerks");
                               select(d.lbComplete, "Print");
                               d.SelectAccess();
                               d.bbtnOk->click();
                           });
    editor->tnbkLists->setCurrentWidget(editor->tsGroups);
    select(editor->lbGroups, "Clerks");
    editor->AddAccess();
    select(editor->lbUsrAccess, "Print");
    editor->RemoveAccess();
    editor->PageControl1->setCurrentWidget(editor->AccountSheet);
    editor->rbtnUseCustomPolicy->setChecked(true);
    editor->PageControl1->setCurrentWidget(editor->UserSheet);
    messages.answers << Platform::MsgResult::Yes;
    editor->spbtnDelUserClick();
    inDialog<TFrmGAPSettings>([&] { editor->btnGAPSettingsClick(); },
                              [](TFrmGAPSettings& d) {
                                  d.rbtnAccountLocking->click();
                                  d.BitBtn1->click();
                              });
    editor->dbcxLogEnabled->click();
    editor.reset(); // the PROGRAM row is written when the editor closes
    ASSERT_EQ(messages.shown.size(), 2) << qPrintable(messages.texts().join("|"));

    const QList<TAuditEvent> events = eventsOf(*db);
    const QStringList expected {
        "ConstantAdded Print: ",
        "UserAdded ann: User_Enabled: 1; User_Admin: 0; PWMustChange: 0; PWNeverExpires: 0; PWNoChange: 0",
        "UserChanged ann: User_Password: changed; User_Def1:  -> Sales",
        "UserUnlocked ann: Locked: 1 -> 0; LoginAttempts: 3 -> 0",
        "GrantGiven ann: Print",
        "GroupAdded Clerks: ",
        "GroupChanged Clerks: Constants added: Print",
        "GrantGiven ann: (Clerks)",
        "GrantTaken ann: Print",
        "PolicyChanged ann: CUSTOMACCTPOLICY: 0 -> 1",
        "UserDeleted ann: ",
        "PolicyChanged Global Account Policy: GLB_ACCTLOCKING: 0 -> 1",
        "ProgramChanged Test: LOGENABLED: 1 -> 0",
    };
    EXPECT_EQ(summaries(events), expected);
    ASSERT_EQ(events.size(), 13);
    EXPECT_EQ(events[1].objectId, ann);
    EXPECT_EQ(events[3].objectId, ann);
    EXPECT_EQ(events[0].objectId, integer("select max(ACCESS_ID) from ACCESS"));
    for (const TAuditEvent& e : events) {
        EXPECT_EQ(e.securityUser, "boss") << qPrintable(e.kind);
        EXPECT_FALSE(e.details.contains("secret")) << qPrintable(e.kind + ": " + e.details);
    }
    const TAuditTrail::Verdict verdict = TAuditTrail::verify(*TDatabase::connectionFor(db->alias()));
    EXPECT_EQ(verdict.firstBroken, 0) << qPrintable(verdict.problem);
    EXPECT_EQ(verdict.events, 13);
}

TEST_F(EditorAuditTest, AChangeThatIsRefusedOrWhoseEventCannotBeKeptLeavesNeither)
{
    addGroup("Clerks");
    editor->UpdateGroupInformation();
    // The engine refuses a second group of the same name.
    inDialog<TFormCSGroup>([&] { editor->spbtnAddGroupClick(); },
                           [](TFormCSGroup& d) {
                               QTest::keyClicks(d.dbedGroupName, "Clerks");
                               d.bbtnOk->click();
                           });
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(db->count("GROUPS"), 1);
    EXPECT_TRUE(eventsOf(*db).isEmpty()) << qPrintable(summaries(eventsOf(*db)).join("\n"));

    // A trail that refuses the event: the constant is not stored either, and the list
    // shows what the database holds.
    db->exec("create exception NO_AUDIT 'not audited'");
    db->exec("create trigger NO_AUDIT for AUDIT_TRAIL before insert as begin exception NO_AUDIT; end");
    messages.clear();
    inputs << "Print";
    editor->spbtnAccAdd->click(); // through the handler that reports failures
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.last().contains("not audited")) << qPrintable(messages.last());
    EXPECT_EQ(db->count("ACCESS"), 0);
    EXPECT_TRUE(editor->lbConstants->texts().isEmpty()) << qPrintable(editor->lbConstants->texts().join(","));
    EXPECT_EQ(editor->sqlAccess->recordCount(), 0);
}
