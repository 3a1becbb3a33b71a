// SPDX-License-Identifier: MIT
#pragma once

#include "core/guard.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace ponpira {

class Platform;
class Timer;

// Connects signal to a handler of the window's rules through runHandler, so that no error ever
// crosses Qt's event loop. The error's box is owned by the window if it still exists: the
// handler may have ended the program or unloaded its own window.
template <typename Sender, typename Signal, typename Rules>
void connectHandler(Platform& platform, Sender* sender, Signal signal, QWidget* window,
                    Rules* rules, void (Rules::*handler)(), core::Timer* tickingTimer = nullptr) {
    QObject::connect(sender, signal, window, [&platform, window, rules, handler, tickingTimer] {
        QPointer<QWidget> parent(window);
        runHandler(
            platform, [parent]() -> void* { return parent.data(); },
            [rules, handler] { (rules->*handler)(); }, tickingTimer);
    });
}

} // namespace ponpira
