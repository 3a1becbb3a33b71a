// SPDX-License-Identifier: MIT
#include "gamehelpers.h"
#include "platform/qt/qtplatform.h"
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
        const std::vector<std::pair<void*, ImeMode>> expected = {
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
        QVERIFY(form->isVisible() && p.platform.opened.empty());
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

    // What "送信" checks and sends is tested on fakes (tests/core); here the board the player
    // names is read from the environment first, else from the settings file.
    void boardSetting() {
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        QVERIFY(QDir().mkpath(config.path() + "/ponpira"_L1));
        const QString file = u"設定ファイル "_s + boardSettingsPath();
        const QString env = u"環境変数 PONPIRA_BOARD_HOST"_s;
        const struct {
            const char* env;
            const char* file;
            QString value;
            QString source;
        } cases[] = {
            {"", "", {}, {}},
            {"board.example.jp:8080", "host=[::1]:9000", u"board.example.jp:8080"_s, env},
            {"", "host=[::1]:9000", u"[::1]:9000"_s, file},
            {"", "host=\"evil.example/x?y\"", u"evil.example/x?y"_s, file},
        };
        for (const auto& c : cases) {
            qputenv("PONPIRA_BOARD_HOST", c.env);
            QFile settings(boardSettingsPath());
            QVERIFY(settings.open(QIODevice::WriteOnly));
            settings.write(QByteArray("[board]\n") + c.file + "\n");
            settings.close();
            const BoardHostSetting read = QtPlatform().boardHostSetting();
            QCOMPARE(QString::fromStdU16String(read.value), c.value);
            QCOMPARE(QString::fromStdU16String(read.source), c.source);
        }
        qunsetenv("PONPIRA_BOARD_HOST");
        qunsetenv("XDG_CONFIG_HOME");
    }
};

QTEST_MAIN(TestForm2)
#include "test_form2.moc"
