// SPDX-License-Identifier: MIT
#include "about/frmabout.h"
#include "gamehelpers.h"
#include "platform/qt/qtplatform.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

using namespace ponpira;
using namespace Qt::StringLiterals;

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
                QCOMPARE(game.platform.messages[0].parent, static_cast<void*>(about.data()));
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
        QtPlatform().messageBox(nullptr, u"p", u"t");
        QVERIFY(pressed);
    }
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"
