// SPDX-License-Identifier: MIT
// Posting end to end: a game and a demo posted, and a control character refused, through the
// real windows and Qt platform to a real ponpira-board named as a player would name it
// (PONPIRA_BOARD_HOST), and fetched by the stand-in xdg-open. The board is started by the test
// (direct), on the first connection by systemd-socket-activate (activate), or by the game.
// Usage: e2e_post direct|activate|fallback PONPIRA-BOARD XDG-OPEN-FOLDER

#include "app/timer.h"
#include "app/windows.h"
#include "board/store.h"
#include "boardprocess.h"
#include "game/form1.h"
#include "platform/qt/qtplatform.h"
#include "submit/form2.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <arpa/inet.h>
#include <optional>
#include <unistd.h>

using namespace ponpira;

namespace {

// Hostile text in every box (name, e-mail, home page, comment, password): query delimiters,
// escapes, spaces, pasted line breaks, Japanese, characters outside code page 932, emoji, a
// noncharacter beyond the first plane.
const QStringList typed[] = {
    {"た&ろ=う#?+%;  𠮷😀", "a+b@example.jp&pwd=stolen", "http://example.jp/?q=1&r=2#frag",
     "がんばった&pwd=x\r\n2行目 100% ; +plus+ %41 👍🏽", "p@ss w0rd&cook=off=#?"},
    {"デモ\n太郎 ｶﾀｶﾅ\U0001FFFE", "", "", "&&==??##  ", "%00%zz🔑"},
    {"x", "", "", "\x1b[2J", ""}};

int failures = 0;

void fail(const QString& what) {
    qWarning("FAIL: %s", qPrintable(what));
    ++failures;
}

// What Qt's Unix desktop services do with a web URL, which the offscreen platform lacks: hand
// its encoded form to the first xdg-open on PATH.
class UnixOpener : public QObject {
    Q_OBJECT

  public Q_SLOTS:
    void open(const QUrl& url) {
        if (!QProcess::startDetached(QStringLiteral("xdg-open"),
                                     {QString::fromLatin1(url.toEncoded())}))
            fail(QStringLiteral("could not start xdg-open"));
    }
};

// A port of 127.0.0.1 that nothing listens on just now.
QString freePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    close(fd);
    return QString::number(ntohs(address.sin_port));
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QString mode = QString::fromLocal8Bit(argc == 4 ? argv[1] : "");
    if (mode != u"direct" && mode != u"activate" && mode != u"fallback")
        qFatal("usage: e2e_post direct|activate|fallback PONPIRA-BOARD XDG-OPEN-FOLDER");
    const QString boardExe = QString::fromLocal8Bit(argv[2]);
    QTemporaryDir tmp;
    // Where a board that the game starts keeps its posts: the player's data folder.
    qputenv("XDG_DATA_HOME", tmp.path().toLocal8Bit());
    const QString db =
        tmp.filePath(mode == u"fallback" ? "ponpira/board.sqlite3" : "board.sqlite3");
    std::optional<BoardProcess> direct;
    if (mode == u"direct")
        direct.emplace(argv[2], "--db=" + db.toStdString());
    const QString port = direct ? QString::number(direct->port()) : freePort();
    QProcess activator;
    if (mode == u"activate") {
        activator.start(
            QStringLiteral("systemd-socket-activate"),
            {QStringLiteral("--listen=127.0.0.1:") + port, boardExe, QStringLiteral("--db"), db});
        if (!activator.waitForStarted(30000))
            qFatal("systemd-socket-activate did not start");
    } else if (mode == u"fallback") {
        // Found on PATH, as an installed board is.
        qputenv("PATH", QFileInfo(boardExe).absolutePath().toLocal8Bit() + ':' + qgetenv("PATH"));
    }
    qputenv("PONPIRA_BOARD_HOST", "127.0.0.1:" + port.toLatin1());
    qputenv("PATH", QByteArray(argv[3]) + ':' + qgetenv("PATH"));

    UnixOpener opener;
    if (QGuiApplication::platformName() == QStringLiteral("offscreen"))
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &opener, "open");
    // Message boxes are modal and would wait for a player. The end of a game shows "結果";
    // any other box refuses a post.
    QStringList refusals;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&refusals] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            if (box->windowTitle() != QStringLiteral("結果"))
                refusals << box->text();
            box->done(QMessageBox::Ok);
        }
    });
    watcher.start(20);

    QtPlatform platform;
    Windows windows(platform, [] {});
    Form1& form1 = windows.form1();
    form1.show();
    auto choose = [&](const char* item) {
        form1.findChild<QAction*>(QLatin1String(item))->trigger();
    };
    auto tick = [&](const char* timer, int times) {
        for (int i = 0; i < times; ++i)
            Q_EMIT form1.findChild<Timer*>(QLatin1String(timer))->tick();
    };
    auto post = [&](const QStringList& texts) {
        choose("send");
        Form2* form = windows.loadedForm2();
        for (int i = 0; i < 5; ++i) {
            auto* box = form->findChild<QLineEdit*>(QStringLiteral("Text%1").arg(i + 1));
            box->clear();
            box->insert(texts[i]);
        }
        form->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    };
    // The posts are made from the event loop, where the watcher can answer the boxes.
    QTimer::singleShot(0, [&] {
        choose("short");
        for (int i = 0; i < 85; ++i)
            form1.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        tick("Timer1", 10);
        post(typed[0]);
        choose("reset");
        choose("demo");
        tick("Timer2", 125);
        tick("Timer1", 10);
        post(typed[1]);
        post(typed[2]);
        QApplication::quit();
    });
    QApplication::exec();

    // The opener runs on its own: wait, bounded, for both posts to be stored.
    QElapsedTimer waited;
    waited.start();
    std::vector<board::Post> stored;
    while (stored.size() < 2 && !waited.hasExpired(failures ? 5000 : 60000)) {
        QThread::msleep(200);
        try {
            stored = board::Store(db.toStdString(), board::Store::Mode::ReadOnly).all();
        } catch (const board::StoreError&) { // not made yet
        }
    }
    if (mode == u"fallback") // the board the game started, known by its port
        QProcess::execute(QStringLiteral("pkill"),
                          {QStringLiteral("-f"), QStringLiteral("ponpira-board .*--port ") + port});
    direct.reset();
    activator.terminate();
    activator.waitForFinished(60000);

    if (stored.size() != 2)
        fail(QStringLiteral("the board stored %1 posts, expected 2").arg(stored.size()));
    if (refusals.size() != 1 || !refusals[0].contains(QStringLiteral("制御文字")))
        fail(QStringLiteral("expected one refusal of a control character, got: ") +
             refusals.join(u'\n'));
    // Each post goes through its own opener process, so they may be stored in either order.
    for (const board::Post& p : stored) {
        const int i = p.board == board::Board::Demo;
        const QStringList got{QString::fromStdString(p.name), QString::fromStdString(p.email),
                              QString::fromStdString(p.url), QString::fromStdString(p.comment),
                              QString::fromStdString(p.subject)};
        const QStringList want{
            typed[i][0], typed[i][1], typed[i][2],
            QStringLiteral("私は10秒で%1回クリックできました。").arg(i ? 125 : 85) + typed[i][3],
            QStringLiteral("結果")};
        if (got != want || !p.hasPassword)
            fail(QStringLiteral("stored:\n%1\nexpected:\n%2")
                     .arg(got.join(u'\n'), want.join(u'\n')));
    }
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    return failures == 0 ? 0 : 1;
}

#include "e2e_post.moc"
