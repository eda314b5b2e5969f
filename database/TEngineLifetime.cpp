#include "database/TEngineLifetime.h"

#include "database/EDatabaseError.h"
#include "database/TFirebirdEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <fcntl.h>
#include <ibase.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_programActions[3];
bool g_noted = false;
std::once_flag g_started;
std::atomic<bool> g_shuttingDown {false};
// An attach that never came back: the engine cannot finish, so an exit does not wait.
std::atomic<bool> g_engineStuck {false};
int g_signalPipe[2] = {-1, -1};
std::terminate_handler g_previousTerminate = nullptr;

// Ends the process with code when the shutdown has not finished in time.
void armWatchdog(int code)
{
    std::thread([code] {
        std::this_thread::sleep_for(std::chrono::seconds(TEngineLifetime::kShutdownSeconds));
        static const char text[] = "The database engine did not finish in time; ending anyway.\n";
        [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, text, sizeof text - 1);
        ::_exit(code);
    }).detach();
}

void onSignal(int sig)
{
    const unsigned char byte = static_cast<unsigned char>(sig);
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

// Detaches, then ends the process by the signal as its default action would have.
void serveSignals()
{
    unsigned char sig = 0;
    while (::read(g_signalPipe[0], &sig, 1) != 1) {
        if (errno != EINTR)
            return;
    }
    TEngineLifetime::shutdown(128 + sig);
    std::signal(sig, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, sig);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(sig);
    ::_exit(128 + sig);
}

void onExit(int status, void*)
{
    // _exit skips the buffers a normal exit would write out.
    std::fflush(nullptr);
    TEngineLifetime::shutdown(status);
}

void onTerminate()
{
    TEngineLifetime::shutdown(134);
    if (g_previousTerminate)
        g_previousTerminate();
    std::abort();
}

void installSignals()
{
    if (::pipe2(g_signalPipe, O_CLOEXEC) != 0)
        return;
    std::thread(serveSignals).detach();
    struct sigaction ours { };
    ours.sa_handler = onSignal;
    sigemptyset(&ours.sa_mask);
    ours.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i) {
        const int sig = kSignals[i];
        struct sigaction now { };
        ::sigaction(sig, nullptr, &now);
        const struct sigaction& program = g_programActions[i];
        const bool programDefault = !g_noted || (!(program.sa_flags & SA_SIGINFO) && program.sa_handler == SIG_DFL);
        if (sig == SIGHUP) {
            // The client library leaves it alone: take it only while nobody has.
            if (!(now.sa_flags & SA_SIGINFO) && now.sa_handler == SIG_DFL)
                ::sigaction(sig, &ours, nullptr);
        } else if (programDefault) {
            ::sigaction(sig, &ours, nullptr);
        } else {
            ::sigaction(sig, &program, nullptr);
        }
    }
}

QString lockFolder()
{
    const QString folder = qEnvironmentVariable("FIREBIRD_LOCK");
    return folder.isEmpty() ? QStringLiteral("/tmp/firebird") : folder;
}

// "pid (name) state ...": the name may hold spaces and parentheses.
struct ProcessState {
    QString name;
    bool stopped = false;
    bool found = false;
};

ProcessState processState(qint64 pid)
{
    ProcessState state;
    QFile statFile(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!statFile.open(QIODevice::ReadOnly))
        return state;
    const QByteArray stat = statFile.readAll();
    const qsizetype open = stat.indexOf('('), close = stat.lastIndexOf(')');
    if (open < 0 || close < 0 || close + 2 >= stat.size())
        return state;
    state.found = true;
    state.name = QString::fromLocal8Bit(stat.mid(open + 1, close - open - 1));
    state.stopped = stat.at(close + 2) == 'T' || stat.at(close + 2) == 't';
    return state;
}

// The process that holds the engine's start-up lock (fb_init in the lock folder)
// for writing, or 0.
qint64 initLockHolder()
{
    struct stat st { };
    if (::stat(QFile::encodeName(lockFolder() + QStringLiteral("/fb_init")).constData(), &st) != 0)
        return 0;
    const QByteArray id = QString::asprintf("%02x:%02x:%lu", ::major(st.st_dev), ::minor(st.st_dev),
                                            static_cast<unsigned long>(st.st_ino))
                              .toLatin1();
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return 0;
    // "1: FLOCK  ADVISORY  WRITE 1234 fe:00:10952853 0 EOF"; a waiting request has "->".
    for (const QByteArray& line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 6 && fields[1] != "->" && fields[3] == "WRITE" && fields[5] == id)
            return fields[4].toLongLong();
    }
    return 0;
}

// One attempt to attach on a thread of its own; whoever comes second (the attempt
// finishing, or the waiter giving up) cleans up.
struct Attempt {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool abandoned = false;
    isc_db_handle handle = 0;
};
} // namespace

void TEngineLifetime::noteProgramSignals()
{
    if (g_noted)
        return;
    g_noted = true;
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], nullptr, &g_programActions[i]);
}

void TEngineLifetime::engineStarted()
{
    std::call_once(g_started, [] {
        installSignals();
        ::on_exit(onExit, nullptr);
        g_previousTerminate = std::set_terminate(onTerminate);
    });
}

void TEngineLifetime::shutdown(int exitCode)
{
    if (g_shuttingDown.exchange(true))
        return;
    if (g_engineStuck)
        ::_exit(exitCode);
    armWatchdog(exitCode);
    fb_shutdown(unsigned(kShutdownSeconds) * 1000, fb_shutrsn_app_stopped);
}

namespace {
QString unavailable(const QString& path, const QString& cause)
{
    return QStringLiteral("The security database %1 cannot be opened now: %2 The engine's lock folder is %3.")
        .arg(path, cause, lockFolder());
}

QString stoppedCause(const QStringList& stopped)
{
    return QStringLiteral("%1 of yours %2 stopped (Ctrl+Z, SIGSTOP or a debugger) with the database open, and "
                          "holds it. Continue it (fg, or kill -CONT) or end it, then try again.")
        .arg(stopped.join(QStringLiteral(", ")), stopped.size() == 1 ? QStringLiteral("is") : QStringLiteral("are"));
}
} // namespace

TEngineLifetime::AttachGate::AttachGate(const QString& path, const QString& user, const QString& password)
{
    // Once the engine has let this program in to a file, it is running here and the
    // file is open: later connections need neither check.
    static std::mutex admittedMutex;
    static QSet<QString> admitted;
    {
        std::lock_guard lock(admittedMutex);
        if (admitted.contains(path))
            return;
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(kAttachSeconds);
    // A program stopped with the file open keeps every other program that reads it
    // waiting inside the engine, where no time limit reaches: wait for it to go on
    // before going in.
    for (QStringList stopped = stoppedHolders(path); !stopped.isEmpty(); stopped = stoppedHolders(path)) {
        if (Clock::now() >= deadline)
            throw EDatabaseError(unavailable(path, stoppedCause(stopped)), EDatabaseError::Reason::Unavailable);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }

    std::string dpb(1, char(isc_dpb_version1));
    const auto add = [&dpb](char item, const QByteArray& value) {
        dpb += item;
        dpb += char(qMin(value.size(), qsizetype(255)));
        dpb.append(value.constData(), size_t(qMin(value.size(), qsizetype(255))));
    };
    add(isc_dpb_user_name, (user.isEmpty() ? QStringLiteral("SYSDBA") : user).toUtf8());
    add(isc_dpb_password, password.toUtf8());
    add(isc_dpb_lc_ctype, QByteArrayLiteral("UTF8"));

    auto attempt = std::make_shared<Attempt>();
    std::thread([attempt, file = path.toUtf8(), dpb] {
        ISC_STATUS_ARRAY status {};
        isc_db_handle handle = 0;
        isc_attach_database(status, 0, file.constData(), &handle, short(dpb.size()), dpb.data());
        std::lock_guard lock(attempt->mutex);
        if (attempt->abandoned) {
            // The engine answered after all, too late for the program that asked.
            if (handle)
                isc_detach_database(status, &handle);
            return;
        }
        attempt->handle = handle;
        attempt->done = true;
        attempt->finished.notify_all();
    }).detach();

    // Many programs starting at once take turns with the engine's start-up lock, and
    // each may wait a while: that is progress. One program that keeps the lock, or
    // no answer at all for much longer, is not.
    const Clock::time_point started = Clock::now();
    qint64 holder = 0;
    Clock::time_point heldSince = started;
    QString cause;
    std::unique_lock lock(attempt->mutex);
    while (!attempt->finished.wait_for(lock, std::chrono::milliseconds(200), [&] { return attempt->done; })) {
        lock.unlock();
        const Clock::time_point now = Clock::now();
        const qint64 current = initLockHolder();
        if (current != holder) {
            holder = current;
            heldSince = now;
        }
        if (holder && now - heldSince >= std::chrono::seconds(kAttachSeconds)) {
            const ProcessState state = processState(holder);
            cause = QStringLiteral("program %1 (%2) of yours has held the engine's start-up lock for %3 seconds%4. "
                                   "End it, then try again.")
                        .arg(holder)
                        .arg(state.name)
                        .arg(kAttachSeconds)
                        .arg(state.stopped ? QStringLiteral(" and is stopped (Ctrl+Z, SIGSTOP or a debugger)")
                                           : QStringLiteral(" (it may be hanging while it ends)"));
        } else if (now - started >= std::chrono::seconds(kAttachLimitSeconds)) {
            const QStringList stopped = stoppedHolders(path);
            cause = stopped.isEmpty() ? QStringLiteral("the database engine did not answer. End the other programs "
                                                       "of yours that use it, then try again.")
                                      : stoppedCause(stopped);
        }
        lock.lock();
        if (!cause.isEmpty())
            break;
    }
    if (cause.isEmpty()) {
        m_handle = attempt->handle;
        if (m_handle) {
            std::lock_guard admittedLock(admittedMutex);
            admitted.insert(path);
        }
        return;
    }
    attempt->abandoned = true;
    g_engineStuck = true;
    lock.unlock();
    throw EDatabaseError(unavailable(path, cause), EDatabaseError::Reason::Unavailable);
}

TEngineLifetime::AttachGate::~AttachGate()
{
    if (!m_handle)
        return;
    ISC_STATUS_ARRAY status {};
    isc_db_handle handle = m_handle;
    isc_detach_database(status, &handle);
}

QStringList TEngineLifetime::stoppedHolders(const QString& file)
{
    QStringList found;
    struct stat target { };
    if (::stat(QFile::encodeName(file).constData(), &target) != 0)
        return found;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : pids) {
        bool isPid = false;
        if (pid.toInt(&isPid) == ::getpid() || !isPid)
            continue;
        const QString proc = QStringLiteral("/proc/") + pid;
        struct stat st { };
        if (::stat(QFile::encodeName(proc).constData(), &st) != 0 || st.st_uid != ::geteuid())
            continue;
        const ProcessState state = processState(pid.toLongLong());
        if (!state.stopped)
            continue;
        const QString fds = proc + QStringLiteral("/fd");
        for (const QString& fd : QDir(fds).entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
            struct stat opened { };
            if (::stat(QFile::encodeName(fds + QLatin1Char('/') + fd).constData(), &opened) == 0 &&
                opened.st_dev == target.st_dev && opened.st_ino == target.st_ino) {
                found << QStringLiteral("program %1 (%2)").arg(pid, state.name);
                break;
            }
        }
    }
    return found;
}
