// SPDX-License-Identifier: MIT
#include "app/convert.h"
#include "app/guard.h"
#include "gamehelpers.h"

#include <QElapsedTimer>
#include <QTest>
#include <QThread>

using namespace ponpira;

class TestCore : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void int16OverflowIsAnErrorNotAWrap() {
        QCOMPARE((Int16(1638) * 20).value(), 32760);
        QVERIFY_THROWS_EXCEPTION(OverflowError, Int16(1639) * 20);
        QVERIFY_THROWS_EXCEPTION(OverflowError, Int16(32767) + 1);
    }

    void conversions_data() {
        QTest::addColumn<bool>("integer"); // toInt16, else toDouble
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("result"); // the value read, "overflow" or "error"
        const char* const integers[][2] = {{"32767", "32767"},     {"-32768", "-32768"},
                                           {"", "error"},          {"0x10", "error"},
                                           {"1.5", "error"},       {"１０", "error"},
                                           {"10秒", "error"},      {"32768", "overflow"},
                                           {"-32769", "overflow"}, {"4294967296", "overflow"}};
        for (auto [text, result] : integers)
            QTest::addRow("toInt16 「%s」", text) << true << text << result;
        const char* const doubles[][2] = {{" 201 ", "201"},     {"-2.5", "-2.5"}, {"1e3", "1000"},
                                          {"", "error"},        {"1,5", "error"}, {"nan", "error"},
                                          {"1e", "error"},      {"--1", "error"}, {"1 2", "error"},
                                          {"1e999", "overflow"}};
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

    // A library's error in a handler becomes a message rather than the end of the program.
    void guardReportsLibraryErrors() {
        FakePlatform platform;
        runHandler(platform, nullptr, [] { throw std::logic_error("boom"); });
        QCOMPARE(platform.messages.size(), 1);
    }

    // Real time, bounded only by what the time taken allows, so a slow machine cannot fail it:
    // the seconds never run ahead of real time, clicks do not restart the clock, a stall (a flood
    // of input) is made up in seconds, and the demo's clicks resume on schedule after it instead of
    // bursting.
    void theClockKeepsRealTime() {
        Game g;
        g.play(QStringLiteral("short demo"));
        QElapsedTimer clock;
        clock.start();
        while (g.caption("Label1") != QStringLiteral("1") && clock.elapsed() < 5000) {
            g.click();
            QTest::qWait(50);
        }
        QCOMPARE(g.caption("Label1"), QStringLiteral("1"));
        const int clicks = g.caption("Label3").toInt();
        QThread::msleep(2000);
        QElapsedTimer since;
        since.start();
        while (since.elapsed() < 50)
            QCoreApplication::processEvents();
        QVERIFY(g.caption("Label1").toInt() >= 3);
        QVERIFY(g.caption("Label1").toInt() <= (clock.elapsed() + 100) / 1000);
        QVERIFY(g.caption("Label3").toInt() <= clicks + 2 + since.elapsed() / 80);
    }
};

QTEST_MAIN(TestCore)
#include "test_core.moc"
