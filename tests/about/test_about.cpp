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

namespace {

QByteArray z(const QByteArray& text) {
    return text + '\0';
}

const Value absent{0, {}}; // in the tables, a value that is not there at all

} // namespace

class TestAbout : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // Esc always presses OK; Enter presses the focused button or else OK, as Alt+S presses
    // system information (with no registry here: the message, owned by the About window).
    void keys() {
        const struct {
            int tabs; // from OK: the icon, then system information
            Qt::Key key;
            Qt::KeyboardModifiers modifier;
            bool closes;
        } cases[] = {
            {0, Qt::Key_Escape, {}, true},  {2, Qt::Key_Escape, {}, true},
            {0, Qt::Key_Return, {}, true},  {1, Qt::Key_Enter, Qt::KeypadModifier, true},
            {2, Qt::Key_Return, {}, false}, {1, Qt::Key_S, Qt::AltModifier, false},
        };
        for (const auto& c : cases) {
            Game game;
            game.choose("about");
            QPointer<frmAbout> about = game.windows.loadedAbout();
            QApplication::setActiveWindow(about);
            QVERIFY(QTest::qWaitForWindowActive(about));
            QVERIFY(QApplication::focusWidget());
            QCOMPARE(QApplication::focusWidget()->objectName(), "cmdOK"_L1);
            for (int i = 0; i < c.tabs; ++i)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QTest::keyClick(QApplication::focusWidget(), c.key, c.modifier);
            QCOMPARE(game.windows.loadedAbout() == nullptr, c.closes);
            QTRY_COMPARE(game.platform.messages.size(), c.closes ? 0 : 1);
            if (c.closes)
                QTRY_VERIFY(about.isNull());
            else
                QCOMPARE(game.platform.messages[0].parent, about.data());
        }
    }

    // Choosing the menu item twice keeps one window; OK or the close box destroys it, and the
    // next choice loads a fresh one.
    void lifetime() {
        for (bool closeBox : {false, true}) {
            Game game;
            game.choose("about");
            QPointer<frmAbout> first = game.windows.loadedAbout();
            QVERIFY(first->isVisible());
            game.choose("about");
            QCOMPARE(game.windows.loadedAbout(), first.data());
            if (closeBox)
                first->close();
            else
                QTest::mouseClick(first->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
            QVERIFY(!game.windows.loadedAbout());
            QTRY_VERIFY(first.isNull());
            game.choose("about");
            QCOMPARE(game.windows.loadedAbout()->findChild<QLabel*>("lblVersion")->text(),
                     u"ﾊﾞｰｼﾞｮﾝ 1.2.2"_s);
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

    // A failure empties the text; the key is opened for reading only (the fake refuses more)
    // and closed either way.
    void getKeyValue() {
        const struct {
            Value value;
            bool result;
            QString text;
        } cases[] = {
            {{regSz, z("C:\\ツール")}, true, u"C:\\ツール"_s},
            {{regSz, "ab\0\0"_ba}, true, u"ab\0"_s}, // only the last zero goes
            {{regDword, "\x10\0\0\x02"_ba}, true, u"&h02000010"_s},
            {{regDword, "\x01\0\0\0"_ba}, true, u"&h000001"_s},
            {{regBinary, "xyz"}, true, u"before"_s}, // another type keeps the text
            {{regSz, z(QByteArray(1024, 'a'))}, false, {}},
            {absent, false, {}},
        };
        for (const auto& c : cases) {
            FakePlatform platform;
            platform.registry[u"K"_s];
            if (c.value.type != absent.type)
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

    // The first value is started as it is; the second only if the file search finds the tool.
    // Every way that does not end in a started tool shows the one message.
    void launcher() {
        const QString firstKey = u"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"_s;
        const QString secondKey = u"SOFTWARE\\Microsoft\\Shared Tools Location"_s;
        const Value tools{regSz, z("C:\\Tools")};
        const QString exe = u"C:\\Tools\\MSINFO32.EXE"_s;
        const QString path = u"C:\\Program Files\\x\\msinfo32.exe"_s;
        const Value first{regSz, z(path.toUtf8())};
        const struct {
            Value first;
            Value second;
            QString fileThere; // what the file search finds
            bool startWorks;
            QString started;
        } cases[] = {
            {first, tools, {}, true, path},
            {first, tools, exe, false, path},
            {absent, tools, exe, true, exe},
            {absent, tools, {}, true, {}},
            {{regSz, z(QByteArray(1100, 'p'))}, tools, exe, true, exe}, // the first too long
            {absent, {regBinary, "\x01"}, u"\\MSINFO32.EXE"_s, true, u"\\MSINFO32.EXE"_s},
            {{regSz, {}}, tools, exe, true, {}}, // no data: the error ends it
            {absent, absent, {}, true, {}},
        };
        for (const auto& c : cases) {
            FakePlatform platform;
            platform.registry[firstKey];
            if (c.first.type != absent.type)
                platform.registry[firstKey][u"PATH"_s] = c.first;
            if (c.second.type != absent.type)
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
