// SPDX-License-Identifier: MIT
#include "app/convert.h"
#include "app/guard.h"
#include "app/int16.h"
#include "app/timer.h"
#include "gamehelpers.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

using namespace ponpira;

class TestCore : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // Arithmetic that leaves -32768..32767 is an error, never a wrap-around.
    void int16OverflowIsAnErrorNotAWrap() {
        Int16 top = 32767;
        QVERIFY_THROWS_EXCEPTION(OverflowError, top + 1);
        QCOMPARE((top - 1).value(), 32766);
        Int16 bottom = -32768;
        QVERIFY_THROWS_EXCEPTION(OverflowError, bottom - 1);
        QCOMPARE((Int16(1638) * 20).value(), 32760);
        QVERIFY_THROWS_EXCEPTION(OverflowError, Int16(1639) * 20);
        QVERIFY_THROWS_EXCEPTION(OverflowError, Int16(-1639) * 20);
        QVERIFY_THROWS_EXCEPTION(OverflowError, Int16(40000));
        QVERIFY(Int16(-1) < Int16(0));
        QVERIFY(Int16(11) >= Int16(10));
    }

    void conversions_data() {
        QTest::addColumn<bool>("integer"); // toInt16, else toDouble
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("result"); // the value read, "overflow" or "error"
        const char* const integers[][2] = {{"32767", "32767"},
                                           {"-32768", "-32768"},
                                           {"", "error"},
                                           {"  ", "error"},
                                           {"0x10", "error"},
                                           {"1.5", "error"},
                                           {"１０", "error"},
                                           {"10秒", "error"},
                                           {"32768", "overflow"},
                                           {"-32769", "overflow"},
                                           {"4294967296", "overflow"},
                                           {"99999999999999999999", "overflow"}};
        for (auto [text, result] : integers)
            QTest::addRow("toInt16 「%s」", text) << true << text << result;
        const char* const doubles[][2] = {
            {" 201 ", "201"}, {"-2.5", "-2.5"}, {"1e3", "1000"},  {"", "error"},
            {"1,5", "error"}, {"nan", "error"}, {"inf", "error"}, {"1e", "error"},
            {".", "error"},   {"--1", "error"}, {"1 2", "error"}, {"1e999", "overflow"}};
        for (auto [text, result] : doubles)
            QTest::addRow("toDouble 「%s」", text) << false << text << result;
    }
    void conversions() {
        QFETCH(bool, integer);
        QFETCH(QString, text);
        QFETCH(QString, result);
        QString read;
        try {
            read =
                integer ? QString::number(toInt16(text).value()) : QString::number(toDouble(text));
        } catch (const OverflowError&) {
            read = QStringLiteral("overflow");
        } catch (const ConversionError&) {
            read = QStringLiteral("error");
        }
        QCOMPARE(read, result);
    }

    // A stalled event loop gets its ticks back on schedule, not as a burst of missed ones.
    void aStallDoesNotBurstMissedTicks() {
        Timer timer(QStringLiteral("T"), 20, nullptr);
        QSignalSpy ticks(&timer, &Timer::tick);
        timer.setEnabled(true);
        QThread::msleep(300); // fifteen intervals without an event loop
        QElapsedTimer since;
        since.start();
        while (since.elapsed() < 50)
            QCoreApplication::processEvents();
        // On schedule, at most one tick now and one per interval after: however slow the
        // machine, the bound grows with the time the loop took.
        QVERIFY2(ticks.size() <= 2 + since.elapsed() / 20,
                 qPrintable(QString::number(ticks.size())));
        QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 2, 10000); // and it goes on ticking
    }

    // An error in a handler becomes one message; a failing tick stops its own timer.
    void guardReportsErrorsAndStopsTheTickingTimer() {
        FakePlatform platform;
        Timer timer(QStringLiteral("T"), 1000, nullptr);
        timer.setEnabled(true);
        runHandler(
            platform, nullptr, [] { Int16(32767) + 1; }, &timer);
        QCOMPARE(platform.messages.size(), 1);
        QCOMPARE(platform.messages[0].title, QStringLiteral("ポンピラ"));
        QVERIFY(platform.messages[0].prompt.contains(QStringLiteral("範囲")));
        QVERIFY(!timer.isEnabled());
        runHandler(platform, nullptr, [] { toInt16(QStringLiteral("x")); });
        QVERIFY(platform.messages.value(1).prompt.contains(QStringLiteral("「x」")));
        runHandler(platform, nullptr, [] { throw std::logic_error("boom"); });
        bool ran = false;
        runHandler(platform, nullptr, [&] { ran = true; });
        QVERIFY(ran);
        QCOMPARE(platform.messages.size(), 3);
    }

    // Real time, bounded from below only (a tick cannot come early on a precise timer), never
    // from above, so a slow machine cannot fail it. The first tick comes a second after the first
    // click, however fast the player clicks (a click must not restart the clock), and a stall of
    // the event loop (a flood of input) is made up: the seconds add up to the time that went by.
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

QTEST_MAIN(TestCore)
#include "test_core.moc"
