// How exact the game's clock is: the demo's click count over repeated runs (an exact clock gives
// 124 or 125: the 125th automatic click ties with the end tick) and how long 10-, 20- and
// 30-second games last from the first click to the result message. Prints numbers; never fails
// for being slow.
//
//   bench_clock [--demo-runs N] [--game-runs N] [--lengths 10,20,30] [--busy]
//
// --busy keeps one other core spinning during the measurements.

#include "app/windows.h"
#include "fakeplatform.h"
#include "game/form1.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <atomic>
#include <cstdio>
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

// Runs the event loop until the game's result message has been shown (or a minute passed).
struct Run {
    FakePlatform platform;
    ponpira::Windows windows{platform, [] {}};
    ponpira::Form1& form = windows.form1();
    QElapsedTimer clock;
    qint64 endedAt = -1;

    Run() {
        form.show();
        platform.onMessage = [this](const FakePlatform::Message&) {
            endedAt = clock.nsecsElapsed();
        };
    }
    void trigger(const char* name) { form.findChild<QAction*>(QLatin1String(name))->trigger(); }
    void waitForEnd() {
        QElapsedTimer guard;
        guard.start();
        while (endedAt < 0 && guard.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    int demoRuns = 10, gameRuns = 3;
    QList<int> lengths{10, 20, 30};
    bool busy = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == u"--demo-runs" && i + 1 < args.size())
            demoRuns = args[++i].toInt();
        else if (args[i] == u"--game-runs" && i + 1 < args.size())
            gameRuns = args[++i].toInt();
        else if (args[i] == u"--lengths" && i + 1 < args.size()) {
            lengths.clear();
            for (const QString& l : args[++i].split(u','))
                lengths << l.toInt();
        } else if (args[i] == u"--busy")
            busy = true;
    }

    std::atomic<bool> stop{false};
    std::thread spinner;
    if (busy)
        spinner = std::thread([&] {
            volatile unsigned long x = 0;
            while (!stop.load(std::memory_order_relaxed))
                x = x + 1;
        });

    std::printf("clock benchmark (%s)\n", busy ? "other core busy" : "idle");
    std::vector<double> counts;
    for (int r = 0; r < demoRuns; ++r) {
        Run run;
        run.clock.start();
        run.trigger("demo");
        run.waitForEnd();
        counts.push_back(run.form.findChild<QLabel*>(QStringLiteral("Label3"))->text().toInt());
        std::printf("  demo run %d: %d clicks\n", r + 1, int(counts.back()));
        std::fflush(stdout);
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
            Run run;
            run.trigger(length == 10 ? "short" : length == 20 ? "regular" : "long");
            auto* button = run.form.findChild<QPushButton*>(QStringLiteral("Command1"));
            run.clock.start();
            button->click();
            run.waitForEnd();
            errors.push_back(run.endedAt / 1e6 - length * 1000.0);
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
