#pragma once
// How a program that uses the embedded engine ends, and how long it waits for the
// engine to let it in.
//
// All programs of one user share the engine's lock folder. A program that ends while
// it is attached must detach and shut the engine down, and it must not take long:
// while it does, it holds the engine's start-up lock and every other program of the
// user waits behind it. So every way out detaches within kShutdownSeconds, and when
// the engine has not finished by then the process ends anyway (_exit).
//
// What the layer installs, once, after the engine's first attachment (the client
// library installs its own SIGINT and SIGTERM handlers then, which keep the process
// running when the signal comes):
// - SIGINT and SIGTERM: where the program had the default action when the layer was
//   first used, a handler that detaches from the engine and then ends the process by
//   the same signal; where the program had its own handler or ignored the signal,
//   that handler (or SIG_IGN) is put back and the layer adds nothing.
// - SIGHUP: the same handler, only while SIGHUP still has the default action.
// - An exit handler (on_exit) that detaches before the client library's own exit
//   handlers run: a normal return from main, exit() (Qt calls exit(1) when it loses
//   its display), and the end of a failed start-up all pass through it.
// - A std::terminate handler that detaches and then calls the handler it replaced.

#include <QString>

class TEngineLifetime {
public:
    // How long the engine gets to finish before the process ends anyway.
    static constexpr int kShutdownSeconds = 3;
    // How long opening a local file waits for a program stopped with the file open,
    // or for one that keeps the engine's start-up lock, before giving up.
    static constexpr int kAttachSeconds = 8;
    // How long it waits for the engine at all; many programs starting at once take
    // turns, and each turn is progress.
    static constexpr int kAttachLimitSeconds = 60;

    // Notes the program's own signal handling; the layer calls it before the engine
    // is first used, so the client library has not replaced anything yet.
    static void noteProgramSignals();
    // Installs the exits described above; idempotent. The layer calls it after each
    // attachment and creation.
    static void engineStarted();
    // Detaches every attachment and shuts the engine down, within kShutdownSeconds
    // or by ending the process with exitCode. Later calls do nothing.
    static void shutdown(int exitCode);

    // Lets a program open a local file only when the engine will let it in: it waits
    // at most kAttachSeconds while a program of the user is stopped with the file
    // open, then makes a first attachment on a thread of its own (kept until the
    // gate is destroyed, so the engine does not close the file in between) and gives
    // it up when one program has kept the engine's start-up lock for kAttachSeconds,
    // or after kAttachLimitSeconds in any case. Throws EDatabaseError (Unavailable)
    // naming the cause and the lock folder; any other failure is left to the
    // connection that follows to report. Only a program's first connection to each
    // file is checked.
    class AttachGate {
    public:
        AttachGate(const QString& path, const QString& user, const QString& password);
        ~AttachGate();
        AttachGate(const AttachGate&) = delete;
        AttachGate& operator=(const AttachGate&) = delete;

    private:
        unsigned int m_handle = 0;
    };

    // The other programs of this user that are stopped (Ctrl+Z, SIGSTOP, a debugger)
    // with the file open, as "program PID (name)".
    static QStringList stoppedHolders(const QString& file);
};
