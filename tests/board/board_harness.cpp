#include "board_harness.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sqlite3.h>
#include <stdexcept>
#include <strings.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace boardtest {

namespace {

using Clock = std::chrono::steady_clock;

struct Pipe {
    int fds[2] = {-1, -1};
    Pipe() {
        if (pipe2(fds, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
    }
    ~Pipe() { closeRead(), closeWrite(); }
    void closeRead() {
        if (fds[0] >= 0)
            close(fds[0]);
        fds[0] = -1;
    }
    void closeWrite() {
        if (fds[1] >= 0)
            close(fds[1]);
        fds[1] = -1;
    }
};

pid_t spawn(std::vector<std::string> argv, int outFd, int errFd,
            const std::vector<std::string>& extraEnv = {}) {
    std::vector<char*> cargv;
    for (auto& a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);
    std::vector<std::string> envStrings(extraEnv);
    for (char** e = environ; *e; ++e)
        envStrings.push_back(*e); // the first of a name wins, so the extras come first
    std::vector<char*> cenv;
    for (auto& e : envStrings)
        cenv.push_back(e.data());
    cenv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    if (errFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), cenv.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
    return pid;
}

// Waits at most the given time for the child; its exit code, or -1.
int waitFor(pid_t pid, std::chrono::milliseconds limit) {
    auto deadline = Clock::now() + limit;
    for (;;) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (r < 0 && errno != EINTR)
            return -1;
        if (Clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int remainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

} // namespace

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ponpira-board-XXXXXX");
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string boardExe() {
    return PONPIRA_BOARD_EXE;
}

int freePort() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    if (fd >= 0)
        close(fd);
    return port;
}

RunResult runBoard(const std::vector<std::string>& args) {
    std::vector<std::string> argv{boardExe()};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(argv);
}

RunResult runProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                     std::chrono::seconds limit) {
    Pipe out, err;
    pid_t pid = spawn(argv, out.fds[1], err.fds[1], env);
    out.closeWrite();
    err.closeWrite();
    RunResult result;
    auto deadline = Clock::now() + limit;
    pollfd fds[2] = {{out.fds[0], POLLIN, 0}, {err.fds[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0 && remainingMs(deadline) > 0) {
        if (poll(fds, 2, remainingMs(deadline)) <= 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buf[4096];
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                sinks[i]->append(buf, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                fds[i].fd = -1;
                --open;
            }
        }
    }
    result.exitCode = waitFor(pid, std::chrono::milliseconds(remainingMs(deadline) + 1000));
    return result;
}

BoardProcess::BoardProcess(std::filesystem::path db) {
    Pipe out;
    pid_ = spawn({boardExe(), "--address", "127.0.0.1", "--port", "0", "--db", db.string()},
                 out.fds[1], -1);
    out.closeWrite();
    // Generous: a loaded machine may take a while to start a process.
    auto deadline = Clock::now() + std::chrono::seconds(30);
    std::string line;
    while (line.find('\n') == std::string::npos && remainingMs(deadline) > 0) {
        pollfd fd{out.fds[0], POLLIN, 0};
        if (poll(&fd, 1, remainingMs(deadline)) <= 0)
            continue;
        char buf[256];
        ssize_t n = read(out.fds[0], buf, sizeof buf);
        if (n <= 0)
            break;
        line.append(buf, static_cast<std::size_t>(n));
    }
    const std::string prefix = "listening on http://127.0.0.1:";
    auto at = line.find(prefix);
    if (at != std::string::npos)
        port_ = std::atoi(line.c_str() + at + prefix.size());
    if (port_ <= 0) {
        kill();
        throw std::runtime_error("ponpira-board did not start; it said: " + line);
    }
}

BoardProcess::~BoardProcess() {
    if (pid_ > 0)
        stop();
}

int BoardProcess::stop() {
    if (pid_ <= 0)
        return -1;
    ::kill(pid_, SIGTERM);
    int code = waitFor(pid_, std::chrono::seconds(30));
    pid_ = -1;
    return code;
}

void BoardProcess::kill() {
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}

std::string Response::header(std::string_view name) const {
    std::size_t pos = 0;
    while (pos < headers.size()) {
        std::size_t end = headers.find("\r\n", pos);
        if (end == std::string::npos)
            end = headers.size();
        std::string_view line(headers.data() + pos, end - pos);
        auto colon = line.find(':');
        if (colon == name.size() && strncasecmp(line.data(), name.data(), name.size()) == 0) {
            std::string_view value = line.substr(colon + 1);
            while (!value.empty() && value.front() == ' ')
                value.remove_prefix(1);
            return std::string(value);
        }
        pos = end + 2;
    }
    return {};
}

Response rawRequest(int port, std::string_view request) {
    Response response;
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return response;
    timeval timeout{30, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string raw;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        std::size_t sent = 0;
        while (sent < request.size()) {
            ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<std::size_t>(n);
        }
        // The server may answer (a 414, say) before it has read everything we sent, and may
        // keep the connection open after it: read as a browser does, by Content-Length.
        char buf[16384];
        for (;;) {
            ssize_t n = recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            raw.append(buf, static_cast<std::size_t>(n));
            auto end = raw.find("\r\n\r\n");
            auto length = raw.find("\r\nContent-Length: ");
            if (end != std::string::npos && length != std::string::npos && length < end &&
                raw.size() >= end + 4 + std::strtoul(raw.c_str() + length + 18, nullptr, 10))
                break;
        }
    }
    close(fd);
    auto headerEnd = raw.find("\r\n\r\n");
    if (!raw.starts_with("HTTP/1.1 ") || headerEnd == std::string::npos)
        return response;
    response.status = std::atoi(raw.c_str() + 9);
    auto firstLineEnd = raw.find("\r\n");
    response.headers = raw.substr(firstLineEnd + 2, headerEnd - firstLineEnd - 2);
    response.body = raw.substr(headerEnd + 4);
    return response;
}

Response get(int port, std::string_view target) {
    std::string request = "GET ";
    request.append(target);
    request += " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    return rawRequest(port, request);
}

Response post(int port, std::string_view target, std::string_view formBody) {
    std::string request = "POST ";
    request.append(target);
    request += " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
               "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
               std::to_string(formBody.size()) + "\r\n\r\n";
    request.append(formBody);
    return rawRequest(port, request);
}

std::string encode(std::string_view text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::vector<StoredPost> readDatabase(const std::filesystem::path& db) {
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(handle);
        throw std::runtime_error("cannot open " + db.string());
    }
    sqlite3_busy_timeout(handle, 10000);
    sqlite3_stmt* s = nullptr;
    std::vector<StoredPost> posts;
    const char* sql = "SELECT id, board, name, email, subject, comment, url, posted_at, "
                      "pwd_salt, pwd_hash FROM posts ORDER BY id";
    if (sqlite3_prepare_v2(handle, sql, -1, &s, nullptr) != SQLITE_OK) {
        std::string message = sqlite3_errmsg(handle);
        sqlite3_close(handle);
        throw std::runtime_error("cannot read " + db.string() + ": " + message);
    }
    {
        auto text = [&](int col) {
            auto p = static_cast<const char*>(sqlite3_column_blob(s, col));
            return std::string(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(s, col)));
        };
        auto blob = [&](int col) -> std::optional<std::string> {
            if (sqlite3_column_type(s, col) == SQLITE_NULL)
                return std::nullopt;
            return text(col);
        };
        while (sqlite3_step(s) == SQLITE_ROW)
            posts.push_back({sqlite3_column_int64(s, 0), text(1), text(2), text(3), text(4),
                             text(5), text(6), sqlite3_column_int64(s, 7), blob(8), blob(9)});
    }
    sqlite3_finalize(s);
    sqlite3_close(handle);
    return posts;
}

std::string registTarget(std::string_view path, std::string_view name, std::string_view comment,
                         std::string_view pwd, std::string_view email, std::string_view url,
                         std::string_view sub) {
    std::string t(path);
    t += "?mode=regist&name=" + encode(name) + "&email=" + encode(email) + "&sub=" + encode(sub) +
         "&comment=" + encode(comment) + "&url=" + encode(url) + "&pwd=" + encode(pwd) + "&cook=on";
    return t;
}

} // namespace boardtest
