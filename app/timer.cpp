#include "app/timer.h"

namespace ponpira {

Timer::Timer(const QString& name, int intervalMs, QObject* parent) : QObject(parent) {
    setObjectName(name);
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(intervalMs);
    connect(&timer_, &QTimer::timeout, this, &Timer::tick);
}

void Timer::setEnabled(bool enabled) {
    if (!enabled)
        timer_.stop();
    else if (!timer_.isActive())
        timer_.start();
}

} // namespace ponpira
