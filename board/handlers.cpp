// SPDX-License-Identifier: MIT
#include "board/handlers.h"

#include "board/page.h"
#include "board/password.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <openssl/crypto.h>
#include <unistd.h>

namespace board {

namespace {

constexpr std::int64_t kPageSize = 20;
constexpr std::int64_t kMaxPage = 100000;
constexpr int kRankingLength = 20;
constexpr int kRankingSeconds[] = {10, 20, 30};

// Field limits in characters. A real entry never comes near them; they keep one post from
// filling a page (or the disk) and bound the work per request. The game keeps the same.
struct FieldLimit {
    const char* key;
    const char* label;
    std::size_t maxChars;
};
constexpr FieldLimit kFieldLimits[] = {
    {"name", "お名前", 40},       {"email", "E-mail", 100}, {"sub", "題名", 40},
    {"comment", "コメント", 500}, {"url", "URL", 200},      {"pwd", "削除用パスワード", 32},
};

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

std::string no(std::int64_t id) {
    return "No." + std::to_string(id);
}

} // namespace

void logLine(const std::string& line) {
    // One write per line, so that lines of threads answering at once never mix. A control
    // character a client sent is written escaped: a line feed would start a line of its own
    // that the journal shows as the board's.
    std::string out = "ponpira-board: ";
    for (unsigned char c : line) {
        if (c < 0x20 || c == 0x7f || c == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '\n';
    [[maybe_unused]] ssize_t written = ::write(STDERR_FILENO, out.data(), out.size());
}

http::Response htmlPage(int status, std::string html) {
    return {status, {{"Content-Type", "text/html; charset=UTF-8"}}, std::move(html)};
}

http::Response errorPage(int status, std::string_view message, Board board) {
    return htmlPage(status, renderError(message, boardPath(board)));
}

Handlers::Handlers(Store& store, std::string operatorKey)
    : store_(store), operatorKeyDigest_(operatorKey.empty() ? "" : sha256(operatorKey)) {}

bool Handlers::isOperatorKey(std::string_view text) const {
    if (operatorKeyDigest_.empty())
        return false;
    // Digests of equal length, so that neither the length nor the first differing byte of
    // the key shows in the time the answer takes.
    const std::string digest = sha256(text);
    return CRYPTO_memcmp(digest.data(), operatorKeyDigest_.data(), digest.size()) == 0;
}

http::Response Handlers::show(const Call& call) {
    const std::string& pageText = call.form.get("page");
    const std::int64_t page = pageText.empty() ? 1 : parsePositive(pageText, kMaxPage);
    if (page == 0)
        return errorPage(400, "ページ番号が正しくありません。", call.board);
    BoardView view;
    view.board = call.board;
    view.page = page;
    if (const std::string& posted = call.form.get("posted"); !posted.empty()) {
        if (std::int64_t id = parsePositive(posted, INT64_MAX))
            view.notice = no(id) + " として投稿しました。";
    }
    // One row more than a page tells whether an older page exists without counting them all.
    view.posts = store_.page(call.board, (page - 1) * kPageSize, kPageSize + 1);
    if (static_cast<std::int64_t>(view.posts.size()) > kPageSize) {
        view.hasNextPage = true;
        view.posts.pop_back();
    }
    return htmlPage(200, renderBoard(view));
}

http::Response Handlers::post(const Call& call) {
    const Form& form = call.form;
    for (const FieldLimit& limit : kFieldLimits) {
        if (utf8Length(form.get(limit.key)) > limit.maxChars)
            return errorPage(400,
                             std::string(limit.label) + "が長すぎます（" +
                                 std::to_string(limit.maxChars) + "文字まで）。",
                             call.board);
    }
    if (isBlank(form.get("name")))
        return errorPage(400, "お名前が入力されていません。", call.board);
    if (isBlank(form.get("comment")))
        return errorPage(400, "コメントが入力されていません。", call.board);
    NewPost post;
    post.board = call.board;
    post.name = form.get("name");
    post.email = form.get("email");
    post.subject = form.get("sub");
    post.comment = form.get("comment");
    post.url = form.get("url");
    post.password = form.get("pwd");
    const Added added = store_.add(post, static_cast<std::int64_t>(std::time(nullptr)));
    logLine("post " + std::string(boardName(call.board)) + " " + no(added.id) + " from " +
            call.client + ": " + (added.duplicate ? "duplicate, stored once" : "stored"));
    // Post, then a redirect to a page of its own: reloading that page shows the post again
    // without posting it again.
    http::Response response = htmlPage(303, {});
    response.headers.push_back(
        {"Location", std::string(boardPath(call.board)) + "?posted=" + std::to_string(added.id)});
    return response;
}

http::Response Handlers::erase(const Call& call, DeleteResult& result) {
    const std::int64_t id = parsePositive(call.form.get("no"), INT64_MAX);
    result = DeleteResult::NotFound;
    if (id == 0)
        return errorPage(400, "削除する投稿の番号が正しくありません。", call.board);
    const bool byOperator = isOperatorKey(call.form.get("pwd"));
    result = byOperator ? store_.removeAsOperator(call.board, id)
                        : store_.remove(call.board, id, call.form.get("pwd"));
    int status = 200;
    std::string notice, outcome;
    switch (result) {
    case DeleteResult::Deleted:
        notice = no(id) + " を削除しました。";
        outcome = byOperator ? "deleted with the operator key" : "deleted";
        break;
    case DeleteResult::WrongPassword:
        status = 403;
        notice = "パスワードが違うため、" + no(id) + " は削除していません。";
        outcome = "refused, wrong password";
        break;
    case DeleteResult::NoPassword:
        status = 403;
        notice = no(id) + " には削除用パスワードがないため、削除できません。";
        outcome = "refused, the post has no password";
        break;
    case DeleteResult::NotFound:
        status = 404;
        notice = no(id) + " の投稿はありません。";
        outcome = "not found";
        break;
    }
    logLine("delete " + std::string(boardName(call.board)) + " " + no(id) + " from " + call.client +
            ": " + outcome);
    BoardView view;
    view.board = call.board;
    view.posts = store_.page(call.board, 0, kPageSize + 1);
    if (static_cast<std::int64_t>(view.posts.size()) > kPageSize) {
        view.hasNextPage = true;
        view.posts.pop_back();
    }
    view.notice = std::move(notice);
    view.noticeIsError = status != 200;
    return htmlPage(status, renderBoard(view));
}

http::Response Handlers::ranking(const Call&) {
    std::vector<std::pair<int, std::vector<RankEntry>>> bySeconds;
    for (int seconds : kRankingSeconds)
        bySeconds.emplace_back(seconds, store_.ranking(seconds, kRankingLength));
    return htmlPage(200, renderRanking(bySeconds));
}

} // namespace board
