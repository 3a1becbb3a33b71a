// SPDX-License-Identifier: MIT
#pragma once

// The board's HTTP edge on libmicrohttpd: the listening socket, the connection limits, the
// checks of a request's framing, and plain requests and responses for the layers above.

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
    std::string peer; // numeric address of the connection's other end

    // The first value of the header (names compare without case); null if there is none.
    const std::string* header(std::string_view name) const;
};

struct Response {
    int status = 200;
    std::vector<Header> headers;
    std::string body;
};

// What the engine asks of the layers above: the answer to a request, and the answer to one
// that the engine refused itself (its framing, its length), which the connection's close
// follows. Both may be called from several threads at once.
struct Service {
    std::function<Response(const Request&)> handle;
    std::function<Response(int status, const Request& partial)> refuse;
};

struct Limits {
    unsigned threads = 4;
    unsigned maxConnections = 512;
    unsigned maxConnectionsPerAddress = 32;
    unsigned timeoutSeconds = 15; // a connection with nothing to send or read this long
    // Per connection, request line and headers included; a request line up to
    // maxRequestLine must fit with a browser's headers.
    std::size_t connectionMemory = 32 * 1024;
    std::size_t maxRequestLine = 8192; // method, target and version, with the CRLF
    std::size_t maxBody = 8192;        // a chunked body as well as a plain one
};

// A listening TCP socket on the numeric address and port (0: any free port); SO_REUSEADDR
// only, so that a second server cannot share the port. Throws std::runtime_error.
int listenOn(const std::string& address, int port);
// The listening socket that systemd hands over (LISTEN_FDS), or -1 when there is none.
// Throws std::runtime_error when the handed-over descriptor is not a listening TCP socket.
int inheritedSocket();
// The numeric address and the port the socket listens on.
std::string localAddress(int fd);
int localPort(int fd);

class Server {
  public:
    using Clock = std::chrono::steady_clock;

    // Serves on the listening socket, which it takes over. Throws std::runtime_error.
    Server(int listenFd, const Limits& limits, Service service);
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
