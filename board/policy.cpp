// SPDX-License-Identifier: MIT
#include "board/policy.h"

#include "board/page.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <strings.h>

namespace board {

namespace {

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// The name part of a Host header: "[::1]:8931" gives "[::1]", "Example.jp:80" "example.jp".
std::string hostName(std::string_view host) {
    if (host.starts_with('[')) {
        const std::size_t end = host.find(']');
        return end == std::string_view::npos ? std::string() : lower(host.substr(0, end + 1));
    }
    return lower(host.substr(0, host.find(':')));
}

// Every IPv6 client has a /64 of addresses to post from: it gets one bucket, not 2^64.
std::string rateKey(const std::string& client) {
    in6_addr v6{};
    if (inet_pton(AF_INET6, client.c_str(), &v6) != 1)
        return client;
    std::memset(v6.s6_addr + 8, 0, 8);
    char text[INET6_ADDRSTRLEN];
    return inet_ntop(AF_INET6, &v6, text, sizeof text) ? std::string(text) + "/64" : client;
}

void addSecurityHeaders(http::Response& response) {
    response.headers.insert(
        response.headers.end(),
        {
            {"Cache-Control", "no-store"},
            {"X-Content-Type-Options", "nosniff"},
            // Not no-referrer: with it browsers send "Origin: null" on the board's own
            // deletion form, which the same-origin check would then refuse.
            {"Referrer-Policy", "same-origin"},
            {"Cross-Origin-Resource-Policy", "same-origin"},
            {"Content-Security-Policy",
             "default-src 'none'; style-src 'unsafe-inline'; form-action 'self'; "
             "base-uri 'none'; frame-ancestors 'none'"},
        });
}

std::string seconds(Clock::duration d) {
    return std::to_string(std::chrono::ceil<std::chrono::seconds>(d).count());
}

} // namespace

std::string canonicalAddress(std::string_view text) {
    const std::string s(text);
    char out[INET6_ADDRSTRLEN];
    in_addr v4{};
    in6_addr v6{};
    if (inet_pton(AF_INET, s.c_str(), &v4) == 1)
        return inet_ntop(AF_INET, &v4, out, sizeof out);
    if (inet_pton(AF_INET6, s.c_str(), &v6) != 1)
        return {};
    if (IN6_IS_ADDR_V4MAPPED(&v6))
        return inet_ntop(AF_INET, v6.s6_addr + 12, out, sizeof out);
    return inet_ntop(AF_INET6, &v6, out, sizeof out);
}

PostRate::PostRate(unsigned perMinute, std::size_t capacity)
    : perMinute_(perMinute), capacity_(capacity) {}

double PostRate::refill(Bucket& bucket, Clock::time_point now) const {
    const double minutes =
        std::chrono::duration<double, std::ratio<60>>(now - bucket.updated).count();
    bucket.tokens = std::min(perMinute_, bucket.tokens + minutes * perMinute_);
    bucket.updated = now;
    return bucket.tokens;
}

bool PostRate::take(const std::string& client, Clock::time_point now) {
    if (perMinute_ == 0)
        return true;
    std::lock_guard lock(mutex_);
    auto it = buckets_.find(client);
    if (it == buckets_.end()) {
        if (buckets_.size() >= capacity_) {
            for (auto b = buckets_.begin(); b != buckets_.end();)
                b = refill(b->second, now) >= perMinute_ ? buckets_.erase(b) : std::next(b);
            // Every client is still busy: the one that posted least recently goes.
            if (buckets_.size() >= capacity_)
                buckets_.erase(
                    std::min_element(buckets_.begin(), buckets_.end(), [](auto& a, auto& b) {
                        return a.second.updated < b.second.updated;
                    }));
        }
        it = buckets_.emplace(client, Bucket{perMinute_, now}).first;
    }
    if (refill(it->second, now) < 1)
        return false;
    it->second.tokens -= 1;
    return true;
}

DeleteLockout::DeleteLockout(unsigned attempts, std::size_t capacity)
    : attempts_(attempts), capacity_(capacity) {}

Clock::duration DeleteLockout::lockedFor(Board board, std::int64_t id, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    auto it = entries_.find({board, id});
    if (it == entries_.end() || it->second.lockedUntil <= now)
        return Clock::duration::zero();
    return it->second.lockedUntil - now;
}

void DeleteLockout::record(Board board, std::int64_t id, DeleteResult result,
                           Clock::time_point now) {
    if (attempts_ == 0)
        return;
    std::lock_guard lock(mutex_);
    if (result != DeleteResult::WrongPassword) {
        entries_.erase({board, id});
        return;
    }
    auto it = entries_.find({board, id});
    if (it == entries_.end()) {
        if (entries_.size() >= capacity_) {
            std::erase_if(entries_, [&](auto& e) { return e.second.lockedUntil <= now; });
            if (entries_.size() >= capacity_)
                entries_.erase(
                    std::min_element(entries_.begin(), entries_.end(), [](auto& a, auto& b) {
                        return a.second.lockedUntil < b.second.lockedUntil;
                    }));
        }
        it = entries_.emplace(std::pair{board, id}, Entry{}).first;
    }
    Entry& e = it->second;
    e.updated = now;
    if (++e.failures < attempts_)
        return;
    e.failures = 0;
    const unsigned doublings = std::min(e.lockouts++, 10u); // 2^10 minutes: about a day
    e.lockedUntil = now + std::chrono::minutes(1) * (1u << doublings);
}

Policy::Policy(PolicyOptions options, Handlers& handlers)
    : options_(std::move(options)), handlers_(handlers), postRate_(options_.postsPerMinute, 4096),
      lockout_(options_.deleteAttempts, 4096) {
    for (std::string& host : options_.hosts)
        host = lower(host);
    for (const char* host : {"localhost", "127.0.0.1", "[::1]"})
        options_.hosts.push_back(host);
}

http::Service Policy::service() {
    return {[this](const http::Request& r) { return handle(r); },
            [this](int status, const http::Request& r) { return refuse(status, r); }};
}

http::Response Policy::refuse(int status, const http::Request&) const {
    std::string message;
    switch (status) {
    case 413:
        message = "送信された内容が長すぎます。";
        break;
    case 414:
        message = "送信された内容が長すぎます（リクエスト行は8192バイトまで）。";
        break;
    case 500:
        message = "サーバーで問題が発生しました。しばらくしてからもう一度お試しください。";
        break;
    case 503:
        message = "混み合っています。しばらくしてからもう一度お試しください。";
        break;
    default:
        message = "リクエストを処理できませんでした。";
        break;
    }
    http::Response response = errorPage(status, message);
    addSecurityHeaders(response);
    return response;
}

http::Response Policy::handle(const http::Request& request) {
    http::Response response;
    try {
        response = route(request);
    } catch (const std::exception& e) {
        logLine(request.method + " " + request.path + ": " + e.what());
        response = refuse(500, request);
        return response;
    }
    addSecurityHeaders(response);
    return response;
}

bool Policy::servesHost(const http::Request& request) const {
    const std::string* host = request.header("Host");
    if (!host)
        return false;
    return std::ranges::find(options_.hosts, hostName(*host)) != options_.hosts.end();
}

std::string Policy::clientOf(const http::Request& request) const {
    auto trusted = [&](const std::string& address) {
        return std::ranges::find(options_.trustedProxies, address) != options_.trustedProxies.end();
    };
    if (!trusted(request.peer))
        return request.peer;
    std::vector<std::string_view> chain;
    for (const http::Header& h : request.headers) {
        if (!equalsNoCase(h.name, "X-Forwarded-For"))
            continue;
        std::string_view list = h.value;
        for (std::size_t comma; (comma = list.find(',')) != std::string_view::npos;
             list.remove_prefix(comma + 1))
            chain.push_back(trim(list.substr(0, comma)));
        chain.push_back(trim(list));
    }
    // The proxies each add the address they got the request from on the right; what lies left
    // of the first address that is not a proxy of ours, the client could have written itself.
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const std::string address = canonicalAddress(*it);
        if (address.empty())
            break;
        if (!trusted(address))
            return address;
    }
    return request.peer;
}

bool Policy::fromOwnPage(const http::Request& request) const {
    if (const std::string* site = request.header("Sec-Fetch-Site"))
        return equalsNoCase(*site, "same-origin");
    const std::string* origin = request.header("Origin");
    if (!origin)
        return true; // not a browser: curl and scripts of the board's owner
    const std::string* proto = request.header("X-Forwarded-Proto");
    const bool tls =
        proto && equalsNoCase(*proto, "https") &&
        std::ranges::find(options_.trustedProxies, request.peer) != options_.trustedProxies.end();
    const std::string* host = request.header("Host");
    return host && equalsNoCase(*origin, (tls ? "https://" : "http://") + *host);
}

http::Response Policy::route(const http::Request& request) {
    // A page of a web site whose name now points to this machine (DNS rebinding) would read
    // the board as its own: only the board's own names get an answer.
    if (!servesHost(request))
        return errorPage(421, "このホスト名ではこの掲示板を表示できません。");
    Call call;
    if (request.path == kMainPath)
        call.board = Board::Main;
    else if (request.path == kDemoPath)
        call.board = Board::Demo;
    else
        return errorPage(404, "ページが見つかりません。");
    const bool head = request.method == "HEAD", post = request.method == "POST";
    if (!head && !post && request.method != "GET") {
        http::Response r = errorPage(405, "この掲示板では行えない操作です。", call.board);
        r.headers.push_back({"Allow", "GET, HEAD, POST"});
        return r;
    }
    call.form = parseForm(post ? std::string_view(request.body) : request.query);
    switch (call.form.error) {
    case FormError::MalformedEscape:
        return errorPage(400,
                         "送信された内容の書式が正しくありません（「%」のあとに16進数2桁があり"
                         "ません）。",
                         call.board);
    case FormError::BadEncoding:
        return errorPage(
            400, "送信された文字を読み取れません。UTF-8 または Shift_JIS で送信してください。",
            call.board);
    case FormError::ControlChar:
        return errorPage(400, "送信された内容に使用できない制御文字が含まれています。", call.board);
    case FormError::None:
        break;
    }
    call.client = clientOf(request);
    const std::string board(boardName(call.board));
    const std::string& mode = call.form.get("mode");
    const auto now = Clock::now();

    if (mode == "regist") {
        if (head) {
            http::Response r = errorPage(405, "この掲示板では行えない操作です。", call.board);
            r.headers.push_back({"Allow", "GET, POST"});
            return r;
        }
        // The game opens the post in the browser from the desktop (Sec-Fetch-Site "none");
        // a page of another site must not post in the visitor's name.
        if (const std::string* site = request.header("Sec-Fetch-Site");
            site && (equalsNoCase(*site, "cross-site") || equalsNoCase(*site, "same-site"))) {
            logLine("post " + board + " from " + call.client + ": refused, sent from another site");
            return errorPage(403,
                             "ほかのサイトのページから送られた投稿は受け付けていません。"
                             "ゲームの「送信」から投稿してください。",
                             call.board);
        }
        if (!postRate_.take(rateKey(call.client), now)) {
            logLine("post " + board + " from " + call.client + ": refused, too many posts");
            http::Response r = errorPage(
                429, "投稿が多すぎます。しばらくしてからもう一度お試しください。", call.board);
            r.headers.push_back({"Retry-After", "60"});
            return r;
        }
        return handlers_.post(call);
    }
    if (mode == "delete") {
        if (!post) {
            // A password in a link would end up in histories and server logs.
            http::Response r =
                errorPage(405, "削除は各投稿の削除フォームから行ってください。", call.board);
            r.headers.push_back({"Allow", "POST"});
            return r;
        }
        const std::string& no = call.form.get("no");
        if (!fromOwnPage(request)) {
            logLine("delete " + board + " No." + no.substr(0, 20) + " from " + call.client +
                    ": refused, not from the board's page");
            return errorPage(403, "削除はこの掲示板のページの削除フォームから行ってください。",
                             call.board);
        }
        std::int64_t id = 0;
        if (!no.empty() && no.size() < 19 &&
            no.find_first_not_of("0123456789") == std::string::npos)
            id = std::stoll(no);
        if (Clock::duration wait = lockout_.lockedFor(call.board, id, now);
            wait > Clock::duration::zero() && !handlers_.isOperatorKey(call.form.get("pwd"))) {
            logLine("delete " + board + " No." + std::to_string(id) + " from " + call.client +
                    ": refused, locked for " + seconds(wait) + " s after wrong passwords");
            http::Response r = errorPage(
                429,
                "No." + std::to_string(id) +
                    " は削除用パスワードの誤りが続いたため、しばらく削除できません（あと" +
                    seconds(wait) + "秒）。",
                call.board);
            r.headers.push_back({"Retry-After", seconds(wait)});
            return r;
        }
        DeleteResult result = DeleteResult::NotFound;
        http::Response r = handlers_.erase(call, result);
        if (id != 0)
            lockout_.record(call.board, id, result, now);
        return r;
    }
    if (mode == "ranking" && !post && call.board == Board::Main)
        return handlers_.ranking(call);
    if (mode.empty() && !post)
        return handlers_.show(call);
    return errorPage(400, "この掲示板では行えない操作です。", call.board);
}

} // namespace board
