// SPDX-License-Identifier: MIT
#include "about/frmabout.h"
#include "gamehelpers.h"
#include "platform/qt/qtplatform.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

using namespace ponpira;

class TestAbout : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<Game> game;

    frmAbout* open() {
        game->choose("about");
        return game->windows.loadedAbout();
    }

  private Q_SLOTS:
    void init() { game = std::make_unique<Game>(); }
    void cleanup() { game.reset(); }

    void keys_data() {
        QTest::addColumn<int>("tabs"); // from OK: the icon, then system information
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifier");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Esc on OK") << 0 << int(Qt::Key_Escape) << 0 << true;
        QTest::newRow("Esc on system information") << 2 << int(Qt::Key_Escape) << 0 << true;
        QTest::newRow("Enter on OK") << 0 << int(Qt::Key_Return) << 0 << true;
        QTest::newRow("Enter on the icon")
            << 1 << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << true;
        QTest::newRow("Enter on system information") << 2 << int(Qt::Key_Return) << 0 << false;
        QTest::newRow("Alt+S on the icon") << 1 << int(Qt::Key_S) << int(Qt::AltModifier) << false;
    }
    // Esc always presses OK; Enter presses the focused button or else OK, as Alt+S presses
    // system information (with no registry here: the message, owned by the About window).
    void keys() {
        QFETCH(int, tabs);
        QFETCH(int, key);
        QFETCH(int, modifier);
        QFETCH(bool, closes);
        QPointer<frmAbout> about = open();
        QApplication::setActiveWindow(about);
        QVERIFY(QTest::qWaitForWindowActive(about));
        QVERIFY(QApplication::focusWidget());
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("cmdOK"));
        for (int i = 0; i < tabs; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifier));
        QCOMPARE(game->windows.loadedAbout() == nullptr, closes);
        QTRY_COMPARE(game->platform.messages.size(), closes ? 0 : 1);
        if (closes)
            QTRY_VERIFY(about.isNull());
        else
            QCOMPARE(game->platform.messages[0].parent, about.data());
    }

    void lifetime_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("OK") << false;
        QTest::newRow("close box") << true;
    }
    // Choosing the menu item twice keeps one window; OK or the close box destroys it, and the
    // next choice loads a fresh one.
    void lifetime() {
        QFETCH(bool, closeBox);
        QPointer<frmAbout> first = open();
        QVERIFY(first->isVisible());
        QCOMPARE(open(), first.data());
        if (closeBox)
            first->close();
        else
            QTest::mouseClick(first->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        QVERIFY(!game->windows.loadedAbout());
        QTRY_VERIFY(first.isNull());
        frmAbout* second = open();
        QVERIFY(second->isVisible());
        QCOMPARE(second->findChild<QLabel*>("lblVersion")->text(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 1.2.2"));
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
        QtPlatform().messageBox(nullptr, QStringLiteral("p"), QStringLiteral("t"));
        QVERIFY(pressed);
    }
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"
