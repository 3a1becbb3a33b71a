// SPDX-License-Identifier: MIT
#include "gamehelpers.h"

#include "about/frmabout.h"
#include "submit/form2.h"

#include <QMenuBar>
#include <QRegularExpression>

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
        const QRegularExpressionMatch match = result.match(m.prompt);
        parts << (match.hasMatch() && m.title == QStringLiteral("結果")
                      ? match.captured(1) + u'/' + match.captured(2)
                      : m.title);
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
    void rules_data() {
        QTest::addColumn<QString>("script");   // steps for Game::play, with "|" where to look
        QTest::addColumn<QStringList>("seen"); // what is seen at each "|" and at the end
        QTest::newRow("10 s: cues, end, no click after it")
            << "short c | t6 | t | t | t | t c"
            << QStringList{
                   "0秒 1回 もっと早く 9pt T1", "6秒 1回 もっと早く 9pt T1",
                   "7秒 1回 ３秒前 32pt T1",    "8秒 1回 ２ 48pt T1",
                   "9秒 1回 １ 72pt T1",        "10秒 1回 リセットしてください。 9pt grey 10/1"};
        QTest::newRow("20 s") << "regular c t10 | t7"
                              << QStringList{"10秒 1回 あと１０秒 9pt T1",
                                             "17秒 1回 ３秒前 32pt T1"};
        QTest::newRow("30 s") << "long c t10 | t10"
                              << QStringList{"10秒 1回 まだ２０秒もある 9pt T1",
                                             "20秒 1回 あと１０秒 9pt T1"};
        // A new length restarts the count at once and the clock runs on; after the end it
        // enables the button, which keeps its caption until a click.
        QTest::newRow("length mid-game")
            << "regular c30 t5 short | t | t9 | long | c"
            << QStringList{"10秒 回 もっと早く 9pt T1", "1秒 回 もっと早く 9pt T1",
                           "10秒 回 リセットしてください。 9pt grey 10/0",
                           "30秒 回 リセットしてください。 9pt 10/0",
                           "0秒 1回 もっと早く 9pt T1 10/0"};
        // Before any length the limit is 0: the first tick ends the game.
        QTest::newRow("reset before a length")
            << "reset | c3 t"
            << QStringList{"0秒 回 連打しましょう 9pt", "1秒 3回 もっと早く 9pt grey 1/3"};
        // Reset stops the clock and keeps the limit and the cue size.
        QTest::newRow("reset mid-game")
            << "short c5 t9 reset | c t6 | t"
            << QStringList{"10秒 回 連打しましょう 72pt", "6秒 1回 もっと早く 72pt T1",
                           "7秒 1回 ３秒前 32pt T1"};
        // The demo plays ten seconds on the greyed button and is marked as a demo, until a
        // length choice clears the mark.
        QTest::newRow("demo")
            << "demo d | c5 | " + QString("d12 t ").repeated(7) + "| " +
                   QString("d12 t ").repeated(3) + "| d send | short send"
            << QStringList{"0秒 1回 もっと早く 9pt grey T1 T2",
                           "0秒 1回 もっと早く 9pt grey T1 T2",
                           "7秒 85回 ３秒前 32pt grey T1 T2",
                           "10秒 121回 リセットしてください。 9pt grey 10/121",
                           "10秒 121回 リセットしてください。 9pt grey 10/121 送信(10,121,1)",
                           "10秒 回 リセットしてください。 9pt 10/121 送信(0,0,0)"};
        // After a finished game the demo counts on from it and ends on its first second.
        QTest::newRow("demo after a game")
            << "short c40 t10 demo d12 t send"
            << QStringList{"11秒 52回 リセットしてください。 9pt grey 10/40 11/52 送信(11,52,1)"};
        // Reset during a demo stops the clock, not the automatic clicks, and clears the mark.
        QTest::newRow("reset during a demo")
            << "demo d30 t2 reset | d | d100 c t10 send"
            << QStringList{"10秒 回 連打しましょう 9pt T2", "0秒 1回 もっと早く 9pt T2",
                           "10秒 102回 リセットしてください。 9pt grey 10/102 送信(10,102,0)"};
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
            if (m.title == QStringLiteral("結果"))
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
        QVERIFY(!g.windows.loadedAbout()->isVisible() && g.platform.messages.isEmpty());
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
