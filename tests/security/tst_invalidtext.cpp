// Text that is not valid Unicode (a lone UTF-16 surrogate, as a paste can bring)
// is refused in the logon and password change dialogs before anything is looked up
// or stored; the boxes keep what was typed.
#include "security/TFormCSLogon.h"
#include "security/TFormCSPassword.h"
#include "tests/security/SecurityFixture.h"

#include "database/TFilter.h"
#include "database/TQuery.h"
#include "platform/UnicodeText.h"

#include <QLineEdit>
#include <QPushButton>

namespace {
const QString kLone = QStringLiteral("pw") + QChar(0xD800);
} // namespace

TEST(UnicodeTextTest, LoneSurrogatesAreInvalidAndPairsValid)
{
    EXPECT_FALSE(Platform::isValidUnicode(kLone));
    EXPECT_FALSE(Platform::isValidUnicode(QString(QChar(0xDC00)) + "x"));
    EXPECT_TRUE(Platform::isValidUnicode(QString::fromUcs4(U"p\U0001F600w")));
    EXPECT_TRUE(Platform::isValidUnicode(QStringLiteral("Grüße")));
    EXPECT_TRUE(Platform::isValidUnicode(QString()));
}

TEST_F(SecurityTest, LogonRefusesInvalidTextWithoutCountingAnAttempt)
{
    const int id = db->addUser("Alice", "Secret", "AcctLocking, AllowedAttempts, LoginAttempts", "1, 3, 0");
    for (const bool inName : {true, false}) {
        messages.shown.clear();
        TFormCSLogon d;
        d.sqlUsers->setDatabaseName(db->alias());
        d.sqlPWHist->setDatabaseName(db->alias());
        d.sqlUsers->open();
        d.sqlPWHist->open();
        d.Password = "masterkey";
        d.edUserName->setText(inName ? QStringLiteral("Alice") + QChar(0xD800) : QStringLiteral("Alice"));
        d.edPassword->setText(inName ? QStringLiteral("Secret") : kLone);
        d.show();
        d.edPassword->setFocus();
        int result = QDialog::Accepted;
        EXPECT_FALSE(d.FormClose(result));
        EXPECT_EQ(messages.texts(), QStringList {Platform::invalidTextMessage(inName ? QStringLiteral("User Name")
                                                                                     : QStringLiteral("Password"))});
        EXPECT_EQ(userInt(id, "LoginAttempts"), 0);
        // Nothing typed is lost; the refused box has the focus.
        EXPECT_TRUE(d.edUserName->text().startsWith("Alice"));
        EXPECT_FALSE(d.edPassword->text().isEmpty());
        EXPECT_EQ(d.focusWidget(), inName ? d.edUserName : d.edPassword);
        d.close();
    }
}

TEST_F(SecurityTest, PasswordChangeRefusesInvalidTextAndStoresNothing)
{
    const int id = db->addUser("Alice", "Secret");
    TFormCSPassword d;
    d.dbAlias = db->alias();
    d.UserID = id;
    for (TQuery* set : {d.sqlUsers, d.sqlPWHist}) {
        set->setDatabaseName(db->alias());
        set->open();
        set->setFilter(TFilter::equals("User_ID", id));
        set->setFiltered(true);
    }
    d.edPassword->setText("Secret");
    d.edPassword1->setText(kLone);
    d.edPassword2->setText(kLone);
    d.show();
    d.bbnOk->setFocus();
    int result = QDialog::Accepted;
    EXPECT_FALSE(d.FormClose(result));
    EXPECT_EQ(messages.texts(), QStringList {Platform::invalidTextMessage(QStringLiteral("New Password"))});
    EXPECT_EQ(db->scalar(QString("select User_Password from USERS where USER_ID = %1").arg(id)), "Secret");
    EXPECT_EQ(d.edPassword1->text(), kLone);
    d.close();
}
