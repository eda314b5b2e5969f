#pragma once
// GuardedCommand: runs a command of a window's buttons and lists. An engine error the
// command does not catch is shown with the engine's text, as the desktop shows its
// own, and the program goes on: no exception may leave a slot of the toolkit.

#include "database/EDatabaseError.h"
#include "platform/MessageBox.h"

#include <exception>
#include <functional>

namespace Widgets {

inline void guarded(const std::function<void()>& command)
{
    try {
        command();
    } catch (const EDatabaseError& e) {
        Platform::showError(e.message());
    } catch (const std::exception& e) {
        Platform::showError(QString::fromLocal8Bit(e.what()));
    }
}

} // namespace Widgets
