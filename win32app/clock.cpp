// SPDX-License-Identifier: MIT
#include "win32app/clock.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace ponpira::win32 {

namespace {

std::int64_t counter() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

std::int64_t frequency() {
    static const std::int64_t perSecond = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    return perSecond;
}

struct Timer {
    std::function<void()> tick;
    int intervalMs = 0;
    bool enabled = false;
    std::intptr_t run = 0;   // counts enablings and disablings; a posted tick carries it
    std::int64_t start = 0;  // counter value when the timer was enabled
    std::int64_t posted = 0; // ticks posted since then
};

} // namespace

struct Clock::State {
    HWND window = nullptr;
    unsigned message = 0;
    mutable std::mutex mutex;
    std::vector<Timer> timers;
    bool quit = false;
    HANDLE wake = nullptr;
    HANDLE waitable = nullptr;
    bool coarsePeriod = false;
    std::thread thread;

    // The counter value of timer's next tick.
    static std::int64_t due(const Timer& timer) {
        const std::int64_t n = timer.posted + 1;
        return timer.start + n * timer.intervalMs * frequency() / 1000;
    }

    void loop() {
        for (;;) {
            std::int64_t next = std::numeric_limits<std::int64_t>::max();
            {
                std::lock_guard lock(mutex);
                if (quit)
                    return;
                const std::int64_t now = counter();
                // Every tick that has come due is posted, the late ones too, in the order of
                // their times across all timers: a late wake-up must not let the seconds timer
                // end a game before the demo's clicks that were due before the end.
                std::vector<std::pair<std::int64_t, std::size_t>> ticks;
                for (std::size_t i = 0; i < timers.size(); ++i) {
                    Timer& timer = timers[i];
                    if (!timer.enabled || timer.intervalMs <= 0)
                        continue;
                    while (due(timer) <= now) {
                        ticks.emplace_back(due(timer), i);
                        ++timer.posted;
                    }
                    next = std::min(next, due(timer));
                }
                std::stable_sort(ticks.begin(), ticks.end());
                for (const auto& [time, i] : ticks)
                    PostMessageW(window, message, i, timers[i].run);
                if (next != std::numeric_limits<std::int64_t>::max()) {
                    // Relative, in 100 ns units, rounded up so that the wait never ends early.
                    LARGE_INTEGER in;
                    in.QuadPart = -((next - now) * 10'000'000 + frequency() - 1) / frequency();
                    SetWaitableTimer(waitable, &in, 0, nullptr, nullptr, FALSE);
                }
            }
            if (next == std::numeric_limits<std::int64_t>::max()) {
                WaitForSingleObject(wake, INFINITE);
            } else {
                const HANDLE handles[] = {wake, waitable};
                WaitForMultipleObjects(2, handles, FALSE, INFINITE);
            }
        }
    }
};

Clock::Clock(std::uintptr_t window, unsigned message) : state_(std::make_unique<State>()) {
    state_->window = reinterpret_cast<HWND>(window);
    state_->message = message;
    state_->wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    // Windows 10 1803 and later wake a high-resolution timer within a fraction of a
    // millisecond; elsewhere the waits follow the system tick, which 1 ms makes fine enough.
    state_->waitable = CreateWaitableTimerExW(
        nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    if (!state_->waitable) {
        state_->waitable = CreateWaitableTimerW(nullptr, FALSE, nullptr);
        state_->coarsePeriod = timeBeginPeriod(1) == TIMERR_NOERROR;
    }
    state_->thread = std::thread([state = state_.get()] { state->loop(); });
}

Clock::~Clock() {
    {
        std::lock_guard lock(state_->mutex);
        state_->quit = true;
    }
    SetEvent(state_->wake);
    state_->thread.join();
    if (state_->coarsePeriod)
        timeEndPeriod(1);
    CloseHandle(state_->waitable);
    CloseHandle(state_->wake);
}

int Clock::add(int intervalMs, std::function<void()> tick) {
    std::lock_guard lock(state_->mutex);
    Timer timer;
    timer.tick = std::move(tick);
    timer.intervalMs = intervalMs;
    state_->timers.push_back(std::move(timer));
    return static_cast<int>(state_->timers.size() - 1);
}

void Clock::setEnabled(int timer, bool enabled) {
    {
        std::lock_guard lock(state_->mutex);
        Timer& t = state_->timers.at(static_cast<std::size_t>(timer));
        if (t.enabled == enabled)
            return;
        t.enabled = enabled;
        ++t.run;
        t.start = counter();
        t.posted = 0;
    }
    SetEvent(state_->wake);
}

bool Clock::enabled(int timer) const {
    std::lock_guard lock(state_->mutex);
    return state_->timers.at(static_cast<std::size_t>(timer)).enabled;
}

void Clock::setInterval(int timer, int intervalMs) {
    {
        std::lock_guard lock(state_->mutex);
        Timer& t = state_->timers.at(static_cast<std::size_t>(timer));
        if (t.intervalMs == intervalMs)
            return;
        t.intervalMs = intervalMs;
        ++t.run;
        t.start = counter();
        t.posted = 0;
    }
    SetEvent(state_->wake);
}

int Clock::interval(int timer) const {
    std::lock_guard lock(state_->mutex);
    return state_->timers.at(static_cast<std::size_t>(timer)).intervalMs;
}

void Clock::deliver(std::uintptr_t timer, std::intptr_t run) {
    std::function<void()> tick;
    {
        std::lock_guard lock(state_->mutex);
        if (timer >= state_->timers.size())
            return;
        const Timer& t = state_->timers[timer];
        if (!t.enabled || t.run != run)
            return;
        tick = t.tick;
    }
    tick();
}

std::int64_t Clock::nowMicroseconds() {
    const std::int64_t now = counter();
    return now / frequency() * 1'000'000 + now % frequency() * 1'000'000 / frequency();
}

} // namespace ponpira::win32
