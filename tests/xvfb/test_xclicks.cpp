// SPDX-License-Identifier: MIT
// Clicks and key presses sent by another X client through a real X server into a real game:
// none may be lost and none counted twice. Only the amount of input is fixed; nothing here is
// timed, so a slow machine only makes the test take longer.

#include "gamehelpers.h"
#include "submit/form2.h"
#include "xtestinput.h"

#include <X11/keysym.h>
#include <atomic>
#include <cstdio>
#include <thread>

namespace {

// Counts the double-clicks that reach a widget.
class DoubleClicks : public QObject {
  public:
    int count = 0;

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::MouseButtonDblClick)
            ++count;
        return false;
    }
};

} // namespace

class TestXClicks : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // A thousand clicks at full speed: the X server's timestamps turn every other press into a
    // double-click for Qt, and each must still count exactly once. Then keys on the focused
    // button: a Space tap counts once, even when its release and the next press share a
    // millisecond, which X would otherwise mark as a held key's repeat. The game is never
    // played to its end: the offscreen tests see to that.
    void clicksAndKeysCountExactly() {
        Game g;
        QVERIFY(QTest::qWaitForWindowExposed(&g.form));
        g.choose("long");
        DoubleClicks doubleClicks;
        g.button()->installEventFilter(&doubleClicks);
        ponpira::xtest::Input input;
        const std::string why = input.open();
        QVERIFY2(why.empty(), why.c_str());
        const QPoint at = g.button()->mapToGlobal(g.button()->rect().center());
        input.moveTo(at.x(), at.y());
        {
            std::jthread sender([&input] { input.click(1000); });
            QTRY_COMPARE_WITH_TIMEOUT(g.caption("Label3"), QStringLiteral("1000"), 60000);
        }
        // Otherwise this test would not have tried the double-click path at all.
        QVERIFY2(doubleClicks.count > 0, "no press arrived as a double-click");

        g.choose("long"); // a fresh count and 30 s more
        g.form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&g.form));
        g.button()->setFocus();
        QTRY_VERIFY(g.button()->hasFocus());
        input.tapKey(XK_space, 100);
        QTRY_COMPARE_WITH_TIMEOUT(g.caption("Label3"), QStringLiteral("100"), 30000);
        // Anything still on its way would be counted by now.
        QTest::qWait(500);
        QCOMPARE(g.caption("Label3"), QStringLiteral("100"));

        // Held, Space presses once, on release; Enter (either key) on every key-down, the
        // server's repeats included, and leaves Space as it was.
        const struct {
            unsigned long key;
            bool repeats;
        } holds[] = {{XK_Return, true}, {XK_space, false}, {XK_KP_Enter, true}};
        for (const auto& hold : holds) {
            const int before = g.caption("Label3").toInt();
            std::atomic<bool> released = false;
            std::jthread holder([&] {
                input.holdKey(hold.key, 1500);
                released = true;
            });
            QTRY_VERIFY_WITH_TIMEOUT(released, 30000);
            QTest::qWait(500);
            const int added = g.caption("Label3").toInt() - before;
            // The server repeats a key about 20 times in the last 0.8 s of such a hold.
            QVERIFY2(hold.repeats ? added > 5 : added == 1, qPrintable(QString::number(added)));
        }

        // The result window's buttons take Enter the same way.
        ponpira::Form2& result = g.windows.form2();
        result.show();
        result.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&result));
        result.findChild<QPushButton*>(QStringLiteral("Command2"))->setFocus();
        input.tapKey(XK_Return, 1);
        QTRY_VERIFY(!result.isVisible());
    }
};
int main(int argc, char* argv[]) {
    {
        ponpira::xtest::Input probe;
        if (const std::string why = probe.open(); !why.empty()) {
            std::printf("skipped: %s\n", why.c_str());
            return 77;
        }
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    TestXClicks test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_xclicks.moc"
