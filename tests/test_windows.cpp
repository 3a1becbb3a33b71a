// SPDX-License-Identifier: MIT
#include "gamehelpers.h"

#include "about/frmabout.h"
#include "submit/form2.h"

#include <QCoreApplication>
#include <QPointer>

using namespace ponpira;

namespace {
void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace

class TestWindows : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // Windows come into being on first reference, hidden, and exist at most once.
    void createdOnFirstReferenceOnlyOnce() {
        Game g;
        QVERIFY(!g.windows.loadedForm2());
        QVERIFY(!g.windows.loadedAbout());
        Form2& first = g.windows.form2();
        QVERIFY(!first.isVisible());
        QCOMPARE(&g.windows.form2(), &first);
        QCOMPARE(g.windows.loadedForm2(), &first);
        QCOMPARE(first.objectName(), QStringLiteral("Form2"));
        QCOMPARE(g.windows.aboutWindow().objectName(), QStringLiteral("frmAbout"));
        QCOMPARE(&g.windows.form1(), &g.form);
    }

    // Unload and the close box destroy the window; the next reference makes a fresh one.
    void unloadAndCloseBoxDestroy() {
        Game g;
        QPointer<Form2> form2 = &g.windows.form2();
        form2->show();
        QVERIFY(form2->close());
        QVERIFY(!g.windows.loadedForm2());
        flushDeletes();
        QVERIFY(form2.isNull());
        QVERIFY(&g.windows.form2() != nullptr);

        QPointer<frmAbout> about = &g.windows.aboutWindow();
        g.windows.unload(about);
        QVERIFY(!g.windows.loadedAbout());
        flushDeletes();
        QVERIFY(about.isNull());
        QVERIFY(g.windows.loadedForm1());
        QCOMPARE(g.quits, 0);
    }

    // "バージョン情報" twice leaves one About window.
    void aboutTwiceIsOneWindow() {
        Game g;
        g.choose("about");
        frmAbout* about = g.windows.loadedAbout();
        QVERIFY(about && about->isVisible());
        g.choose("about");
        QCOMPARE(g.windows.loadedAbout(), about);
        QCOMPARE(about->parentWidget(), nullptr); // no owner window
    }

    // "終了" ends the program with the other windows open or hidden.
    void endWithOtherWindowsLoaded() {
        Game g;
        g.choose("send");
        Form2* form2 = g.windows.loadedForm2();
        QVERIFY(form2->isVisible());
        form2->hide();
        g.choose("about");
        g.choose("end");
        QCOMPARE(g.quits, 1);
        QVERIFY(!g.windows.loadedAbout()->isVisible());
        QVERIFY(!g.form.isVisible());
        g.windows.end(); // once is enough
        QCOMPARE(g.quits, 1);
    }

    // Closing the main window ends the program rather than leaving a hidden window behind.
    void closingTheMainWindowEnds() {
        Game g;
        g.choose("send");
        g.windows.loadedForm2()->hide();
        QVERIFY(g.form.close());
        QCOMPARE(g.quits, 1);
        QVERIFY(g.windows.hasEnded());
        QVERIFY(!g.form.isVisible());
    }
};

QTEST_MAIN(TestWindows)
#include "test_windows.moc"
