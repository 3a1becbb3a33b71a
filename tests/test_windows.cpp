// SPDX-License-Identifier: MIT
#include "gamehelpers.h"

#include "about/frmabout.h"
#include "submit/form2.h"

#include <QCoreApplication>
#include <QPointer>

using namespace ponpira;

class TestWindows : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // Windows come into being on first reference, hidden, and exist at most once; unload and
    // the close box destroy them, and the next reference makes a fresh one.
    void lifetime() {
        Game g;
        QVERIFY(!g.windows.loadedForm2() && !g.windows.loadedAbout());
        QPointer<Form2> form2 = &g.windows.form2();
        QVERIFY(!form2->isVisible());
        QCOMPARE(&g.windows.form2(), form2.data());
        form2->show();
        QVERIFY(form2->close());
        QPointer<frmAbout> about = &g.windows.aboutWindow();
        QCOMPARE(&g.windows.aboutWindow(), about.data());
        g.windows.unload(about);
        QVERIFY(!g.windows.loadedForm2() && !g.windows.loadedAbout());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(form2.isNull() && about.isNull());
        QVERIFY(g.windows.loadedForm1());
        QCOMPARE(g.quits, 0);
    }

    void ending_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("終了") << false;
        QTest::newRow("main window's close box") << true;
    }
    // Either way the program ends, once, with the other windows loaded, shown or hidden,
    // rather than leaving a hidden main window behind.
    void ending() {
        QFETCH(bool, closeBox);
        Game g;
        g.play(QStringLiteral("short c4 t3 send"));
        g.windows.loadedForm2()->hide();
        g.choose("about");
        if (closeBox)
            QVERIFY(g.form.close());
        else
            g.choose("end");
        QCOMPARE(g.quits, 1);
        QVERIFY(g.windows.hasEnded());
        QVERIFY(!g.form.isVisible() && !g.windows.loadedAbout()->isVisible());
        QVERIFY(g.platform.messages.isEmpty());
        g.windows.end();
        QCOMPARE(g.quits, 1);
    }
};

QTEST_MAIN(TestWindows)
#include "test_windows.moc"
