// SPDX-License-Identifier: MIT
// A result posted, and a control character refused, through the real windows and Qt platform
// to a real ponpira-board: started by the test (direct), by systemd-socket-activate (activate),
// by the game found on PATH (fallback) or in a build tree's board folder (tree), or running at
// PONPIRA_BOARD_HOST (existing; DATABASE "-": not read back). foreign: another user listens
// there (nobody, unless PONPIRA_BOARD_HOST is set), and every post is refused.
// Usage: e2e_post MODE PONPIRA-BOARD|DATABASE|- XDG-OPEN-FOLDER
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
#include <sys/stat.h>
#include <unistd.h>

using namespace ponpira;

namespace {

// Hostile text in every box: query delimiters, escapes, spaces, line breaks, half-width kana,
// characters outside code page 932, emoji, a noncharacter beyond the first plane.
const QStringList typed[] = {{"た&ろ=う#?+%;  𠮷😀\n太郎 ｶﾀｶﾅ\U0001FFFE",
                              "a+b@example.jp&pwd=stolen", "http://example.jp/?q=1&r=2#frag",
                              "がんばった&pwd=x\r\n2行目 100% ; +plus+ %41 👍🏽&&==??##",
                              "p@ss w0rd&cook=off=#?%00%zz🔑"},
                             {"x", "", "", "\x1b[2J", ""}};

// What Qt's Unix desktop services do with a web URL, which the offscreen platform lacks: hand
// its encoded form to the first xdg-open on PATH.
class UnixOpener : public QObject {
    Q_OBJECT

  public Q_SLOTS:
    void open(const QUrl& url) {
        if (!QProcess::startDetached(QStringLiteral("xdg-open"),
                                     {QString::fromLatin1(url.toEncoded())}))
            qFatal("could not start xdg-open");
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
    if (!QStringList{"direct", "activate", "fallback", "tree", "existing", "foreign"}.contains(
            mode))
        qFatal("usage: e2e_post MODE PONPIRA-BOARD|DATABASE|- XDG-OPEN-FOLDER");
    const bool started = mode == u"fallback" || mode == u"tree";
    const QString boardExe = QString::fromLocal8Bit(argv[2]);
    QTemporaryDir tmp;
    // Where a board that the game starts keeps its posts: the player's data folder.
    qputenv("XDG_DATA_HOME", tmp.path().toLocal8Bit());
    const QString db = mode == u"existing"
                           ? boardExe
                           : tmp.filePath(started ? "ponpira/board.sqlite3" : "board.sqlite3");
    std::optional<BoardProcess> direct;
    if (mode == u"direct")
        direct.emplace(argv[2], "--db=" + db.toStdString());
    const QString port = direct ? QString::number(direct->port()) : freePort();
    QProcess activator;
    if (mode == u"activate") {
        activator.start(
            QStringLiteral("systemd-socket-activate"),
            {QStringLiteral("--listen=127.0.0.1:") + port, boardExe, QStringLiteral("--db"), db});
    } else if (mode == u"fallback") {
        // Found on PATH, as an installed board is. The data folder as an older game left it,
        // open to every local user.
        qputenv("PATH", QFileInfo(boardExe).absolutePath().toLocal8Bit() + ':' + qgetenv("PATH"));
        mkdir(QFile::encodeName(tmp.filePath("ponpira")).constData(), 0755);
    } else if (mode == u"foreign" && qEnvironmentVariableIsEmpty("PONPIRA_BOARD_HOST")) {
        if (getuid() != 0) // only root can be another user, who binds first
            return 77;
        activator.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                    "/usr/bin/python3", "-c",
                                    "import socket,sys;s=socket.socket();"
                                    "s.bind(('127.0.0.1',int(sys.argv[1])));s.listen();"
                                    "print(flush=True);s.accept();print('FAIL: the game came')",
                                    port});
        activator.waitForReadyRead(10000);
    }
    if ((mode != u"existing" && mode != u"foreign") || qgetenv("PONPIRA_BOARD_HOST").isEmpty())
        qputenv("PONPIRA_BOARD_HOST", "127.0.0.1:" + port.toLatin1());
    qputenv("PATH", QByteArray(argv[3]) + ':' + qgetenv("PATH"));

    UnixOpener opener;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &opener, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &opener, "open");
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
    auto post = [&](const QStringList& texts) {
        form1.findChild<QAction*>(QStringLiteral("send"))->trigger();
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
        form1.findChild<QAction*>(QStringLiteral("short"))->trigger();
        for (int i = 0; i < 85; ++i)
            form1.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        for (int second = 0; second < 10; ++second)
            Q_EMIT form1.findChild<Timer*>(QStringLiteral("Timer1"))->tick();
        post(typed[0]);
        post(typed[1]);
        QApplication::quit();
    });
    QApplication::exec();
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));

    // The opener runs on its own: wait, bounded, for the post to be stored.
    std::vector<board::Post> stored;
    const bool readBack = mode != u"foreign" && db != u"-";
    for (int wait = 0; readBack && wait < 300 && stored.empty(); ++wait) {
        QThread::msleep(200);
        try {
            stored = board::Store(db.toStdString(), board::Store::Mode::ReadOnly).all();
        } catch (const board::StoreError&) { // not made yet
        }
    }
    QString boardStarted;
    if (started) { // the board the game started, known by its port
        QProcess pgrep;
        pgrep.start("pgrep", {"-f", "ponpira-board .*--port " + port});
        pgrep.waitForFinished(10000);
        const QString pid = QString::fromLatin1(pgrep.readAllStandardOutput()).trimmed();
        boardStarted = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).canonicalFilePath();
        QProcess::execute("kill", {pid});
    }
    activator.terminate();
    activator.waitForFinished(60000);
    // A board the game starts keeps its posts from others; from a build tree it is the tree's.
    const bool open = QFile::permissions(tmp.filePath("ponpira")) & QFile::ReadOther;
    if (started &&
        (open || (mode == u"tree" && boardStarted != QFileInfo(boardExe).canonicalFilePath()))) {
        qWarning("FAIL: the game started %s; others may read its posts: %d",
                 qPrintable(boardStarted), open);
        return 1;
    }
    // The control character is refused; where another user listens, every post is.
    const bool refused =
        refusals.size() == (mode == u"foreign" ? 2 : 1) &&
        refusals.last().contains(QStringLiteral("制御文字")) &&
        (mode != u"foreign" || refusals[0].contains(QStringLiteral("ほかのユーザー")));
    if (!readBack && refused)
        return 0;
    QStringList got;
    for (const board::Post& p : stored)
        got << QString::fromStdString(p.name) << QString::fromStdString(p.email)
            << QString::fromStdString(p.url) << QString::fromStdString(p.comment)
            << QString::fromStdString(p.subject) << (p.hasPassword ? "key" : "no key");
    const QString comment = QStringLiteral("私は10秒で85回クリックできました。") + typed[0][3];
    const QStringList want{typed[0][0], typed[0][1], typed[0][2], comment, "結果", "key"};
    if (refused && got == want)
        return 0;
    qWarning("FAIL: refused %s\nstored:\n%s\nexpected:\n%s", qPrintable(refusals.join(u'\n')),
             qPrintable(got.join(u'\n')), qPrintable(want.join(u'\n')));
    return 1;
}

#include "e2e_post.moc"
