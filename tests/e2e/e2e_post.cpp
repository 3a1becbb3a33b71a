// Plays the game and posts its results through the real windows and the real Qt platform,
// so that the URL leaves the program the way it does for a player. run_e2e.py starts this
// with a stand-in xdg-open first on PATH and checks what the board received.
//
// Usage: e2e_post ENTRIES.json, where the file holds {"posts": [{"name", "email", "url",
// "comment", "pwd"}, ...]}: the first is posted from a normal 10-second game of 85 clicks, the
// second from a demo run.

#include "app/timer.h"
#include "app/windows.h"
#include "game/form1.h"
#include "platform/qt/qtplatform.h"
#include "submit/form2.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <cstdio>

using namespace ponpira;

namespace {

int failures = 0;

void fail(const QString& what) {
    std::fprintf(stderr, "FAIL: %s\n", qPrintable(what));
    ++failures;
}

template <typename T = QWidget> T* child(QObject* parent, const char* name) {
    auto* w = parent->findChild<T*>(QString::fromLatin1(name));
    if (!w)
        qFatal("no child named %s", name);
    return w;
}

// The offscreen platform has no desktop services, so it would refuse every URL. This does
// what Qt's own Unix desktop services do with a web URL: hand its encoded form to the first
// xdg-open on PATH.
class UnixOpener : public QObject {
    Q_OBJECT

  public Q_SLOTS:
    void open(const QUrl& url) {
        const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        if (opener.isEmpty() ||
            !QProcess::startDetached(opener, {QString::fromLatin1(url.toEncoded())}))
            fail(QStringLiteral("could not start xdg-open"));
    }
};

// Message boxes are modal and would wait for a player. The end of a game shows "結果"; any
// other box means that a post was refused.
void watchMessageBoxes(QObject* parent) {
    auto* timer = new QTimer(parent);
    QObject::connect(timer, &QTimer::timeout, [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        if (box->windowTitle() != QStringLiteral("結果"))
            fail(QStringLiteral("message box %1: %2").arg(box->windowTitle(), box->text()));
        box->done(QMessageBox::Ok);
    });
    timer->start(20);
}

void post(Windows& windows, const QJsonObject& entries) {
    windows.form1().findChild<QAction*>(QStringLiteral("send"))->trigger();
    Form2* form = windows.loadedForm2();
    const char* const boxes[] = {"Text1", "Text2", "Text3", "Text4", "Text5"};
    const char* const keys[] = {"name", "email", "url", "comment", "pwd"};
    for (int i = 0; i < 5; ++i) {
        auto* box = child<QLineEdit>(form, boxes[i]);
        box->clear();
        box->insert(entries.value(QString::fromLatin1(keys[i])).toString());
    }
    child<QPushButton>(form, "Command1")->click();
    if (form->isVisible())
        fail(QStringLiteral("the result window stayed open after 送信"));
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (argc != 2)
        qFatal("usage: e2e_post ENTRIES.json");
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", argv[1]);
    const QJsonArray posts = QJsonDocument::fromJson(file.readAll()).object()["posts"].toArray();
    if (posts.size() != 2)
        qFatal("expected two posts");

    UnixOpener opener;
    if (QGuiApplication::platformName() == QStringLiteral("offscreen"))
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &opener, "open");
    watchMessageBoxes(&app);

    QtPlatform platform;
    Windows windows(platform, [] {});
    Form1& form1 = windows.form1();
    form1.show();
    auto choose = [&](const char* item) { child<QAction>(&form1, item)->trigger(); };
    auto tick = [&](const char* timer, int times) {
        for (int i = 0; i < times; ++i)
            Q_EMIT child<Timer>(&form1, timer)->tick();
    };

    // Both steps run from the event loop, where the message-box watcher can answer "結果".
    QTimer::singleShot(0, [&] {
        choose("short");
        auto* button = child<QPushButton>(&form1, "Command1");
        for (int i = 0; i < 85; ++i)
            button->click();
        tick("Timer1", 10);
        post(windows, posts[0].toObject());

        choose("reset");
        choose("demo");
        tick("Timer2", 125);
        tick("Timer1", 10);
        post(windows, posts[1].toObject());
        QApplication::exit(failures == 0 ? 0 : 1);
    });
    const int status = QApplication::exec();
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    return status;
}

#include "e2e_post.moc"
