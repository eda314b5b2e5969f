#pragma once
// jovsecadm: the commands, their options and help, and the exit status.
//
//     jovsecadm --alias MYAPP_SEC user add Ann --password secret
//
// Exit status 0: done; 1: refused (the message says why); 2: bad usage.

#include <QStringList>
#include <QTextStream>

class TAdminTool {
public:
    // Runs one command line (without the program's name).
    static int run(const QStringList& arguments, QTextStream& out, QTextStream& err);
    // Whether the command line's command draws pages (report) and so needs a
    // QApplication; the others run on a QCoreApplication, with no display.
    static bool needsGraphics(const QStringList& arguments);
};
