// SPDX-License-Identifier: MIT
// Soak: windows opened and closed, games and demos played and posted; afterwards as many
// QObjects are alive, and no more heap is in use, as after the first rounds.
// Usage: reliability_soak [window cycles] [game cycles]   (default 100 and 20)
#include "about/frmabout.h"
#include "gamehelpers.h"
#include "submit/form2.h"

#include <QApplication>
#include <QLineEdit>
#include <atomic>
#include <cstdio>
#include <malloc.h>
#include <unistd.h>

// Qt's hooks for debugging tools (qhooks_p.h): [3] sees every QObject made, [4] every one gone.
extern quintptr qtHookData[];

namespace {

std::atomic<long> liveObjects = 0;
constexpr long heapSlackBytes = 2048; // without glibc's cache (see main) it returns to the byte

void press(QWidget* window, const char* button) {
    QTest::mouseClick(window->findChild<QPushButton*>(button), Qt::LeftButton);
}

QWidget* send(Game& g, const char* box, const QString& text) {
    g.choose("send");
    g.windows.loadedForm2()->findChild<QLineEdit*>(box)->setText(text);
    return g.windows.loadedForm2();
}

const struct {
    const char* name;
    bool game; // counted in game cycles, else in window cycles
    void (*cycle)(Game&, int);
} scenarios[] = {
    {"About opened and closed", false,
     [](Game& g, int i) {
         g.choose("about");
         QWidget* about = g.windows.loadedAbout();
         if (i % 3 == 2) // the fake registry is empty: the "unavailable" message
             press(about, "cmdSysInfo");
         i % 3 == 1 ? void(about->close()) : press(about, "cmdOK");
     }},
    {"Form2 shown and hidden", false,
     [](Game& g, int i) { press(send(g, "Text4", QString::number(i)), "Command2"); }},
    {"Form2 closed and reloaded", false,
     [](Game& g, int i) { send(g, "Text1", QString::number(i))->close(); }},
    {"games and demos posted", true,
     [](Game& g, int i) {
         g.choose(i % 3 == 0 ? "short" : i % 3 == 1 ? "regular" : "long");
         g.click(25 + i % 7);
         g.tick("Timer1", 30);
         press(send(g, "Text1", QStringLiteral("たろう")), "Command1");
         g.choose("demo");
         for (int second = 0; second < 10; ++second)
             g.tick("Timer2", 12), g.tick("Timer1");
         press(send(g, "Text4", QStringLiteral("デモ")), "Command1");
     }},
};

} // namespace

int main(int argc, char** argv) {
    // glibc's per-thread cache counts blocks kept for reuse as in use: start again without it.
    if (!qEnvironmentVariableIsSet("GLIBC_TUNABLES")) {
        setenv("GLIBC_TUNABLES", "glibc.malloc.tcache_count=0", 1);
        execv("/proc/self/exe", argv);
    }
    if (qtHookData[2] != QT_VERSION || qtHookData[1] < 5)
        qFatal("unexpected layout of Qt's hook table");
    qtHookData[3] = reinterpret_cast<quintptr>(+[](QObject*) { ++liveObjects; });
    qtHookData[4] = reinterpret_cast<quintptr>(+[](QObject*) { --liveObjects; });
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*.warning=false"); // offscreen warns at every raise()
    QApplication app(argc, argv);
    Game game;
    bool grew = false;
    std::printf("%-26s %7s %9s %9s %11s %11s\n", "scenario", "cycles", "objects0", "objects1",
                "heap0", "heap1");
    for (const auto& s : scenarios) {
        const int cycles = argc > 1 + s.game ? std::atoi(argv[1 + s.game]) : s.game ? 20 : 100;
        const int warm = std::max(3, cycles / 10); // rounds that fill caches a session fills once
        long objects = 0, heap = 0;
        for (int i = 0; i < warm + cycles; ++i) {
            if (i == warm)
                objects = liveObjects, heap = long(mallinfo2().uordblks);
            s.cycle(game, i);
            // What the event loop does before the player's next click: unloaded windows go.
            for (int round = 0; round < 3; ++round) {
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                QCoreApplication::processEvents();
            }
            game.platform = FakePlatform(); // whose records would grow with every cycle
        }
        const long objectsAfter = liveObjects, heapAfter = long(mallinfo2().uordblks);
        const bool ok = objectsAfter == objects && heapAfter - heap <= heapSlackBytes;
        grew = grew || !ok;
        std::printf("%-26s %7d %9ld %9ld %11ld %11ld %s\n", s.name, cycles, objects, objectsAfter,
                    heap, heapAfter, ok ? "" : "GREW");
    }
    return grew ? 1 : 0;
}
