// SPDX-License-Identifier: MIT
#include "gamehelpers.h"

#include <QElapsedTimer>
#include <QThread>

// What only real time shows. Timings are bounded from below only (a tick cannot come early on a
// precise timer), never from above, so a slow machine cannot fail this.
class TestRealTime : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // The first tick comes a second after the first click, however fast the player clicks (a
    // click must not restart the clock), and a stall of the event loop (a flood of input) is
    // made up: the seconds add up to the time that went by.
    void theClockKeepsRealTime() {
        Game g;
        g.choose("short");
        QElapsedTimer clock;
        clock.start();
        int clicks = 0;
        while (g.caption("Label1") != QStringLiteral("1") && clock.elapsed() < 20000) {
            g.click();
            ++clicks;
            QTest::qWait(50);
        }
        QVERIFY2(clock.elapsed() >= 990, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(g.caption("Label1"), QStringLiteral("1"));
        QCOMPARE(g.caption("Label3"), QString::number(clicks));
        QThread::msleep(2000);
        QCoreApplication::processEvents();
        QVERIFY(g.caption("Label1").toInt() >= 3);
    }
};

QTEST_MAIN(TestRealTime)
#include "test_realtime.moc"
