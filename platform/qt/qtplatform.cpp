// SPDX-License-Identifier: MIT
#include "platform/qt/qtplatform.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

#ifndef Q_OS_WIN
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
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

// The board from the same build first (beside the game, or in the build tree's board folder
// when the game is started straight from a build tree), then the player's PATH, then where
// this build installs it (the game itself may live elsewhere, in a games folder).
QString findBoardProgram() {
    const QString name = QStringLiteral("ponpira-board");
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& built : {dir + u'/' + name, dir + QStringLiteral("/board/") + name}) {
        if (QFileInfo(built).isExecutable())
            return built;
    }
    if (const QString onPath = QStandardPaths::findExecutable(name); !onPath.isEmpty())
        return onPath;
    const QString installed = QStringLiteral(PONPIRA_BOARD_BINDIR "/") + name;
    return QFileInfo(installed).isExecutable() ? installed : QString();
}

// The owners of the TCP sockets listening where a connection to address:port would land
// (that address or the wildcard, IPv4-mapped forms included), from the uid column of
// /proc/net/tcp and tcp6. Any local user may bind a free loopback port first; a post must
// reach only a board that systemd (root) or the player runs.
std::vector<uid_t> listenerOwners(const QString& address, quint16 port) {
    std::vector<uid_t> owners;
#ifdef Q_OS_LINUX
    in6_addr target{};
    in_addr v4{};
    const bool isV4 = inet_pton(AF_INET, address.toLatin1().constData(), &v4) == 1;
    if (isV4) { // as /proc/net/tcp6 shows it: ::ffff:a.b.c.d
        target.s6_addr[10] = target.s6_addr[11] = 0xff;
        std::memcpy(&target.s6_addr[12], &v4, 4);
    } else if (inet_pton(AF_INET6, address.toLatin1().constData(), &target) != 1) {
        return owners;
    }
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file{QLatin1String(table)};
        if (!file.open(QIODevice::ReadOnly))
            continue;
        // After a line of column names: sl local_address rem_address st tx:rx tr:when
        // retrnsmt uid ...
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QList<QByteArray> f = line.simplified().split(' ');
            const qsizetype colon = f.size() > 7 ? f[1].indexOf(':') : -1;
            if (colon < 0 || f[3] != "0A" || f[1].mid(colon + 1).toUInt(nullptr, 16) != port)
                continue;
            // The kernel prints the address's bytes as 32-bit words of this machine's order.
            const QByteArray hex = f[1].left(colon);
            in6_addr local{};
            const bool sixBytes = hex.size() == 32;
            unsigned char* bytes = sixBytes ? local.s6_addr : &local.s6_addr[12];
            if (!sixBytes) {
                if (hex.size() != 8)
                    continue;
                local.s6_addr[10] = local.s6_addr[11] = 0xff;
            }
            for (qsizetype word = 0; word < hex.size() / 8; ++word) {
                const quint32 value = hex.mid(word * 8, 8).toUInt(nullptr, 16);
                std::memcpy(bytes + word * 4, &value, 4);
            }
            const in6_addr any{};
            in6_addr mappedAny{};
            mappedAny.s6_addr[10] = mappedAny.s6_addr[11] = 0xff;
            const bool lands = std::memcmp(&local, &target, sizeof local) == 0 ||
                               std::memcmp(&local, &any, sizeof local) == 0 ||
                               (isV4 && std::memcmp(&local, &mappedAny, sizeof local) == 0);
            if (lands)
                owners.push_back(uid_t(f[7].toUInt()));
        }
    }
#else
    Q_UNUSED(address);
    Q_UNUSED(port);
#endif
    return owners;
}

} // namespace
#endif

namespace {
QString qt(const std::u16string& text) {
    return QString::fromStdU16String(text);
}
} // namespace

void QtPlatform::messageBox(void* parent, const std::u16string& prompt,
                            const std::u16string& title) {
    QMessageBox box(QMessageBox::NoIcon, qt(title), qt(prompt), QMessageBox::Ok,
                    static_cast<QWidget*>(parent));
    box.setWindowModality(Qt::ApplicationModal);
    // A plain OK, as the box asks for no icon; some desktop themes decorate dialog buttons.
    box.button(QMessageBox::Ok)->setIcon(QIcon());
    box.exec();
}

bool QtPlatform::openUrl(void*, const std::u16string& url) {
    // TolerantMode keeps characters the URL carries raw (Japanese text) and encodes them as
    // UTF-8 on the way out, as a browser given the same text would.
    return QDesktopServices::openUrl(QUrl(qt(url), QUrl::TolerantMode));
}

QString boardSettingsPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/ponpira/ponpira.conf");
}

BoardHostSetting QtPlatform::boardHostSetting() {
    QString value = qEnvironmentVariable("PONPIRA_BOARD_HOST");
    QString source = QStringLiteral("環境変数 PONPIRA_BOARD_HOST");
    if (value.isEmpty()) {
        const QSettings settings(boardSettingsPath(), QSettings::IniFormat);
        // An unquoted comma makes the INI reader return a list.
        value = settings.value(QStringLiteral("board/host")).toStringList().join(u',');
        source = QStringLiteral("設定ファイル ") + boardSettingsPath();
    }
    if (value.isEmpty())
        return {};
    return {value.toStdU16String(), source.toStdU16String()};
}

LocalBoardState QtPlatform::ensureLocalBoard(const std::u16string& boardAddress,
                                             std::uint16_t port) {
#ifdef Q_OS_WIN
    // The board is a remote server on Windows; nothing here starts one.
    Q_UNUSED(boardAddress);
    Q_UNUSED(port);
    return LocalBoardState::Answering;
#else
    const QString address = qt(boardAddress);
    for (const uid_t owner : listenerOwners(address, port)) {
        if (owner != 0 && owner != ::getuid())
            return LocalBoardState::Foreign;
    }
    if (accepts(address, port, 250))
        return LocalBoardState::Answering;
    const QString program = findBoardProgram();
    if (program.isEmpty())
        return LocalBoardState::NotFound;
    // The posts of a board the player runs are the player's alone: its folder is closed to
    // other users, an older one included.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QByteArray folder = QFile::encodeName(data + QStringLiteral("/ponpira"));
    if (data.isEmpty() || !QDir().mkpath(data) ||
        (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST) ||
        ::chmod(folder.constData(), 0700) != 0)
        return LocalBoardState::NoFolder;

    // Detached, so that it outlives the game and the player's browser can still read the
    // board. Two games starting one at once do not clash: the second cannot take the port and
    // ends.
    QProcess board;
    board.setProgram(program);
    board.setArguments({QStringLiteral("--address"), address, QStringLiteral("--port"),
                        QString::number(port), QStringLiteral("--db"),
                        QFile::decodeName(folder) + QStringLiteral("/board.sqlite3"),
                        QStringLiteral("--idle-exit"), QLatin1String(idleExitSeconds)});
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
        // cannot be opened): waiting or pressing again will not help.
        if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH) {
            // Unless another game's board took the port a moment earlier.
            state =
                accepts(address, port, 250) ? LocalBoardState::Answering : LocalBoardState::Stopped;
            break;
        }
        QThread::msleep(50);
    }
    QApplication::restoreOverrideCursor();
    return state;
#endif
}

bool QtPlatform::startProgram(const std::u16string& path) {
    // The path is the program itself, never a command line to be split at spaces.
    return !path.empty() && QProcess::startDetached(qt(path), {});
}

bool QtPlatform::fileExists(const std::u16string& path) {
    const QFileInfo info(qt(path));
    return info.exists() && info.isFile() && !info.isHidden();
}

std::int32_t QtPlatform::regOpenKey(RegKey, const std::u16string&, std::uint32_t, RegKey& key) {
    key = 0;
    return errorFileNotFound;
}

std::int32_t QtPlatform::regQueryValue(RegKey, const std::u16string&, std::uint32_t&, std::string&,
                                       std::uint32_t&) {
    return errorFileNotFound;
}

void QtPlatform::regCloseKey(RegKey) {}

std::u16string QtPlatform::fromAnsi(const std::string& bytes) {
    return QString::fromLocal8Bit(QByteArrayView(bytes)).toStdU16String();
}

void QtPlatform::applyImeMode(void*, ImeMode) {}

#ifndef Q_OS_WIN
std::unique_ptr<Platform> makeSystemPlatform() {
    return std::make_unique<QtPlatform>();
}
#endif

} // namespace ponpira
