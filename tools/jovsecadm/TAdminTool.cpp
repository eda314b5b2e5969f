#include "TAdminTool.h"

#include "TAdminAliases.h"
#include "TAdminAudit.h"
#include "TAdminContext.h"
#include "TAdminError.h"
#include "TAdminGenerate.h"
#include "TAdminGrants.h"
#include "TAdminImport.h"
#include "TAdminLists.h"
#include "TAdminLog.h"
#include "TAdminOutput.h"
#include "TAdminReport.h"
#include "TAdminUsers.h"
#include "TUserImport.h"

#include "database/EDatabaseError.h"

#include <QCommandLineParser>
#include <QIODevice>
#include <QRegularExpression>

#include <functional>

namespace {
struct Command {
    QString words; // "user add"
    QString arguments; // "NAME"
    QString description;
    QList<QCommandLineOption> options;
    int minArgs;
    int maxArgs; // -1: any number
    std::function<void(TAdminContext&)> run;
    bool graphical = false; // draws pages: needs a QApplication
};

QCommandLineOption valueOption(const QString& name, const QString& description, const QString& valueName)
{
    return QCommandLineOption(QStringList {name}, description, valueName);
}

QList<QCommandLineOption> accountOptions()
{
    return {
        valueOption(QStringLiteral("password"),
                    QStringLiteral("The user's password (at most 15 characters). Unsafe: while the command runs, "
                                   "every local user can read its command line (ps, /proc), and the shell may "
                                   "keep it in its history; use --password-stdin."),
                    QStringLiteral("PASSWORD")),
        QCommandLineOption(QStringLiteral("password-stdin"),
                           QStringLiteral("Read the user's password from the first line of standard input; on a "
                                          "terminal it is asked for twice, without echo.")),
        valueOption(QStringLiteral("field1"), QStringLiteral("User field 1 (at most 30 characters)."),
                    QStringLiteral("TEXT")),
        valueOption(QStringLiteral("field2"), QStringLiteral("User field 2 (at most 30 characters)."),
                    QStringLiteral("TEXT")),
        valueOption(QStringLiteral("admin"), QStringLiteral("Administrative Rights: yes or no."),
                    QStringLiteral("YES|NO")),
        valueOption(QStringLiteral("enabled"), QStringLiteral("Account Enabled: yes or no."), QStringLiteral("YES|NO")),
        valueOption(QStringLiteral("must-change"),
                    QStringLiteral("User Must Change Password at Next Login: yes or no."), QStringLiteral("YES|NO")),
        valueOption(QStringLiteral("never-expires"), QStringLiteral("Password Never Expires: yes or no."),
                    QStringLiteral("YES|NO")),
        valueOption(QStringLiteral("no-change"), QStringLiteral("User Can't Change Password: yes or no."),
                    QStringLiteral("YES|NO"))};
}

QList<QCommandLineOption> policyOptions()
{
    return {valueOption(QStringLiteral("policy"),
                        QStringLiteral("global: follow the global account policy; custom: the user's own."),
                        QStringLiteral("global|custom")),
            valueOption(QStringLiteral("aging"), QStringLiteral("Password Aging Enabled: yes or no."),
                        QStringLiteral("YES|NO")),
            valueOption(QStringLiteral("max-age"), QStringLiteral("Password expires in N days (1-999), or never."),
                        QStringLiteral("N|never")),
            valueOption(QStringLiteral("min-age"),
                        QStringLiteral("Allow change after N days (1-999), immediate, or never."),
                        QStringLiteral("N|immediate|never")),
            valueOption(QStringLiteral("min-length"),
                        QStringLiteral("Password must be at least N characters (1-15), or blank."),
                        QStringLiteral("N|blank")),
            valueOption(QStringLiteral("history"), QStringLiteral("Remember N passwords (1-25), or off."),
                        QStringLiteral("N|off")),
            valueOption(QStringLiteral("locking"),
                        QStringLiteral("Lock the account after N incorrect logins (1-999), or off."),
                        QStringLiteral("N|off"))};
}

const QList<Command>& commands()
{
    static const QList<Command> list = [] {
        QList<Command> c;
        const auto dbUser =
            valueOption(QStringLiteral("db-user"), QStringLiteral("The database account (default SYSDBA)."),
                        QStringLiteral("USER"));
        c << Command {QStringLiteral("create"),
                      QStringLiteral("ALIAS LOCATION"),
                      QStringLiteral("Creates a security database at LOCATION (a file, or host[/port]:path on a "
                                     "Firebird server), registers ALIAS for it and builds the tables."),
                      {dbUser},
                      2,
                      2,
                      TAdminUsers::create};
        QList<Command> users {
            {QStringLiteral("user add"), QStringLiteral("NAME"),
             QStringLiteral("Adds a user who follows the global account policy, with a password history row."),
             accountOptions(), 1, 1, TAdminUsers::add},
            {QStringLiteral("user list"), QString(), QStringLiteral("Lists the users."), {}, 0, 0, TAdminUsers::list},
            {QStringLiteral("user show"),
             QStringLiteral("USER"),
             QStringLiteral("Shows a user's account, policy, groups and constants."),
             {},
             1,
             1,
             TAdminUsers::show},
            {QStringLiteral("user set"), QStringLiteral("USER"), QStringLiteral("Changes a user's account or policy."),
             accountOptions() + policyOptions() +
                 QList<QCommandLineOption> {
                     valueOption(QStringLiteral("name"), QStringLiteral("A new name."), QStringLiteral("NAME"))},
             1, 1, TAdminUsers::set},
            {QStringLiteral("user unlock"),
             QStringLiteral("USER"),
             QStringLiteral("Clears Account Locked; the count of failed logons stays."),
             {},
             1,
             1,
             TAdminUsers::unlock},
            {QStringLiteral("user delete"),
             QStringLiteral("USER"),
             QStringLiteral("Deletes a user with the user's grants, password history and log rows, all or none."),
             {},
             1,
             1,
             TAdminUsers::remove},
        };
        c << users;
        const auto constantOption =
            QCommandLineOption(QStringList {QStringLiteral("constant")},
                               QStringLiteral("An access constant (may be repeated)."), QStringLiteral("CONSTANT"));
        const auto groupOption =
            QCommandLineOption(QStringList {QStringLiteral("group")}, QStringLiteral("A group (may be repeated)."),
                               QStringLiteral("GROUP"));
        QList<Command> lists {
            {QStringLiteral("group add"),
             QStringLiteral("NAME"),
             QStringLiteral("Adds a group, with the constants given."),
             {constantOption},
             1,
             1,
             TAdminLists::groupAdd},
            {QStringLiteral("group list"),
             QString(),
             QStringLiteral("Lists the groups and their constants."),
             {},
             0,
             0,
             TAdminLists::groupList},
            {QStringLiteral("group delete"),
             QStringLiteral("GROUP"),
             QStringLiteral("Deletes a group, its constants list and the users' memberships, all or none."),
             {},
             1,
             1,
             TAdminLists::groupDelete},
            {QStringLiteral("group add-constant"),
             QStringLiteral("GROUP CONSTANT..."),
             QStringLiteral("Adds constants to a group."),
             {},
             2,
             -1,
             TAdminLists::groupAddConstant},
            {QStringLiteral("group remove-constant"),
             QStringLiteral("GROUP CONSTANT..."),
             QStringLiteral("Removes constants from a group."),
             {},
             2,
             -1,
             TAdminLists::groupRemoveConstant},
            {QStringLiteral("constant add"),
             QStringLiteral("NAME"),
             QStringLiteral("Adds an access constant."),
             {},
             1,
             1,
             TAdminLists::constantAdd},
            {QStringLiteral("constant list"),
             QString(),
             QStringLiteral("Lists the access constants."),
             {},
             0,
             0,
             TAdminLists::constantList},
            {QStringLiteral("constant rename"),
             QStringLiteral("CONSTANT NEW-NAME"),
             QStringLiteral("Renames an access constant."),
             {},
             2,
             2,
             TAdminLists::constantRename},
            {QStringLiteral("constant delete"),
             QStringLiteral("CONSTANT"),
             QStringLiteral("Deletes an access constant, its direct grants and its place in groups, all or none."),
             {},
             1,
             1,
             TAdminLists::constantDelete},
        };
        c << lists;
        c << Command {QStringLiteral("grant"),
                      QStringLiteral("USER"),
                      QStringLiteral("Grants constants and group memberships to a user."),
                      {constantOption, groupOption},
                      1,
                      1,
                      TAdminGrants::grant};
        c << Command {QStringLiteral("revoke"),
                      QStringLiteral("USER"),
                      QStringLiteral("Takes constants and group memberships from a user."),
                      {constantOption, groupOption},
                      1,
                      1,
                      TAdminGrants::revoke};
        c << Command {QStringLiteral("effective"),
                      QStringLiteral("USER"),
                      QStringLiteral("Every constant the user passes, with the grant that gives it: direct, or "
                                     "through which group, in the order the access test tries them."),
                      {},
                      1,
                      1,
                      TAdminGrants::effective};
        c << Command {QStringLiteral("who-can"),
                      QStringLiteral("CONSTANT"),
                      QStringLiteral("Every user who passes the constant, and how."),
                      {},
                      1,
                      1,
                      TAdminGrants::whoCan};
        c << Command {QStringLiteral("import-users"),
                      QStringLiteral("FILE.csv"),
                      QStringLiteral("Imports users from a CSV file with the columns name, password, field 1, "
                                     "field 2, admin, groups, constants (lists separated by ';'). Lists every row "
                                     "as added, skipped or refused and writes nothing unless --apply is given; "
                                     "--apply writes all rows in one transaction, and nothing when a row is refused."),
                      {QCommandLineOption(QStringLiteral("apply"), QStringLiteral("Write the users.")),
                       QCommandLineOption(QStringLiteral("skip-refused"),
                                          QStringLiteral("With --apply, write the other rows when some are refused."))},
                      1,
                      1,
                      TUserImport::command};
        c << Command {
            QStringLiteral("import"),
            QStringLiteral("DIR"),
            QStringLiteral("Imports the previous version's files PRVSEC1.DBF to PRVSEC4.DBF in DIR, as SecDesk "
                           "--import DIR does: the access constants and users with new ids, the users' rights and, "
                           "with --system, the program description and logging switch. Lists every record as "
                           "added, skipped or refused; without --apply it is a dry run, rolled back, that writes "
                           "nothing. --apply writes all of it in one transaction, and nothing when a record is "
                           "refused."),
            {QCommandLineOption(QStringLiteral("apply"), QStringLiteral("Write the rows.")),
             QCommandLineOption(QStringLiteral("system"),
                                QStringLiteral("Also import the program description and logging switch "
                                               "(PRVSEC4.DBF), as \"Import system information\" does.")),
             QCommandLineOption(QStringLiteral("again"),
                                QStringLiteral("Import into a database that already holds users or access "
                                               "constants, which the import adds again with new ids."))},
            1,
            1,
            TAdminImport::import};
        c << Command {
            QStringLiteral("log export"),
            QString(),
            QStringLiteral("Writes the activity log with user and constant names, oldest first."),
            {valueOption(QStringLiteral("from"), QStringLiteral("From this date on."), QStringLiteral("DATE")),
             valueOption(QStringLiteral("to"), QStringLiteral("Up to this date."), QStringLiteral("DATE")),
             valueOption(QStringLiteral("user"), QStringLiteral("One user's rows."), QStringLiteral("USER")),
             valueOption(QStringLiteral("csv"), QStringLiteral("Write CSV to this file."), QStringLiteral("FILE"))},
            0,
            0,
            TAdminLog::exportLog};
        c << Command {QStringLiteral("log clear"),
                      QString(),
                      QStringLiteral("Deletes the activity log, or its rows dated before a day, in one statement."),
                      {valueOption(QStringLiteral("before"), QStringLiteral("Only rows dated before this day."),
                                   QStringLiteral("DATE"))},
                      0,
                      0,
                      TAdminLog::clear};
        c << Command {QStringLiteral("generate"),
                      QString(),
                      QStringLiteral("Writes the C++ header of the access constants, as SecDesk's Generate does. "
                                     "With --check it writes nothing and exits with 1 when the file differs from "
                                     "what the database gives, so a build can stop on an old header."),
                      {valueOption(QStringLiteral("cpp"), QStringLiteral("The header file."), QStringLiteral("FILE")),
                       QCommandLineOption(QStringLiteral("check"),
                                          QStringLiteral("Compare the file with the database; write nothing."))},
                      0,
                      0,
                      TAdminGenerate::generate};
        c << Command {
            QStringLiteral("report"),
            QStringLiteral("NAME"),
            QStringLiteral("Writes one of the reports to a PDF file: \"Access Constants\", \"Groups\", \"Usage\", "
                           "\"Users\", \"Users (w/ Access)\" or \"Audit Trail\" (letter case ignored). The Usage "
                           "and Audit Trail reports cover --from to --to, by default the whole log or trail."),
            {valueOption(QStringLiteral("pdf"), QStringLiteral("The PDF file to write."), QStringLiteral("FILE")),
             valueOption(QStringLiteral("from"), QStringLiteral("Usage, Audit Trail: from this date on."),
                         QStringLiteral("DATE")),
             valueOption(QStringLiteral("to"), QStringLiteral("Usage, Audit Trail: up to this date."),
                         QStringLiteral("DATE"))},
            1,
            1,
            TAdminReport::report,
            true};
        const QString aliasFile = QStringLiteral(" The alias file is %1 (or the file named by JOVSEC_CONFIG).")
                                      .arg(QStringLiteral("~/.config/JovSec/aliases.ini"));
        QList<Command> aliases {
            {QStringLiteral("alias list"),
             QString(),
             QStringLiteral("Lists the aliases: where each points, whether its file exists (a file on this "
                            "computer), its user and whether it stores a password.") +
                 aliasFile,
             {},
             0,
             0,
             TAdminAliases::list},
            {QStringLiteral("alias show"),
             QStringLiteral("NAME"),
             QStringLiteral("Shows an alias: its location, server, port, path, user and whether it stores a "
                            "password (never the password)."),
             {},
             1,
             1,
             TAdminAliases::show},
            {QStringLiteral("alias set"),
             QStringLiteral("NAME"),
             QStringLiteral("Corrects an alias's location or account, or forgets its stored password. An alias "
                            "that does not exist is added when --location is given. Database files are not "
                            "touched."),
             {valueOption(QStringLiteral("location"),
                          QStringLiteral("Where the database is: a file, or host[/port]:path on a Firebird server."),
                          QStringLiteral("LOCATION")),
              valueOption(QStringLiteral("server"),
                          QStringLiteral("The same path on another server (HOST or HOST/PORT), or on this computer "
                                         "when empty."),
                          QStringLiteral("HOST[/PORT]")),
              valueOption(QStringLiteral("user"), QStringLiteral("The database account (USER NAME)."),
                          QStringLiteral("USER")),
              QCommandLineOption(QStringLiteral("forget-password"),
                                 QStringLiteral("Remove the password stored in the alias."))},
             1,
             1,
             TAdminAliases::set},
            {QStringLiteral("alias remove"),
             QStringLiteral("NAME"),
             QStringLiteral("Removes an alias from the alias file. The database it points to is not touched."),
             {},
             1,
             1,
             TAdminAliases::remove},
        };
        c << aliases;
        c << Command {QStringLiteral("add-indexes"),
                      QString(),
                      QStringLiteral("Adds the indexes that databases made by earlier versions lack (the grants by "
                                     "constant, which who-can reads, and the log's, which SecDesk's log viewer "
                                     "reads); does nothing when they are there."),
                      {},
                      0,
                      0,
                      TAdminGenerate::addIndexes};
        c << Command {QStringLiteral("upgrade"),
                      QString(),
                      QStringLiteral("Adds the audit trail's tables to a database made before them, and the trail's "
                                     "indexes a database lacks (see the README for the statements); does nothing "
                                     "when they are there."),
                      {},
                      0,
                      0,
                      TAdminAudit::upgrade};
        c << Command {QStringLiteral("audit verify"),
                      QString(),
                      QStringLiteral("Walks the audit trail's hash chain (or an archive file's, with --archive); "
                                     "exits with 1 and names the first event that was changed, deleted or "
                                     "inserted. Events taken by audit archive are not missing."),
                      {valueOption(QStringLiteral("archive"), QStringLiteral("Walk this archive file instead."),
                                   QStringLiteral("FILE"))},
                      0,
                      0,
                      TAdminAudit::verify};
        c << Command {QStringLiteral("audit head"),
                      QString(),
                      QStringLiteral("Prints the newest event's number and hash, to keep elsewhere."),
                      {},
                      0,
                      0,
                      TAdminAudit::head};
        c << Command {
            QStringLiteral("audit export"),
            QString(),
            QStringLiteral("Writes the audit trail, oldest first, as CSV (or JSON with --json)."),
            {valueOption(QStringLiteral("from"), QStringLiteral("From this date (or date and time) on."),
                         QStringLiteral("DATE")),
             valueOption(QStringLiteral("to"), QStringLiteral("Up to this date (or date and time)."),
                         QStringLiteral("DATE")),
             valueOption(QStringLiteral("user"), QStringLiteral("One security user's events."), QStringLiteral("USER")),
             valueOption(QStringLiteral("kind"),
                         QStringLiteral("One kind of event, as the trail names it (letter case ignored)."),
                         QStringLiteral("KIND")),
             valueOption(QStringLiteral("csv"), QStringLiteral("Write CSV to this file."), QStringLiteral("FILE"))},
            0,
            0,
            TAdminAudit::exportTrail};
        c << Command {
            QStringLiteral("audit archive"),
            QString(),
            QStringLiteral("Moves the oldest audit events, up to the first one at or after --before, to a file (one "
                           "JSON object a line, with their hashes) and leaves an \"Archived\" event in their place, "
                           "so that audit verify still holds. The file is complete before any event is removed."),
            {valueOption(QStringLiteral("before"), QStringLiteral("Events older than this date (or date and time)."),
                         QStringLiteral("DATE")),
             valueOption(QStringLiteral("to"), QStringLiteral("The archive file."), QStringLiteral("FILE")),
             QCommandLineOption(QStringLiteral("overwrite"), QStringLiteral("Replace FILE when it exists."))},
            0,
            0,
            TAdminAudit::archive};
        return c;
    }();
    return list;
}

QList<QCommandLineOption> globalOptions()
{
    return {QCommandLineOption(QStringList {QStringLiteral("a"), QStringLiteral("alias")},
                               QStringLiteral("The security database's alias (or JOVSEC_ALIAS)."),
                               QStringLiteral("ALIAS")),
            QCommandLineOption(QStringLiteral("db-password"),
                               QStringLiteral("The database account's password, when the alias has none "
                                              "(or JOVSEC_PASSWORD)."),
                               QStringLiteral("PASSWORD")),
            QCommandLineOption(QStringLiteral("json"), QStringLiteral("Write the result as JSON.")),
            QCommandLineOption(QStringList {QStringLiteral("h"), QStringLiteral("help")},
                               QStringLiteral("Show this help."))};
}

// Option names that take a value, so their values are not taken for command words.
QSet<QString> valueOptionNames()
{
    QSet<QString> names;
    const auto add = [&](const QList<QCommandLineOption>& options) {
        for (const QCommandLineOption& o : options)
            if (!o.valueName().isEmpty())
                for (const QString& n : o.names())
                    names << n;
    };
    add(globalOptions());
    for (const Command& c : commands())
        add(c.options);
    return names;
}

// The words before the first option or argument that make up a known command.
const Command* findCommand(const QStringList& arguments, QStringList& words)
{
    const QSet<QString> takesValue = valueOptionNames();
    for (int i = 0; i < arguments.size() && words.size() < 2; ++i) {
        const QString& a = arguments.at(i);
        if (a == QLatin1String("--"))
            break;
        if (a.startsWith(QLatin1Char('-'))) {
            QString name = a.mid(a.startsWith(QLatin1String("--")) ? 2 : 1);
            if (!name.contains(QLatin1Char('=')) && takesValue.contains(name))
                ++i;
            continue;
        }
        words << a;
    }
    for (int n = int(words.size()); n > 0; --n) {
        const QString key = words.mid(0, n).join(QLatin1Char(' '));
        for (const Command& c : commands())
            if (c.words == key) {
                words = words.mid(0, n);
                return &c;
            }
    }
    return nullptr;
}

QString generalHelp()
{
    QString text =
        QStringLiteral("Usage: jovsecadm [--alias ALIAS] [--json] COMMAND [arguments] [options]\n"
                       "Administers a security database from scripts. Exit status: 0 done, 1 refused, 2 bad usage.\n"
                       "\"jovsecadm COMMAND --help\" describes a command.\n\nCommands:\n");
    for (const Command& c : commands())
        text += QStringLiteral("  ") + (c.words + QLatin1Char(' ') + c.arguments).trimmed() + QLatin1Char('\n');
    text += QStringLiteral(
        "\nUsers, groups and constants are named as the setup editor finds them (whole name, letter case "
        "ignored), or by id as #12.\n");
    return text;
}

// The exit status once the output is out: a write to standard output that failed (a
// full disk, a closed pipe) makes a command that did its work fail all the same, since
// a script would take what it read for the whole result.
int finished(QTextStream& out, QTextStream& err, int status)
{
    out.flush();
    if (out.status() == QTextStream::Ok)
        return status;
    const QIODevice* device = out.device();
    err << "Unable to write the output" << (device ? QStringLiteral(": ") + device->errorString() : QString()) << "\n";
    err.flush();
    return status == 0 ? 1 : status;
}

QString commandHelp(QCommandLineParser& parser)
{
    QString text = parser.helpText();
    static const QRegularExpression usage(QStringLiteral("^Usage: \\S+"));
    text.replace(usage, QStringLiteral("Usage: jovsecadm"));
    return text;
}
} // namespace

bool TAdminTool::needsGraphics(const QStringList& arguments)
{
    QStringList words;
    const Command* command = findCommand(arguments, words);
    return command && command->graphical;
}

int TAdminTool::run(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    QStringList words;
    const Command* command = findCommand(arguments, words);
    const bool help = arguments.contains(QLatin1String("--help")) || arguments.contains(QLatin1String("-h"));
    if (!command) {
        if (help || arguments.isEmpty()) {
            out << generalHelp();
            return finished(out, err, arguments.isEmpty() ? 2 : 0);
        }
        err << "Unknown command: " << words.join(QLatin1Char(' ')) << "\n" << generalHelp();
        err.flush();
        return 2;
    }

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(command->description);
    parser.addOptions(globalOptions());
    parser.addOptions(command->options);
    parser.addPositionalArgument(command->words, QString(), command->words);
    if (!command->arguments.isEmpty())
        parser.addPositionalArgument(command->arguments, QString(), command->arguments);
    const QString usageLine =
        QStringLiteral("Usage: jovsecadm %1 %2 [options]").arg(command->words, command->arguments);
    if (!parser.parse(QStringList {QStringLiteral("jovsecadm")} + arguments)) {
        err << parser.errorText() << "\n" << usageLine << "\n";
        err.flush();
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        out << commandHelp(parser);
        return finished(out, err, 0);
    }
    QStringList args = parser.positionalArguments().mid(int(words.size()));
    if (args.size() < command->minArgs || (command->maxArgs >= 0 && args.size() > command->maxArgs)) {
        err << usageLine << "\n";
        err.flush();
        return 2;
    }

    TAdminOutput output(out, err, parser.isSet(QStringLiteral("json")));
    try {
        TAdminContext context(parser, args, output);
        command->run(context);
    } catch (const TAdminError& e) {
        err << e.message() << "\n";
        err.flush();
        return finished(out, err, e.status());
    } catch (const EDatabaseError& e) {
        err << e.message() << "\n";
        err.flush();
        return finished(out, err, 1);
    }
    return finished(out, err, 0);
}
