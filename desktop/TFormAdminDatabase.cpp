// TFormAdmin's commands that create, open and close a security database.
#include "desktop/TFormAdmin.h"

#include "database/EDatabaseError.h"
#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "database/TSchema.h"
#include "desktop/TFormOpenSecurity.h"
#include "desktop/TNewTablesOnly.h"
#include "platform/MessageBox.h"
#include "platform/OsInfo.h"
#include "rules/TSecurityDatabaseMaker.h"
#include "widgets/TfrmPickList.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <algorithm>

void TFormAdmin::New1Click()
{
    BuildFailed = false;
    TFormOpenSecurity dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    createSecurityDatabase(dialog);
}

void TFormAdmin::createSecurityDatabase(const TFormOpenSecurity& dialog)
{
    const bool typed = dialog.aliasTyped();
    const QString user = dialog.edUserID->text();
    const QString password = dialog.edPassword->text();
    // The dialog refused a taken place already; a file made since is refused too.
    if (typed && !TDatabase::isServerLocation(dialog.newLocation()) && QFileInfo::exists(dialog.newLocation())) {
        Platform::showError(QStringLiteral("Security database found at this location. Either remove database, use "
                                           "a different database name, or select a new directory."));
        return;
    }

    // A listed name is used as the list spells it.
    QString alias = dialog.cmboxAlias->currentText();
    if (!typed)
        alias = dialog.cmboxAlias->itemText(dialog.cmboxAlias->findText(alias, Qt::MatchFixedString));

    // A typed alias is registered only once its database has been made, so a New that
    // fails leaves no alias pointing at nothing.
    const QStringList params =
        typed ? QStringList {QStringLiteral("SERVER NAME=") + dialog.newLocation(), QStringLiteral("USER NAME=") + user,
                             QStringLiteral("PASSWORD=") + password}
              : TAliases::params(alias);
    const QString location = TAliases::paramValue(params, QStringLiteral("SERVER NAME"));
    const QString owner = TAliases::paramValue(params, QStringLiteral("USER NAME"));
    const bool remote = TDatabase::isServerLocation(location);
    if (location.isEmpty()) {
        Platform::showError(QStringLiteral("Unable to determin database location!"));
        BuildFailed = true;
    }
    if (!BuildFailed && !remote && QFileInfo::exists(location)) {
        Platform::showError(QStringLiteral("Security database found at this location. Either remove database, "
                                           "select a new directory or a new alias."));
        BuildFailed = true;
    }
    // A server creates the file itself; only a local database is a copy of the prime.
    const QString prime = Platform::programDirectory() + TSchema::primeDatabaseName();
    if (!remote && !QFileInfo::exists(prime)) {
        Platform::showError(QStringLiteral("The JOV Security Utility Can NOT Find The Prime Database, "
                                           "\"Jovcssec.gdb\"."));
        BuildFailed = true;
    }
    if (BuildFailed)
        return;

    TSecurityDatabaseMaker maker(location, owner, password);
    if (!remote)
        maker.setPrime(prime);
    // A typed alias is registered once its file is made.
    if (typed)
        maker.setNewAlias(alias, params);
    // A New that fails takes back what it made: no alias of its own stays, and no
    // database without its tables (or one nobody logged on to).
    const auto takeBack = [&] {
        QString error;
        if (!maker.takeBack(*Database1, &error))
            Platform::showError(QStringLiteral("The new database at %1 could not be removed; remove it before "
                                               "trying again.%2")
                                    .arg(location, error.isEmpty() ? QString() : QLatin1Char('\n') + error));
    };

    Database1->close();
    Database1->setAliasName(alias);
    Database1->setDatabaseName(alias);
    Database1->setParams({QStringLiteral("PASSWORD=") + password});
    Database1->setLoginPrompt(false);
    bool made = false;
    try {
        made = maker.make(*Database1);
    } catch (...) {
        Platform::showError(QStringLiteral("Unable to Add Databases."));
        BuildFailed = true;
        takeBack();
        return;
    }
    if (!made) {
        BuildFailed = true;
        switch (maker.failedStep()) {
        case TSecurityDatabaseMaker::Step::File:
            if (remote) {
                // The server refuses to create over an existing database, and a wrong
                // account is refused here already.
                Platform::showError(QStringLiteral("Unable to Add Databases."));
                Platform::showError(maker.error());
            } else if (QFileInfo::exists(location) || QFileInfo(location).isSymLink()) {
                // The copy never replaces a file. One that appeared since the check
                // above, or a link that the check saw through, is somebody else's.
                Platform::showError(QStringLiteral("Security database found at this location. Either remove "
                                                   "database, select a new directory or a new alias."));
            } else { // a missing or closed folder, an unreadable prime database
                Platform::showError(
                    QStringLiteral("Unable to create the security database at %1.\n%2").arg(location, maker.error()));
            }
            return;
        case TSecurityDatabaseMaker::Step::Alias:
            Platform::showError(QStringLiteral("Unable to add alias.") +
                                (maker.error().isEmpty() ? QString() : QLatin1Char('\n') + maker.error()));
            break;
        case TSecurityDatabaseMaker::Step::Connection:
            Platform::showError(QStringLiteral("Invalid User Name Or Password"));
            break;
        default:
            Platform::showError(QStringLiteral("Error Creating Tables"));
            break;
        }
        takeBack();
        return;
    }
    Database1->close();
    // The database is made and asks for a log-in, as Open does. A log-in that fails
    // says why, and the New is taken back.
    try {
        OpenSecurityAlias(alias);
    } catch (const EDatabaseError& error) {
        Platform::showError(error.reason() == EDatabaseError::Reason::Cancelled
                                ? QStringLiteral("Unable to Add Databases.")
                                : error.message());
    } catch (...) {
        Platform::showError(QStringLiteral("Unable to Add Databases."));
    }
    if (OpenAlias.compare(alias, Qt::CaseInsensitive) != 0) {
        BuildFailed = true;
        takeBack();
    }
}

void TFormAdmin::BuildSecurityTables(const QString& alias)
{
    // Each statement commits on its own; the first failure ends the build and leaves
    // what already ran in place.
    if (TSchema::build(alias) >= 0) {
        BuildFailed = true;
        Platform::showError(QStringLiteral("Error Creating Tables"));
    }
}

void TFormAdmin::Open1Click()
{
    const QStringList names = TAliases::databaseNames();
    // The open alias (or the first) is selected, so Enter opens it.
    const auto open = std::find_if(names.cbegin(), names.cend(), [this](const QString& name) {
        return name.compare(OpenAlias, Qt::CaseInsensitive) == 0;
    });
    const int selected = open == names.cend() ? 0 : int(open - names.cbegin());
    const int index =
        PickFromList(QStringLiteral("Alias:"), QStringLiteral("Select Security Alias"), names, this, selected);
    if (index >= 0 && index < names.size())
        OpenSecurityAlias(names.at(index));
}

void TFormAdmin::OpenSecurityAlias(const QString& alias)
{
    Database1->close();
    Database1->setAliasName(alias);
    Database1->setDatabaseName(alias);
    Database1->setParams({});
    Database1->setLoginPrompt(true);
    // A refused or cancelled log-in leaves the open database as it was shown.
    Database1->open();

    bool valid = true;
    try {
        readSecurityTitle(alias);
    } catch (const EDatabaseError&) {
        valid = false;
    }
    if (valid) {
        OpenAlias = alias;
    } else {
        Platform::showError(QStringLiteral("Valid Security files were not found at the location specified by the "
                                           "selected alias.  Check your BDE configuration for possible errors."));
        // Nothing stays open: not this database, nor the one open before.
        OpenAlias.clear();
        SecurityTitle.clear();
        Database1->close();
        TDatabase::dropTemporaryConnections();
    }
    // The reports window works on the open database only: the one open before is
    // closed now, even when this alias names it (its file may have moved since).
    delete ReportsWindow.data();
    UpdateCommandState();
}

void TFormAdmin::readSecurityTitle(const QString& alias)
{
    sqlBuildSecurity->close();
    sqlBuildSecurity->setDatabaseName(alias);
    sqlBuildSecurity->setSQL(QStringLiteral("Select * from Program;"));
    sqlBuildSecurity->open();
    sqlBuildSecurity->first();
    SecurityTitle = sqlBuildSecurity->isEmpty()
                        ? QString()
                        : sqlBuildSecurity->fieldByName(QStringLiteral("Security_Label"))->asString();
    sqlBuildSecurity->close();
}

void TFormAdmin::Create1Click()
{
    BuildFailed = false;
    TNewTablesOnly dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString alias = dialog.cmboxAlias->currentText();
    try {
        Database1->close();
        Database1->setAliasName(alias);
        Database1->setDatabaseName(alias);
        // The account typed in the dialog builds the tables.
        Database1->setParams({QStringLiteral("USER NAME=") + dialog.edUserID->text(),
                              QStringLiteral("PASSWORD=") + dialog.edPassword->text()});
        Database1->setLoginPrompt(false);
        bool connected = true;
        try {
            Database1->open();
        } catch (const EDatabaseError&) {
            Platform::showError(QStringLiteral("Unable to Connect To Database."));
            BuildFailed = true;
            connected = false;
        }
        if (connected) {
            BuildSecurityTables(alias);
            if (BuildFailed)
                Platform::showError(
                    QStringLiteral("Error Creating Security Tables.\nA table with the same name may already exist."));
        }
        Database1->close();
        if (!BuildFailed)
            OpenSecurityAlias(alias);
    } catch (...) {
        Platform::showError(QStringLiteral("Unable to Connect To Database."));
    }
}

void TFormAdmin::Close1Click()
{
    delete ReportsWindow.data();
    if (Database1->inTransaction())
        Database1->commit();
    Database1->close();
    TDatabase::dropTemporaryConnections();
    OpenAlias.clear();
    SecurityTitle.clear();
    UpdateCommandState();
}
