// SPDX-License-Identifier: MIT
#include "gamehelpers.h"

#include <QElapsedTimer>

// What only real time shows. Timings are bounded from below only (a tick cannot come early on a
// precise timer), never from above, so a slow machine cannot fail these.
class TestRealTime : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // The first tick comes one second after the first click.
    void firstTickOneSecondAfterFirstClick() {
        Game g;
        g.choose("short");
        QElapsedTimer clock;
        g.click();
        clock.start();
        QTRY_COMPARE_WITH_TIMEOUT(g.caption("Label1"), QStringLiteral("1"), 20000);
        QVERIFY2(clock.elapsed() >= 990, qPrintable(QString::number(clock.elapsed())));
    }

    // Clicking faster than the clock must not hold it back: a click never restarts Timer1.
    void clicksDoNotRestartTheClock() {
        Game g;
        g.choose("short");
        QElapsedTimer clock;
        clock.start();
        int clicks = 0;
        while (g.caption("Label1") != QStringLiteral("2") && clock.elapsed() < 20000) {
            g.click();
            ++clicks;
            QTest::qWait(50);
        }
        QCOMPARE(g.caption("Label1"), QStringLiteral("2"));
        QCOMPARE(g.caption("Label3"), QString::number(clicks));
    }

    // Choosing DEMO again while it runs keeps both timers' rhythm.
    void demoTwiceKeepsTheRhythm() {
        Game g;
        g.choose("demo");
        QElapsedTimer clock;
        clock.start();
        while (g.caption("Label1") != QStringLiteral("2") && clock.elapsed() < 20000) {
            g.choose("demo");
            QTest::qWait(50);
        }
        QCOMPARE(g.caption("Label1"), QStringLiteral("2"));
        QVERIFY(g.caption("Label3").toInt() >= 2);
    }
};

QTEST_MAIN(TestRealTime)
#include "test_realtime.moc"
