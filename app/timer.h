// SPDX-License-Identifier: MIT
#pragma once

#include "core/controls.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace ponpira {

// A repeating timer with the semantics the game relies on:
// - Enabling a timer that already runs changes nothing, so its next tick keeps its time
//   (QTimer::start() would restart the interval, and every click enables the seconds timer).
// - Ticks keep to a fixed schedule counted from the moment the timer was enabled, so lateness
//   does not add up over a game: a repeating QTimer fires about a millisecond late each time
//   and carries part of that into the next interval. When the program falls more than an
//   interval behind, missed ticks are dropped rather than delivered in a burst.
class Timer : public QObject, public core::Timer {
    Q_OBJECT

  public:
    // What a tick that could not run on time becomes once the event loop is back.
    enum class Missed {
        Drop,    // nothing: ticks resume on the schedule
        CatchUp, // its tick, at once: the ticks add up to the time that went by
    };

    Timer(const QString& name, int intervalMs, QObject* parent, Missed missed = Missed::Drop);

    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return enabled_; }
    int interval() const override { return intervalMs_; }

  Q_SIGNALS:
    // Emitted on every tick; tests emit it themselves to drive a tick without waiting.
    void tick();

  private:
    void scheduleNext();
    void onTimeout();
    qint64 dueNs() const { return (ticks_ + 1) * intervalMs_ * qint64(1000000); }

    QTimer timer_;
    QElapsedTimer since_;
    qint64 ticks_ = 0;
    int intervalMs_;
    Missed missed_;
    bool enabled_ = false;
};

} // namespace ponpira
