// SPDX-License-Identifier: MIT
// How exact the game's clock is: the demo's click count over repeated runs (an exact clock gives
// 124 or 125: the 125th automatic click ties with the end tick) and how long 10-, 20- and
// 30-second games last from the first click to the result message. Prints numbers; never fails
// for being slow.
//
//   bench_clock [--subject game|floor] [--demo-runs N] [--game-runs N] [--lengths 10,20,30]
//               [--busy] [--label TEXT]
//
// The floor is the toolkit's plain repeating timers (QTimer, precise) doing the same counting
// with nothing of the game around them. --busy keeps one other core spinning during the
// measurements; --label is added to each figure's name (bench/run.sh says "idle" or "busy"
// there, and runs game and floor side by side). The platform is offscreen unless
// QT_QPA_PLATFORM says otherwise; bench/run.sh runs it on a real X server.

#include "app/windows.h"
#include "benchutil.h"
#include "fakeplatform.h"
#include "game/form1.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace {

struct Stats {
    double median, min, max;
};

Stats stats(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    const double median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    return {median, v.front(), v.back()};
}

// One measured run: start() begins it as the player would (DEMO, or a length and the first
// click), and the run is over once endedAt is set.
class Run {
  public:
    virtual ~Run() = default;
    virtual void startDemo() = 0;
    virtual void startGame(int seconds) = 0;
    virtual int clicks() = 0;
    QElapsedTimer clock;
    qint64 endedAt = -1;

    void waitForEnd() {
        bench::waitFor([this] { return endedAt >= 0; }, 60000);
    }
};

class GameRun : public Run {
  public:
    GameRun() {
        form.show();
        platform.onMessage = [this](const FakePlatform::Message&) {
            endedAt = clock.nsecsElapsed();
        };
        bench::spin(100); // shown and painted before the clock starts
    }
    void startDemo() override {
        clock.start();
        trigger("demo");
    }
    void startGame(int seconds) override {
        trigger(seconds == 10 ? "short" : seconds == 20 ? "regular" : "long");
        auto* button = form.findChild<QPushButton*>(QStringLiteral("Command1"));
        clock.start();
        button->click();
    }
    int clicks() override {
        return form.findChild<QLabel*>(QStringLiteral("Label3"))->text().toInt();
    }

  private:
    void trigger(const char* name) { form.findChild<QAction*>(QLatin1String(name))->trigger(); }
    FakePlatform platform;
    ponpira::Windows windows{platform, [] {}};
    ponpira::Form1& form = windows.form1();
};

class FloorRun : public Run {
  public:
    FloorRun() {
        seconds_.setTimerType(Qt::PreciseTimer);
        clicker_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&clicker_, &QTimer::timeout, [this] { ++clicks_; });
        QObject::connect(&seconds_, &QTimer::timeout, [this] {
            if (++elapsed_ >= limit_) {
                seconds_.stop();
                clicker_.stop();
                endedAt = clock.nsecsElapsed();
            }
        });
    }
    void startDemo() override {
        limit_ = 10;
        clock.start();
        seconds_.start(1000);
        clicker_.start(80);
    }
    void startGame(int seconds) override {
        limit_ = seconds;
        clock.start();
        seconds_.start(1000);
    }
    int clicks() override { return clicks_; }

  private:
    QTimer seconds_, clicker_;
    int elapsed_ = 0, limit_ = 0, clicks_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    int demoRuns = 10, gameRuns = 3;
    QList<int> lengths{10, 20, 30};
    bool busy = false;
    QString subject = QStringLiteral("game"), label;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == u"--demo-runs" && i + 1 < args.size())
            demoRuns = args[++i].toInt();
        else if (args[i] == u"--game-runs" && i + 1 < args.size())
            gameRuns = args[++i].toInt();
        else if (args[i] == u"--lengths" && i + 1 < args.size()) {
            lengths.clear();
            for (const QString& l : args[++i].split(u',', Qt::SkipEmptyParts))
                lengths << l.toInt();
        } else if (args[i] == u"--subject" && i + 1 < args.size())
            subject = args[++i];
        else if (args[i] == u"--label" && i + 1 < args.size())
            label = QStringLiteral(", ") + args[++i];
        else if (args[i] == u"--busy")
            busy = true;
    }
    const QByteArray who = subject.toUtf8();
    auto makeRun = [&]() -> std::unique_ptr<Run> {
        if (subject == u"floor")
            return std::make_unique<FloorRun>();
        return std::make_unique<GameRun>();
    };

    std::atomic<bool> stop{false};
    std::thread spinner;
    if (busy)
        spinner = std::thread([&] {
            volatile unsigned long x = 0;
            while (!stop.load(std::memory_order_relaxed))
                x = x + 1;
        });

    std::printf("clock benchmark, %s (%s)\n", who.constData(), busy ? "other core busy" : "idle");
    std::vector<double> counts;
    for (int r = 0; r < demoRuns; ++r) {
        const auto run = makeRun();
        run->startDemo();
        run->waitForEnd();
        counts.push_back(run->clicks());
        std::printf("  demo run %d: %d clicks\n", r + 1, int(counts.back()));
        bench::result(QStringLiteral("demo clicks in 10 s (goal 124 or 125)") + label,
                      who.constData(), counts.back());
    }
    if (!counts.empty()) {
        const Stats s = stats(counts);
        const auto good = std::count_if(counts.begin(), counts.end(),
                                        [](double c) { return c == 124 || c == 125; });
        std::printf(
            "demo clicks: median %.1f  min %.0f  max %.0f  (124 or 125 in %d of %zu runs)\n",
            s.median, s.min, s.max, int(good), counts.size());
    }

    for (const int length : lengths) {
        std::vector<double> errors;
        for (int r = 0; r < gameRuns; ++r) {
            const auto run = makeRun();
            run->startGame(length);
            run->waitForEnd();
            errors.push_back(run->endedAt / 1e6 - length * 1000.0);
            bench::result(
                QStringLiteral("%1 s game, first click to end message, ms over").arg(length) +
                    label,
                who.constData(), errors.back());
        }
        if (!errors.empty()) {
            const Stats s = stats(errors);
            std::printf("%d s game, first click to result message, minus %d ms: median %+.2f ms  "
                        "min %+.2f  max %+.2f  (%zu runs)\n",
                        length, length * 1000, s.median, s.min, s.max, errors.size());
            std::fflush(stdout);
        }
    }
    stop = true;
    if (spinner.joinable())
        spinner.join();
    return 0;
}
