// A user, a group, constants and grants made with jovsecadm are the same rows as
// those made in the setup editor, and the component treats them alike.
#include "tests/tools/AdminFixture.h"

#include "database/TQuery.h"
#include "editor/TFormCSGroup.h"
#include "editor/TFormCSMain.h"
#include "editor/TformCSUser.h"
#include "editor/TDBCheckBox.h"
#include "editor/TDBEdit.h"
#include "editor/TDBLookupComboBox.h"
#include "editor/TListBox.h"
#include "platform/MessageBox.h"
#include "security/TJovCSsecure.h"
#include "tests/support/ModalPoller.h"

#include <QApplication>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

namespace {
// Every row of a query, each as its values joined by "|".
QStringList dump(const QString& alias, const QString& sql)
{
    TQuery q;
    q.setDatabaseName(alias);
    q.setSQL(sql);
    q.open();
    QStringList rows;
    for (q.first(); !q.eof(); q.next()) {
        QStringList values;
        for (int i = 0; i < q.fieldCount(); ++i)
            values << (q.field(i)->isNull() ? QStringLiteral("<null>") : q.field(i)->asString());
        rows << values.join('|');
    }
    q.close();
    return rows;
}

void select(TListBox* list, const QString& text) { list->setItemIndex(list->texts().indexOf(text)); }

// What the setup editor does when an administrator makes the same things.
void makeInEditor(const QString& alias)
{
    QStringList inputs {"Print", "Export"};
    Platform::setInputHandler([&inputs](const QString&, const QString&, QString& value) {
        value = inputs.takeFirst();
        return true;
    });
    auto editor = std::make_unique<TFormCSMain>();
    editor->SecAlias = alias;
    FormCSMain = editor.get();
    editor->FormShow();
    editor->spbtnAccAddClick();
    editor->spbtnAccAddClick();
    whenModal([](QWidget* modal) {
        auto* dialog = qobject_cast<TFormCSGroup*>(modal);
        QTest::keyClicks(dialog->dbedGroupName, "Clerks");
        select(dialog->lbComplete, "Print");
        dialog->SelectAccess();
        dialog->bbtnOk->click();
    });
    editor->spbtnAddGroupClick();
    whenModal([](QWidget* modal) {
        auto* dialog = qobject_cast<TformCSUser*>(modal);
        QTest::keyClicks(dialog->dbedName, "Ann");
        QTest::keyClicks(dialog->dbedPassword, "pw");
        dialog->dbchAdmin->click();
        dialog->bbtnOk->click();
    });
    editor->spbtnAddUserClick();
    editor->tnbkLists->setCurrentWidget(editor->tsGroups);
    select(editor->lbGroups, "Clerks");
    editor->AddAccess();
    editor->tnbkLists->setCurrentWidget(editor->tsConstants);
    select(editor->lbConstants, "Export");
    editor->AddAccess();
    editor->FormClose();
    editor.reset();
    Platform::setInputHandler({});
    TDatabase::dropTemporaryConnections();
}

struct Behaviour {
    bool logon;
    bool wrongPassword;
    bool admin;
    bool expired;
    bool canChange;
    int maxDays;
    int minDays;
    QList<bool> access;
    bool operator==(const Behaviour&) const = default;
};

Behaviour behaviourOn(const QString& alias)
{
    TJovCSsecure c;
    c.setAlias(alias);
    c.setPassword("masterkey");
    c.setOptions({});
    c.Loaded();
    Behaviour b {};
    b.wrongPassword = c.LogonEx("Ann", "nope");
    b.logon = c.LogonEx("ann", "PW");
    b.admin = c.UserAdmin();
    b.expired = c.PasswordExpired();
    b.canChange = c.PasswordCanChange();
    b.maxDays = c.PWMaxDays();
    b.minDays = c.PWMinDays();
    for (int id = 0; id <= 3; ++id)
        b.access << c.TestAccess(id);
    return b;
}
} // namespace

TEST_F(AdminTest, ToolAndEditorMakeTheSameRowsAndTheComponentTreatsThemAlike)
{
    TestDatabase editorDb(true, "JOVSEC_EDITOR");
    const QString policy = "update PROGRAM set GLB_PWMaxDays = 0, GLB_PWMINDAYS = 99999, GLB_PWMINSIZE = 3, "
                           "GLB_PWCOUNT = 7, GLB_AcctLocking = 1, GLB_AllowedAttempts = 4, GLB_PWaging = 1";
    editorDb.addProgram(1, 1);
    editorDb.exec(policy);
    db->exec(policy);

    makeInEditor(editorDb.alias());
    for (const QStringList& args : {QStringList {"constant", "add", "Print"}, QStringList {"constant", "add", "Export"},
                                    QStringList {"group", "add", "Clerks", "--constant", "Print"},
                                    QStringList {"user", "add", "Ann", "--password", "pw", "--admin", "yes"},
                                    QStringList {"grant", "Ann", "--group", "Clerks", "--constant", "Export"}}) {
        const AdminResult r = adm(args);
        ASSERT_EQ(r.status, 0) << r;
    }

    for (const char* sql : {"select * from USERS order by USER_ID", "select * from PWHIST order by USER_ID",
                            "select * from USERACC order by USER_ID, TYPE, ACCESS_ID",
                            "select * from GRPCOLL order by GROUP_ID, ACCESS_ID", "select * from GROUPS",
                            "select * from ACCESS order by ACCESS_ID"}) {
        const QStringList made = dump(db->alias(), sql);
        EXPECT_FALSE(made.isEmpty()) << sql;
        EXPECT_EQ(made, dump(editorDb.alias(), sql)) << sql;
    }
    const Behaviour tool = behaviourOn(db->alias());
    EXPECT_TRUE(tool.logon);
    EXPECT_FALSE(tool.wrongPassword);
    EXPECT_EQ(tool.access, (QList<bool> {false, true, true, false}));
    EXPECT_TRUE(tool == behaviourOn(editorDb.alias()));
    for (QWidget* w : QApplication::topLevelWidgets())
        w->close();
}
