#pragma once

#include <QObject>
#include <QTimer>

namespace ponpira {

// A timer with the semantics the game relies on: enabling a timer that already runs changes
// nothing, so the next tick keeps its time (QTimer::start() would restart the interval, and
// every click of the game enables the seconds timer). Ticks come from a precise timer so that
// the interval does not drift by the coarse timers' 5% slack.
class Timer : public QObject {
    Q_OBJECT

  public:
    Timer(const QString& name, int intervalMs, QObject* parent);

    void setEnabled(bool enabled);
    bool isEnabled() const { return timer_.isActive(); }
    int interval() const { return timer_.interval(); }

  Q_SIGNALS:
    // Emitted on every tick; tests emit it themselves to drive a tick without waiting.
    void tick();

  private:
    QTimer timer_;
};

} // namespace ponpira
