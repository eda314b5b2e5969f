#pragma once
// Acts on a modal dialog once exec() has shown it, so GUI tests can run the real
// exec() without sleeping on timers.

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

// Pollers armed by one test must not act on the next test's dialogs.
inline int& modalPollerGeneration()
{
    static int generation = 0;
    return generation;
}

// Runs action on the first modal dialog other than skip once it shows; gives up
// after a bounded number of event-loop turns so a missing dialog fails, not hangs.
inline void whenModal(std::function<void(QWidget*)> action, QWidget* skip = nullptr, int turnsLeft = 2000,
                      int generation = -1)
{
    if (generation < 0)
        generation = modalPollerGeneration();
    QTimer::singleShot(0, [action = std::move(action), skip, turnsLeft, generation]() mutable {
        if (generation != modalPollerGeneration())
            return;
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != skip)
            action(modal);
        else if (turnsLeft > 0)
            whenModal(std::move(action), skip, turnsLeft - 1, generation);
    });
}
