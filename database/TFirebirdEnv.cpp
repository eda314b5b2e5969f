#include "database/TFirebirdEnv.h"

#include "database/TEngineLifetime.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <type_traits>
#include <fcntl.h>
#include <ibase.h>
#include <linux/magic.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {
bool g_prepared = false;
QString g_privateRoot;
QString g_refusal;

// The private firebird.conf, one setting a line.
struct Setting {
    const char* name;
    const char* value;
};
constexpr Setting kSettings[] = {
    {"ServerMode", "SuperClassic"},
    // A server that accepts the connection but never answers is given up on.
    {"ConnectionTimeout", "10"},
    // The page cache stays at this mode's default: every page an attachment caches
    // is also a lock it holds, so a larger cache makes every program's work slower.
    // The one job that needs a large one asks for it (collectGarbage).
};

QByteArray configurationText()
{
    QByteArray text = "# Written by JovSec: lets several programs share one database file.\n";
    for (const Setting& setting : kSettings)
        text += QByteArray(setting.name) + " = " + setting.value + "\n";
    return text;
}

QString firebirdMessageFile()
{
    const char* candidates[] = {"/usr/lib/x86_64-linux-gnu/firebird/3.0/firebird.msg",
                                "/usr/lib/aarch64-linux-gnu/firebird/3.0/firebird.msg",
                                "/usr/share/firebird/3.0/firebird.msg", "/etc/firebird/3.0/firebird.msg"};
    for (const char* c : candidates)
        if (QFileInfo::exists(QString::fromLatin1(c)))
            return QString::fromLatin1(c);
    return QString();
}

QString quoted(const QString& text)
{
    QString out = text;
    out.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + out + QLatin1Char('\'');
}

QString systemError(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

struct FileHandle {
    int fd = -1;
    explicit FileHandle(int f) : fd(f) { }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

QString refusedFolder(const QString& folder, const QString& reason)
{
    return QStringLiteral("The private Firebird folder %1 cannot be used: %2. Remove it, or set "
                          "FIREBIRD and FIREBIRD_LOCK to folders of your own.")
        .arg(folder, reason);
}

// Makes the folder owner-only if it is missing, then checks without following a link
// that it is a directory of this user with mode 0700. A folder inside one already
// checked can only have been made by this user (or root), so a wider mode there is
// narrowed instead of refused: earlier versions made "root" and "lock" 0755.
bool trustFolder(const QString& path, bool narrowMode, QString* error)
{
    const QByteArray name = QFile::encodeName(path);
    bool created = ::mkdir(name.constData(), 0700) == 0;
    if (!created && errno != EEXIST) {
        *error = refusedFolder(path, systemError(errno));
        return false;
    }
    FileHandle dir(::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (dir.fd < 0) {
        const int code = errno;
        *error = refusedFolder(path, code == ELOOP || code == ENOTDIR
                                         ? QStringLiteral("it is a symbolic link or not a folder")
                                         : systemError(code));
        return false;
    }
    struct stat st { };
    if (::fstat(dir.fd, &st) != 0 || !S_ISDIR(st.st_mode)) {
        *error = refusedFolder(path, QStringLiteral("it is not a folder"));
        return false;
    }
    if (st.st_uid != ::geteuid()) {
        *error = refusedFolder(path, QStringLiteral("it belongs to another user (uid %1)").arg(st.st_uid));
        return false;
    }
    const mode_t mode = st.st_mode & 07777;
    if (mode != 0700) {
        // The umask may have taken bits from a folder made just now; setting 0700
        // only gives the owner back what is his.
        if (!created && !narrowMode) {
            *error = refusedFolder(path, QStringLiteral("its mode is %1, not 0700")
                                             .arg(QString::number(mode, 8).rightJustified(4, QLatin1Char('0'))));
            return false;
        }
        if (::fchmod(dir.fd, 0700) != 0) {
            *error = refusedFolder(path, systemError(errno));
            return false;
        }
    }
    return true;
}

// A temporary name beside the target in the same folder, unique to this process.
QByteArray temporaryName(const QString& target)
{
    static int counter = 0;
    return QFile::encodeName(target) + ".tmp-" + QByteArray::number(::getpid()) + "-" + QByteArray::number(++counter);
}

bool sameContent(const QByteArray& path, const QByteArray& content)
{
    FileHandle file(::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (file.fd < 0)
        return false;
    struct stat st { };
    if (::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != content.size())
        return false;
    QByteArray current(content.size(), '\0');
    qsizetype done = 0;
    while (done < current.size()) {
        const ssize_t n = ::read(file.fd, current.data() + done, size_t(current.size() - done));
        if (n <= 0)
            return false;
        done += n;
    }
    return current == content;
}

// Readers always see a whole file: the new content goes to a temporary file that is
// renamed over the old one, and only when it differs.
bool writeFileIfChanged(const QString& target, const QByteArray& content, QString* error)
{
    const QByteArray path = QFile::encodeName(target);
    if (sameContent(path, content))
        return true;
    const QByteArray temporary = temporaryName(target);
    FileHandle file(::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    bool ok = file.fd >= 0;
    for (qsizetype done = 0; ok && done < content.size();) {
        const ssize_t n = ::write(file.fd, content.constData() + done, size_t(content.size() - done));
        ok = n > 0;
        done += n;
    }
    ok = ok && ::fsync(file.fd) == 0 && ::rename(temporary.constData(), path.constData()) == 0;
    if (!ok) {
        *error = QStringLiteral("Cannot write %1: %2").arg(target, systemError(errno));
        ::unlink(temporary.constData());
    }
    return ok;
}

bool linkIfChanged(const QString& target, const QString& linkTo, QString* error)
{
    const QByteArray path = QFile::encodeName(target);
    const QByteArray wanted = QFile::encodeName(linkTo);
    char current[4096];
    const ssize_t n = ::readlink(path.constData(), current, sizeof current);
    if (n >= 0 && QByteArray(current, n) == wanted)
        return true;
    const QByteArray temporary = temporaryName(target);
    if (::symlink(wanted.constData(), temporary.constData()) != 0 ||
        ::rename(temporary.constData(), path.constData()) != 0) {
        *error = QStringLiteral("Cannot write %1: %2").arg(target, systemError(errno));
        ::unlink(temporary.constData());
        return false;
    }
    return true;
}
// The engine's lock files are shared memory mapped by every program of the user; on
// storage shared over the network each machine would keep a lock table of its own.
QString networkStorage(const QString& folder)
{
    struct statfs fs { };
    if (::statfs(QFile::encodeName(folder).constData(), &fs) != 0)
        return QString();
    static const struct {
        unsigned long type;
        const char* name;
    } kinds[] = {{NFS_SUPER_MAGIC, "NFS"},   {SMB_SUPER_MAGIC, "SMB"},   {0xFF534D42ul, "CIFS"},
                 {0xFE534D42ul, "SMB2"},     {CODA_SUPER_MAGIC, "Coda"}, {AFS_SUPER_MAGIC, "AFS"},
                 {0x6B414653ul, "AFS"},      {0x00C36400ul, "Ceph"},     {V9FS_MAGIC, "9P"},
                 {FUSE_SUPER_MAGIC, "FUSE"}, {0x7461636Ful, "OCFS2"},    {0x01161970ul, "GFS2"},
                 {0x0BD00BD0ul, "Lustre"}};
    for (const auto& kind : kinds)
        if (static_cast<unsigned long>(fs.f_type) == kind.type)
            return QString::fromLatin1(kind.name);
    return QString();
}

// The user's runtime folder, when it is there and the user's own: a real folder of
// this user that nobody else can enter.
bool isOwnRuntimeFolder(const QByteArray& path)
{
    struct stat st { };
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 077) == 0;
}

// A folder of this user's on this machine's own storage.
bool isOwnLocalFolder(const QString& folder)
{
    struct stat st { };
    return !folder.isEmpty() && ::stat(QFile::encodeName(folder).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && networkStorage(folder).isEmpty();
}

QString homeFolder()
{
    const struct passwd* entry = ::getpwuid(::geteuid());
    return entry && entry->pw_dir ? QFile::decodeName(entry->pw_dir) : QString();
}
} // namespace

void TFirebirdEnv::pinLocalTimeZone()
{
    if (qEnvironmentVariableIsSet("TZ"))
        return;
    qputenv("TZ", ":/etc/localtime");
    ::tzset();
}

TFirebirdEnv::Location TFirebirdEnv::parseLocation(const QString& location)
{
    static const QRegularExpression remote(QStringLiteral("^([^/:\\\\]{2,})(?:/(\\d+))?:(.+)$"));
    Location loc;
    const QRegularExpressionMatch m = remote.match(location);
    if (m.hasMatch()) {
        loc.host = m.captured(1);
        if (!m.captured(2).isEmpty())
            loc.port = m.captured(2).toInt();
        loc.path = m.captured(3);
    } else {
        loc.path = location;
    }
    return loc;
}

QString TFirebirdEnv::privateFolder()
{
    // The home folder comes first: it is there whether the user has a session or
    // not, so a service or a cron job started without one agrees with the desktop.
    // The runtime folder is removed when the last session ends; it serves accounts
    // whose home is not their own or is on network storage.
    const QString home = homeFolder();
    if (isOwnLocalFolder(home))
        return home + QStringLiteral("/.local/state/jovsec-firebird");
    const QByteArray runtime = "/run/user/" + QByteArray::number(::geteuid());
    if (isOwnRuntimeFolder(runtime))
        return QFile::decodeName(runtime) + QStringLiteral("/jovsec-firebird");
    return home + QStringLiteral("/.local/state/jovsec-firebird");
}

bool TFirebirdEnv::setUpPrivateFolder(const QString& folder, bool withLock, QString* error)
{
    QString ignored;
    QString& message = error ? *error : ignored;
    const QString root = folder + QStringLiteral("/root");
    // Folders above it that are missing are made owner-only (~/.local/state).
    const QFileInfo above(QFileInfo(folder).absolutePath());
    if (!above.exists()) {
        QStringList missing;
        for (QFileInfo up = above; !up.exists() && !up.isRoot(); up = QFileInfo(up.absolutePath()))
            missing.prepend(up.absoluteFilePath());
        for (const QString& path : missing)
            ::mkdir(QFile::encodeName(path).constData(), 0700);
    }
    if (!trustFolder(folder, false, &message))
        return false;
    const QString network = networkStorage(folder);
    if (!network.isEmpty()) {
        message = refusedFolder(folder, QStringLiteral("it is on network storage (%1), where the programs of "
                                                       "several machines cannot share the engine's locks")
                                            .arg(network));
        return false;
    }
    if (!trustFolder(root, true, &message) || !trustFolder(root, true, &message) ||
        (withLock && !trustFolder(folder + QStringLiteral("/lock"), true, &message)))
        return false;
    if (!writeFileIfChanged(root + QStringLiteral("/firebird.conf"), configurationText(), &message))
        return false;
    const QString msg = firebirdMessageFile();
    return msg.isEmpty() || linkIfChanged(root + QStringLiteral("/firebird.msg"), msg, &message);
}

bool TFirebirdEnv::prepare()
{
    if (g_prepared)
        return g_refusal.isEmpty();
    g_prepared = true;
    pinLocalTimeZone();
    TEngineLifetime::noteProgramSignals();
    if (qEnvironmentVariableIsSet("FIREBIRD"))
        return true;

    const bool ownLock = !qEnvironmentVariableIsSet("FIREBIRD_LOCK");
    const QString folder = privateFolder();
    if (!setUpPrivateFolder(folder, ownLock, &g_refusal)) {
        if (g_refusal.isEmpty())
            g_refusal = refusedFolder(folder, QStringLiteral("it cannot be prepared"));
        qWarning("%s", qPrintable(g_refusal));
        return false;
    }
    g_privateRoot = folder + QStringLiteral("/root");
    qputenv("FIREBIRD", QFile::encodeName(g_privateRoot));
    if (ownLock)
        qputenv("FIREBIRD_LOCK", QFile::encodeName(folder + QStringLiteral("/lock")));
    return true;
}

QString TFirebirdEnv::privateRoot() { return g_privateRoot; }

QString TFirebirdEnv::refusal() { return g_refusal; }

static_assert(std::is_same_v<ISC_STATUS, std::intptr_t>);

QString TFirebirdEnv::statusText(const std::intptr_t* status)
{
    QString text;
    char line[512];
    const ISC_STATUS* vector = status;
    while (fb_interpret(line, sizeof line, &vector) > 0) {
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        text += QString::fromUtf8(line);
    }
    return text;
}

namespace {

bool executeCreate(const QString& statement, QString* error)
{
    const QByteArray sql = statement.toUtf8();
    ISC_STATUS_ARRAY status {};
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    if (isc_dsql_execute_immediate(status, &db, &tr, 0, sql.constData(), 3, nullptr)) {
        if (error)
            *error = TFirebirdEnv::statusText(status);
        return false;
    }
    TEngineLifetime::engineStarted();
    isc_detach_database(status, &db);
    return true;
}

// Moves a finished file to its name unless something is there already.
bool moveIntoPlace(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without RENAME_NOREPLACE: a hard link fails just the same on an
    // existing name.
    if (::link(from.constData(), to.constData()) != 0)
        return false;
    ::unlink(from.constData());
    return true;
}

// Nobody but this user can open the new file while it is made: it is created in a
// fresh owner-only folder beside the target, set to 0600 and then moved into place.
bool createLocalDatabase(const QString& statementStart, const QString& location, const QString& statementEnd,
                         QString* error)
{
    QString ignored;
    QString& message = error ? *error : ignored;
    const QFileInfo target(location);
    const QByteArray targetPath = QFile::encodeName(target.absoluteFilePath());
    QByteArray folder = QFile::encodeName(target.absolutePath()) + "/.jovsec-new-XXXXXX";
    if (!::mkdtemp(folder.data())) {
        message = QStringLiteral("Cannot create %1: %2").arg(location, systemError(errno));
        return false;
    }
    const QByteArray made = folder + "/new.fdb";
    bool ok = executeCreate(statementStart + quoted(QFile::decodeName(made)) + statementEnd, &message);
    if (ok && (::chmod(made.constData(), 0600) != 0 || !moveIntoPlace(made, targetPath))) {
        message = QStringLiteral("Cannot create %1: %2").arg(location, systemError(errno));
        ok = false;
    }
    ::unlink(made.constData());
    ::rmdir(folder.constData());
    return ok;
}
} // namespace

bool TFirebirdEnv::createDatabase(const QString& location, const QString& user, const QString& password, QString* error)
{
    const bool ready = prepare();
    const QString start = QStringLiteral("CREATE DATABASE ");
    const QString rest = QStringLiteral(" USER ") + quoted(user.isEmpty() ? QStringLiteral("SYSDBA") : user) +
                         QStringLiteral(" PASSWORD ") + quoted(password) +
                         QStringLiteral(" PAGE_SIZE 8192 DEFAULT CHARACTER SET UTF8");
    if (parseLocation(location).isRemote())
        return executeCreate(start + quoted(location) + rest, error);
    if (!ready) {
        if (error)
            *error = g_refusal;
        return false;
    }
    return createLocalDatabase(start, location, rest, error);
}

bool TFirebirdEnv::copyDatabase(const QString& source, const QString& target, QString* error)
{
    QString ignored;
    QString& message = error ? *error : ignored;
    QFile from(source);
    if (!from.open(QIODevice::ReadOnly)) {
        message = QStringLiteral("Cannot read %1: %2").arg(source, from.errorString());
        return false;
    }
    // As a created database: made owner-only in a fresh folder of this user's beside
    // the target, so nobody opens it half copied, then moved to its name unless
    // something is there already.
    const QFileInfo info(target);
    QByteArray folder = QFile::encodeName(info.absolutePath()) + "/.jovsec-new-XXXXXX";
    if (!::mkdtemp(folder.data())) {
        message = QStringLiteral("Cannot create %1: %2").arg(target, systemError(errno));
        return false;
    }
    const QByteArray made = folder + "/new.fdb";
    const int fd = ::open(made.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    const QString openError = fd < 0 ? systemError(errno) : QString();
    QFile to;
    bool ok = fd >= 0 && ::fchmod(fd, 0600) == 0;
    if (fd >= 0 && !to.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        ok = false;
    }
    while (ok && !from.atEnd()) {
        const QByteArray block = from.read(1 << 16);
        ok = !block.isEmpty() && to.write(block) == block.size();
    }
    ok = ok && to.flush() && ::fsync(to.handle()) == 0;
    if (!ok)
        message = QStringLiteral("Cannot copy %1 to %2: %3")
                      .arg(source, target, openError.isEmpty() ? to.errorString() : openError);
    to.close();
    if (ok && !moveIntoPlace(made, QFile::encodeName(info.absoluteFilePath()))) {
        message = QStringLiteral("Cannot create %1: %2").arg(target, systemError(errno));
        ok = false;
    }
    ::unlink(made.constData());
    ::rmdir(folder.constData());
    return ok;
}

bool TFirebirdEnv::dropDatabase(const QString& location, const QString& user, const QString& password, QString* error)
{
    std::string dpb(1, char(isc_dpb_version1));
    const auto add = [&dpb](char item, const QByteArray& value) {
        dpb += item;
        dpb += char(std::min<qsizetype>(value.size(), 255));
        dpb.append(value.constData(), size_t(std::min<qsizetype>(value.size(), 255)));
    };
    add(isc_dpb_user_name, (user.isEmpty() ? QStringLiteral("SYSDBA") : user).toUtf8());
    add(isc_dpb_password, password.toUtf8());
    const QByteArray path = parseLocation(location).isRemote() ? location.toUtf8() : QFile::encodeName(location);
    ISC_STATUS_ARRAY status {};
    isc_db_handle db = 0;
    if (isc_attach_database(status, 0, path.constData(), &db, short(dpb.size()), dpb.data()) == 0) {
        TEngineLifetime::engineStarted();
        if (isc_drop_database(status, &db) == 0)
            return true;
    }
    if (error)
        *error = TFirebirdEnv::statusText(status);
    ISC_STATUS_ARRAY ignored {};
    if (db)
        isc_detach_database(ignored, &db);
    return false;
}

bool TFirebirdEnv::collectGarbage(const QString& location, const QString& user, const QString& password,
                                  const QString& table, QString* error)
{
    // A connection of its own with a page cache large enough to hold the table's
    // indexes: with the engine's small default, removing the index entries of a
    // million deleted rows writes an index page out for nearly every row.
    constexpr int kCachePages = 4096;
    std::string dpb(1, char(isc_dpb_version1));
    const auto add = [&dpb](char item, const QByteArray& value) {
        dpb += item;
        dpb += char(value.size());
        dpb.append(value.constData(), size_t(value.size()));
    };
    add(isc_dpb_user_name, (user.isEmpty() ? QStringLiteral("SYSDBA") : user).toUtf8());
    add(isc_dpb_password, password.toUtf8());
    add(isc_dpb_lc_ctype, QByteArrayLiteral("UTF8"));
    const int pages = kCachePages;
    add(isc_dpb_num_buffers, QByteArray(reinterpret_cast<const char*>(&pages), sizeof pages));

    const QByteArray path = location.toUtf8();
    ISC_STATUS_ARRAY status {};
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    bool ok = isc_attach_database(status, 0, path.constData(), &db, short(dpb.size()), dpb.data()) == 0 &&
              isc_start_transaction(status, &tr, 1, &db, 0, nullptr) == 0;
    if (ok) {
        TEngineLifetime::engineStarted();
        // Reading every row of the table is what makes the engine remove the old versions.
        const QByteArray sql =
            QStringLiteral("execute block as declare n bigint; begin select count(*) from %1 into :n; end")
                .arg(table)
                .toUtf8();
        ok = isc_dsql_execute_immediate(status, &db, &tr, 0, sql.constData(), 3, nullptr) == 0;
    }
    if (!ok && error)
        *error = TFirebirdEnv::statusText(status);
    ISC_STATUS_ARRAY ignored {};
    if (tr)
        isc_commit_transaction(ignored, &tr);
    if (db)
        isc_detach_database(ignored, &db);
    return ok;
}
