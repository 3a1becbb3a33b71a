// SPDX-License-Identifier: MIT
// ponpira-board: the bulletin board that ポンピラ posts its results to.

#include "board/dump.h"
#include "board/form.h"
#include "board/handlers.h"
#include "board/http.h"
#include "board/policy.h"
#include "board/store.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kUsage = R"usage(Usage: ponpira-board [OPTION]...
Serves the ポンピラ result boards over HTTP:
  main board  /home/velmora/cgi-bin/aska/aska.cgi  (its ranking: ?mode=ranking)
  demo board  /home/velmora/cgi-bin/aska/demoaska.cgi

  --address ADDR        numeric address to listen on (default 127.0.0.1)
  --port N              port to listen on, 0 for any free one (default 8931)
  --db FILE             SQLite database of the posts, created if missing (default
                        ${XDG_DATA_HOME:-$HOME/.local/share}/ponpira/board.sqlite3)
  --idle-exit SECONDS   exit after this long with no connection; 0 never (default 0)
  --host NAME           also answer requests for this host name, for a board that
                        others reach by name (repeatable; localhost, 127.0.0.1, [::1]
                        and the --address are always served)
  --unix-socket PATH    also listen on this Unix socket (mode 0660) for a reverse
                        proxy: its requests name the client as the last
                        X-Forwarded-For address, or get 400
  --trusted-proxy ADDR  a reverse proxy in front over TCP: for its connections the
                        client is the address it adds to X-Forwarded-For
                        (repeatable); anyone who can connect from ADDR can then
                        name any client address
  --operator-key-file FILE
                        a key of 16 to 32 characters, in a file only its owner may
                        read; as a deletion password it deletes any post on
                        either board. Under systemd the credential "operator-key"
                        is read when this is not given
  --posts-per-minute N  posts per client address, a burst of N at most; 0 for no
                        limit (default 10)
  --delete-attempts N   wrong deletion passwords for one post before it takes none
                        for a minute, doubling after each further lock-out; 0 for
                        no lock-out (default 5)
  --duplicate-seconds N a post the same as one this recent is stored once; 0 turns
                        the check off (default 10)
  --max-posts N         posts each board keeps, the oldest going first (default 10000)
  --max-connections N   open connections at most per listening socket (default 1024)
  --max-connections-per-address N
                        open connections from one address at most (default 32; a
                        trusted proxy's connections are not limited)
  --request-timeout SECONDS
                        a request's head must arrive within this of the connection's
                        opening or the previous answer, and its body within as long
                        again, however busy the sender (default 10)
  --timeout SECONDS     close a connection silent for this long (default 15)
  --dump                print every stored post as JSON to standard output and exit
  --help                show this help and exit

When systemd hands it listening sockets (socket activation), it serves those, and
--address, --port and --unix-socket do not apply; a Unix socket among them is the
reverse proxy's. Once listening, prints
"listening on http://ADDR:PORT/ (database FILE)" on one line. Logs each post and
deletion to standard error. SIGINT or SIGTERM stops it after the requests in progress
are answered.
)usage";

struct Options {
    std::string address = "127.0.0.1";
    unsigned port = 8931;
    std::string db;
    unsigned idleExit = 0;
    std::string operatorKeyFile;
    std::string unixSocket;
    board::PolicyOptions policy;
    board::StoreLimits store;
    board::http::Limits limits;
    bool dump = false;
    bool help = false;
};

bool fail(const std::string& message) {
    std::cerr << "ponpira-board: " << message << "\n";
    return false;
}

bool parseNumber(const std::string& option, const std::string& value, unsigned long long min,
                 unsigned long long max, unsigned long long& out) {
    errno = 0;
    char* end = nullptr;
    const unsigned long long n = std::strtoull(value.c_str(), &end, 10);
    if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos ||
        errno == ERANGE || n < min || n > max)
        return fail("invalid value for " + option + ": '" + value + "' (a whole number from " +
                    std::to_string(min) + " to " + std::to_string(max) + ")");
    out = n;
    return true;
}

// A name as a Host header carries it: letters, digits, '-' and '.', or an IPv6 address,
// which gets its brackets.
bool parseHost(const std::string& value, std::string& out) {
    if (!board::canonicalAddress(value).empty() && value.find(':') != std::string::npos) {
        out = "[" + board::canonicalAddress(value) + "]";
        return true;
    }
    if (value.empty() || value.size() > 253 ||
        value.find_first_not_of(
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-.") !=
            std::string::npos)
        return fail("invalid value for --host: '" + value + "' (a host name without a port)");
    out = value;
    return true;
}

bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
            hasValue = true;
        }
        if (arg == "--help" || arg == "--dump") {
            if (hasValue)
                return fail(arg + " takes no value");
            (arg == "--help" ? o.help : o.dump) = true;
            continue;
        }
        if (!hasValue) {
            if (i + 1 >= argc)
                return fail(arg.starts_with("--") ? arg + " needs a value"
                                                  : "invalid argument: " + arg);
            value = argv[++i];
        }
        unsigned long long n = 0;
        auto number = [&](unsigned long long min, unsigned long long max) {
            return parseNumber(arg, value, min, max, n);
        };
        if (arg == "--address") {
            if (board::canonicalAddress(value).empty())
                return fail("invalid value for --address: '" + value +
                            "' (a numeric IPv4 or IPv6 address)");
            o.address = value;
        } else if (arg == "--db") {
            if (value.empty())
                return fail("invalid value for --db: an empty file name");
            o.db = value;
        } else if (arg == "--operator-key-file") {
            o.operatorKeyFile = value;
        } else if (arg == "--unix-socket") {
            if (value.empty())
                return fail("invalid value for --unix-socket: an empty path");
            o.unixSocket = value;
        } else if (arg == "--host") {
            std::string host;
            if (!parseHost(value, host))
                return false;
            o.policy.hosts.push_back(host);
        } else if (arg == "--trusted-proxy") {
            const std::string address = board::canonicalAddress(value);
            if (address.empty())
                return fail("invalid value for --trusted-proxy: '" + value +
                            "' (a numeric IPv4 or IPv6 address)");
            o.policy.trustedProxies.push_back(address);
        } else if (arg == "--port") {
            if (!number(0, 65535))
                return false;
            o.port = static_cast<unsigned>(n);
        } else if (arg == "--idle-exit") {
            if (!number(0, 86400 * 365))
                return false;
            o.idleExit = static_cast<unsigned>(n);
        } else if (arg == "--posts-per-minute") {
            if (!number(0, 1000000))
                return false;
            o.policy.postsPerMinute = static_cast<unsigned>(n);
        } else if (arg == "--delete-attempts") {
            if (!number(0, 1000000))
                return false;
            o.policy.deleteAttempts = static_cast<unsigned>(n);
        } else if (arg == "--duplicate-seconds") {
            if (!number(0, 86400 * 365))
                return false;
            o.store.duplicateSeconds = static_cast<std::int64_t>(n);
        } else if (arg == "--max-posts") {
            if (!number(1, 1000000000))
                return false;
            o.store.maxPostsPerBoard = static_cast<std::int64_t>(n);
        } else if (arg == "--max-connections") {
            if (!number(1, 1000000))
                return false;
            o.limits.maxConnections = static_cast<unsigned>(n);
        } else if (arg == "--max-connections-per-address") {
            if (!number(1, 1000000))
                return false;
            o.limits.maxConnectionsPerAddress = static_cast<unsigned>(n);
        } else if (arg == "--request-timeout") {
            if (!number(1, 3600))
                return false;
            o.limits.requestSeconds = static_cast<unsigned>(n);
        } else if (arg == "--timeout") {
            if (!number(1, 3600))
                return false;
            o.limits.timeoutSeconds = static_cast<unsigned>(n);
        } else {
            return fail("invalid option: " + arg);
        }
    }
    return true;
}

// ${XDG_DATA_HOME:-$HOME/.local/share}/ponpira/board.sqlite3, its folder created for its
// owner alone; nullopt, after saying what failed, when there is no such folder.
std::optional<std::string> defaultDatabase(bool create) {
    namespace fs = std::filesystem;
    fs::path data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && fs::path(xdg).is_absolute())
        data = xdg;
    else if (const char* home = std::getenv("HOME"); home && fs::path(home).is_absolute())
        data = fs::path(home) / ".local" / "share";
    if (data.empty()) {
        fail("no folder for the database: set HOME or XDG_DATA_HOME, or give --db");
        return std::nullopt;
    }
    const fs::path folder = data / "ponpira";
    if (create) {
        std::error_code error;
        fs::create_directories(data, error);
        if (error) {
            fail("cannot create the database folder " + data.string() + ": " + error.message());
            return std::nullopt;
        }
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            fail("cannot create the database folder " + folder.string() + ": " +
                 std::strerror(errno));
            return std::nullopt;
        }
    }
    return (folder / "board.sqlite3").string();
}

// The key, from a file that only its owner may read or write: a key that other local users
// can read is a key to every post. systemd's credentials are checked by systemd.
std::optional<std::string> readOperatorKey(const std::string& file, bool checkMode) {
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0) {
        fail("cannot read the operator key from " + file + ": " + std::strerror(errno));
        if (fd >= 0)
            close(fd);
        return std::nullopt;
    }
    if (checkMode && (st.st_mode & 077) != 0) {
        close(fd);
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        fail("the operator key file " + file + " has mode " + mode +
             ": group and others must have no access (chmod 600 " + file + ")");
        return std::nullopt;
    }
    std::string key;
    char buffer[256];
    ssize_t n = 0;
    while (key.size() < 4096 && (n = read(fd, buffer, sizeof buffer)) > 0)
        key.append(buffer, static_cast<std::size_t>(n));
    close(fd);
    key = key.substr(0, key.find('\n'));
    if (n < 0 || key.empty()) {
        fail("cannot read the operator key from " + file);
        return std::nullopt;
    }
    while (!key.empty() && (key.back() == '\r' || key.back() == ' ' || key.back() == '\t'))
        key.pop_back();
    // It must fit the deletion form's password field, and be too long to guess.
    if (key.size() < 16 || key.size() > 32 || key.find_first_of(" \t\x7f") != std::string::npos ||
        std::ranges::any_of(key, [](unsigned char c) { return c < 0x20 || c >= 0x80; })) {
        fail("the operator key in " + file + " must be 16 to 32 printable ASCII characters");
        return std::nullopt;
    }
    return key;
}

int serve(const Options& o, const std::string& db, const std::string& operatorKey) {
    // The database holds e-mail addresses and password hashes: for its owner's eyes only.
    umask(077);
    board::Store store(db, board::Store::Mode::ReadWrite, o.store);

    // SIGINT and SIGTERM are taken by sigtimedwait below; blocking them before any thread
    // starts keeps them away from the engine's threads.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    // Under a file size limit a write that would pass it then fails like one on a full disk,
    // and the post gets an error page, rather than the signal ending the server.
    std::signal(SIGXFSZ, SIG_IGN);

    // Each connection holds a descriptor: the limits need more than the usual 1,024.
    if (rlimit files{}; getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }

    std::vector<int> fds = board::http::inheritedSockets();
    if (fds.empty()) {
        fds.push_back(board::http::listenOn(o.address, static_cast<int>(o.port)));
        if (!o.unixSocket.empty())
            fds.push_back(board::http::listenOnUnix(o.unixSocket));
    }
    // The TCP socket named in the first line; without one, the first socket.
    const int fd = *std::ranges::find_if_not(fds.begin(), fds.end() - 1, board::http::isUnixSocket);
    const std::string address = board::http::localAddress(fd);
    board::PolicyOptions policy = o.policy;
    // Only the reverse proxy can reach a Unix socket (its mode and owner see to that).
    if (std::ranges::any_of(fds, board::http::isUnixSocket))
        policy.trustedProxies.push_back(board::http::kSocketPeer);
    // The address it listens on is a name it is reached by, unless it is all of them.
    if (address != "0.0.0.0" && address != "::" && !address.empty() && address[0] != '/') {
        std::string host;
        if (parseHost(address, host))
            policy.hosts.push_back(host);
    }

    board::Handlers handlers(store, operatorKey);
    board::Policy gate(policy, handlers);
    board::http::Limits limits = o.limits;
    limits.maxBody = board::kMaxBody;
    limits.unlimitedPeers = policy.trustedProxies;
    board::http::Service service = gate.service();
    // A post or a deletion may hash a key: tens of milliseconds of CPU, on a worker.
    service.heavy = [](const board::http::Request& r) {
        return r.method == "POST" || board::parseForm(r.query).get("mode") == "regist";
    };
    board::http::Server server(fds, limits, std::move(service));

    const bool v6 = address.find(':') != std::string::npos;
    if (board::http::isUnixSocket(fd))
        std::cout << "listening on " << address;
    else
        std::cout << "listening on http://" << (v6 ? "[" : "") << address << (v6 ? "]" : "") << ":"
                  << board::http::localPort(fd) << "/";
    std::cout << " (database " << db << ")" << std::endl;

    for (;;) {
        timespec wait{1, 0};
        const int signal = sigtimedwait(&stopSignals, nullptr, &wait);
        if (signal == SIGINT || signal == SIGTERM)
            break;
        if (o.idleExit > 0 && server.idleFor() >= std::chrono::seconds(o.idleExit)) {
            board::logLine("no connection for " + std::to_string(o.idleExit) +
                           " s: exiting until the next one");
            break;
        }
    }
    server.stop(std::chrono::seconds(10));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::cerr << "Try 'ponpira-board --help'.\n";
        return 2;
    }
    if (options.help) {
        std::cout << kUsage;
        return 0;
    }
    std::string db = options.db;
    if (db.empty()) {
        auto found = defaultDatabase(!options.dump);
        if (!found)
            return 2;
        db = *found;
    }
    std::string operatorKey, keyFile = options.operatorKeyFile;
    const char* credentials = std::getenv("CREDENTIALS_DIRECTORY");
    const bool credential = keyFile.empty() && credentials && *credentials &&
                            access((std::string(credentials) + "/operator-key").c_str(), F_OK) == 0;
    if (credential)
        keyFile = std::string(credentials) + "/operator-key";
    if (!keyFile.empty() && !options.dump) {
        auto key = readOperatorKey(keyFile, !credential);
        if (!key)
            return 2;
        operatorKey = *key;
    }
    try {
        if (options.dump) {
            board::Store store(db, board::Store::Mode::ReadOnly);
            std::cout << board::postsToJson(store.all());
            return std::cout.flush() ? 0 : 1;
        }
        return serve(options, db, operatorKey);
    } catch (const std::exception& e) {
        std::cerr << "ponpira-board: " << e.what() << "\n";
        return 1;
    }
}
