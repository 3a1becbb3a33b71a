// SPDX-License-Identifier: MIT
// Clicks and keys sent by another X client through a real X server into a real game: none may
// be lost and none counted twice. Only the amount of input is fixed, never the time it takes.

#include "gamehelpers.h"
#include "submit/form2.h"
#include "xtestinput.h"

#include <X11/keysym.h>
#include <atomic>
#include <cstdio>
#include <thread>

class TestXClicks : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void clicksAndKeysCountExactly() {
        Game g;
        QVERIFY(QTest::qWaitForWindowExposed(&g.form));
        g.choose("long");
        ponpira::xtest::Input input;
        QCOMPARE(input.open(), std::string());
        const QPoint at = g.button()->mapToGlobal(g.button()->rect().center());
        input.moveTo(at.x(), at.y());
        {
            // At full speed the server's timestamps make every other press a double-click.
            std::jthread sender([&input] { input.click(1000); });
            QTRY_COMPARE_WITH_TIMEOUT(g.caption("Label3"), QStringLiteral("1000"), 60000);
        }

        // Space taps back to back: X marks a release and a press in the same millisecond as a
        // held key's repeat, yet each is a tap.
        g.choose("long");
        g.form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&g.form));
        g.button()->setFocus();
        QTRY_VERIFY(g.button()->hasFocus());
        input.tapKey(XK_space, 100);
        QTRY_COMPARE_WITH_TIMEOUT(g.caption("Label3"), QStringLiteral("100"), 30000);
        QTest::qWait(500); // anything still on its way would be counted by now
        QCOMPARE(g.caption("Label3"), QStringLiteral("100"));

        // Held, Space clicks once; Enter (either key) on every key-down, the repeats included.
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
    if (const std::string why = ponpira::xtest::Input().open(); !why.empty()) {
        std::printf("skipped: %s\n", why.c_str());
        return 77;
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    TestXClicks test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_xclicks.moc"
