// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <functional>

class QWidget;

namespace ponpira {

class Platform;
class Timer;

// Runs one event handler to completion so that no error ever crosses Qt's event loop. An
// error is reported in one message box and the program goes on; if the handler was a timer's
// tick, that timer is stopped first so the box does not come back with every tick.
void runHandler(Platform& platform, QWidget* window, const std::function<void()>& handler,
                Timer* tickingTimer = nullptr);

// Connects signal to a window's handler through runHandler.
template <typename Sender, typename Signal, typename Window>
void connectHandler(Platform& platform, Sender* sender, Signal signal, Window* window,
                    void (Window::*handler)(), Timer* tickingTimer = nullptr) {
    QObject::connect(sender, signal, window, [&platform, window, handler, tickingTimer] {
        runHandler(
            platform, window, [window, handler] { (window->*handler)(); }, tickingTimer);
    });
}

} // namespace ponpira
