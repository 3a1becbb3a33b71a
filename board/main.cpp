// ponpira-board: the bulletin board that ポンピラ posts its results to.

#include "board/dump.h"
#include "board/server.h"
#include "board/store.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <httplib.h>
#include <iostream>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char* kUsage = R"(Usage: ponpira-board [OPTION]...
Serves the ポンピラ result boards over HTTP:
  main board  /home/velmora/cgi-bin/aska/aska.cgi
  demo board  /home/velmora/cgi-bin/aska/demoaska.cgi

  --address ADDR   address to listen on (default 127.0.0.1)
  --port N         port to listen on, 0 for any free one (default 8931)
  --db FILE        SQLite database of the posts, created if missing
                   (default board.sqlite3)
  --dump           print every stored post as JSON to standard output and exit
  --help           show this help and exit

Once listening, prints "listening on http://ADDR:PORT/" on one line.
SIGINT or SIGTERM stops it after the requests in progress are answered.
)";

// The library listens with a queue of 5 pending connections: a burst of browsers opening
// pages at once then loses SYNs and waits a second for the retry. listen() may be called again
// on a listening socket to lengthen its queue.
class Server : public board::BoundedServer {
  public:
    bool lengthenListenQueue() { return ::listen(svr_sock_, SOMAXCONN) == 0; }
};

struct Options {
    std::string address = "127.0.0.1";
    int port = 8931;
    std::string db = "board.sqlite3";
    bool dump = false;
    bool help = false;
};

std::optional<Options> parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
            hasValue = true;
        }
        auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= argc)
                return false;
            value = argv[++i];
            return true;
        };
        if (arg == "--help" && !hasValue) {
            o.help = true;
        } else if (arg == "--dump" && !hasValue) {
            o.dump = true;
        } else if (arg == "--address" && takeValue() && !value.empty()) {
            o.address = value;
        } else if (arg == "--db" && takeValue() && !value.empty()) {
            o.db = value;
        } else if (arg == "--port" && takeValue()) {
            char* end = nullptr;
            long port = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || port < 0 || port > 65535) {
                std::cerr << "ponpira-board: invalid port: " << value << "\n";
                return std::nullopt;
            }
            o.port = static_cast<int>(port);
        } else {
            std::cerr << "ponpira-board: invalid option: " << argv[i] << "\n";
            return std::nullopt;
        }
    }
    return o;
}

int serve(const Options& o) {
    // The database holds e-mail addresses and password hashes: for its owner's eyes only.
    umask(077);
    board::Store store(o.db);

    // SIGINT and SIGTERM are taken by sigwait below; blocking them before any thread starts
    // keeps them away from the server's threads.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    // Under a file size limit a write that would pass it then fails like one on a full disk,
    // and the post gets an error page, rather than the signal ending the server.
    std::signal(SIGXFSZ, SIG_IGN);

    Server server;
    board::setUpServer(server, store);
    server.new_task_queue = [] { return new httplib::ThreadPool(16); };
    server.set_keep_alive_max_count(100);

    int port = o.port;
    if (port == 0)
        port = server.bind_to_any_port(o.address);
    else if (!server.bind_to_port(o.address, port))
        port = -1;
    if (port <= 0 || !server.lengthenListenQueue()) {
        std::cerr << "ponpira-board: cannot listen on " << o.address << " port " << o.port << "\n";
        return 1;
    }
    const bool v6 = o.address.find(':') != std::string::npos;
    std::cout << "listening on http://" << (v6 ? "[" : "") << o.address << (v6 ? "]" : "") << ":"
              << port << "/ (database " << o.db << ")" << std::endl;

    std::atomic<bool> finished = false;
    bool listened = false;
    std::thread listener([&] {
        listened = server.listen_after_bind();
        finished = true;
        // Wakes the sigwait below when the server stops by itself.
        kill(getpid(), SIGTERM);
    });
    int signal = 0;
    sigwait(&stopSignals, &signal);
    // stop() does nothing until the listener is running, so a signal that came early is
    // repeated until the listener has returned.
    while (!finished) {
        server.stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    listener.join();
    return listened ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    auto options = parseOptions(argc, argv);
    if (!options) {
        std::cerr << "Try 'ponpira-board --help'.\n";
        return 2;
    }
    if (options->help) {
        std::cout << kUsage;
        return 0;
    }
    try {
        if (options->dump) {
            board::Store store(options->db, board::Store::Mode::ReadOnly);
            std::cout << board::postsToJson(store.all());
            return std::cout.flush() ? 0 : 1;
        }
        return serve(*options);
    } catch (const std::exception& e) {
        std::cerr << "ponpira-board: " << e.what() << "\n";
        return 1;
    }
}
