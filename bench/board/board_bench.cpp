// SPDX-License-Identifier: MIT
// Measures ponpira-board on loopback: posts per second and page views per second, with latency
// percentiles. Starts its own server on a free port with a fresh database; the load is bounded
// by a request count and a time limit per phase.
//
//   board_bench [--connections N] [--posts N] [--views N] [--seconds S] [--board PATH]

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
    std::vector<int> connections{4, 64};
    int posts = 2000;
    int views = 20000;
    int seconds = 30;
    std::string board = PONPIRA_BOARD_EXE;
};

struct Server {
    pid_t pid = -1;
    int port = 0;
};

Server startServer(const std::string& exe, const std::string& db) {
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    // One log line per post would drown the figures.
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // No rate limit: the load comes from one address. 64 clients and the probes fit the limits.
    std::vector<std::string> args{
        exe,    "--address", "127.0.0.1",          "--port", "0",
        "--db", db,          "--posts-per-minute", "0",      "--max-connections-per-address",
        "128"};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    Server s;
    if (posix_spawn(&s.pid, exe.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        s.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string line;
    pollfd p{fds[0], POLLIN, 0};
    while (s.pid > 0 && line.find('\n') == std::string::npos && poll(&p, 1, 30000) > 0) {
        char buf[256];
        ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0)
            break;
        line.append(buf, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    auto at = line.find("127.0.0.1:");
    if (at != std::string::npos)
        s.port = std::atoi(line.c_str() + at + 10);
    return s;
}

std::string encode(const std::string& text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

struct PhaseResult {
    int ok = 0;
    int failed = 0;
    double seconds = 0;
    std::vector<double> latenciesMs;
};

// Runs `total` requests over `connections` keep-alive connections, stopping at the deadline.
template <class MakeTarget>
PhaseResult runPhase(int port, int connections, int total, int seconds, MakeTarget makeTarget) {
    std::atomic<int> next = 0;
    std::mutex mutex;
    PhaseResult result;
    const auto start = Clock::now();
    const auto deadline = start + std::chrono::seconds(seconds);
    std::vector<std::thread> threads;
    for (int c = 0; c < connections; ++c) {
        threads.emplace_back([&] {
            httplib::Client client("127.0.0.1", port);
            client.set_keep_alive(true);
            client.set_tcp_nodelay(true); // as browsers do
            client.set_read_timeout(30, 0);
            std::vector<double> latencies;
            int failed = 0;
            for (int i = next++; i < total && Clock::now() < deadline; i = next++) {
                const std::string target = makeTarget(i);
                auto t0 = Clock::now();
                auto res = client.Get(target);
                auto t1 = Clock::now();
                // A post is answered with a redirect to the page that shows it.
                if (res && (res->status == 200 || res->status == 303))
                    latencies.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
                else
                    ++failed;
            }
            std::lock_guard lock(mutex);
            result.failed += failed;
            result.latenciesMs.insert(result.latenciesMs.end(), latencies.begin(), latencies.end());
        });
    }
    for (auto& t : threads)
        t.join();
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.ok = static_cast<int>(result.latenciesMs.size());
    std::sort(result.latenciesMs.begin(), result.latenciesMs.end());
    return result;
}

double percentile(const std::vector<double>& sorted, double p) {
    if (sorted.empty())
        return 0;
    auto i = static_cast<std::size_t>(p / 100.0 * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(i, sorted.size() - 1)];
}

void report(const char* what, const char* unit, const PhaseResult& r) {
    std::printf("%-10s %6d ok %4d failed in %6.2f s: %8.1f %s/s   latency ms p50 %.2f  p90 %.2f  "
                "p99 %.2f  max %.2f\n",
                what, r.ok, r.failed, r.seconds, r.ok / r.seconds, unit,
                percentile(r.latenciesMs, 50), percentile(r.latenciesMs, 90),
                percentile(r.latenciesMs, 99), percentile(r.latenciesMs, 100));
}

bool parse(int argc, char** argv, Settings& s) {
    for (int i = 1; i < argc; i += 2) {
        if (i + 1 >= argc)
            return false;
        const std::string arg = argv[i];
        const std::string value = argv[i + 1];
        if (arg == "--board") {
            s.board = value;
            continue;
        }
        int n = std::atoi(value.c_str());
        if (n <= 0)
            return false;
        if (arg == "--connections")
            s.connections = {std::min(n, 64)};
        else if (arg == "--posts")
            s.posts = n;
        else if (arg == "--views")
            s.views = n;
        else if (arg == "--seconds")
            s.seconds = std::min(n, 300);
        else
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Settings s;
    if (!parse(argc, argv, s)) {
        std::fprintf(stderr, "usage: board_bench [--connections N] [--posts N] [--views N] "
                             "[--seconds S] [--board PATH]\n");
        return 2;
    }
    char dirTemplate[] = "/tmp/ponpira-board-bench-XXXXXX";
    if (!mkdtemp(dirTemplate))
        return 1;
    const std::filesystem::path dir = dirTemplate;
    Server server = startServer(s.board, (dir / "board.sqlite3").string());
    if (server.port <= 0) {
        std::fprintf(stderr, "board_bench: could not start %s\n", s.board.c_str());
        if (server.pid > 0)
            kill(server.pid, SIGKILL), waitpid(server.pid, nullptr, 0);
        std::filesystem::remove_all(dir);
        return 1;
    }
    std::printf("ponpira-board on 127.0.0.1:%d, database in %s\n", server.port, dir.c_str());

    const std::string comment = encode("私は10秒で85回クリックできました。がんばった");
    bool failed = false;
    int first = 0;
    for (int connections : s.connections) {
        std::printf("%d keep-alive clients\n", connections);
        auto posts = runPhase(server.port, connections, s.posts, s.seconds, [&](int i) {
            return "/home/velmora/cgi-bin/aska/aska.cgi?mode=regist&name=" +
                   encode("ベンチ" + std::to_string(first + i)) + "&email=&sub=" + encode("結果") +
                   "&comment=" + comment + "&url=&pwd=pw" + std::to_string(i) + "&cook=on";
        });
        first += s.posts;
        report("posts", "posts", posts);
        auto views = runPhase(server.port, connections, s.views, s.seconds, [](int) {
            return std::string("/home/velmora/cgi-bin/aska/aska.cgi");
        });
        report("page views", "views", views);
        failed = failed || posts.failed != 0 || views.failed != 0;
    }

    kill(server.pid, SIGTERM);
    waitpid(server.pid, nullptr, 0);
    std::filesystem::remove_all(dir);
    return failed ? 1 : 0;
}
