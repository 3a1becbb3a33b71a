// SPDX-License-Identifier: MIT
#include "board/http.h"

#include "board/workers.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/tcp.h>
#include <microhttpd.h>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <stdexcept>
#include <strings.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <systemd/sd-daemon.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>

namespace board::http {

namespace {

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string numericAddress(const sockaddr* address, socklen_t size) {
    char host[NI_MAXHOST];
    if (!address || getnameinfo(address, size, host, sizeof host, nullptr, 0, NI_NUMERICHOST) != 0)
        return {};
    std::string text = host;
    // A dual-stack socket shows IPv4 clients as "::ffff:a.b.c.d"; the limits and the log
    // should see one client as one address.
    if (text.starts_with("::ffff:") && text.find('.') != std::string::npos)
        text.erase(0, 7);
    return text;
}

void throwErrno(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

// One request on its way through the engine, from its request line to its answer.
struct Exchange {
    Request request;
    bool started = false;
    int refusal = 0;               // the status of an answer decided before the body's end
    std::size_t overflowBytes = 0; // body bytes dropped past the limit
    // Set by a worker before it resumes the connection: the answer to send.
    bool answered = false, closeAfter = false;
    Response response;
};

constexpr std::ptrdiff_t kMaxParameters = 64;

// Past the body limit a chunked body is read on, so that the client gets its 413 page, but
// only this far: then the connection is simply closed.
constexpr std::size_t kMaxOverflow = 64 * 1024;

// The request line must fit, there must be one Host (HTTP/1.1 needs it), and the body's
// length must be told one way only. Anything else could be read one way here and another way
// by a proxy in front, which is how a second request gets smuggled inside a first.
int framingStatus(const Request& r, const Limits& limits) {
    if (r.method.size() + 1 + r.target.size() + 1 + r.version.size() + 2 > limits.maxRequestLine)
        return 414;
    if (r.target.find_first_of(" \t") != std::string::npos)
        return 400;
    // The board's forms have a handful of fields; hundreds are only work for the parser.
    if (std::ranges::count(r.query, '&') >= kMaxParameters)
        return 400;
    int hosts = 0;
    std::vector<std::string_view> lengths, codings;
    for (const Header& h : r.headers) {
        // "Transfer-Encoding : chunked" is no header here, but a proxy might take it for one.
        if (h.name.empty() || h.name.find_first_of(" \t") != std::string::npos)
            return 400;
        if (equalsNoCase(h.name, "Host"))
            ++hosts;
        else if (equalsNoCase(h.name, "Content-Length"))
            lengths.push_back(h.value);
        else if (equalsNoCase(h.name, "Transfer-Encoding"))
            codings.push_back(h.value);
    }
    if (hosts > 1 || (hosts == 0 && r.version != MHD_HTTP_VERSION_1_0))
        return 400;
    if (!codings.empty() &&
        (!lengths.empty() || codings.size() > 1 || !equalsNoCase(codings[0], "chunked")))
        return 400;
    for (std::string_view length : lengths) {
        if (length.empty() || length != lengths[0] ||
            length.find_first_not_of("0123456789") != std::string_view::npos)
            return 400;
    }
    if (!lengths.empty() &&
        (lengths[0].size() > 18 || std::stoull(std::string(lengths[0])) > limits.maxBody))
        return 413;
    return 0;
}

// The headers every answer carries, for the answers the engine makes itself.
std::mutex engineHeadersMutex;
std::vector<Header> engineHeaders;
// Set while the board queues an answer of its own, which has its headers already.
thread_local bool queuingOwn = false;

} // namespace

} // namespace board::http

// The engine answers a malformed request (a bad header line, a head too big for its memory)
// without asking the board, and has no way to add headers to those answers. Its calls to
// MHD_queue_response go through the dynamic linker, so they come here first, and such an
// answer gets the board's headers too: the same headers on every answer.
extern "C" MHD_Result MHD_queue_response(MHD_Connection* connection, unsigned int status,
                                         MHD_Response* response) {
    using Queue = MHD_Result (*)(MHD_Connection*, unsigned int, MHD_Response*);
    static const auto real = reinterpret_cast<Queue>(dlsym(RTLD_NEXT, "MHD_queue_response"));
    if (!board::http::queuingOwn && response) {
        std::lock_guard lock(board::http::engineHeadersMutex);
        for (const board::http::Header& h : board::http::engineHeaders)
            MHD_add_response_header(response, h.name.c_str(), h.value.c_str());
    }
    return real ? real(connection, status, response) : MHD_NO;
}

namespace board::http {

const std::string* Request::header(std::string_view name) const {
    for (const Header& h : headers) {
        if (equalsNoCase(h.name, name))
            return &h.value;
    }
    return nullptr;
}

int listenOn(const std::string& address, int port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string where = "cannot listen on " + address + " port " + std::to_string(port);
    if (int e = getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found); e != 0)
        throw std::runtime_error(where + ": " + gai_strerror(e));
    const int fd = socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        freeaddrinfo(found);
        throwErrno(where);
    }
    int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (found->ai_family == AF_INET6)
        setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &yes, sizeof yes);
    const bool ok = bind(fd, found->ai_addr, found->ai_addrlen) == 0 && listen(fd, SOMAXCONN) == 0;
    freeaddrinfo(found);
    if (!ok) {
        const int error = errno;
        close(fd);
        errno = error;
        throwErrno(where);
    }
    return fd;
}

int listenOnUnix(const std::string& path) {
    const std::string where = "cannot listen on " + path;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        throw std::runtime_error(where + ": the path is empty or too long");
    path.copy(address.sun_path, path.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        throwErrno(where);
    // Only a socket left by an earlier run is replaced, never another kind of file.
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode))
        unlink(path.c_str());
    // Created without any bits for others, then opened to the group: never connectable by
    // everyone, not even for a moment.
    const mode_t old = umask(0117);
    const bool ok = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                    chmod(path.c_str(), 0660) == 0 && listen(fd, SOMAXCONN) == 0;
    umask(old);
    if (!ok) {
        const int error = errno;
        close(fd);
        errno = error;
        throwErrno(where);
    }
    return fd;
}

std::vector<int> inheritedSockets() {
    const int count = sd_listen_fds(1);
    std::vector<int> fds;
    for (int fd = SD_LISTEN_FDS_START; fd < SD_LISTEN_FDS_START + count; ++fd) {
        if (sd_is_socket(fd, AF_UNSPEC, SOCK_STREAM, 1) <= 0)
            throw std::runtime_error("a socket from systemd is not a listening stream socket");
        // Several threads wait on it: none may block in accept() once another took the client.
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        fds.push_back(fd);
    }
    return fds;
}

bool isUnixSocket(int fd) {
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    return getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0 &&
           address.ss_family == AF_UNIX;
}

int localPort(int fd) {
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return -1;
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
    return -1;
}

std::string localAddress(int fd) {
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return {};
    if (address.ss_family == AF_UNIX)
        return reinterpret_cast<sockaddr_un*>(&address)->sun_path;
    return numericAddress(reinterpret_cast<sockaddr*>(&address), size);
}

namespace {

enum class Phase {
    Head, // waiting for a request's head
    Body, // the head has come, the body is on its way
    Busy, // being answered: no deadline of ours
};

// What the deadlines need to know of one connection. Kept under State::mutex; the watchdog may
// cut the socket (shutdown) only while the connection is in the table, so a descriptor number
// that the engine has closed and reused is never touched.
struct Conn {
    int fd = -1;
    std::uint32_t id = 0;
    std::string counted; // the address whose connections this one counts; empty: none
    Phase phase = Phase::Head;
    Server::Clock::time_point since;
    std::uint64_t bytesAtHead = 0;
    bool peerClosed = false;
    Server::Clock::time_point peerClosedAt;
    bool cut = false;
};

// Bytes the kernel received on a TCP connection: a body's framing, chunk extensions included,
// counts here even where the engine skips it. Zero where unknown (a Unix socket).
std::uint64_t bytesReceived(int fd) {
    tcp_info info{};
    socklen_t size = sizeof info;
    if (getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &size) != 0 ||
        size < offsetof(tcp_info, tcpi_bytes_received) + sizeof info.tcpi_bytes_received)
        return 0;
    return info.tcpi_bytes_received;
}

std::size_t unreadBytes(int fd) {
    int n = 0;
    return ioctl(fd, FIONREAD, &n) == 0 && n > 0 ? static_cast<std::size_t>(n) : 0;
}

bool isNumericAddress(std::string_view text) {
    const std::string s(text);
    unsigned char out[sizeof(in6_addr)];
    return inet_pton(AF_INET, s.c_str(), out) == 1 || inet_pton(AF_INET6, s.c_str(), out) == 1;
}

// The proxy on a Unix socket names the client as the last X-Forwarded-For entry.
bool namesClient(const Request& r) {
    const std::string* last = nullptr;
    for (const Header& h : r.headers)
        if (equalsNoCase(h.name, "X-Forwarded-For"))
            last = &h.value;
    if (!last)
        return false;
    std::string_view entry = *last;
    entry.remove_prefix(std::min(entry.size(), entry.rfind(',') + 1));
    while (!entry.empty() && (entry.front() == ' ' || entry.front() == '\t'))
        entry.remove_prefix(1);
    while (!entry.empty() && (entry.back() == ' ' || entry.back() == '\t'))
        entry.remove_suffix(1);
    return isNumericAddress(entry);
}

// A peer's close that the engine has not seen is acted on after this: by then a whole request
// that came with the close has reached the handler.
constexpr auto kCloseGrace = std::chrono::milliseconds(100);

// The watchdog's event for its own wake-up, never a connection's (those carry a descriptor).
constexpr std::uint64_t kWake = ~std::uint64_t(0);

} // namespace

struct Server::State {
    // One listening socket and the engine that serves it.
    struct Door {
        State* state = nullptr;
        bool unixSocket = false;
        MHD_Daemon* daemon = nullptr;
    };

    Limits limits;
    Service service;
    std::vector<std::unique_ptr<Door>> doors;
    std::unique_ptr<board::WorkerPool> pool;
    std::atomic<int> open = 0;     // connections
    std::atomic<int> inFlight = 0; // requests whose headers arrived and that are not answered
    std::atomic<Clock::rep> lastClosed = Clock::now().time_since_epoch().count();

    std::mutex mutex;
    std::unordered_map<int, Conn*> conns;
    std::unordered_map<std::string, unsigned> perAddress;
    std::uint32_t nextId = 0;
    int watchFd = -1, wakeFd = -1;
    std::thread watchdog;
    std::atomic<bool> stopping = false;

    ~State() {
        if (watchFd >= 0)
            close(watchFd);
        if (wakeFd >= 0)
            close(wakeFd);
    }

    static Conn* connOf(MHD_Connection* connection) {
        const MHD_ConnectionInfo* info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
        return info ? static_cast<Conn*>(info->socket_context) : nullptr;
    }

    void setPhase(MHD_Connection* connection, Phase phase) {
        Conn* c = connOf(connection);
        if (!c)
            return;
        const std::uint64_t bytes = phase == Phase::Body ? bytesReceived(c->fd) : 0;
        std::lock_guard lock(mutex);
        c->phase = phase;
        c->since = Clock::now();
        c->bytesAtHead = bytes;
    }

    void cut(Conn& c) {
        if (c.cut)
            return;
        c.cut = true;
        // The engine's own thread sees the end of the stream and closes the connection there.
        shutdown(c.fd, SHUT_RDWR);
    }

    // A body is sent in at most maxBody bytes and chunked framing of a few bytes per byte;
    // whatever comes beyond that, extensions or padding, is not a body this board reads.
    bool overBody(const Conn& c) const {
        const std::uint64_t allowed = limits.maxBody * 8 + 64 * 1024;
        const std::uint64_t now = bytesReceived(c.fd);
        return now > c.bytesAtHead && now - c.bytesAtHead > allowed;
    }

    void check(Conn& c, Clock::time_point now) {
        const auto deadline = std::chrono::seconds(limits.requestSeconds);
        if (c.cut || c.phase == Phase::Busy)
            return;
        if (now - c.since >= deadline || (c.phase == Phase::Body && overBody(c)))
            cut(c);
        else if (c.peerClosed && now - c.peerClosedAt >= kCloseGrace && unreadBytes(c.fd) == 0)
            cut(c); // the rest of the request can never come
    }

    void watch() {
        epoll_event events[64];
        int wait = -1;
        while (!stopping) {
            // With no connection it sleeps until the next one: a board on a laptop wakes no one.
            const int n = epoll_wait(watchFd, events, 64, wait);
            const auto now = Clock::now();
            std::lock_guard lock(mutex);
            for (int i = 0; i < n; ++i) {
                if (events[i].data.u64 == kWake) {
                    std::uint64_t count;
                    [[maybe_unused]] ssize_t r = read(wakeFd, &count, sizeof count);
                    continue;
                }
                const int fd = static_cast<int>(events[i].data.u64 & 0xffffffffu);
                auto it = conns.find(fd);
                if (it == conns.end() || it->second->id != events[i].data.u64 >> 32)
                    continue;
                Conn& c = *it->second;
                if ((events[i].events & (EPOLLRDHUP | EPOLLHUP | EPOLLERR)) && !c.peerClosed) {
                    c.peerClosed = true;
                    c.peerClosedAt = now;
                }
                if ((events[i].events & EPOLLIN) && c.phase == Phase::Body && overBody(c))
                    cut(c);
            }
            for (auto& [fd, c] : conns)
                check(*c, now);
            wait = conns.empty() ? -1 : 50;
        }
    }

    void wake() {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(wakeFd, &one, sizeof one);
    }

    static void connectionChanged(void* cls, MHD_Connection* connection, void** socketContext,
                                  MHD_ConnectionNotificationCode code) {
        auto* door = static_cast<Door*>(cls);
        State& self = *door->state;
        if (code == MHD_CONNECTION_NOTIFY_STARTED) {
            ++self.open;
            auto* c = new Conn;
            c->since = Clock::now();
            if (const MHD_ConnectionInfo* info =
                    MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD))
                c->fd = info->connect_fd;
            if (!door->unixSocket) {
                const MHD_ConnectionInfo* info =
                    MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
                std::string address =
                    info && info->client_addr
                        ? numericAddress(info->client_addr, info->client_addr->sa_family == AF_INET6
                                                                ? sizeof(sockaddr_in6)
                                                                : sizeof(sockaddr_in))
                        : std::string();
                // A trusted proxy brings many clients on its connections; limiting it as one
                // address would refuse all of them at once.
                if (std::ranges::find(self.limits.unlimitedPeers, address) ==
                    self.limits.unlimitedPeers.end())
                    c->counted = std::move(address);
            }
            *socketContext = c;
            std::lock_guard lock(self.mutex);
            c->id = ++self.nextId;
            if (self.conns.empty())
                self.wake();
            self.conns[c->fd] = c;
            if (!c->counted.empty() &&
                ++self.perAddress[c->counted] > self.limits.maxConnectionsPerAddress)
                self.cut(*c);
            epoll_event event{};
            event.events = EPOLLIN | EPOLLRDHUP | EPOLLET;
            event.data.u64 = (std::uint64_t(c->id) << 32) | std::uint32_t(c->fd);
            epoll_ctl(self.watchFd, EPOLL_CTL_ADD, c->fd, &event);
            return;
        }
        auto* c = static_cast<Conn*>(*socketContext);
        if (c) {
            std::lock_guard lock(self.mutex);
            epoll_ctl(self.watchFd, EPOLL_CTL_DEL, c->fd, nullptr);
            self.conns.erase(c->fd);
            if (!c->counted.empty()) {
                auto it = self.perAddress.find(c->counted);
                if (it != self.perAddress.end() && --it->second == 0)
                    self.perAddress.erase(it);
            }
        }
        delete c;
        *socketContext = nullptr;
        self.lastClosed = Clock::now().time_since_epoch().count();
        --self.open;
    }

    MHD_Result answer(MHD_Connection* connection, const Response& response, bool close) {
        setPhase(connection, Phase::Busy);
        MHD_Response* r = MHD_create_response_from_buffer(
            response.body.size(), const_cast<char*>(response.body.data()), MHD_RESPMEM_MUST_COPY);
        if (!r)
            return MHD_NO;
        for (const Header& h : response.headers)
            MHD_add_response_header(r, h.name.c_str(), h.value.c_str());
        // After an error nothing more that the client sends on this connection is trusted to
        // start where this request ended.
        if (close || response.status >= 400)
            MHD_add_response_header(r, MHD_HTTP_HEADER_CONNECTION, "close");
        queuingOwn = true;
        const MHD_Result queued =
            MHD_queue_response(connection, static_cast<unsigned>(response.status), r);
        queuingOwn = false;
        MHD_destroy_response(r);
        return queued;
    }

    Response refusal(int status, const Request& request) {
        Response response;
        try {
            response = service.refuse(status, request);
        } catch (const std::exception&) {
            response = {status, {}, {}};
        }
        return response;
    }

    MHD_Result refuse(MHD_Connection* connection, const Request& request, int status) {
        return answer(connection, refusal(status, request), true);
    }

    static void* started(void* cls, const char* uri, MHD_Connection* connection) {
        auto* exchange = new Exchange;
        exchange->request.target = uri;
        // The engine would next store each query parameter in the connection's memory; some
        // 490 of them fill it, and the engine can then not even answer, and waits out the
        // timeout. The board reads the query from its own copy, so the engine's copy is cut
        // to nothing here, in the line buffer it parses next.
        if (char* query = const_cast<char*>(std::strchr(uri, '?')); query && query[1] != '\0')
            query[1] = '\0';
        (void)cls;
        (void)connection;
        return exchange;
    }

    // Hands the request to a worker; the connection waits, suspended, for its answer. A full
    // queue is answered at once, and nothing of the request is done.
    MHD_Result offload(MHD_Connection* connection, Exchange* exchange) {
        setPhase(connection, Phase::Busy);
        MHD_suspend_connection(connection);
        const bool taken = pool->submit([this, connection, exchange] {
            Response response;
            try {
                response = service.handle(exchange->request);
            } catch (const std::exception&) {
                response = refusal(500, exchange->request);
                exchange->closeAfter = true;
            }
            exchange->response = std::move(response);
            exchange->answered = true;
            MHD_resume_connection(connection);
        });
        if (!taken) {
            exchange->response = refusal(503, exchange->request);
            exchange->response.headers.push_back({"Retry-After", "5"});
            exchange->closeAfter = exchange->answered = true;
            MHD_resume_connection(connection);
        }
        return MHD_YES;
    }

    static MHD_Result access(void* cls, MHD_Connection* connection, const char*, const char* method,
                             const char* version, const char* upload, size_t* uploadSize,
                             void** context) {
        auto* door = static_cast<Door*>(cls);
        auto* self = door->state;
        auto* exchange = static_cast<Exchange*>(*context);
        if (!exchange)
            return MHD_NO;
        Request& request = exchange->request;
        if (!exchange->started) {
            exchange->started = true;
            ++self->inFlight;
            self->setPhase(connection, Phase::Body);
            request.method = method;
            request.version = version;
            const std::size_t q = request.target.find('?');
            request.path = request.target.substr(0, q);
            if (q != std::string::npos)
                request.query = request.target.substr(q + 1);
            MHD_get_connection_values_n(
                connection, MHD_HEADER_KIND,
                [](void* headers, MHD_ValueKind, const char* name, size_t nameSize,
                   const char* value, size_t valueSize) {
                    static_cast<std::vector<Header>*>(headers)->push_back(
                        {std::string(name, nameSize),
                         value ? std::string(value, valueSize) : std::string()});
                    return MHD_YES;
                },
                &request.headers);
            if (door->unixSocket) {
                request.peer = kSocketPeer;
            } else if (const MHD_ConnectionInfo* info =
                           MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
                       info && info->client_addr) {
                request.peer =
                    numericAddress(info->client_addr, info->client_addr->sa_family == AF_INET6
                                                          ? sizeof(sockaddr_in6)
                                                          : sizeof(sockaddr_in));
            }
            if (int status = framingStatus(request, self->limits))
                return self->refuse(connection, request, status);
            if (door->unixSocket && !namesClient(request))
                return self->refuse(connection, request, 400);
            return MHD_YES;
        }
        if (*uploadSize > 0) {
            const std::size_t size = *uploadSize;
            *uploadSize = 0;
            if (const Conn* c = connOf(connection); c && self->overBody(*c))
                return MHD_NO;
            if (exchange->refusal == 0 && request.body.size() + size <= self->limits.maxBody) {
                request.body.append(upload, size);
            } else {
                exchange->refusal = 413;
                exchange->overflowBytes += size;
                if (exchange->overflowBytes > kMaxOverflow)
                    return MHD_NO;
            }
            return MHD_YES;
        }
        if (exchange->answered)
            return self->answer(connection, exchange->response, exchange->closeAfter);
        if (exchange->refusal != 0)
            return self->refuse(connection, request, exchange->refusal);
        if (self->service.heavy && self->service.heavy(request))
            return self->offload(connection, exchange);
        Response response;
        try {
            response = self->service.handle(request);
        } catch (const std::exception&) {
            return self->refuse(connection, request, 500);
        }
        return self->answer(connection, response, false);
    }

    static void completed(void* cls, MHD_Connection* connection, void** context,
                          MHD_RequestTerminationCode) {
        auto* self = static_cast<Door*>(cls)->state;
        auto* exchange = static_cast<Exchange*>(*context);
        if (exchange && exchange->started)
            --self->inFlight;
        delete exchange;
        *context = nullptr;
        // The next request on a kept-alive connection has its own deadline.
        self->setPhase(connection, Phase::Head);
    }
};

Server::Server(const std::vector<int>& listenFds, const Limits& limits, Service service)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.limits = limits;
    s.service = std::move(service);
    s.watchFd = epoll_create1(EPOLL_CLOEXEC);
    s.wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (s.watchFd < 0 || s.wakeFd < 0) {
        for (int fd : listenFds)
            close(fd);
        throwErrno("cannot start the HTTP engine");
    }
    epoll_event wake{};
    wake.events = EPOLLIN;
    wake.data.u64 = kWake;
    epoll_ctl(s.watchFd, EPOLL_CTL_ADD, s.wakeFd, &wake);
    {
        std::lock_guard lock(engineHeadersMutex);
        engineHeaders = s.refusal(400, Request{}).headers;
    }
    s.pool = std::make_unique<board::WorkerPool>(limits.workers, limits.workQueue);
    s.watchdog = std::thread([&s] { s.watch(); });
    // Event-driven: a few threads each wait on many connections with epoll, so idle and slow
    // clients cost memory within the limits below, never a thread. The engine's own per-address
    // limit is off: the watchdog counts addresses, leaving out the trusted proxies.
    const unsigned flags =
        MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_ITC | MHD_ALLOW_SUSPEND_RESUME;
    bool failed = false;
    for (int fd : listenFds) {
        auto door = std::make_unique<State::Door>();
        door->state = &s;
        door->unixSocket = isUnixSocket(fd);
        if (!failed)
            door->daemon = MHD_start_daemon(
                flags, 0, nullptr, nullptr, &State::access, door.get(), MHD_OPTION_LISTEN_SOCKET,
                fd, MHD_OPTION_THREAD_POOL_SIZE, limits.threads, MHD_OPTION_CONNECTION_LIMIT,
                limits.maxConnections, MHD_OPTION_CONNECTION_TIMEOUT, limits.timeoutSeconds,
                MHD_OPTION_CONNECTION_MEMORY_LIMIT, limits.connectionMemory,
                // Not strict: the library's own answer to HTTP/1.1 without Host sends its header
                // block twice. framingStatus refuses that, and spaces in the target, itself;
                // spaces in header names the library refuses in either mode.
                MHD_OPTION_STRICT_FOR_CLIENT, 0, MHD_OPTION_URI_LOG_CALLBACK, &State::started,
                door.get(), MHD_OPTION_NOTIFY_COMPLETED, &State::completed, door.get(),
                MHD_OPTION_NOTIFY_CONNECTION, &State::connectionChanged, door.get(),
                MHD_OPTION_END);
        if (!door->daemon) {
            failed = true;
            close(fd);
        }
        s.doors.push_back(std::move(door));
    }
    if (failed || listenFds.empty()) {
        stop(std::chrono::milliseconds(0));
        throw std::runtime_error("cannot start the HTTP engine");
    }
}

Server::~Server() {
    stop(std::chrono::milliseconds(0));
}

void Server::stop(std::chrono::milliseconds grace) {
    State& s = *state_;
    if (s.stopping)
        return;
    for (auto& door : s.doors) {
        if (!door->daemon)
            continue;
        const MHD_socket listening = MHD_quiesce_daemon(door->daemon);
        if (listening != MHD_INVALID_SOCKET)
            close(listening);
    }
    const auto deadline = Clock::now() + grace;
    while (s.inFlight > 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    // Every suspended connection is resumed before its engine stops.
    if (s.pool)
        s.pool->drain();
    for (auto& door : s.doors) {
        if (door->daemon)
            MHD_stop_daemon(door->daemon);
        door->daemon = nullptr;
    }
    s.stopping = true;
    if (s.watchdog.joinable()) {
        s.wake();
        s.watchdog.join();
    }
}

Server::Clock::duration Server::idleFor() const {
    if (state_->open > 0)
        return Clock::duration::zero();
    return Clock::now() - Clock::time_point(Clock::duration(state_->lastClosed.load()));
}

} // namespace board::http
