// SPDX-License-Identifier: MIT
#include "gamehelpers.h"
#include "submit/boardurl.h"
#include "submit/form2.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <algorithm>

using namespace ponpira;
using namespace Qt::StringLiterals;

namespace {

// Text that would add or end a key if it were not escaped.
const QStringList entries = {"A&B", "a+b@c", "http://h/?q=1", "&pwd=x#𠮷", "p w%"};

QLineEdit* box(QWidget* form, int n) {
    return form->findChild<QLineEdit*>(QStringLiteral("Text%1").arg(n));
}

QStringList typed(Form2* form, const QStringList& texts = {}) {
    QStringList held;
    for (int n = 1; n <= 5; ++n) {
        box(form, n)->insert(texts.value(n - 1));
        held << box(form, n)->text();
    }
    return held;
}

struct Program : Game {
    Form2* send() {
        choose("send");
        return windows.loadedForm2();
    }
    void press(const char* button) {
        QTest::mouseClick(windows.loadedForm2()->findChild<QPushButton*>(QLatin1String(button)),
                          Qt::LeftButton);
    }
    QStringList values() const {
        const Form2* f = windows.loadedForm2();
        return {f->Label6->text(), f->Label7->text(), f->Label13->text()};
    }
};

} // namespace

class TestForm2 : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // Values are copied at "結果送信" only; hiding keeps the text, the close box drops it.
    void lifecycle() {
        Program p;
        p.play("short c3 t2");
        Form2* form = p.send();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
        QCOMPARE(QApplication::focusWidget(), box(form, 1));
        for (const char* next :
             {"Text2", "Text3", "Text4", "Command1", "Text5", "Command2", "Text1"}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), form->findChild<QWidget*>(QLatin1String(next)));
        }
        const QList<QPair<QWidget*, ImeMode>> expected = {
            {box(form, 1), ImeMode::Hiragana}, {box(form, 2), ImeMode::Off},
            {box(form, 3), ImeMode::Off},      {box(form, 4), ImeMode::Hiragana},
            {box(form, 5), ImeMode::Disabled}, {box(form, 1), ImeMode::Hiragana}};
        // Gaining the window and then the box may ask twice in a row; that changes nothing.
        auto asked = p.platform.imeRequests;
        asked.erase(std::unique(asked.begin(), asked.end()), asked.end());
        QCOMPARE(asked, expected);
        QCOMPARE(p.values(), QStringList({"2", "3", "0"}));
        typed(form, entries);
        QCOMPARE(box(form, 5)->displayText(), QString(entries[4].size(), u'*'));
        p.play("c4 t");
        QCOMPARE(p.values(), QStringList({"2", "3", "0"}));
        QCOMPARE(p.send(), form);
        QCOMPARE(p.values(), QStringList({"3", "7", "0"}));
        for (int n = 1; n <= 5; ++n)
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                QTest::keyClick(box(form, n), key);
        QVERIFY(form->isVisible() && p.platform.opened.isEmpty());
        for (const char* button : {"Command2", "Command1"}) {
            p.press(button);
            QVERIFY(!form->isVisible());
            QCOMPARE(p.send(), form);
            QCOMPARE(typed(form), entries);
        }
        QCOMPARE(p.platform.opened.size(), 1);
        QPointer<Form2> closed(form);
        form->close();
        QCOMPARE(p.windows.loadedForm2(), nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(closed.isNull());
        QCOMPARE(typed(p.send()), QStringList(5));
    }

    void postCases_data() {
        QTest::addColumn<QString>("sentence"); // the row's name is the game played
        QTest::newRow("short c85 t10") << u"私は10秒で85回"_s;
        QTest::newRow("short c200") << u"私は0秒で200回"_s;
        QTest::newRow("short c201") << u"私は裏技を使って0秒で201回"_s;
        QTest::newRow("long c600") << u"私は0秒で600回"_s;
        QTest::newRow("long c601") << u"私は裏技を使って0秒で601回"_s;
        QTest::newRow("short c150 t5") << u"私は5秒で150回"_s;
        QTest::newRow("reset c") << u"私は裏技を使って0秒で1回"_s;
        QTest::newRow("reset") << u"私は0秒で0回"_s;
        QTest::newRow("demo d125 t10") << u"私は10秒で125回"_s;
    }
    // A trick is judged against the length chosen, not the seconds shown.
    void postCases() {
        QFETCH(QString, sentence);
        const QString game = QString::fromUtf8(QTest::currentDataTag());
        Program p;
        p.play(game);
        typed(p.send(), entries);
        p.press("Command1");
        QCOMPARE(p.platform.opened.size(), 1);
        const QString script = game.startsWith(u"demo") ? u"demoaska"_s : u"aska"_s;
        QCOMPARE(p.platform.opened[0].url,
                 "http://"_L1 + defaultBoardHost() + "/home/velmora/cgi-bin/aska/"_L1 + script +
                     u".cgi?mode=regist&name=A%26B&email=a%2Bb%40c&sub=結果&comment="_s + sentence +
                     u"クリックできました。%26pwd%3Dx%23𠮷&url=http%3A%2F%2Fh%2F%3Fq%3D1"
                     u"&pwd=p%20w%25&cook=on"_s);
    }

    // What the board would refuse is refused here first, saying why and keeping the text.
    void refusals() {
        Program p;
        Form2* form = p.send();
        p.press("Command1");
        p.choose("short");
        p.platform.openSucceeds = false;
        p.press("Command1");
        p.platform.boardState = LocalBoardState::NotFound;
        p.press("Command1");
        QCOMPARE(p.platform.opened.size(), 1);
        QCOMPARE(p.platform.messages.size(), 3);
        QVERIFY(p.platform.messages[0].prompt.contains(u"時間"));
        QVERIFY(p.platform.messages[1].prompt.contains(u"ブラウザー"));
        QVERIFY(p.platform.messages[2].prompt.contains(u"ponpira-board"));
        QVERIFY(form->isVisible());
        p.platform.openSucceeds = true;
        p.platform.boardState = LocalBoardState::Answering;
        const struct {
            int box;
            const char* unit;
            qsizetype fits;
            const char* label;
        } cases[] = {
            {1, "𠮷", 40, "お名前"},
            {2, "a", 100, "E-mail"},
            {3, "a", 200, "URL"},
            {4, "a", 500 - QStringLiteral("私は0秒で0回クリックできました。").size(), "コメント"},
            {5, "a", 32, "削除用パスワード"}};
        for (const auto& c : cases) {
            const QString unit = QString::fromUtf8(c.unit);
            for (qsizetype n : {c.fits, c.fits + 1}) {
                p.platform.messages.clear();
                const qsizetype before = p.platform.opened.size();
                box(p.send(), c.box)->setText(unit.repeated(n));
                p.press("Command1");
                const bool refused = n > c.fits;
                QCOMPARE(p.platform.opened.size(), before + (refused ? 0 : 1));
                QCOMPARE(p.platform.messages.size(), refused ? 1 : 0);
                QVERIFY(!refused ||
                        p.platform.messages[0].prompt.contains(QString::fromUtf8(c.label)));
                QCOMPARE(form->isVisible(), refused);
                QCOMPARE(box(p.send(), c.box)->text(), unit.repeated(n));
            }
            box(form, c.box)->clear();
        }
        // The URL's limit is in the bytes the browser sends: 𠮷 escaped is 12.
        p.press("Command1");
        const qsizetype room = maxUrlBytes - encodedUrlBytes(p.platform.opened.last().url);
        box(p.send(), 4)->setText(QStringLiteral("𠮷").repeated(room / 12));
        for (qsizetype extra : {0, 1}) {
            p.platform.messages.clear();
            box(p.send(), 3)->setText(QString(room % 12 + extra, u'a'));
            p.press("Command1");
            QCOMPARE(p.platform.messages.size(), extra);
        }
        QVERIFY(p.platform.messages[0].prompt.contains(u"入力された内容"));
        QCOMPARE(QUrl(p.platform.opened.last().url, QUrl::TolerantMode).toEncoded().size(),
                 maxUrlBytes);
    }

    // A malformed board is named and the built-in one used; a local board is started if need be.
    void boardChoice() {
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        QVERIFY(QDir().mkpath(config.path() + "/ponpira"_L1));
        const QString builtIn = "http://"_L1 + defaultBoardHost();
        const struct {
            const char* env;
            const char* file;
            QString host;
            const char* local;
        } cases[] = {
            {"", "", builtIn, "127.0.0.1 8931"},
            {"board.example.jp:8080", "host=[::1]:9000", "http://board.example.jp:8080", nullptr},
            {"", "host=[::1]:9000", "http://[::1]:9000", "::1 9000"},
            {"", "host=HTTP://localhost:80/", "http://localhost:80", "127.0.0.1 80"},
            {"HTTPS://board.example.jp", "", "https://board.example.jp", nullptr},
            {"", "host=https://127.0.0.1:8931", "https://127.0.0.1:8931", nullptr},
            {"", "host=\"evil.example/x?y\"", builtIn, "127.0.0.1 8931"},
            {"ftp://board.example.jp", "", builtIn, "127.0.0.1 8931"},
            {"https://board.example.jp/x", "", builtIn, "127.0.0.1 8931"},
            {"board.example.jp:0", "", builtIn, "127.0.0.1 8931"},
        };
        for (const auto& c : cases) {
            qputenv("PONPIRA_BOARD_HOST", c.env);
            QFile file(boardSettingsPath());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray("[board]\n") + c.file + "\n");
            file.close();
            Program p;
            p.play("short send");
            p.press("Command1");
            QCOMPARE(p.platform.opened.size(), 1);
            QVERIFY2(p.platform.opened[0].url.startsWith(c.host + "/home/"_L1), c.env);
            QCOMPARE(p.platform.messages.size(), c.host == builtIn && *c.file + *c.env ? 1 : 0);
            QCOMPARE(p.platform.boardChecks, c.local ? QStringList(c.local) : QStringList());
        }
        qunsetenv("PONPIRA_BOARD_HOST");
        qunsetenv("XDG_CONFIG_HOME");
    }
};

QTEST_MAIN(TestForm2)
#include "test_form2.moc"
