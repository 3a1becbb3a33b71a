// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

namespace ponpira {

class Platform;
namespace core {
class Timer;
}

// Runs one event handler to completion so that no error ever crosses a front end's event loop.
// An error is reported in one message box (owned by what window() gives once the handler is
// done: the handler may have closed its window) and the program goes on; if the handler was a
// timer's tick, that timer is stopped first so the box does not come back with every tick.
void runHandler(Platform& platform, const std::function<void*()>& window,
                const std::function<void()>& handler, core::Timer* tickingTimer = nullptr);

} // namespace ponpira
