#include "about/frmabout.h"
#include "app/appinfo.h"
#include "app/timer.h"
#include "app/twips.h"
#include "app/windows.h"
#include "fakeplatform.h"
#include "game/form1.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using namespace ponpira;

namespace {

int aboutWindowsOnScreen() {
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        count += w->objectName() == QStringLiteral("frmAbout") && w->isVisible();
    return count;
}

template <typename T = QWidget> T* control(QWidget* window, const char* name) {
    T* child = window->findChild<T*>(QString::fromLatin1(name));
    if (!child)
        qFatal("no control %s", name);
    return child;
}

} // namespace

class TestAbout : public QObject {
    Q_OBJECT

  private:
    FakePlatform platform;
    std::unique_ptr<Windows> windows;

    // Opens the About window from the main window's menu, as the player does.
    frmAbout* openFromMenu() {
        windows->form1().findChild<QAction*>(QStringLiteral("about"))->trigger();
        return windows->loadedAbout();
    }
    frmAbout* openAndActivate() {
        frmAbout* about = openFromMenu();
        if (about) {
            QApplication::setActiveWindow(about);
            if (!QTest::qWaitForWindowActive(about))
                qWarning("the About window did not become active");
        }
        return about;
    }

  private Q_SLOTS:
    void init() {
        platform = FakePlatform();
        windows = std::make_unique<Windows>(platform, [] {});
    }
    void cleanup() { windows.reset(); }

    void texts_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("title") << "lblTitle"
                               << "ポンピラ";
        QTest::newRow("version") << "lblVersion"
                                 << "ﾊﾞｰｼﾞｮﾝ 1.2.2";
        QTest::newRow("description") << "lblDescription"
                                     << "指定時間内に何回クリックできるかという単純なゲームです。";
        QTest::newRow("description 2") << "lblDescription2"
                                       << "結果送信で、掲示板に結果を書き込むことができます。";
        QTest::newRow("disclaimer") << "lblDisclaimer"
                                    << "警告: ..マウスを壊さないように注意してください。";
        QTest::newRow("OK") << "cmdOK"
                            << "OK";
        QTest::newRow("system information") << "cmdSysInfo"
                                            << "ｼｽﾃﾑ情報(&S)...";
    }
    // Load sets the caption, the version (one ASCII space, no leading zeros) and the title.
    void texts() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        frmAbout* about = openFromMenu();
        QVERIFY(about);
        QCOMPARE(about->windowTitle(), QStringLiteral("ポンピラのﾊﾞｰｼﾞｮﾝ情報"));
        QWidget* widget = about->findChild<QWidget*>(name);
        QVERIFY(widget);
        if (auto* label = qobject_cast<QLabel*>(widget))
            QCOMPARE(label->text(), text);
        else
            QCOMPARE(qobject_cast<QPushButton*>(widget)->text(), text);
    }

    // The version shown is the version the build carries (1.2.0.2 shows as 1.2.2).
    void versionMatchesTheBuild() {
        const QStringList parts = QStringLiteral(PONPIRA_PROJECT_VERSION).split(u'.');
        QCOMPARE(parts.size(), 4);
        QCOMPARE(AppInfo::Major.value(), parts[0].toInt());
        QCOMPARE(AppInfo::Minor.value(), parts[1].toInt());
        QCOMPARE(AppInfo::Revision.value(), parts[3].toInt());
    }

    // Client area 5730 x 2415 twips at (2340, 1935), not resizable, only a close box.
    void windowFrame() {
        frmAbout* about = openFromMenu();
        QCOMPARE(about->geometry(), QRect(px(2340), px(1935), px(5730), px(2415)));
        QCOMPARE(about->minimumSize(), about->maximumSize());
        const Qt::WindowFlags flags = about->windowFlags();
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));
        QVERIFY(!about->parentWidget());
        QVERIFY(!about->isModal());

        // The picture box holds the 32 x 32 icon.
        auto* icon = control<QLabel>(about, "picIcon");
        QCOMPARE(icon->pixmap().size(), QSize(32, 32));
        QCOMPARE(icon->pos(), QPoint(px(240), px(240)));
        QCOMPARE(icon->contentsRect().size(), QSize(32, 32));
    }

    void stacking_data() {
        QTest::addColumn<QPoint>("twips");
        QTest::addColumn<QString>("topmost");
        QTest::newRow("version over the title") << QPoint(800, 560) << "lblVersion";
        QTest::newRow("title above the version") << QPoint(800, 300) << "lblTitle";
        QTest::newRow("description 2 over description") << QPoint(800, 1050) << "lblDescription2";
        QTest::newRow("description above") << QPoint(800, 800) << "lblDescription";
        QTest::newRow("warning over description 2") << QPoint(800, 1560) << "lblDisclaimer";
        QTest::newRow("OK over description 2") << QPoint(4300, 1560) << "cmdOK";
        QTest::newRow("system information") << QPoint(4300, 2040) << "cmdSysInfo";
        QTest::newRow("icon") << QPoint(300, 300) << "picIcon";
    }
    // Where boxes overlap, the one listed earlier in the window's table is on top.
    void stacking() {
        QFETCH(QPoint, twips);
        QFETCH(QString, topmost);
        frmAbout* about = openFromMenu();
        QWidget* hit = about->childAt(px(twips.x()), px(twips.y()));
        QVERIFY(hit);
        // A button's or a label's own children do not count; walk up to the control.
        while (hit->parentWidget() != about)
            hit = hit->parentWidget();
        QCOMPARE(hit->objectName(), topmost);
    }

    // The two lines make an etched separator: grey over white, across the labels.
    void etchedSeparator() {
        frmAbout* about = openFromMenu();
        QVERIFY(about->findChild<QWidget*>(QStringLiteral("Line1(0)")));
        QVERIFY(about->findChild<QWidget*>(QStringLiteral("Line1(1)")));
        const QImage image = about->grab().toImage();
        const int y = px(1320);
        const QColor grey(0x80, 0x80, 0x80);
        const QColor white(0xFF, 0xFF, 0xFF);
        for (const int x : {px(200), px(2000), px(5400)}) {
            QCOMPARE(image.pixelColor(x, y), grey);
            QCOMPARE(image.pixelColor(x, y + 1), white);
        }
        // Left of the grey line only the white one, twice as thick.
        QCOMPARE(image.pixelColor(px(30), y), white);
        QCOMPARE(image.pixelColor(px(30), y + 1), white);
        QVERIFY(image.pixelColor(px(30), y + 2) != white);
    }

    // Focus starts on OK; Tab goes OK, icon, system information.
    void focusAndTabOrder() {
        frmAbout* about = openAndActivate();
        QCOMPARE(QApplication::focusWidget(), control(about, "cmdOK"));
        for (const char* next : {"picIcon", "cmdSysInfo", "cmdOK"}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), control(about, next));
        }
    }

    void keys_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Esc on OK") << "cmdOK" << int(Qt::Key_Escape) << true;
        QTest::newRow("Esc on the icon") << "picIcon" << int(Qt::Key_Escape) << true;
        QTest::newRow("Esc on system information") << "cmdSysInfo" << int(Qt::Key_Escape) << true;
        QTest::newRow("Enter on OK") << "cmdOK" << int(Qt::Key_Return) << true;
        QTest::newRow("keypad Enter on OK") << "cmdOK" << int(Qt::Key_Enter) << true;
        QTest::newRow("Enter on the icon") << "picIcon" << int(Qt::Key_Return) << true;
        QTest::newRow("Enter on system information")
            << "cmdSysInfo" << int(Qt::Key_Return) << false;
    }
    // Esc always presses OK; Enter presses OK unless the focus is on the other button, which
    // then is pressed instead (and, with no registry here, shows the message).
    void keys() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(bool, closes);
        QPointer<frmAbout> about = openAndActivate();
        // Reach the control the way the player does, by Tab from OK.
        for (int i = 0; i < 3 && QApplication::focusWidget()->objectName() != focus; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), focus);

        const Qt::KeyboardModifiers modifiers =
            key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
        if (closes) {
            QVERIFY(!windows->loadedAbout());
            QTRY_VERIFY(about.isNull());
            QVERIFY(platform.messages.isEmpty());
        } else {
            QCOMPARE(windows->loadedAbout(), about.data());
            QVERIFY(about->isVisible());
            QCOMPARE(platform.messages.size(), 1);
            QCOMPARE(platform.messages[0].prompt,
                     QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません"));
            QCOMPARE(platform.messages[0].parent, about.data());
        }
    }

    // Alt+S presses the system information button from anywhere in the window.
    void altSStartsTheTool() {
        platform.registry[QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO")]
                         [QStringLiteral("PATH")] = {regSz, QByteArray("C:\\msinfo32.exe\0", 16)};
        frmAbout* about = openAndActivate();
        QTest::keyClick(about, Qt::Key_S, Qt::AltModifier);
        // An access key presses the button as a click would be seen: after a short delay.
        QTRY_COMPARE(platform.started, QStringList{QStringLiteral("C:\\msinfo32.exe")});
        QVERIFY(platform.messages.isEmpty());
        QCOMPARE(windows->loadedAbout(), about);
    }

    void lifetimeThroughTheMenu_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("OK") << false;
        QTest::newRow("close box") << true;
    }
    // Choosing the menu item twice keeps one window; OK or the close box destroys it, and the
    // next choice loads a fresh one with the same texts.
    void lifetimeThroughTheMenu() {
        QFETCH(bool, closeBox);
        QPointer<frmAbout> first = openFromMenu();
        QVERIFY(first && first->isVisible());
        QCOMPARE(openFromMenu(), first.data());
        QCOMPARE(aboutWindowsOnScreen(), 1);

        if (closeBox)
            first->close();
        else
            QTest::mouseClick(control(first, "cmdOK"), Qt::LeftButton);
        QVERIFY(!windows->loadedAbout());
        QTRY_VERIFY(first.isNull());
        QCOMPARE(aboutWindowsOnScreen(), 0);

        QPointer<frmAbout> second = openFromMenu();
        QVERIFY(second && second->isVisible());
        QCOMPARE(control<QLabel>(second, "lblVersion")->text(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 1.2.2"));
        QCOMPARE(second->windowTitle(), QStringLiteral("ポンピラのﾊﾞｰｼﾞｮﾝ情報"));
        QCOMPARE(aboutWindowsOnScreen(), 1);
    }

    // Modeless: the game goes on while the window is open.
    void aGameGoesOnBehindIt() {
        Form1& form1 = windows->form1();
        form1.show();
        form1.findChild<QAction*>(QStringLiteral("short"))->trigger();
        QTest::mouseClick(control(&form1, "Command1"), Qt::LeftButton);
        auto* timer1 = form1.findChild<Timer*>(QStringLiteral("Timer1"));
        QVERIFY(timer1 && timer1->isEnabled());

        frmAbout* about = openAndActivate();
        QVERIFY(about);
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(timer1->isEnabled());
        Q_EMIT timer1->tick();
        QCOMPARE(control<QLabel>(&form1, "Label1")->text(), QStringLiteral("1"));
        QTest::mouseClick(control(&form1, "Command1"), Qt::LeftButton);
        QCOMPARE(control<QLabel>(&form1, "Label3")->text(), QStringLiteral("2"));
        QCOMPARE(windows->loadedAbout(), about);
    }
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"
