// SPDX-License-Identifier: MIT
#include "gamehelpers.h"

#include "about/frmabout.h"
#include "submit/form2.h"

#include <QElapsedTimer>
#include <QMenuBar>
#include <QRegularExpression>
#include <QThread>

using namespace ponpira;

namespace {

// What the player sees, in one line: seconds, clicks, the button, the running timers, the
// messages ("10/41": 41 clicks in 10 s) and what 結果送信 copied (seconds, clicks, demo flag).
QString seen(const Game& g) {
    QStringList parts{g.caption("Label1") + u'秒', g.caption("Label3") + u'回', g.button()->text(),
                      QString::number(g.button()->font().pointSize()) + "pt"};
    if (!g.button()->isEnabled())
        parts << QStringLiteral("grey");
    for (const char* timer : {"Timer1", "Timer2"})
        if (g.timer(timer)->isEnabled())
            parts << u'T' + QString::fromLatin1(timer).right(1);
    static const QRegularExpression result(
        QStringLiteral("^あなたは(\\d+)秒で(\\d+)回クリックすることができました。$"));
    for (const FakePlatform::Message& m : g.platform.messages) {
        const QRegularExpressionMatch match = result.match(QString::fromStdU16String(m.prompt));
        parts << (match.hasMatch() && m.title == u"結果"
                      ? match.captured(1) + u'/' + match.captured(2)
                      : QString::fromStdU16String(m.title));
    }
    if (const Form2* form2 = g.windows.loadedForm2())
        parts << QStringLiteral("送信(%1,%2,%3)")
                     .arg(form2->Label6->text(), form2->Label7->text(), form2->Label13->text());
    return parts.join(u' ');
}

} // namespace

class TestGame : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // The rules themselves are tested on fakes (tests/core); these rows check that the real
    // widgets, menu and timers reach them and show what they set, fonts and errors included.
    void rules_data() {
        QTest::addColumn<QString>("script");   // steps for Game::play, with "|" where to look
        QTest::addColumn<QStringList>("seen"); // what is seen at each "|" and at the end
        QTest::newRow("10 s: cues, end, no click after it")
            << "short c | t6 | t | t | t | t c"
            << QStringList{
                   "0秒 1回 もっと早く 9pt T1", "6秒 1回 もっと早く 9pt T1",
                   "7秒 1回 ３秒前 32pt T1",    "8秒 1回 ２ 48pt T1",
                   "9秒 1回 １ 72pt T1",        "10秒 1回 リセットしてください。 9pt grey 10/1"};
        // At the count's ceiling the next click fails once, cleanly, and the game goes on.
        QTest::newRow("count overflow")
            << "demo reset d32767 | d | d10 short c"
            << QStringList{"0秒 32767回 もっと早く 9pt T2", "0秒 32767回 もっと早く 9pt ポンピラ",
                           "0秒 1回 もっと早く 9pt T1 ポンピラ"};
    }
    void rules() {
        QFETCH(QString, script);
        QFETCH(QStringList, seen);
        Game g;
        // The result box opens on the end state, so that no tick comes while it is open.
        g.platform.onMessage = [&](const FakePlatform::Message& m) {
            if (m.title == u"結果")
                QVERIFY(!g.timer("Timer1")->isEnabled() && !g.timer("Timer2")->isEnabled());
        };
        const QStringList parts = script.split(u'|');
        for (int i = 0; i < parts.size(); ++i) {
            g.play(parts[i]);
            QCOMPARE(::seen(g), seen.value(i));
        }
    }

    void ending_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("終了") << false;
        QTest::newRow("main window's close box") << true;
    }
    // Either way the program ends, mid-game and with the other windows loaded.
    void ending() {
        QFETCH(bool, closeBox);
        Game g;
        g.play(QStringLiteral("short c4 t3 send about"));
        if (closeBox)
            g.form.close();
        else
            g.choose("end");
        QCOMPARE(g.quits, 1);
        QVERIFY(!g.windows.loadedAbout()->isVisible() && g.platform.messages.empty());
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

    // Every command is on the bar itself, none behind an overflow arrow.
    void menuFitsTheWindow() {
        Game g;
        for (QMenuBar* row : g.form.findChildren<QMenuBar*>())
            QVERIFY(row->sizeHint().width() <= g.form.centralWidget()->width());
    }
};

QTEST_MAIN(TestGame)
#include "test_game.moc"
