// SPDX-License-Identifier: MIT
// Posting end to end. Plays the game and posts two results through the real windows and the
// real Qt platform to a real ponpira-board with a fresh database, named to the game the way a
// player would (PONPIRA_BOARD_HOST), so that the URL leaves the program as it does for a
// player; the stand-in xdg-open fetches it with curl. Then "ponpira-board --dump" must show,
// field by field, what was typed. The board is there in one of three ways:
//   direct    started by the test, on a port it chooses itself;
//   activate  a socket that systemd-socket-activate holds, the board started on the first
//             connection, as the desktop's systemd user session does;
//   fallback  not running at all, so that the game must start it itself.
//
// Usage: e2e_post direct|activate|fallback PONPIRA-BOARD XDG-OPEN-FOLDER

#include "app/timer.h"
#include "app/windows.h"
#include "game/form1.h"
#include "platform/qt/qtplatform.h"
#include "submit/form2.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <arpa/inet.h>
#include <unistd.h>

using namespace ponpira;

namespace {

// Hostile text in every box (name, e-mail, home page, comment, password): query delimiters,
// escapes, spaces, pasted line breaks, Japanese, characters outside code page 932, emoji, a
// noncharacter beyond the first plane.
const QStringList typed[] = {
    {"た&ろ=う#?+%;  𠮷😀", "a+b@example.jp&pwd=stolen", "http://example.jp/?q=1&r=2#frag",
     "がんばった&pwd=x\r\n2行目 100% ; +plus+ %41 👍🏽", "p@ss w0rd&cook=off=#?"},
    {"デモ\n太郎 ｶﾀｶﾅ\U0001FFFE", "", "", "&&==??##  ", "%00%zz🔑"}};

int failures = 0;

void fail(const QString& what) {
    qWarning("FAIL: %s", qPrintable(what));
    ++failures;
}

// The offscreen platform has no desktop services, so it would refuse every URL. This does
// what Qt's own Unix desktop services do with a web URL: hand its encoded form to the first
// xdg-open on PATH.
class UnixOpener : public QObject {
    Q_OBJECT

  public Q_SLOTS:
    void open(const QUrl& url) {
        if (!QProcess::startDetached(QStringLiteral("xdg-open"),
                                     {QString::fromLatin1(url.toEncoded())}))
            fail(QStringLiteral("could not start xdg-open"));
    }
};

QJsonArray storedPosts(const QString& board, const QString& db) {
    QProcess dump;
    dump.start(board, {QStringLiteral("--dump"), QStringLiteral("--db"), db});
    dump.waitForFinished(60000);
    return QJsonDocument::fromJson(dump.readAllStandardOutput()).array();
}

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
    const QString db = mode == u"fallback" ? tmp.filePath(QStringLiteral("ponpira/board.sqlite3"))
                                           : tmp.filePath(QStringLiteral("board.sqlite3"));
    const QString log = tmp.filePath(QStringLiteral("opened.log"));
    QString port = mode == u"direct" ? QStringLiteral("0") : freePort();
    QProcess board;
    board.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (mode == u"direct") {
        board.start(boardExe, {QStringLiteral("--port"), port, QStringLiteral("--db"), db});
        board.waitForReadyRead(30000);
        port = QRegularExpression(QStringLiteral(R"(^listening on http://127\.0\.0\.1:(\d+)/)"))
                   .match(QString::fromLocal8Bit(board.readLine()))
                   .captured(1);
        if (port.isEmpty())
            qFatal("ponpira-board did not start");
    } else if (mode == u"activate") {
        board.start(
            QStringLiteral("systemd-socket-activate"),
            {QStringLiteral("--listen=127.0.0.1:") + port, boardExe, QStringLiteral("--db"), db});
        if (!board.waitForStarted(30000))
            qFatal("systemd-socket-activate did not start");
    } else {
        // Found on PATH, as an installed board is.
        qputenv("PATH", QFileInfo(boardExe).absolutePath().toLocal8Bit() + ':' + qgetenv("PATH"));
    }
    const QByteArray host = "127.0.0.1:" + port.toLatin1();
    qputenv("PONPIRA_BOARD_HOST", host);
    qputenv("PATH", QByteArray(argv[3]) + ':' + qgetenv("PATH"));
    qputenv("E2E_BOARD_PORT", port.toLatin1());
    qputenv("E2E_OPENED_LOG", log.toLocal8Bit());

    UnixOpener opener;
    if (QGuiApplication::platformName() == QStringLiteral("offscreen"))
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &opener, "open");
    // Message boxes are modal and would wait for a player. The end of a game shows "結果";
    // any other box means that a post was refused.
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            if (box->windowTitle() != QStringLiteral("結果"))
                fail(QStringLiteral("message box %1: %2").arg(box->windowTitle(), box->text()));
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
    // Both posts are made from the event loop, where the watcher can answer "結果".
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
        QApplication::quit();
    });
    QApplication::exec();

    // The opener runs on its own: wait, bounded, for both posts to be stored.
    QElapsedTimer waited;
    waited.start();
    QJsonArray stored;
    while ((stored = storedPosts(boardExe, db)).size() < 2 &&
           !waited.hasExpired(failures ? 5000 : 60000))
        QThread::msleep(200);
    if (mode == u"fallback") // the board the game started, known by its port
        QProcess::execute(QStringLiteral("pkill"),
                          {QStringLiteral("-f"), QStringLiteral("ponpira-board .*--port ") + port});
    board.terminate();
    board.waitForFinished(60000);
    QByteArray files;
    for (const QString& path : {db, db + QStringLiteral("-wal")}) {
        QFile file(path);
        files += file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    if (stored.size() != 2)
        fail(QStringLiteral("the board stored %1 posts, expected 2").arg(stored.size()));
    // Each post goes through its own opener process, so they may be stored in either order.
    for (const QJsonValue& value : stored) {
        QJsonObject got = value.toObject();
        const int i = got.value(QStringLiteral("board")).toString() == u"demo" ? 1 : 0;
        got.remove(QStringLiteral("id"));
        got.remove(QStringLiteral("posted_at"));
        const QJsonObject want{
            {"board", i ? "demo" : "main"},
            {"name", typed[i][0]},
            {"email", typed[i][1]},
            {"subject", "結果"},
            {"comment",
             QStringLiteral("私は10秒で%1回クリックできました。").arg(i ? 125 : 85) + typed[i][3]},
            {"url", typed[i][2]},
            {"has_password", true}};
        if (got != want)
            fail(QStringLiteral("stored %1\nexpected %2")
                     .arg(QString::fromUtf8(QJsonDocument(got).toJson()),
                          QString::fromUtf8(QJsonDocument(want).toJson())));
        if (files.contains(typed[i][4].toUtf8()))
            fail(QStringLiteral("post %1: the deletion password is stored in clear").arg(i + 1));
    }
    // What the program handed to the opener: one argument, on the board the player named.
    QFile opened(log);
    opened.open(QIODevice::ReadOnly);
    const QByteArray calls = opened.readAll();
    const QByteArray call = "argc 1\narg http://" + host + "/home/velmora/";
    if (calls.count("argc ") != 2 || calls.count(call) != 2)
        fail(QStringLiteral("unexpected xdg-open calls:\n") + QString::fromUtf8(calls));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    return failures == 0 ? 0 : 1;
}

#include "e2e_post.moc"
