// SPDX-License-Identifier: MIT
#include "gamehelpers.h"

#include "submit/form2.h"

#include <QMenuBar>

using namespace ponpira;

namespace {

const QString endPrompt(int seconds, int clicks) {
    return QStringLiteral("あなたは%1秒で%2回クリックすることができました。")
        .arg(seconds)
        .arg(clicks);
}

} // namespace

class TestGame : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // The window opens in its design-time state; a disabled button ignores the player.
    void startUpState() {
        Game g;
        QCOMPARE(g.form.windowTitle(), QStringLiteral("ポンピラ"));
        QVERIFY(!(g.form.windowFlags() &
                  (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint)));
        QCOMPARE(g.form.centralWidget()->size(), QSize(346, 206));
        QCOMPARE(g.form.minimumSize(), g.form.maximumSize());
        QVERIFY(!g.button()->isEnabled());
        QCOMPARE(g.buttonText(),
                 QStringLiteral("タイムを選択してからこのボタンをマウスで連打してください"));
        const QStringList captions{{}, QStringLiteral("秒"), {}, QStringLiteral("回"), {}};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(g.find<QLabel>(qPrintable(QStringLiteral("Label%1").arg(i + 1)))->text(),
                     captions[i]);
        // The click count's box starts above the client area: its digits sit under the menu.
        QCOMPARE(g.find<QLabel>("Label3")->geometry(), QRect(152, -8, 137, 73));
        QCOMPARE(g.find<QLabel>("Label4")->font().pointSizeF(), 26.25);
        QVERIFY(!QFont::substitutes(QStringLiteral("ＭＳ Ｐゴシック")).isEmpty());
        QVERIFY(!g.find<QLabel>("Label5")->isVisible());
        QVERIFY(!g.timer("Timer1")->isEnabled() && !g.timer("Timer2")->isEnabled());
        g.click(3);
        QCOMPARE(g.caption("Label3"), QString());
        QVERIFY(!g.timer("Timer1")->isEnabled());
    }

    // The menu bar: one drop-down, the rest are commands on the bar itself.
    void menuBarItems() {
        Game g;
        QStringList bar;
        QList<QAction*> barActions;
        for (QMenuBar* row : g.form.findChildren<QMenuBar*>()) {
            // Every command is on the bar itself, none behind an overflow arrow.
            QVERIFY(row->sizeHint().width() <= g.form.centralWidget()->width());
            for (QAction* a : row->actions()) {
                QVERIFY(row->rect().contains(row->actionGeometry(a)));
                bar << a->objectName() + u'=' + a->text();
                barActions << a;
            }
        }
        QCOMPARE(bar,
                 QStringList({QStringLiteral("time=タイム"), QStringLiteral("reset=リセット"),
                              QStringLiteral("demo=DEMO"), QStringLiteral("send=結果送信"),
                              QStringLiteral("about=バージョン情報"), QStringLiteral("end=終了")}));
        QMenu* time = g.find<QAction>("time")->menu();
        QVERIFY(time);
        QStringList items;
        for (QAction* a : time->actions())
            items << a->objectName() + u'=' + a->text();
        QCOMPARE(items,
                 QStringList({QStringLiteral("short=１０秒"), QStringLiteral("regular=２０秒"),
                              QStringLiteral("long=３０秒")}));
        for (QAction* a : barActions + time->actions())
            QVERIFY2(a->shortcut().isEmpty() && !a->isCheckable(), qPrintable(a->objectName()));
        // Choosing "タイム" itself changes nothing.
        g.choose("time");
        QVERIFY(!g.button()->isEnabled());
        QCOMPARE(g.caption("Label1"), QString());
    }

    void cueSchedule_data() {
        QTest::addColumn<QString>("length");
        QTest::addColumn<int>("limit");
        // tick -> caption and point size (0: size unchanged).
        QTest::addColumn<QList<int>>("ticks");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QList<int>>("sizes");
        QTest::newRow("10 s") << "short" << 10 << QList<int>{6, 7, 8, 9}
                              << QStringList{"もっと早く", "３秒前", "２", "１"}
                              << QList<int>{0, 32, 48, 72};
        QTest::newRow("20 s") << "regular" << 20 << QList<int>{9, 10, 16, 17, 18, 19}
                              << QStringList{"もっと早く", "あと１０秒", "あと１０秒",
                                             "３秒前",     "２",         "１"}
                              << QList<int>{0, 0, 0, 32, 48, 72};
        QTest::newRow("30 s") << "long" << 30 << QList<int>{9, 10, 19, 20, 27, 28, 29}
                              << QStringList{"もっと早く", "まだ２０秒もある", "まだ２０秒もある",
                                             "あと１０秒", "３秒前",           "２",
                                             "１"}
                              << QList<int>{0, 0, 0, 0, 32, 48, 72};
    }
    // Each length shows its cues on the right ticks and ends with the result message.
    void cueSchedule() {
        QFETCH(QString, length);
        QFETCH(int, limit);
        QFETCH(QList<int>, ticks);
        QFETCH(QStringList, captions);
        QFETCH(QList<int>, sizes);
        Game g;
        const int startPoints = g.buttonPoints();
        g.choose(qPrintable(length));
        QCOMPARE(g.caption("Label1"), QString::number(limit));
        QCOMPARE(g.caption("Label5"), QString::number(limit));
        QVERIFY(g.button()->isEnabled());
        QVERIFY(!g.timer("Timer1")->isEnabled()); // nothing runs before the first click

        g.click();
        QCOMPARE(g.caption("Label3"), QStringLiteral("1"));
        QCOMPARE(g.caption("Label1"), QStringLiteral("0"));
        QCOMPARE(g.buttonText(), QStringLiteral("もっと早く"));
        QVERIFY(g.timer("Timer1")->isEnabled());

        int done = 0;
        int clicks = 1;
        for (int i = 0; i < ticks.size(); ++i) {
            g.tick("Timer1", ticks[i] - done);
            done = ticks[i];
            g.click();
            ++clicks;
            QCOMPARE(g.caption("Label1"), QString::number(done));
            QCOMPARE(g.buttonText(), captions[i]);
            QCOMPARE(g.buttonPoints(), sizes[i] ? sizes[i] : startPoints);
        }
        QVERIFY(g.platform.messages.isEmpty());
        // The box opens on the end state: both timers stopped and the button greyed.
        g.platform.onMessage = [&](const FakePlatform::Message& m) {
            QVERIFY(!g.timer("Timer1")->isEnabled() && !g.timer("Timer2")->isEnabled());
            QVERIFY(!g.button()->isEnabled());
            QCOMPARE(m.parent, &g.form);
        };
        g.tick("Timer1", limit - done);
        QCOMPARE(g.caption("Label1"), QString::number(limit));
        QCOMPARE(g.buttonText(), QStringLiteral("リセットしてください。"));
        QCOMPARE(g.buttonPoints(), 9);
        QCOMPARE(g.platform.messages.size(), 1);
        QCOMPARE(g.platform.messages[0].title, QStringLiteral("結果"));
        QCOMPARE(g.platform.messages[0].prompt, endPrompt(limit, clicks));
        // Clicks after the end are not counted.
        g.click();
        QCOMPARE(g.caption("Label3"), QString::number(clicks));
    }

    // A new length during a game restarts the count at once and the clock keeps running;
    // after the end it enables the button, which keeps its last caption until a click.
    void lengthChoice() {
        Game g;
        g.choose("regular");
        g.click(30);
        g.tick("Timer1", 5);
        g.choose("short");
        QCOMPARE(g.caption("Label1"), QStringLiteral("10"));
        QCOMPARE(g.caption("Label3"), QString());
        QVERIFY(g.timer("Timer1")->isEnabled());
        g.tick("Timer1");
        QCOMPARE(g.caption("Label1"), QStringLiteral("1"));
        g.tick("Timer1", 9);
        QCOMPARE(g.platform.messages.size(), 1);
        QCOMPARE(g.platform.messages[0].prompt, endPrompt(10, 0));
        g.choose("long");
        QVERIFY(g.button()->isEnabled() && !g.timer("Timer1")->isEnabled());
        QCOMPARE(g.buttonText(), QStringLiteral("リセットしてください。"));
        QCOMPARE(g.buttonPoints(), 9);
        g.click();
        QCOMPARE(g.buttonText(), QStringLiteral("もっと早く"));
    }

    // Reset keeps the limit and the cue size; before any length the limit is 0, so the first
    // tick ends the game.
    void reset() {
        Game g;
        const int startPoints = g.buttonPoints();
        g.choose("reset");
        QCOMPARE(g.caption("Label1"), QStringLiteral("0"));
        QCOMPARE(g.caption("Label5"), QStringLiteral("0"));
        g.click(3);
        g.tick("Timer1");
        QCOMPARE(g.platform.messages.size(), 1);
        QCOMPARE(g.platform.messages[0].prompt, endPrompt(1, 3));
        QCOMPARE(g.buttonText(), QStringLiteral("もっと早く"));
        QCOMPARE(g.buttonPoints(), startPoints);

        g.choose("short");
        g.click(5);
        g.tick("Timer1", 9);
        g.choose("reset");
        QCOMPARE(g.buttonText(), QStringLiteral("連打しましょう"));
        QCOMPARE(g.buttonPoints(), 72);
        QVERIFY(g.button()->isEnabled() && !g.timer("Timer1")->isEnabled());
        QCOMPARE(g.caption("Label1"), QStringLiteral("10"));
        QCOMPARE(g.caption("Label5"), QStringLiteral("10"));
        QCOMPARE(g.caption("Label3"), QString());
        g.click();
        g.tick("Timer1", 6);
        QCOMPARE(g.buttonPoints(), 72); // only the next cue changes it
        g.tick("Timer1");
        QCOMPARE(g.buttonPoints(), 32);
        QCOMPARE(g.platform.messages.size(), 1);
    }

    // The demo plays ten seconds on the greyed button and is marked as a demo.
    void demoFromStartUp() {
        Game g;
        g.choose("demo");
        QVERIFY(g.timer("Timer1")->isEnabled());
        QVERIFY(g.timer("Timer2")->isEnabled());
        QVERIFY(!g.button()->isEnabled());
        QCOMPARE(g.caption("Label5"), QStringLiteral("10"));
        QCOMPARE(g.caption("Label1"), QString());
        g.tick("Timer2");
        QCOMPARE(g.caption("Label3"), QStringLiteral("1"));
        QCOMPARE(g.caption("Label1"), QStringLiteral("0"));
        QCOMPARE(g.buttonText(), QStringLiteral("もっと早く"));
        g.click(5); // the greyed button takes nothing from the player
        QCOMPARE(g.caption("Label3"), QStringLiteral("1"));
        int clicks = 1;
        for (int second = 1; second <= 10; ++second) {
            g.tick("Timer2", 12);
            clicks += 12;
            g.tick("Timer1");
            if (second == 7)
                QCOMPARE(g.buttonText(), QStringLiteral("３秒前"));
        }
        QCOMPARE(g.buttonText(), QStringLiteral("リセットしてください。"));
        QVERIFY(!g.timer("Timer2")->isEnabled());
        QCOMPARE(g.platform.messages.size(), 1);
        QCOMPARE(g.platform.messages[0].prompt, endPrompt(10, clicks));
        g.tick("Timer2");
        QCOMPARE(g.caption("Label3"), QString::number(clicks));

        // The result window learns that this was a demo, until a length choice clears it.
        g.choose("send");
        Form2& form2 = g.windows.form2();
        QCOMPARE(form2.Label13->text(), QStringLiteral("1"));
        QCOMPARE(form2.Label7->text(), QString::number(clicks));
        QCOMPARE(form2.Label6->text(), QStringLiteral("10"));
        g.choose("short");
        g.choose("send");
        QCOMPARE(form2.Label13->text(), QStringLiteral("0"));
    }

    // A demo after a finished game counts on from it and ends on its first second.
    void demoAfterAFinishedGame() {
        Game g;
        g.choose("short");
        g.click(40);
        g.tick("Timer1", 10);
        const int points = g.buttonPoints();
        g.choose("demo");
        g.tick("Timer2", 12);
        g.tick("Timer1");
        QCOMPARE(g.platform.messages.size(), 2);
        QCOMPARE(g.platform.messages[1].prompt, endPrompt(11, 52));
        QCOMPARE(g.buttonPoints(), points);
        QVERIFY(!g.timer("Timer2")->isEnabled());
    }

    // Reset during a demo stops the clock but not the automatic clicks.
    void resetDuringADemo() {
        Game g;
        g.choose("demo");
        g.tick("Timer2", 30);
        g.tick("Timer1", 2);
        g.choose("reset");
        QVERIFY(!g.timer("Timer1")->isEnabled());
        QVERIFY(g.timer("Timer2")->isEnabled());
        QCOMPARE(g.buttonText(), QStringLiteral("連打しましょう"));
        g.tick("Timer2");
        QCOMPARE(g.caption("Label3"), QStringLiteral("1"));
        QCOMPARE(g.caption("Label1"), QStringLiteral("0"));
        QCOMPARE(g.buttonText(), QStringLiteral("もっと早く"));
        g.tick("Timer2", 100);
        g.click(); // the player's click starts the clock again; the limit stays 10
        g.tick("Timer1", 10);
        QCOMPARE(g.platform.messages.size(), 1);
        QCOMPARE(g.platform.messages[0].prompt, endPrompt(10, 102));
        g.choose("send");
        QCOMPARE(g.windows.form2().Label13->text(), QStringLiteral("0"));
    }

    // With the count at its ceiling the next demo click fails once, cleanly.
    void clickCountOverflowGivesOneMessage() {
        Game g;
        g.choose("demo");
        g.choose("reset");
        g.tick("Timer2", 32767);
        QCOMPARE(g.caption("Label3"), QStringLiteral("32767"));
        QVERIFY(g.platform.messages.isEmpty());
        g.tick("Timer2");
        QCOMPARE(g.platform.messages.size(), 1);
        QCOMPARE(g.platform.messages[0].title, QStringLiteral("ポンピラ"));
        QVERIFY(!g.timer("Timer2")->isEnabled());
        QCOMPARE(g.caption("Label3"), QStringLiteral("32767"));
        g.tick("Timer2", 10);
        QCOMPARE(g.platform.messages.size(), 1);
        // The game is still playable.
        g.choose("short");
        g.click();
        QCOMPARE(g.caption("Label3"), QStringLiteral("1"));
    }

    // "終了" ends at once, mid-game, without the result message.
    void endMidGame() {
        Game g;
        g.choose("short");
        g.click(4);
        g.tick("Timer1", 3);
        g.choose("end");
        QCOMPARE(g.quits, 1);
        QVERIFY(g.windows.hasEnded());
        QVERIFY(!g.form.isVisible());
        QVERIFY(g.platform.messages.isEmpty());
    }
};

QTEST_MAIN(TestGame)
#include "test_game.moc"
