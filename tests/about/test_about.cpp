// SPDX-License-Identifier: MIT
#include "about/frmabout.h"
#include "about/regvalue.h"
#include "about/sysinfo.h"
#include "gamehelpers.h"
#include "platform/qt/qtplatform.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

using namespace ponpira;
using namespace Qt::StringLiterals;
using Value = FakePlatform::Value;

class TestAbout : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // Esc is OK; Enter presses the focused button, else OK; an unloaded window is gone.
    void keys() {
        const struct {
            int tabs;    // from OK: the icon, then system information
            Qt::Key key; // Key_unknown: the close box
            Qt::KeyboardModifiers modifier;
            bool closes;
        } cases[] = {
            {0, Qt::Key_Escape, {}, true},  {2, Qt::Key_Escape, {}, true},
            {0, Qt::Key_Return, {}, true},  {1, Qt::Key_Enter, Qt::KeypadModifier, true},
            {2, Qt::Key_Return, {}, false}, {1, Qt::Key_S, Qt::AltModifier, false},
            {0, Qt::Key_unknown, {}, true},
        };
        for (const auto& c : cases) {
            Game game;
            game.choose("about");
            QPointer<frmAbout> about = game.windows.loadedAbout();
            game.choose("about");
            QCOMPARE(game.windows.loadedAbout(), about.data());
            QCOMPARE(about->findChild<QLabel*>("lblVersion")->text(), u"ﾊﾞｰｼﾞｮﾝ 1.2.2"_s);
            QApplication::setActiveWindow(about);
            QVERIFY(QTest::qWaitForWindowActive(about));
            QCOMPARE(QApplication::focusWidget(), about->findChild<QWidget*>("cmdOK"));
            for (int i = 0; i < c.tabs; ++i)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            if (c.key == Qt::Key_unknown)
                about->close();
            else
                QTest::keyClick(QApplication::focusWidget(), c.key, c.modifier);
            QCOMPARE(game.windows.loadedAbout() == nullptr, c.closes);
            QTRY_COMPARE(game.platform.messages.size(), c.closes ? 0 : 1);
            if (c.closes)
                QTRY_VERIFY(about.isNull());
            else
                QCOMPARE(game.platform.messages[0].parent, about.data());
        }
    }

    // The player's messages (this one, the game's end) stay until OK is pressed.
    void messageWaitsForOk() {
        QObject guard;
        bool pressed = false;
        QTimer::singleShot(0, &guard, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box && box->isVisible());
            box->button(QMessageBox::Ok)->click();
            pressed = true;
        });
        QtPlatform().messageBox(nullptr, u"p"_s, u"t"_s);
        QVERIFY(pressed);
    }

    // An ordinary user may only read machine keys (the fake refuses more).
    void getKeyValue() {
        const struct {
            Value value;
            bool result;
            QString text;
        } cases[] = {
            {{regSz, "C:\\ツール\0"_ba}, true, u"C:\\ツール"_s},
            {{regSz, "ab\0\0"_ba}, true, u"ab\0"_s}, // only the last zero goes
            {{regDword, "\x10\0\0\x02"_ba}, true, u"&h02000010"_s},
            {{regDword, "\x01\0\0\0"_ba}, true, u"&h000001"_s},
            {{regBinary, "xyz"}, true, u"before"_s}, // another type keeps the text
            {{regSz, QByteArray(1024, 'a') + '\0'}, false, {}},
            {{}, false, {}},
        };
        for (const auto& c : cases) {
            FakePlatform platform;
            platform.registry[u"K"_s][u"V"_s] = c.value;
            QString text = u"before"_s;
            QCOMPARE(sysinfo::getKeyValue(platform, hkeyLocalMachine, u"K"_s, u"V"_s, text),
                     c.result);
            QCOMPARE(text, c.text);
            QCOMPARE(platform.openKeys, 0);
        }
        // A successful read cannot report more bytes than the buffer holds.
        const unsigned char buffer[4] = {'a', 'b', 'c', 0};
        QVERIFY(keepValueBytes(errorSuccess, regSz, buffer, 5).use == RegValueUse::Failed);
    }

    // The recorded folder is trusted only when the tool is found there.
    void launcher() {
        const QString firstKey = u"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"_s;
        const QString secondKey = u"SOFTWARE\\Microsoft\\Shared Tools Location"_s;
        const Value tools{regSz, "C:\\Tools\0"_ba};
        const QString exe = u"C:\\Tools\\MSINFO32.EXE"_s;
        const QString path = u"C:\\Program Files\\x\\msinfo32.exe"_s;
        const Value first{regSz, path.toUtf8() + '\0'};
        const struct {
            Value first;
            Value second;
            QString fileThere; // what the file search finds
            bool startWorks;
            QString started;
        } cases[] = {
            {first, tools, {}, true, path},
            {{}, tools, exe, true, exe},
            {{}, tools, {}, true, {}},
            {{regSz, QByteArray(1100, 'p') + '\0'}, tools, exe, true, exe}, // the first too long
            {{}, {regBinary, "\x01"}, u"\\MSINFO32.EXE"_s, true, u"\\MSINFO32.EXE"_s},
            {{regSz, {}}, tools, exe, true, {}}, // no data: the error ends it
            {{}, {}, {}, true, {}},
        };
        for (const auto& c : cases) {
            FakePlatform platform;
            platform.registry[firstKey][u"PATH"_s] = c.first;
            platform.registry[secondKey][u"MSINFO"_s] = c.second;
            platform.existingFiles.append(c.fileThere);
            platform.startSucceeds = c.startWorks;
            QWidget parent;
            sysinfo::startSysInfo(platform, &parent);
            QCOMPARE(platform.started.join(u'|'), c.started);
            const bool toolRuns = !c.started.isEmpty() && c.startWorks;
            QCOMPARE(platform.messages.size(), toolRuns ? 0 : 1);
            QVERIFY(toolRuns ||
                    platform.messages[0].prompt == u"現時点ではｼｽﾃﾑ情報を使用できません"_s);
            QCOMPARE(platform.openKeys, 0);
        }
    }
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"
