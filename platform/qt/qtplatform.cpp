// SPDX-License-Identifier: MIT
#include "platform/qt/qtplatform.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

#ifndef Q_OS_WIN
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace ponpira {

#ifndef Q_OS_WIN
namespace {

// How long a board that was not running may take to answer: a few seconds of a busy cursor
// rather than a browser at a refused port.
constexpr int startWaitMs = 4000;
// A board started here ends by itself after this long without a request, so that none is
// left running for good; long enough for the player to leaf through the board after posting.
constexpr const char* idleExitSeconds = "1800";

// True when something accepts a TCP connection at the address within timeoutMs. A socket
// that systemd holds for the board accepts at once and starts the board behind it.
bool accepts(const QString& address, quint16 port, int timeoutMs) {
    sockaddr_in v4{};
    sockaddr_in6 v6{};
    const QByteArray host = address.toLatin1();
    const sockaddr* target = nullptr;
    socklen_t length = 0;
    if (inet_pton(AF_INET, host.constData(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(port);
        target = reinterpret_cast<const sockaddr*>(&v4);
        length = sizeof v4;
    } else if (inet_pton(AF_INET6, host.constData(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        target = reinterpret_cast<const sockaddr*>(&v6);
        length = sizeof v6;
    } else {
        return false;
    }
    const int fd = ::socket(target->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    bool connected = ::connect(fd, target, length) == 0;
    if (!connected && errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof error;
        connected = ::poll(&p, 1, timeoutMs) == 1 &&
                    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
    }
    ::close(fd);
    return connected;
}

// The board from the same build first, then the player's PATH, then where this build
// installs it (the game itself may live elsewhere, in a games folder).
QString findBoardProgram() {
    const QString name = QStringLiteral("ponpira-board");
    const QString beside = QCoreApplication::applicationDirPath() + u'/' + name;
    if (QFileInfo(beside).isExecutable())
        return beside;
    if (const QString onPath = QStandardPaths::findExecutable(name); !onPath.isEmpty())
        return onPath;
    const QString installed = QStringLiteral(PONPIRA_BOARD_BINDIR "/") + name;
    return QFileInfo(installed).isExecutable() ? installed : QString();
}

} // namespace
#endif

void QtPlatform::messageBox(QWidget* parent, const QString& prompt, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, prompt, QMessageBox::Ok, parent);
    box.setWindowModality(Qt::ApplicationModal);
    // A plain OK, as the box asks for no icon; some desktop themes decorate dialog buttons.
    box.button(QMessageBox::Ok)->setIcon(QIcon());
    box.exec();
}

bool QtPlatform::openUrl(QWidget*, const QString& url, const QString&) {
    // TolerantMode keeps characters the URL carries raw (Japanese text) and encodes them as
    // UTF-8 on the way out, as a browser given the same text would.
    return QDesktopServices::openUrl(QUrl(url, QUrl::TolerantMode));
}

LocalBoardState QtPlatform::ensureLocalBoard(const QString& address, quint16 port) {
#ifdef Q_OS_WIN
    // The board is a remote server on Windows; nothing here starts one.
    Q_UNUSED(address);
    Q_UNUSED(port);
    return LocalBoardState::Answering;
#else
    if (accepts(address, port, 250))
        return LocalBoardState::Answering;
    const QString program = findBoardProgram();
    if (program.isEmpty())
        return LocalBoardState::NotFound;

    // Detached, so that it outlives the game and the player's browser can still read the
    // board; its database is the board's own default under the player's data folder. Two
    // games starting one at once do not clash: the second cannot take the port and ends.
    QProcess board;
    board.setProgram(program);
    board.setArguments({QStringLiteral("--address"), address, QStringLiteral("--port"),
                        QString::number(port), QStringLiteral("--idle-exit"),
                        QLatin1String(idleExitSeconds)});
    board.setStandardInputFile(QProcess::nullDevice());
    board.setStandardOutputFile(QProcess::nullDevice());
    board.setWorkingDirectory(QStringLiteral("/"));
    qint64 pid = 0;
    if (!board.startDetached(&pid))
        return LocalBoardState::NoAnswer;

    QApplication::setOverrideCursor(Qt::BusyCursor);
    LocalBoardState state = LocalBoardState::NoAnswer;
    QElapsedTimer waited;
    waited.start();
    while (!waited.hasExpired(startWaitMs)) {
        if (accepts(address, port, 250)) {
            state = LocalBoardState::Answering;
            break;
        }
        // Gone already (the port is taken by something that does not accept, or the database
        // cannot be opened): no use waiting on.
        if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            break;
        QThread::msleep(50);
    }
    QApplication::restoreOverrideCursor();
    return state;
#endif
}

bool QtPlatform::startProgram(const QString& path) {
    // The path is the program itself, never a command line to be split at spaces.
    return !path.isEmpty() && QProcess::startDetached(path, {});
}

bool QtPlatform::fileExists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && info.isFile() && !info.isHidden();
}

std::int32_t QtPlatform::regOpenKey(RegKey, const QString&, std::uint32_t, RegKey& key) {
    key = 0;
    return errorFileNotFound;
}

std::int32_t QtPlatform::regQueryValue(RegKey, const QString&, std::uint32_t&, QByteArray&,
                                       std::uint32_t&) {
    return errorFileNotFound;
}

void QtPlatform::regCloseKey(RegKey) {}

QString QtPlatform::fromAnsi(const QByteArray& bytes) {
    return QString::fromLocal8Bit(bytes);
}

void QtPlatform::applyImeMode(QWidget*, ImeMode) {}

#ifndef Q_OS_WIN
std::unique_ptr<Platform> makeSystemPlatform() {
    return std::make_unique<QtPlatform>();
}
#endif

} // namespace ponpira
