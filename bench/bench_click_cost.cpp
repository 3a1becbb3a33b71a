// SPDX-License-Identifier: MIT
// The processor's work per click, for valgrind's callgrind to count: clicks go to Command1 on
// the offscreen platform through the window system's input path (press, release, the click
// handler, the label's new text and the repaint of what changed), and separately straight into
// the click handler with its label update. The same is done on the toolkit's floor.
//
//   valgrind --tool=callgrind --collect-atstart=no bench_click_cost [--subject game|floor]
//            [--clicks N]
//
// Collection is switched on only around each measured loop, and each loop's count is dumped
// on its own (the input path first, then the handler alone): divide its total by N.

#include "app/timer.h"
#include "app/windows.h"
#include "fakeplatform.h"
#include "floorwindow.h"
#include "game/form1.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <valgrind/callgrind.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString subject = QStringLiteral("game");
    int clicks = 200;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--subject")
            subject = args[i + 1];
        else if (args[i] == u"--clicks")
            clicks = args[i + 1].toInt();
    }

    FakePlatform platform;
    ponpira::Windows windows(platform, [] {});
    FloorWindow floor;
    QWidget* window = &floor;
    std::function<void()> handler;
    if (subject == u"game") {
        ponpira::Form1& form = windows.form1();
        window = &form;
        form.findChild<QAction*>(QStringLiteral("long"))->trigger();
        handler = [&form] { form.rules().Command1_Click(); };
    } else {
        handler = [&floor] { Q_EMIT floor.button()->clicked(false); };
    }
    window->show();
    if (!QTest::qWaitForWindowExposed(window))
        return 1;
    auto* button = window->findChild<QPushButton*>(QStringLiteral("Command1"));
    const QPoint at = button->mapTo(window, button->rect().center());

    auto click = [&] {
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, at);
        QCoreApplication::sendPostedEvents(); // the repaints the click asked for
    };
    // Warm up: the first click changes the caption and starts the clock; glyphs get cached.
    for (int i = 0; i < 20; ++i)
        click();
    // The seconds keep ticking while valgrind crawls; their work is not a click's.
    if (auto* timer1 = window->findChild<ponpira::Timer*>(QStringLiteral("Timer1")))
        timer1->blockSignals(true);

    CALLGRIND_ZERO_STATS;
    CALLGRIND_TOGGLE_COLLECT;
    for (int i = 0; i < clicks; ++i)
        click();
    CALLGRIND_TOGGLE_COLLECT;
    CALLGRIND_DUMP_STATS_AT("press, release, handler, repaints");

    CALLGRIND_TOGGLE_COLLECT;
    for (int i = 0; i < clicks; ++i) {
        handler();
        QCoreApplication::sendPostedEvents();
    }
    CALLGRIND_TOGGLE_COLLECT;
    CALLGRIND_DUMP_STATS_AT("handler with its label update and repaint");

    const int counted = window->findChild<QLabel*>(QStringLiteral("Label3"))->text().toInt();
    std::printf("%s: %d clicks sent, %d counted\n", qPrintable(subject), 20 + 2 * clicks, counted);
    return counted == 20 + 2 * clicks ? 0 : 1;
}
