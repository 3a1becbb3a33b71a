// SPDX-License-Identifier: MIT
#pragma once

// The board's HTTP edge on libmicrohttpd: the listening sockets, the connection limits and
// deadlines, the checks of a request's framing, the workers for costly answers, and plain
// requests and responses for the layers above.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace board::http {

struct Header {
    std::string name, value;
};

struct Request {
    std::string method;  // as sent: "GET", "HEAD", "POST", ...
    std::string version; // "HTTP/1.1"
    std::string target;  // the request target as sent, not decoded
    std::string path;    // the target up to "?"
    std::string query;   // the target after "?", not decoded
    std::vector<Header> headers;
    std::string body;
    // Numeric address of the connection's other end; kSocketPeer for a connection on a Unix
    // socket, which only the reverse proxy reaches.
    std::string peer;

    // The first value of the header (names compare without case); null if there is none.
    const std::string* header(std::string_view name) const;
};

// The peer of every connection on a Unix socket: the reverse proxy. Such a request carries the
// client's address as the last X-Forwarded-For entry, or gets 400.
inline constexpr const char* kSocketPeer = "unix-socket";

struct Response {
    int status = 200;
    std::vector<Header> headers;
    std::string body;
};

// What the engine asks of the layers above: the answer to a request, and the answer to one
// that the engine refused itself (its framing, its length, a full queue), which the
// connection's close follows. Both may be called from several threads at once. A request
// that `heavy` picks is answered on a worker thread, never on an event thread.
struct Service {
    std::function<Response(const Request&)> handle;
    std::function<Response(int status, const Request& partial)> refuse;
    std::function<bool(const Request&)> heavy = {};
};

struct Limits {
    unsigned threads = 4;       // event threads per listening socket
    unsigned workers = 0;       // threads for heavy requests; 0: one per core
    std::size_t workQueue = 64; // heavy requests waiting at most; past it 503
    // Enough that 16 addresses at the per-address limit leave room for everyone else.
    unsigned maxConnections = 1024;
    unsigned maxConnectionsPerAddress = 32;  // a trusted proxy's connections are not counted
    std::vector<std::string> unlimitedPeers; // addresses of the trusted proxies
    unsigned timeoutSeconds = 15;            // a connection with nothing to send or read this long
    // The whole request head must arrive within this of the connection's opening (or of the
    // previous answer), and the body within as long again; activity does not extend either.
    unsigned requestSeconds = 10;
    // Per connection, request line and headers included; a request line up to
    // maxRequestLine must fit with a browser's headers.
    std::size_t connectionMemory = 32 * 1024;
    std::size_t maxRequestLine = 8192; // method, target and version, with the CRLF
    std::size_t maxBody = 8192;        // a chunked body as well as a plain one
};

// A listening TCP socket on the numeric address and port (0: any free port); SO_REUSEADDR
// only, so that a second server cannot share the port. Throws std::runtime_error.
int listenOn(const std::string& address, int port);
// A listening Unix socket at the path (a stale socket there is replaced), mode 0660 so that
// the group of the proxy can connect. Throws std::runtime_error.
int listenOnUnix(const std::string& path);
// The listening sockets that systemd hands over (LISTEN_FDS), none when there are none.
// Throws std::runtime_error when one is not a listening stream socket.
std::vector<int> inheritedSockets();
bool isUnixSocket(int fd);
// The numeric address and the port the socket listens on.
std::string localAddress(int fd);
int localPort(int fd);

class Server {
  public:
    using Clock = std::chrono::steady_clock;

    // Serves on the listening sockets, which it takes over. Throws std::runtime_error.
    Server(const std::vector<int>& listenFds, const Limits& limits, Service service);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Takes no new connection, answers the requests already received (for up to grace), then
    // closes every connection.
    void stop(std::chrono::milliseconds grace);
    // How long no connection has been open; zero while one is.
    Clock::duration idleFor() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace board::http
