#include "board/server.h"

#include "board/form.h"
#include "board/page.h"

#include <charconv>
#include <chrono>
#include <cstring>
#include <ctime>
#include <iostream>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace board {

namespace {

constexpr std::int64_t kPageSize = 20;
constexpr std::int64_t kMaxPage = 100000;

// Field limits in characters. A real entry never comes near them; they keep one post from
// filling a page (or the disk) and bound the work per request.
struct FieldLimit {
    const char* key;
    const char* label;
    std::size_t maxChars;
};
constexpr FieldLimit kFieldLimits[] = {
    {"name", "お名前", 40},       {"email", "E-mail", 100}, {"sub", "題名", 40},
    {"comment", "コメント", 500}, {"url", "URL", 200},      {"pwd", "削除用パスワード", 32},
};

void send(httplib::Response& res, int status, std::string html) {
    res.status = status;
    res.set_content(std::move(html), "text/html; charset=UTF-8");
}

void sendError(httplib::Response& res, int status, std::string_view message, Board board) {
    send(res, status, renderError(message, boardPath(board)));
}

void sendBoard(Store& store, httplib::Response& res, int status, Board board, std::int64_t page,
               std::string notice = {}, bool noticeIsError = false) {
    BoardView view;
    view.board = board;
    view.page = page;
    // One row more than a page tells whether an older page exists without counting them all.
    view.posts = store.page(board, (page - 1) * kPageSize, kPageSize + 1);
    if (static_cast<std::int64_t>(view.posts.size()) > kPageSize) {
        view.hasNextPage = true;
        view.posts.pop_back();
    }
    view.notice = std::move(notice);
    view.noticeIsError = noticeIsError;
    send(res, status, renderBoard(view));
}

// A positive decimal number no greater than max; 0 otherwise.
std::int64_t parsePositive(std::string_view text, std::int64_t max) {
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1 || value > max)
        return 0;
    return value;
}

// Blank also means only spaces, full-width ones (U+3000) included.
bool isBlank(std::string_view text) {
    while (!text.empty()) {
        if (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' ||
            text.front() == '\n')
            text.remove_prefix(1);
        else if (text.starts_with("\xe3\x80\x80"))
            text.remove_prefix(3);
        else
            return false;
    }
    return true;
}

std::string formErrorMessage(FormError error) {
    switch (error) {
    case FormError::MalformedEscape:
        return "送信された内容の書式が正しくありません（「%」のあとに16進数2桁がありません）。";
    case FormError::BadEncoding:
        return "送信された文字を読み取れません。UTF-8 または Shift_JIS で送信してください。";
    case FormError::ControlChar:
        return "送信された内容に使用できない制御文字が含まれています。";
    case FormError::None:
        break;
    }
    return {};
}

void regist(Store& store, Board board, const Form& form, httplib::Response& res) {
    for (const FieldLimit& limit : kFieldLimits) {
        if (utf8Length(form.get(limit.key)) > limit.maxChars) {
            sendError(res, 400,
                      std::string(limit.label) + "が長すぎます（" + std::to_string(limit.maxChars) +
                          "文字まで）。",
                      board);
            return;
        }
    }
    if (isBlank(form.get("name"))) {
        sendError(res, 400, "お名前が入力されていません。", board);
        return;
    }
    if (isBlank(form.get("comment"))) {
        sendError(res, 400, "コメントが入力されていません。", board);
        return;
    }
    NewPost post;
    post.board = board;
    post.name = form.get("name");
    post.email = form.get("email");
    post.subject = form.get("sub");
    post.comment = form.get("comment");
    post.url = form.get("url");
    post.password = form.get("pwd");
    std::int64_t id = store.add(post, static_cast<std::int64_t>(std::time(nullptr)));
    sendBoard(store, res, 200, board, 1, "No." + std::to_string(id) + " として投稿しました。");
}

void erase(Store& store, Board board, const Form& form, httplib::Response& res) {
    std::int64_t id = parsePositive(form.get("no"), INT64_MAX);
    if (id == 0) {
        sendError(res, 400, "削除する投稿の番号が正しくありません。", board);
        return;
    }
    const std::string no = "No." + std::to_string(id);
    switch (store.remove(board, id, form.get("pwd"))) {
    case DeleteResult::Deleted:
        sendBoard(store, res, 200, board, 1, no + " を削除しました。");
        break;
    case DeleteResult::WrongPassword:
        sendBoard(store, res, 403, board, 1,
                  "パスワードが違うため、" + no + " は削除していません。", true);
        break;
    case DeleteResult::NoPassword:
        sendBoard(store, res, 403, board, 1,
                  no + " には削除用パスワードがないため、削除できません。", true);
        break;
    case DeleteResult::NotFound:
        sendBoard(store, res, 404, board, 1, no + " の投稿はありません。", true);
        break;
    }
}

void handle(Store& store, Board board, const httplib::Request& req, httplib::Response& res) {
    const bool isPost = req.method == "POST";
    std::string_view data;
    if (isPost) {
        data = req.body;
    } else if (std::size_t q = req.target.find('?'); q != std::string::npos) {
        // The raw query, not the library's decoded parameters: only the raw bytes tell a
        // malformed escape or the encoding apart.
        data = std::string_view(req.target).substr(q + 1);
    }
    Form form = parseForm(data);
    if (form.error != FormError::None) {
        sendError(res, 400, formErrorMessage(form.error), board);
        return;
    }
    const std::string& mode = form.get("mode");
    if (mode == "regist") {
        regist(store, board, form, res);
    } else if (mode == "delete" && isPost) {
        erase(store, board, form, res);
    } else if (mode == "delete") {
        // A password in a link would end up in histories and server logs.
        sendError(res, 405, "削除は各投稿の削除フォームから行ってください。", board);
    } else if (mode.empty() && !isPost) {
        const std::string& pageText = form.get("page");
        std::int64_t page = pageText.empty() ? 1 : parsePositive(pageText, kMaxPage);
        if (page == 0)
            sendError(res, 400, "ページ番号が正しくありません。", board);
        else
            sendBoard(store, res, 200, board, page);
    } else {
        sendError(res, 400, "この掲示板では行えない操作です。", board);
    }
}

using Clock = std::chrono::steady_clock;

// Waits until the socket is ready for events or the deadline passes.
bool waitFor(socket_t sock, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{sock, events, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 100)));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

void socketAddress(socket_t sock, bool peer, std::string& ip, int& port) {
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    auto* a = reinterpret_cast<sockaddr*>(&address);
    if ((peer ? ::getpeername(sock, a, &size) : ::getsockname(sock, a, &size)) != 0)
        return;
    char host[NI_MAXHOST], service[NI_MAXSERV];
    if (::getnameinfo(a, size, host, sizeof host, service, sizeof service,
                      NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
        ip = host;
        port = std::atoi(service);
    }
}

// One connection, read through a buffer as the library's own stream does (it reads a request
// a byte at a time), with a budget of bytes and a deadline for each request.
class BoundedStream : public httplib::Stream {
  public:
    BoundedStream(socket_t sock, std::chrono::seconds readTimeout,
                  std::chrono::seconds writeTimeout)
        : sock_(sock), readTimeout_(readTimeout), writeTimeout_(writeTimeout) {}

    // Waits for the next request of a kept-alive connection, then starts its budget.
    bool nextRequest(std::chrono::seconds idle) {
        if (begin_ == end_ && !waitFor(sock_, POLLIN, Clock::now() + idle))
            return false;
        budget_ = kMaxRequestBytes;
        deadline_ = Clock::now() + std::chrono::seconds(kMaxRequestSeconds);
        return true;
    }

    bool is_readable() const override {
        return begin_ != end_ ||
               waitFor(sock_, POLLIN, std::min(deadline_, Clock::now() + readTimeout_));
    }
    bool is_writable() const override {
        return waitFor(sock_, POLLOUT, Clock::now() + writeTimeout_);
    }
    ssize_t read(char* ptr, size_t size) override {
        if (begin_ == end_) {
            // Over its budget or its time, a request ends here, and the library answers what
            // it has with an error page (414 for a long request line, else 400).
            if (budget_ == 0 || Clock::now() >= deadline_)
                return 0;
            if (!is_readable())
                return Clock::now() >= deadline_ ? 0 : -1;
            const ssize_t n = ::recv(sock_, buffer_, std::min(sizeof buffer_, budget_), 0);
            if (n <= 0)
                return n;
            budget_ -= static_cast<std::size_t>(n);
            begin_ = 0;
            end_ = static_cast<std::size_t>(n);
        }
        const std::size_t n = std::min(size, end_ - begin_);
        std::memcpy(ptr, buffer_ + begin_, n);
        begin_ += n;
        return static_cast<ssize_t>(n);
    }
    ssize_t write(const char* ptr, size_t size) override {
        return is_writable() ? ::send(sock_, ptr, size, MSG_NOSIGNAL) : -1;
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        socketAddress(sock_, true, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        socketAddress(sock_, false, ip, port);
    }
    socket_t socket() const override { return sock_; }

  private:
    socket_t sock_;
    std::chrono::seconds readTimeout_, writeTimeout_;
    Clock::time_point deadline_ = Clock::now();
    std::size_t budget_ = 0;
    char buffer_[4096];
    std::size_t begin_ = 0, end_ = 0;
};

std::string regexFor(std::string_view path) {
    std::string out;
    for (char c : path) {
        if (c == '.')
            out += '\\';
        out += c;
    }
    return out;
}

} // namespace

bool BoundedServer::process_and_close_socket(socket_t sock) {
    BoundedStream stream(sock, std::chrono::seconds(read_timeout_sec_),
                         std::chrono::seconds(write_timeout_sec_));
    bool ok = false;
    for (std::size_t left = keep_alive_max_count_; left > 0 && svr_sock_ != INVALID_SOCKET;
         --left) {
        if (!stream.nextRequest(std::chrono::seconds(keep_alive_timeout_sec_)))
            break;
        bool closed = false;
        ok = process_request(stream, left == 1, closed, nullptr);
        if (!ok || closed)
            break;
    }
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return ok;
}

void setUpServer(httplib::Server& server, Store& store) {
    for (Board board : {Board::Main, Board::Demo}) {
        auto handler = [&store, board](const httplib::Request& req, httplib::Response& res) {
            handle(store, board, req, res);
        };
        server.Get(regexFor(boardPath(board)), handler);
        server.Post(regexFor(boardPath(board)), handler);
    }
    server.set_payload_max_length(kMaxBody);
    // The library's default adds SO_REUSEPORT, which lets a second server start on a port in
    // use and take half of its connections. SO_REUSEADDR alone still allows a quick restart.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    // The library writes the head and the body of an answer separately; with Nagle's
    // algorithm on, a keep-alive client then waits for a delayed ACK (40 ms) on every page.
    server.set_tcp_nodelay(true);
    server.set_default_headers({
        {"Cache-Control", "no-store"},
        {"X-Content-Type-Options", "nosniff"},
        {"Referrer-Policy", "no-referrer"},
        {"Content-Security-Policy", "default-src 'none'; style-src 'unsafe-inline'; "
                                    "form-action 'self'; base-uri 'none'; frame-ancestors 'none'"},
    });
    // Errors that the library answers itself (unknown path, request line or body too long)
    // come here with an empty body; the boards' own errors already have their page.
    server.set_error_handler(
        httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
            if (!res.body.empty())
                return httplib::Server::HandlerResponse::Unhandled;
            std::string message;
            switch (res.status) {
            case 404:
                message = "ページが見つかりません。";
                break;
            case 413:
                message = "送信された内容が長すぎます。";
                break;
            case 414:
                message = "送信された内容が長すぎます（リクエスト行は" +
                          std::to_string(kMaxRequestLine) + "バイトまで）。";
                break;
            default:
                message = "リクエストを処理できませんでした。";
                break;
            }
            send(res, res.status, renderError(message, kMainPath));
            return httplib::Server::HandlerResponse::Handled;
        }));
    server.set_exception_handler([](const httplib::Request& req, httplib::Response& res,
                                    std::exception_ptr ep) {
        try {
            std::rethrow_exception(ep);
        } catch (const std::exception& e) {
            std::cerr << "ponpira-board: " << req.method << " " << req.path << ": " << e.what()
                      << std::endl;
        } catch (...) {
            std::cerr << "ponpira-board: " << req.method << " " << req.path << ": unknown error"
                      << std::endl;
        }
        send(res, 500,
             renderError("サーバーで問題が発生しました。しばらくしてからもう一度お試しください。",
                         kMainPath));
    });
}

} // namespace board
