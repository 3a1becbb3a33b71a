// SPDX-License-Identifier: MIT
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <functional>

// Helpers shared by the benchmarks that run a Qt event loop.
namespace bench {

// Runs the event loop until done() or timeoutMs passed; returns done(). The loop blocks between
// events as the game's own loop does, so waiting costs no processor time that the X server,
// the sender or the timers under test would miss.
inline bool waitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < timeoutMs) {
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

// Runs the event loop for ms milliseconds.
inline void spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// One measurement for bench/run.sh to gather: the figure's name, who was measured ("game" or
// "floor"), the value.
inline void result(const QString& figure, const char* subject, double value) {
    std::printf("RESULT\t%s\t%s\t%.6g\n", qPrintable(figure), subject, value);
    std::fflush(stdout);
}

} // namespace bench
