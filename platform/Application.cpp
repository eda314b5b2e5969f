#include "platform/Application.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace Platform {
namespace {
bool g_terminationRequested = false;
}

void terminateApplication()
{
    g_terminationRequested = true;
    // A queued quit is delivered by the event loop, so it also works when exec()
    // has not been entered yet: the loop starts, finds the quit and ends.
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
}

bool terminationRequested() { return g_terminationRequested; }

void resetTerminationRequest() { g_terminationRequested = false; }

} // namespace Platform
