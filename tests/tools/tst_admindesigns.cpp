// Report designs kept for a security database: changed in SecDesk's designer, used
// again by a reports window opened later and by jovsecadm report, brought back to
// the default, and refused or cut down when their file is damaged or names passwords.
#include "database/TDatabase.h"
#include "reporting/TfrmReportDesigner.h"
#include "reporting/TReportDesign.h"
#include "reporting/TFormSecDB.h"
#include "tests/reporting/ReportTestSupport.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/ModalPoller.h"
#include "tests/support/TestDatabase.h"
#include "tools/jovsecadm/TAdminTool.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>

#include <memory>

namespace {

class Designs : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = std::make_unique<TestDatabase>();
        db->addUser("Ann", "secret-ann", "LOGINATTEMPTS", "2");
    }
    void TearDown() override
    {
        ++modalPollerGeneration();
        window.reset();
        closeAllWindows();
        db.reset();
        TDatabase::dropTemporaryConnections();
    }

    // A reports window for the database, as the desktop opens one.
    TFormSecDB& open()
    {
        window = std::make_unique<TFormSecDB>();
        window->AliasName = db->alias();
        window->ApplyAlias();
        window->fgwMain->setOptions(0);
        window->cmboxReportType->setCurrentIndex(3); // Users
        return *window;
    }
    // Runs the Users report in a fresh window; returns its first page's texts.
    QStringList usersReport()
    {
        open().spbtnExecute->click();
        return pageTexts(*window->fgwMain, 1);
    }
    // Opens the designer on the Users report and lets design act on it.
    void design(const std::function<void(TfrmReportDesigner&)>& act)
    {
        open();
        bool seen = false;
        whenModal([&](QWidget* modal) {
            seen = true;
            act(*qobject_cast<TfrmReportDesigner*>(modal));
        });
        window->spbtnDesign->click();
        ASSERT_TRUE(seen);
    }
    // The text of the PDF jovsecadm writes of the Users report, and what it said.
    QString admUsersReport(QString* said = nullptr)
    {
        const QString pdf = tmp.filePath("users.pdf");
        QFile::remove(pdf);
        QString out, err;
        QTextStream o(&out), e(&err);
        const int status = TAdminTool::run({"--alias", db->alias(), "report", "users", "--pdf", pdf}, o, e);
        TDatabase::dropTemporaryConnections();
        if (said)
            *said = out + err;
        return status == 0 ? pdfPages(pdf).join('\f') : "<failed: " + out + err + ">";
    }
    QString designFile() const { return db->path() + ".reports.ini"; }

    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<TFormSecDB> window;
    QTemporaryDir tmp;
    MessageRecorder messages;
};

// Changes the title, heads USER_NAME "Login Name" and adds LOGINATTEMPTS.
void changeUsersDesign(TfrmReportDesigner& d, QStringList* offered = nullptr)
{
    if (offered)
        *offered = d.lbRemainingFields->texts() + d.lbReportFields->texts();
    d.edTitle->setText("People of the Firm");
    d.lbReportFields->setItemIndex(d.lbReportFields->texts().indexOf("USER_NAME"));
    d.lbReportFieldsClick();
    d.edLabel->setText("Login Name");
    d.edLabelChange();
    d.lbRemainingFields->setItemIndex(d.lbRemainingFields->texts().indexOf("LOGINATTEMPTS"));
    d.SpeedButton1Click();
}

} // namespace

TEST_F(Designs, AKeptDesignLastsAfterCloseOpenAndJovsecadmUsesItUntilTheDefaultIsRestored)
{
    QStringList offered;
    design([&](TfrmReportDesigner& d) {
        EXPECT_TRUE(d.cmboxKeepDesign->isVisible());
        EXPECT_EQ(d.cmboxKeepDesign->currentText(), "With the alias's settings");
        changeUsersDesign(d, &offered);
        d.bbtnOkClick();
    });
    // Passwords are never offered as a column; an added field is headed in words.
    EXPECT_TRUE(offered.contains("USER_DEF2"));
    for (const char* secret : {"USER_PASSWORD", "PW1", "PW25"})
        EXPECT_FALSE(offered.contains(secret)) << secret;
    EXPECT_TRUE(offered.contains("PWSETDATE"));
    EXPECT_TRUE(findText(*window->fgwMain, 1, "Login Attempts"));

    // Close and Open: a new window, the same design.
    const QStringList page = usersReport();
    EXPECT_TRUE(page.contains("People of the Firm")) << page.join('|').toStdString();
    EXPECT_TRUE(page.contains("Login Name"));
    EXPECT_TRUE(page.contains("Login Attempts"));
    EXPECT_FALSE(QFile::exists(designFile()));

    QString said;
    QString text = admUsersReport(&said);
    EXPECT_TRUE(text.contains("People of the Firm")) << text.toStdString();
    EXPECT_TRUE(text.contains("Login Name"));
    EXPECT_TRUE(text.contains("Login Attempts"));
    EXPECT_FALSE(text.contains("secret-ann"));
    EXPECT_TRUE(said.contains("It uses the design kept with the settings of the alias " + db->alias()))
        << said.toStdString();

    EXPECT_TRUE(messages.texts().isEmpty()) << messages.texts().join('|').toStdString();
    messages.answers = {Platform::MsgResult::Yes};
    design([](TfrmReportDesigner& d) { d.btnRestoreDefault->click(); });
    EXPECT_TRUE(messages.last().startsWith("Restore the default design of the People of the Firm?"));
    EXPECT_TRUE(findText(*window->fgwMain, 1, "User Report"));
    EXPECT_FALSE(findText(*window->fgwMain, 1, "Login Attempts"));
    EXPECT_TRUE(findText(*window->fgwMain, 1, "Name")); // the described heading is back
    EXPECT_TRUE(usersReport().contains("User Report"));
    text = admUsersReport(&said);
    EXPECT_TRUE(text.contains("User Report")) << text.toStdString();
    EXPECT_FALSE(text.contains("People of the Firm"));
    EXPECT_FALSE(said.contains("design kept"));
}

TEST_F(Designs, ADesignKeptInTheDatabasesFolderIsRefusedWhenDamagedAndNeverPrintsPasswords)
{
    design([](TfrmReportDesigner& d) {
        changeUsersDesign(d);
        d.cmboxKeepDesign->setCurrentIndex(1); // in the database's folder
        d.bbtnOkClick();
    });
    ASSERT_TRUE(QFile::exists(designFile()));
    EXPECT_TRUE(admUsersReport().contains("People of the Firm"));
    // The folder's design is the one used, and the next designer shows where it is.
    design([](TfrmReportDesigner& d) {
        EXPECT_EQ(d.cmboxKeepDesign->currentIndex(), 1);
        d.reject();
    });

    QFile file(designFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray kept = file.readAll();
    file.close();
    const auto rewrite = [&](const QByteArray& content) {
        QFile f(designFile());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    };

    // A width that is no number: the whole design is refused, with a message, the
    // default is used, and the file stays as it was for the user to mend.
    QByteArray damaged = kept;
    damaged.replace("Login Name, 16,", "Login Name, sixteen,");
    ASSERT_NE(damaged, kept);
    rewrite(damaged);
    messages.clear();
    QStringList page = usersReport();
    EXPECT_TRUE(page.contains("User Report"));
    EXPECT_FALSE(page.contains("People of the Firm"));
    ASSERT_EQ(messages.texts().size(), 1);
    EXPECT_TRUE(messages.last().contains("The design of the User Report kept in " + designFile() + " is damaged"))
        << messages.last().toStdString();
    EXPECT_TRUE(messages.last().contains("sixteen"));
    file.open(QIODevice::ReadOnly);
    EXPECT_EQ(file.readAll(), damaged);
    file.close();

    // A design that names the password columns is used without them.
    QByteArray withPasswords = kept;
    withPasswords.replace("Fields=", "Fields=USER_PASSWORD, PW1, ");
    withPasswords.replace("[rdUsers]\n", "[rdUsers]\nColumn\\USER_PASSWORD=Password, 15, Left\n");
    ASSERT_EQ(withPasswords.count("USER_PASSWORD"), 2) << withPasswords.toStdString();
    rewrite(withPasswords);
    messages.clear();
    page = usersReport();
    EXPECT_TRUE(page.contains("People of the Firm"));
    EXPECT_FALSE(page.contains("secret-ann"));
    EXPECT_FALSE(page.contains("Password"));
    EXPECT_FALSE(window->report(3)->fields().contains("USER_PASSWORD", Qt::CaseInsensitive));
    ASSERT_EQ(messages.texts().size(), 1);
    EXPECT_TRUE(messages.last().contains("USER_PASSWORD")) << messages.last().toStdString();
    const QString text = admUsersReport();
    EXPECT_TRUE(text.contains("People of the Firm"));
    EXPECT_FALSE(text.contains("secret-ann"));
}

// jovsecadm builds a report through the window's own definitions, so its file reads
// as the window's, heading, rows and kept design alike.
TEST_F(Designs, JovsecadmWritesTheTextTheWindowSaves)
{
    design([](TfrmReportDesigner& d) {
        changeUsersDesign(d);
        d.bbtnOkClick();
    });
    const QString saved = tmp.filePath("window.pdf");
    usersReport();
    ASSERT_TRUE(window->SaveAsPdf(saved));
    const QString windowText = pdfPages(saved).join('\f');
    EXPECT_TRUE(windowText.contains("Login Attempts")) << windowText.toStdString();
    EXPECT_EQ(admUsersReport(), windowText);
}
