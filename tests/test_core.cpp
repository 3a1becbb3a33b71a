// SPDX-License-Identifier: MIT
#include "app/convert.h"
#include "app/guard.h"
#include "app/int16.h"
#include "app/timer.h"
#include "fakeplatform.h"

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

    void integerText_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0 << "0";
        QTest::newRow("ten") << 10 << "10";
        QTest::newRow("three digits") << 125 << "125";
        QTest::newRow("negative") << -20 << "-20";
        QTest::newRow("max") << 32767 << "32767";
        QTest::newRow("min") << -32768 << "-32768";
    }
    // Decimal, no leading space or zeros, and it reads back.
    void integerText() {
        QFETCH(int, value);
        QFETCH(QString, text);
        QCOMPARE(toText(value), text);
        QCOMPARE(toInt16(text).value(), value);
    }

    void badIntegerText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("overflow");
        QTest::newRow("empty") << "" << false;
        QTest::newRow("blank") << "  " << false;
        QTest::newRow("letters") << "abc" << false;
        QTest::newRow("hex") << "0x10" << false;
        QTest::newRow("fraction") << "1.5" << false;
        QTest::newRow("full-width") << "１０" << false;
        QTest::newRow("trailing junk") << "10秒" << false;
        QTest::newRow("too big") << "32768" << true;
        QTest::newRow("far too big") << "99999999999999999999" << true;
        QTest::newRow("too small") << "-32769" << true;
    }
    void badIntegerText() {
        QFETCH(QString, text);
        QFETCH(bool, overflow);
        if (overflow)
            QVERIFY_THROWS_EXCEPTION(OverflowError, toInt16(text));
        else
            QVERIFY_THROWS_EXCEPTION(ConversionError, toInt16(text));
    }

    void doubleText() {
        QCOMPARE(toDouble(QStringLiteral("1")), 1.0);
        QCOMPARE(toDouble(QStringLiteral(" 201 ")), 201.0);
        QCOMPARE(toDouble(QStringLiteral("-2.5")), -2.5);
        QCOMPARE(toDouble(QStringLiteral("1e3")), 1000.0);
        for (const char* bad : {"", "1,5", "nan", "inf", "1e", ".", "--1", "1 2"})
            QVERIFY_THROWS_EXCEPTION(ConversionError, toDouble(QString::fromUtf8(bad)));
        QVERIFY_THROWS_EXCEPTION(OverflowError, toDouble(QStringLiteral("1e999")));
    }

    // Enabling a running timer must not restart its interval: the game enables the seconds
    // timer on every click.
    void enablingARunningTimerKeepsItsRhythm() {
        Timer timer(QStringLiteral("T"), 200, nullptr);
        QSignalSpy ticks(&timer, &Timer::tick);
        timer.setEnabled(true);
        QVERIFY(timer.isEnabled());
        QCOMPARE(timer.objectName(), QStringLiteral("T"));
        // Re-enable far more often than the interval: a restarting timer would never fire.
        QElapsedTimer clock;
        clock.start();
        while (ticks.isEmpty() && clock.elapsed() < 5000) {
            timer.setEnabled(true);
            QTest::qWait(20);
        }
        QVERIFY(!ticks.isEmpty());
        timer.setEnabled(false);
        QVERIFY(!timer.isEnabled());
    }

    // A stalled event loop gets its ticks back on schedule, not as a burst of missed ones,
    // unless the timer is a clock that has to catch up.
    void aStallDoesNotBurstMissedTicks() {
        Timer timer(QStringLiteral("T"), 20, nullptr);
        QSignalSpy ticks(&timer, &Timer::tick);
        timer.setEnabled(true);
        QThread::msleep(300); // fifteen intervals without an event loop
        QCoreApplication::processEvents();
        QTest::qWait(5);
        QVERIFY2(ticks.size() <= 3, qPrintable(QString::number(ticks.size())));
        QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 2, 10000); // and it goes on ticking

        // A clock that must add up to the time gone by delivers what it missed instead.
        Timer clock(QStringLiteral("C"), 20, nullptr, Timer::Missed::CatchUp);
        QSignalSpy clockTicks(&clock, &Timer::tick);
        clock.setEnabled(true);
        QThread::msleep(300);
        QTRY_VERIFY_WITH_TIMEOUT(clockTicks.size() >= 15, 10000);
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
        QCOMPARE(platform.messages.size(), 2);
        QVERIFY(platform.messages[1].prompt.contains(QStringLiteral("「x」")));

        runHandler(platform, nullptr, [] { throw std::logic_error("boom"); });
        QCOMPARE(platform.messages.size(), 3);

        bool ran = false;
        runHandler(platform, nullptr, [&] { ran = true; });
        QVERIFY(ran);
        QCOMPARE(platform.messages.size(), 3);
    }
};

QTEST_MAIN(TestCore)
#include "test_core.moc"
