// SPDX-License-Identifier: MIT
#include "app/timer.h"

namespace ponpira {

namespace {
constexpr qint64 wakeLatencyNs = 1500000;
constexpr qint64 earlyToleranceNs = 20000;
} // namespace

Timer::Timer(const QString& name, int intervalMs, QObject* parent, Missed missed)
    : QObject(parent), intervalMs_(intervalMs), missed_(missed) {
    setObjectName(name);
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &Timer::onTimeout);
}

void Timer::setEnabled(bool enabled) {
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    if (!enabled) {
        timer_.stop();
        return;
    }
    ticks_ = 0;
    since_.start();
    scheduleNext();
}

void Timer::scheduleNext() {
    // Aim a little short of the due time: the event loop wakes about a millisecond late, and
    // the last stretch is waited out with zero-length waits, which cost at most that
    // millisecond of processor time per tick.
    const qint64 remainingNs = dueNs() - since_.nsecsElapsed() - wakeLatencyNs;
    timer_.start(int(std::max<qint64>(0, remainingNs / 1000000)));
}

void Timer::onTimeout() {
    if (!enabled_)
        return;
    const qint64 now = since_.nsecsElapsed();
    if (now < dueNs() - earlyToleranceNs) { // woke early: wait out the rest
        scheduleNext();
        return;
    }
    // After a stall longer than an interval (a flood of input keeps the event loop from the
    // timers), resume on the schedule; a catching-up timer also delivers the ticks it missed.
    const qint64 due = std::max(ticks_ + 1, now / (intervalMs_ * qint64(1000000)));
    const qint64 missed = missed_ == Missed::CatchUp ? due - ticks_ : 1;
    ticks_ = due;
    scheduleNext();
    for (qint64 i = 0; i < missed && enabled_; ++i)
        Q_EMIT tick();
}

} // namespace ponpira
