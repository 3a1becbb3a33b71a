// SPDX-License-Identifier: MIT
// The Windows program's clock against SetTimer, on this machine (under Wine here): the demo's
// rhythm (an 80 ms timer beside a 1000 ms one, counted until the tenth second) and how late
// each second's tick is handled. Prints numbers; nothing fails for being slow.
//   bench_clock [runs]
#include "win32app/clock.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using ponpira::win32::Clock;

constexpr UINT tickMessage = WM_APP + 1;

struct Run {
    int clicks = 0;
    std::vector<double> lateMs; // each second's tick, handled after start + n seconds
};

HWND messageWindow() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.lpszClassName = L"PonpiraBench";
    RegisterClassW(&windowClass);
    return CreateWindowW(L"PonpiraBench", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                         nullptr);
}

// The demo on the program's clock: Timer1 then Timer2 enabled, clicks counted until the tick
// that makes ten seconds, which stops both.
Run clockRun(HWND window) {
    Clock clock(reinterpret_cast<std::uintptr_t>(window), tickMessage);
    Run run;
    std::int64_t start = 0;
    int seconds = 0;
    int timer2 = -1;
    const int timer1 = clock.add(1000, [&] {
        ++seconds;
        run.lateMs.push_back((Clock::nowMicroseconds() - start - seconds * 1'000'000) / 1000.0);
        if (seconds >= 10) {
            clock.setEnabled(0, false);
            clock.setEnabled(timer2, false);
        }
    });
    timer2 = clock.add(80, [&] { ++run.clicks; });
    start = Clock::nowMicroseconds();
    clock.setEnabled(timer1, true);
    clock.setEnabled(timer2, true);
    MSG message;
    while (seconds < 10 && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == tickMessage)
            clock.deliver(message.wParam, static_cast<std::intptr_t>(message.lParam));
        else
            DispatchMessageW(&message);
    }
    return run;
}

// The same on SetTimer, the usual way.
Run setTimerRun(HWND window) {
    Run run;
    int seconds = 0;
    const std::int64_t start = Clock::nowMicroseconds();
    SetTimer(window, 1, 1000, nullptr);
    SetTimer(window, 2, 80, nullptr);
    MSG message;
    while (seconds < 10 && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message != WM_TIMER)
            continue;
        if (message.wParam == 2) {
            ++run.clicks;
        } else {
            ++seconds;
            run.lateMs.push_back((Clock::nowMicroseconds() - start - seconds * 1'000'000) / 1000.0);
        }
    }
    KillTimer(window, 1);
    KillTimer(window, 2);
    return run;
}

void report(const char* name, const std::vector<Run>& runs) {
    std::vector<int> clicks;
    std::vector<double> end;
    double worst = 0;
    for (const Run& run : runs) {
        clicks.push_back(run.clicks);
        end.push_back(run.lateMs.back());
        for (double late : run.lateMs)
            worst = std::max(worst, std::abs(late));
    }
    std::sort(end.begin(), end.end());
    std::printf("%-9s demo clicks:", name);
    for (int c : clicks)
        std::printf(" %d", c);
    std::printf("; tenth second late by median %.2f ms (%.2f to %.2f); worst second %.2f ms\n",
                end[end.size() / 2], end.front(), end.back(), worst);
}

} // namespace

int main(int argc, char* argv[]) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const HWND window = messageWindow();
    std::vector<Run> clock;
    std::vector<Run> setTimer;
    for (int i = 0; i < runs; ++i) {
        clock.push_back(clockRun(window));
        setTimer.push_back(setTimerRun(window));
    }
    report("clock", clock);
    report("SetTimer", setTimer);
    return 0;
}
