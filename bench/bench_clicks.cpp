// SPDX-License-Identifier: MIT
// Counts real clicks. Another X client (bench_xclick, or xdotool) sends XTest clicks onto
// Command1 through a real X server, and the count shown in Label3 and in the end message is
// compared with the number sent. The game's windows are the program's own (same library, same
// window set, real xcb platform); only the end message is recorded instead of waiting for OK.
// Each run is followed by the same run on the toolkit's floor, so both see the same machine.
// Prints RESULT lines for bench/run.sh and one line per run; never fails for being slow.
//
//   bench_clicks --sender xtest|xdotool --clicks N --length 10|20|30 [--period-us P]
//   bench_clicks --keys N --hold-ms MS [--key-delay-ms D]   (D: xdotool's --delay; default its own)
//                [--detectable-autorepeat 1 [--trust-key-releases 1]]
//   bench_clicks --enter-hold-ms MS [--repeat DELAY_MS,RATE]   (Enter held on the focused button
//                through a 10 s game; the X server repeats it RATE times a second after DELAY_MS)
//
// --detectable-autorepeat asks the X server (XKB) to send a held key's repeats as presses
// alone, without the release before each, on this program's connection: what the game would
// have to do for a held Space to count once. --trust-key-releases then also hands the button
// every Space press and release without Qt's auto-repeat mark, which Qt guesses from a release
// and a press in the same millisecond: with detectable auto-repeat every release is a real one.
//   common: [--runs K] [--subjects game,floor] [--xclick PATH-TO-bench_xclick]

#include "app/windows.h"
#include "benchutil.h"
#include "fakeplatform.h"
#include "floorwindow.h"
#include "game/form1.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QWindow>
#include <memory>

// In xkbrepeat.cpp, away from Xlib's macros.
bool setDetectableAutoRepeat(void* display);

using bench::result;
using bench::spin;
using bench::waitFor;

namespace {

QElapsedTimer sinceStart;

// The window under test: the game's main window, or the floor.
class Subject {
  public:
    virtual ~Subject() = default;
    virtual const char* name() const = 0;
    virtual QWidget* window() = 0;
    QAbstractButton* button() {
        return window()->findChild<QAbstractButton*>(QStringLiteral("Command1"));
    }
    int count() { return window()->findChild<QLabel*>(QStringLiteral("Label3"))->text().toInt(); }
    virtual void choose(int /*seconds*/) {}
    virtual bool hasEnd() const { return false; }
    qint64 endNs = -1;
    QString endMessage;
};

class Game : public Subject {
  public:
    Game() {
        platform.onMessage = [this](const FakePlatform::Message& m) {
            endNs = sinceStart.nsecsElapsed();
            endMessage = QString::fromStdU16String(m.prompt);
        };
    }
    const char* name() const override { return "game"; }
    QWidget* window() override { return &windows.form1(); }
    void choose(int seconds) override {
        const char* item = seconds == 10 ? "short" : seconds == 20 ? "regular" : "long";
        window()->findChild<QAction*>(QLatin1String(item))->trigger();
    }
    bool hasEnd() const override { return true; }

  private:
    FakePlatform platform;
    ponpira::Windows windows{platform, [] {}};
};

// The floor's clock is a plain precise repeating QTimer started by the first click, so the
// game's seconds can be read against the toolkit's under the same flood of input.
class Floor : public Subject {
  public:
    Floor() {
        seconds_.setTimerType(Qt::PreciseTimer);
        QObject::connect(floor.button(), &QPushButton::clicked, &seconds_, [this] {
            if (!seconds_.isActive() && endNs < 0)
                seconds_.start(1000);
        });
        QObject::connect(&seconds_, &QTimer::timeout, [this] {
            if (++elapsed_ >= limit_) {
                seconds_.stop();
                endNs = sinceStart.nsecsElapsed();
            }
        });
    }
    const char* name() const override { return "floor"; }
    QWidget* window() override { return &floor; }
    void choose(int seconds) override { limit_ = seconds; }

  private:
    FloorWindow floor;
    QTimer seconds_;
    int elapsed_ = 0, limit_ = 10;
};

// Watches what reaches the button: the kinds of mouse and key events and every click.
class Probe : public QObject {
  public:
    explicit Probe(QAbstractButton* button) {
        button->installEventFilter(this);
        connect(button, &QAbstractButton::clicked, this, [this] {
            const qint64 now = sinceStart.nsecsElapsed();
            if (clicks++ == 0)
                firstClickNs = now;
            lastClickNs = now;
        });
    }
    int presses = 0, doubleClicks = 0, releases = 0, keyPresses = 0, autoRepeats = 0, clicks = 0;
    qint64 firstClickNs = -1, lastClickNs = -1;

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        switch (e->type()) {
        case QEvent::MouseButtonPress:
            ++presses;
            break;
        case QEvent::MouseButtonDblClick:
            ++doubleClicks;
            break;
        case QEvent::MouseButtonRelease:
            ++releases;
            break;
        case QEvent::KeyPress:
            ++keyPresses;
            if (static_cast<QKeyEvent*>(e)->isAutoRepeat())
                ++autoRepeats;
            break;
        default:
            break;
        }
        return false;
    }
};

// Re-sends Space events that Qt marked as auto-repeats without the mark.
class TrustKeyReleases : public QObject {
  protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() != QEvent::KeyPress && e->type() != QEvent::KeyRelease)
            return false;
        auto* k = static_cast<QKeyEvent*>(e);
        if (!k->isAutoRepeat() || k->key() != Qt::Key_Space)
            return false;
        QKeyEvent copy(k->type(), k->key(), k->modifiers(), k->nativeScanCode(),
                       k->nativeVirtualKey(), k->nativeModifiers(), k->text(), false, k->count());
        QCoreApplication::sendEvent(watched, &copy);
        return true;
    }
};

struct Sent {
    bool ok = false;
    double seconds = 0;
};

// Runs a sender to its end while the event loop goes on; its last "sent N SECONDS" line gives
// the time the X server took to accept the events.
Sent runSender(const QString& program, const QStringList& args, qint64 startNs = -1) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const qint64 before = sinceStart.nsecsElapsed();
    process.start(program, args);
    if (!process.waitForStarted(10000))
        return {};
    waitFor([&] { return process.state() == QProcess::NotRunning; }, 180000);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
        return {};
    }
    const qint64 after = sinceStart.nsecsElapsed();
    Sent sent;
    sent.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    const QStringList words = QString::fromUtf8(process.readAllStandardOutput()).split(u' ');
    sent.seconds = words.size() >= 3 && words[0] == u"sent"
                       ? words[2].toDouble()
                       : (after - (startNs < 0 ? before : startNs)) / 1e9;
    return sent;
}

bool showAndWait(Subject& s) {
    QWidget* w = s.window();
    w->show();
    const bool exposed =
        waitFor([w] { return w->windowHandle() && w->windowHandle()->isExposed(); }, 20000);
    spin(200); // let the first paints and the window manager's moves settle
    return exposed;
}

// Waits for the clicks in flight to be counted: until the count reaches the goal or stops
// moving for two seconds, then a little longer so that any extra click would show up too.
void settle(Subject& s, int goal) {
    int last = s.count();
    QElapsedTimer still;
    still.start();
    waitFor(
        [&] {
            if (s.count() != last) {
                last = s.count();
                still.restart();
            }
            return last >= goal || still.elapsed() > 2000;
        },
        60000);
    spin(300);
}

int messageCount(const QString& message) {
    static const QRegularExpression re(QStringLiteral("^あなたは(\\d+)秒で(\\d+)回"));
    const auto m = re.match(message);
    return m.hasMatch() ? m.captured(2).toInt() : -1;
}

struct Options {
    QString sender = QStringLiteral("xtest");
    int clicks = 1000;
    int length = 10;
    qint64 periodUs = 0;
    int keys = 0;
    int holdMs = 0;
    int keyDelayMs = -1; // xdotool's own default
    int enterHoldMs = 0;
    QStringList repeat{QStringLiteral("660"), QStringLiteral("25")}; // the X server's defaults
    bool detectableAutoRepeat = false;
    bool trustKeyReleases = false;
    int runs = 3;
    QStringList subjects{QStringLiteral("game"), QStringLiteral("floor")};
    QString xclick;
};

void clickRun(Subject& s, const Options& o) {
    if (!showAndWait(s)) {
        std::printf("  %s: the window was never exposed\n", s.name());
        return;
    }
    s.choose(o.length);
    QAbstractButton* button = s.button();
    Probe probe(button);
    const QPoint at = button->mapToGlobal(button->rect().center());
    const QString x = QString::number(at.x()), y = QString::number(at.y()),
                  n = QString::number(o.clicks);
    Sent sent;
    if (o.sender == u"xdotool") {
        runSender(QStringLiteral("xdotool"),
                  {QStringLiteral("mousemove"), QStringLiteral("--sync"), x, y});
        spin(100);
        const qint64 start = sinceStart.nsecsElapsed();
        sent = runSender(QStringLiteral("xdotool"),
                         {QStringLiteral("click"), QStringLiteral("--repeat"), n,
                          QStringLiteral("--delay"), QStringLiteral("0"), QStringLiteral("1")},
                         start);
    } else {
        sent = runSender(o.xclick, {QStringLiteral("click"), x, y, n, QString::number(o.periodUs)});
    }
    if (!sent.ok) {
        std::printf("  %s: the sender failed\n", s.name());
        return;
    }
    settle(s, o.clicks);
    if (s.hasEnd())
        waitFor([&] { return s.endNs >= 0; }, (o.length + 30) * 1000);

    const int shown = s.count();
    const int told = s.hasEnd() ? messageCount(s.endMessage) : shown;
    const int lost = std::max({0, o.clicks - shown, o.clicks - told});
    const int extra = std::max({0, shown - o.clicks, told - o.clicks});
    const double handledSeconds = (probe.lastClickNs - probe.firstClickNs) / 1e9;
    const double handledRate = probe.clicks > 1 ? (probe.clicks - 1) / handledSeconds : 0;
    std::printf("  %-5s sent %d in %.3f s; Label3 %d, message %d; presses %d, double-clicks %d, "
                "releases %d; handled %.0f/s\n",
                s.name(), o.clicks, sent.seconds, shown, told, probe.presses, probe.doubleClicks,
                probe.releases, handledRate);
    std::fflush(stdout);

    QString key = QStringLiteral("%1 %2 clicks").arg(o.sender).arg(o.clicks);
    if (o.periodUs > 0)
        key += QStringLiteral(" at %1/s").arg(1000000 / o.periodUs);
    result(key + QStringLiteral(": lost"), s.name(), lost);
    result(key + QStringLiteral(": extra"), s.name(), extra);
    result(key + QStringLiteral(": double-clicks delivered"), s.name(), probe.doubleClicks);
    result(key + QStringLiteral(": sent, clicks/s"), s.name(), o.clicks / sent.seconds);
    result(key + QStringLiteral(": handled, clicks/s"), s.name(), handledRate);
    if (o.clicks >= 20000 && o.periodUs == 0)
        result(QStringLiteral("wall time per click, real X path, us"), s.name(),
               handledSeconds * 1e6 / (probe.clicks - 1));
    if (s.endNs < 0) // the floor's clock is only waited for here, when nothing else is left
        waitFor([&] { return s.endNs >= 0; }, (o.length + 30) * 1000);
    if (s.endNs >= 0 && probe.firstClickNs >= 0)
        result(key + QStringLiteral(": first click to end of the %1 s, ms over").arg(o.length),
               s.name(), (s.endNs - probe.firstClickNs) / 1e6 - o.length * 1000.0);
}

void keyRun(Subject& s, const Options& o) {
    if (!showAndWait(s)) {
        std::printf("  %s: the window was never exposed\n", s.name());
        return;
    }
    s.choose(10);
    QAbstractButton* button = s.button();
    Probe probe(button);
    TrustKeyReleases trust;
    if (o.trustKeyReleases)
        button->installEventFilter(&trust);
    s.window()->activateWindow();
    button->setFocus();
    if (!waitFor([&] { return s.window()->isActiveWindow() && button->hasFocus(); }, 10000)) {
        std::printf("  %s: the button never got the keyboard focus\n", s.name());
        return;
    }
    QStringList keyArgs{QStringLiteral("key"), QStringLiteral("--repeat"), QString::number(o.keys)};
    if (o.keyDelayMs >= 0)
        keyArgs << QStringLiteral("--delay") << QString::number(o.keyDelayMs);
    const Sent taps = runSender(QStringLiteral("xdotool"), keyArgs << QStringLiteral("space"));
    settle(s, o.keys);
    const int afterTaps = s.count();
    const int pressesBeforeHold = probe.keyPresses;
    const Sent hold = runSender(o.xclick, {QStringLiteral("hold"), QString::number(o.holdMs)});
    settle(s, o.keys + 1);
    const int afterHold = s.count();
    if (s.hasEnd())
        waitFor([&] { return s.endNs >= 0; }, 40000);
    const int told = s.hasEnd() ? messageCount(s.endMessage) : afterHold;
    std::printf("  %-5s %d Space taps counted %d; a %d ms hold (%d key presses, %d of them "
                "auto-repeats) counted %d; message %d%s\n",
                s.name(), o.keys, afterTaps, o.holdMs, probe.keyPresses - pressesBeforeHold,
                probe.autoRepeats, afterHold - afterTaps, told,
                taps.ok && hold.ok ? "" : " (a sender failed)");
    std::fflush(stdout);
    const QString how = !o.detectableAutoRepeat ? QString()
                        : o.trustKeyReleases
                            ? QStringLiteral(", detectable auto-repeat, releases trusted")
                            : QStringLiteral(", detectable auto-repeat on");
    const QString delay = o.keyDelayMs < 0 ? QStringLiteral("its default delay")
                                           : QStringLiteral("--delay %1").arg(o.keyDelayMs);
    const QString held =
        QStringLiteral("Space: held %1 ms after taps with %2%3").arg(o.holdMs).arg(delay, how);
    result(QStringLiteral("Space: %1 taps (xdotool, %2%3), clicks counted")
               .arg(o.keys)
               .arg(delay, how),
           s.name(), afterTaps);
    result(held + QStringLiteral(", clicks counted"), s.name(), afterHold - afterTaps);
    result(held + QStringLiteral(", key presses delivered"), s.name(),
           probe.keyPresses - pressesBeforeHold);
    if (s.hasEnd())
        result(QStringLiteral("Space: end message count, goal %1 (%2%3)")
                   .arg(o.keys + 1)
                   .arg(delay, how),
               s.name(), told);
}

// A held Enter on the focused button through a 10 s game: the rate of its clicks.
void enterRun(Subject& s, const Options& o) {
    if (!showAndWait(s)) {
        std::printf("  %s: the window was never exposed\n", s.name());
        return;
    }
    s.choose(10);
    QAbstractButton* button = s.button();
    Probe probe(button);
    s.window()->activateWindow();
    button->setFocus();
    if (!waitFor([&] { return s.window()->isActiveWindow() && button->hasFocus(); }, 10000)) {
        std::printf("  %s: the button never got the keyboard focus\n", s.name());
        return;
    }
    const Sent hold =
        runSender(o.xclick, {QStringLiteral("hold"), QString::number(o.enterHoldMs),
                             QStringLiteral("Return"), o.repeat.value(0), o.repeat.value(1)});
    settle(s, 1);
    if (s.hasEnd())
        waitFor([&] { return s.endNs >= 0; }, 40000);
    // The game counts until its end; the floor's plain button ignores Enter.
    const int counted = s.hasEnd() ? messageCount(s.endMessage) : probe.clicks;
    const double seconds = s.hasEnd() ? 10.0 : o.enterHoldMs / 1000.0;
    std::printf("  %-5s Enter held %d ms (repeat after %s ms, %s/s): %d clicks, %.1f/s%s\n",
                s.name(), o.enterHoldMs, qPrintable(o.repeat.value(0)),
                qPrintable(o.repeat.value(1)), counted, counted / seconds,
                hold.ok ? "" : " (the sender failed)");
    std::fflush(stdout);
    result(QStringLiteral("Enter held through a 10 s game (repeat after %1 ms, %2/s), clicks per "
                          "second")
               .arg(o.repeat.value(0), o.repeat.value(1)),
           s.name(), counted / seconds);
}

} // namespace

int main(int argc, char** argv) {
    sinceStart.start();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    Options o;
    o.xclick = QCoreApplication::applicationDirPath() + QStringLiteral("/bench_xclick");
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString& a = args[i];
        const QString& v = args[i + 1];
        if (a == u"--sender")
            o.sender = v;
        else if (a == u"--clicks")
            o.clicks = v.toInt();
        else if (a == u"--length")
            o.length = v.toInt();
        else if (a == u"--period-us")
            o.periodUs = v.toLongLong();
        else if (a == u"--keys")
            o.keys = v.toInt();
        else if (a == u"--hold-ms")
            o.holdMs = v.toInt();
        else if (a == u"--key-delay-ms")
            o.keyDelayMs = v.toInt();
        else if (a == u"--enter-hold-ms")
            o.enterHoldMs = v.toInt();
        else if (a == u"--repeat")
            o.repeat = v.split(u',');
        else if (a == u"--detectable-autorepeat")
            o.detectableAutoRepeat = v.toInt() != 0;
        else if (a == u"--trust-key-releases")
            o.trustKeyReleases = v.toInt() != 0;
        else if (a == u"--runs")
            o.runs = v.toInt();
        else if (a == u"--subjects")
            o.subjects = v.split(u',');
        else if (a == u"--xclick")
            o.xclick = v;
        else {
            std::fprintf(stderr, "bench_clicks: unknown option %s\n", qPrintable(a));
            return 2;
        }
    }
    if (o.length != 10 && o.length != 20 && o.length != 30) {
        std::fputs("bench_clicks: --length is 10, 20 or 30\n", stderr);
        return 2;
    }

    if (o.detectableAutoRepeat) {
        auto* x11 = app.nativeInterface<QNativeInterface::QX11Application>();
        if (!x11 || !setDetectableAutoRepeat(x11->display())) {
            std::fputs("bench_clicks: the X server cannot detect auto-repeat\n", stderr);
            return 1;
        }
    }
    if (o.enterHoldMs > 0)
        std::printf("keyboard: Enter held %d ms\n", o.enterHoldMs);
    else if (o.keys > 0)
        std::printf("keyboard: %d Space taps, then Space held %d ms\n", o.keys, o.holdMs);
    else
        std::printf("clicks: %d from %s%s into a %d s game\n", o.clicks, qPrintable(o.sender),
                    o.periodUs ? qPrintable(QStringLiteral(" every %1 us").arg(o.periodUs))
                               : " at full speed",
                    o.length);
    for (int r = 0; r < o.runs; ++r) {
        std::printf(" run %d\n", r + 1);
        for (const QString& name : o.subjects) {
            std::unique_ptr<Subject> s;
            if (name == u"game")
                s = std::make_unique<Game>();
            else
                s = std::make_unique<Floor>();
            if (o.enterHoldMs > 0)
                enterRun(*s, o);
            else if (o.keys > 0)
                keyRun(*s, o);
            else
                clickRun(*s, o);
            s.reset();
            spin(200);
        }
    }
    return 0;
}
