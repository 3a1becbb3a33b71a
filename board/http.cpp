// SPDX-License-Identifier: MIT
#include "board/http.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <stdexcept>
#include <strings.h>
#include <sys/socket.h>
#include <systemd/sd-daemon.h>
#include <thread>
#include <unistd.h>

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
};

// Past the body limit a chunked body is read on, so that the client gets its 413 page, but
// only this far: then the connection is simply closed.
constexpr std::size_t kMaxOverflow = 64 * 1024;

// The request line must fit, there must be one Host (HTTP/1.1 needs it), and the body's
// length must be told one way only. Anything else could be read one way here and another way
// by a proxy in front, which is how a second request gets smuggled inside a first.
int framingStatus(const Request& r, const Limits& limits) {
    if (r.method.size() + 1 + r.target.size() + 1 + r.version.size() + 2 > limits.maxRequestLine)
        return 414;
    int hosts = 0;
    std::vector<std::string_view> lengths, codings;
    for (const Header& h : r.headers) {
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

} // namespace

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

int inheritedSocket() {
    const int count = sd_listen_fds(1);
    if (count <= 0)
        return -1;
    if (count > 1)
        throw std::runtime_error("systemd handed over " + std::to_string(count) +
                                 " sockets; expected one");
    const int fd = SD_LISTEN_FDS_START;
    if (sd_is_socket(fd, AF_UNSPEC, SOCK_STREAM, 1) <= 0)
        throw std::runtime_error("the socket from systemd is not a listening stream socket");
    // Several threads wait on it: none may block in accept() once another took the client.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    return fd;
}

std::string localAddress(int fd) {
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return {};
    return numericAddress(reinterpret_cast<sockaddr*>(&address), size);
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

struct Server::State {
    Limits limits;
    Service service;
    MHD_Daemon* daemon = nullptr;
    std::atomic<int> open = 0;     // connections
    std::atomic<int> inFlight = 0; // requests whose headers arrived and that are not answered
    std::atomic<Clock::rep> lastClosed = Clock::now().time_since_epoch().count();

    MHD_Result answer(MHD_Connection* connection, const Response& response, bool close) {
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
        const MHD_Result queued =
            MHD_queue_response(connection, static_cast<unsigned>(response.status), r);
        MHD_destroy_response(r);
        return queued;
    }

    MHD_Result refuse(MHD_Connection* connection, const Request& request, int status) {
        Response response;
        try {
            response = service.refuse(status, request);
        } catch (const std::exception&) {
            response = {status, {}, {}};
        }
        return answer(connection, response, true);
    }

    static void* started(void* cls, const char* uri, MHD_Connection* connection) {
        auto* exchange = new Exchange;
        exchange->request.target = uri;
        (void)cls;
        (void)connection;
        return exchange;
    }

    static MHD_Result access(void* cls, MHD_Connection* connection, const char*, const char* method,
                             const char* version, const char* upload, size_t* uploadSize,
                             void** context) {
        auto* self = static_cast<State*>(cls);
        auto* exchange = static_cast<Exchange*>(*context);
        if (!exchange)
            return MHD_NO;
        Request& request = exchange->request;
        if (!exchange->started) {
            exchange->started = true;
            ++self->inFlight;
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
            const MHD_ConnectionInfo* info =
                MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
            if (info && info->client_addr)
                request.peer =
                    numericAddress(info->client_addr, info->client_addr->sa_family == AF_INET6
                                                          ? sizeof(sockaddr_in6)
                                                          : sizeof(sockaddr_in));
            if (int status = framingStatus(request, self->limits))
                return self->refuse(connection, request, status);
            return MHD_YES;
        }
        if (*uploadSize > 0) {
            const std::size_t size = *uploadSize;
            *uploadSize = 0;
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
        if (exchange->refusal != 0)
            return self->refuse(connection, request, exchange->refusal);
        Response response;
        try {
            response = self->service.handle(request);
        } catch (const std::exception&) {
            return self->refuse(connection, request, 500);
        }
        return self->answer(connection, response, false);
    }

    static void completed(void* cls, MHD_Connection*, void** context, MHD_RequestTerminationCode) {
        auto* self = static_cast<State*>(cls);
        auto* exchange = static_cast<Exchange*>(*context);
        if (exchange && exchange->started)
            --self->inFlight;
        delete exchange;
        *context = nullptr;
    }

    static void connectionChanged(void* cls, MHD_Connection*, void**,
                                  MHD_ConnectionNotificationCode code) {
        auto* self = static_cast<State*>(cls);
        if (code == MHD_CONNECTION_NOTIFY_STARTED) {
            ++self->open;
        } else {
            self->lastClosed = Clock::now().time_since_epoch().count();
            --self->open;
        }
    }
};

Server::Server(int listenFd, const Limits& limits, Service service)
    : state_(std::make_unique<State>()) {
    state_->limits = limits;
    state_->service = std::move(service);
    // Event-driven: a few threads each wait on many connections with epoll, so idle and slow
    // clients cost memory within the limits below, never a thread.
    const unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_ITC;
    state_->daemon = MHD_start_daemon(
        flags, 0, nullptr, nullptr, &State::access, state_.get(), MHD_OPTION_LISTEN_SOCKET,
        listenFd, MHD_OPTION_THREAD_POOL_SIZE, limits.threads, MHD_OPTION_CONNECTION_LIMIT,
        limits.maxConnections, MHD_OPTION_PER_IP_CONNECTION_LIMIT, limits.maxConnectionsPerAddress,
        MHD_OPTION_CONNECTION_TIMEOUT, limits.timeoutSeconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT,
        limits.connectionMemory,
        // HTTP/1.1 without Host, and spaces inside the target, are refused by the library.
        MHD_OPTION_STRICT_FOR_CLIENT, 1, MHD_OPTION_URI_LOG_CALLBACK, &State::started, state_.get(),
        MHD_OPTION_NOTIFY_COMPLETED, &State::completed, state_.get(), MHD_OPTION_NOTIFY_CONNECTION,
        &State::connectionChanged, state_.get(), MHD_OPTION_END);
    if (!state_->daemon) {
        close(listenFd);
        throw std::runtime_error("cannot start the HTTP engine");
    }
}

Server::~Server() {
    stop(std::chrono::milliseconds(0));
}

void Server::stop(std::chrono::milliseconds grace) {
    if (!state_->daemon)
        return;
    const MHD_socket listening = MHD_quiesce_daemon(state_->daemon);
    if (listening != MHD_INVALID_SOCKET)
        close(listening);
    const auto deadline = Clock::now() + grace;
    while (state_->inFlight > 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    MHD_stop_daemon(state_->daemon);
    state_->daemon = nullptr;
}

Server::Clock::duration Server::idleFor() const {
    if (state_->open > 0)
        return Clock::duration::zero();
    return Clock::now() - Clock::time_point(Clock::duration(state_->lastClosed.load()));
}

} // namespace board::http
