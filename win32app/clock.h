// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

// Timers that keep real time. SetTimer's ticks come at the system tick (15.6 ms by default),
// are late by however long the message queue was busy, and each late tick pushes every later
// one back: a 10-second game would end late and the demo would click too seldom. Here each
// timer's ticks are due at fixed points on the performance counter (start + n × interval), a
// thread of the clock waits for the next one on a high-resolution waitable timer and posts it
// to the window's queue. Posted messages come before input in the queue, so a flood of clicks
// cannot hold a tick back, and modal loops (message boxes, menus, a window being moved)
// dispatch them too. A tick that was missed is still delivered: no second is lost.
namespace ponpira::win32 {

class Clock {
  public:
    // Ticks are posted as `message` to `window` (an HWND), wParam the timer and lParam its
    // run, and delivered by deliver() from that window's procedure.
    Clock(std::uintptr_t window, unsigned message);
    ~Clock();
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;

    // A new timer, disabled, with this interval; tick runs on the window's thread.
    int add(int intervalMs, std::function<void()> tick);
    // Enabling a disabled timer starts its interval from now; enabling an enabled one changes
    // nothing, so its next tick keeps its time. Disabling drops ticks already posted.
    void setEnabled(int timer, bool enabled);
    bool enabled(int timer) const;
    // A new interval starts from now when the timer runs.
    void setInterval(int timer, int intervalMs);
    int interval(int timer) const;

    // From the window procedure: runs the tick unless the timer was disabled since it was
    // posted.
    void deliver(std::uintptr_t timer, std::intptr_t run);

    // The performance counter in microseconds, for the program's log and the benchmarks.
    static std::int64_t nowMicroseconds();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace ponpira::win32
