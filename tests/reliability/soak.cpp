// Soak: the About window opened and closed, the result window shown and hidden, closed and
// loaded again, and whole games and demos played and posted back to back. Afterwards exactly
// as many QObjects are alive, and no more heap is in use, than after the first rounds.
// Usage: reliability_soak [window cycles] [game cycles]   (default 100 and 20)
#include "about/frmabout.h"
#include "gamehelpers.h"
#include "submit/form2.h"

#include <QApplication>
#include <QLineEdit>
#include <atomic>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <unistd.h>

// Qt's table of hooks for debugging tools (QHooks in qhooks_p.h): slot 3 is called with every
// QObject constructed, slot 4 with every QObject destroyed.
extern quintptr qtHookData[];

namespace {

std::atomic<long> liveObjects = 0;

// Without glibc's per-thread cache (see main) the heap in use comes back to the byte after a
// cycle; a leak of one block a cycle exceeds this within 100 cycles.
constexpr long heapSlackBytes = 2048;

struct Sample {
    long objects;
    long heap;
};

// What the event loop does between two clicks of the player: unloaded windows go. The fake
// platform forgets its records, which would otherwise grow with every cycle.
void settle(Game& game) {
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
    FakePlatform& p = game.platform;
    p.messages.clear();
    p.opened.clear();
    p.started.clear();
    p.fileQueries.clear();
    p.openRequests.clear();
    p.openAccess.clear();
    p.imeRequests.clear();
}

Sample sample() {
    return {liveObjects.load(), static_cast<long>(mallinfo2().uordblks)};
}

template <typename T> T* child(QWidget* window, const char* name) {
    auto* w = window->findChild<T*>(QLatin1String(name));
    if (!w)
        qFatal("no %s", name);
    return w;
}

void press(QWidget* window, const char* name) {
    QTest::mouseClick(child<QPushButton>(window, name), Qt::LeftButton);
}

void aboutCycle(Game& game, int i) {
    game.choose("about");
    QWidget* about = game.windows.loadedAbout();
    if (i % 3 == 1)
        about->close();
    else if (i % 3 == 2)
        press(about, "cmdSysInfo"); // the fake registry is empty: the "unavailable" message
    if (i % 3 != 1)
        press(about, "cmdOK");
}

void showHideCycle(Game& game, int i) {
    game.choose("send");
    ponpira::Form2* form = game.windows.loadedForm2();
    child<QLineEdit>(form, "Text4")->setText(QString::number(i));
    press(form, "Command2");
}

void reloadCycle(Game& game, int i) {
    game.choose("send");
    child<QLineEdit>(game.windows.loadedForm2(), "Text1")->setText(QString::number(i));
    game.windows.loadedForm2()->close();
}

void gameCycle(Game& game, int i) {
    game.choose(i % 3 == 0 ? "short" : i % 3 == 1 ? "regular" : "long");
    game.click(25 + i % 7);
    game.tick("Timer1", 30);
    game.choose("send");
    ponpira::Form2* form = game.windows.loadedForm2();
    child<QLineEdit>(form, "Text1")->setText(QStringLiteral("たろう"));
    child<QLineEdit>(form, "Text4")->setText(QStringLiteral("がんばった"));
    press(form, "Command1");
    game.choose("demo");
    for (int second = 0; second < 10; ++second) {
        game.tick("Timer2", 12);
        game.tick("Timer1");
    }
    game.choose("send");
    press(game.windows.loadedForm2(), "Command1");
}

} // namespace

int main(int argc, char** argv) {
    // glibc's per-thread cache counts the blocks it keeps for reuse as in use, which blurs the
    // heap figure by some kilobytes; the program starts itself again without it.
    if (!qEnvironmentVariableIsSet("GLIBC_TUNABLES")) {
        setenv("GLIBC_TUNABLES", "glibc.malloc.tcache_count=0", 1);
        execv("/proc/self/exe", argv);
    }
    if (qtHookData[2] != QT_VERSION || qtHookData[1] < 5)
        qFatal("unexpected layout of Qt's hook table");
    qtHookData[3] = reinterpret_cast<quintptr>(+[](QObject*) { ++liveObjects; });
    qtHookData[4] = reinterpret_cast<quintptr>(+[](QObject*) { --liveObjects; });
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform warns at every raise(), thousands of times in a soak.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    QApplication app(argc, argv);
    const int windowCycles = argc > 1 ? std::atoi(argv[1]) : 100;
    const int gameCycles = argc > 2 ? std::atoi(argv[2]) : 20;

    struct Scenario {
        const char* name;
        int cycles;
        std::function<void(Game&, int)> cycle;
    };
    const Scenario scenarios[] = {
        {"About opened and closed", windowCycles, aboutCycle},
        {"Form2 shown and hidden", windowCycles, showHideCycle},
        {"Form2 closed and reloaded", windowCycles, reloadCycle},
        {"games and demos posted", gameCycles, gameCycle},
    };
    Game game;
    bool grew = false;
    std::printf("%-26s %7s %9s %9s %11s %11s\n", "scenario", "cycles", "objects0", "objects1",
                "heap0", "heap1");
    for (const Scenario& s : scenarios) {
        // The first rounds fill the caches that a real session fills once.
        for (int i = 0; i < std::max(3, s.cycles / 10); ++i) {
            s.cycle(game, i);
            settle(game);
        }
        const Sample before = sample();
        for (int i = 0; i < s.cycles; ++i) {
            s.cycle(game, i);
            settle(game);
        }
        const Sample after = sample();
        const bool ok =
            after.objects == before.objects && after.heap - before.heap <= heapSlackBytes;
        grew = grew || !ok;
        std::printf("%-26s %7d %9ld %9ld %11ld %11ld %s\n", s.name, s.cycles, before.objects,
                    after.objects, before.heap, after.heap, ok ? "" : "GREW");
    }
    return grew ? 1 : 0;
}
