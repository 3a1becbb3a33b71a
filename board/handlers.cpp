// SPDX-License-Identifier: MIT
#include "board/handlers.h"

#include "board/page.h"
#include "board/password.h"

#include <algorithm>
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

// The next code point of valid UTF-8 (the form decoder lets no other text through).
char32_t nextCodePoint(std::string_view& text) {
    const auto b0 = static_cast<unsigned char>(text.front());
    const std::size_t len = b0 < 0x80 ? 1 : b0 < 0xe0 ? 2 : b0 < 0xf0 ? 3 : 4;
    char32_t cp = len == 1 ? b0 : b0 & (0x3f >> (len - 1));
    for (std::size_t i = 1; i < len && i < text.size(); ++i)
        cp = (cp << 6) | (static_cast<unsigned char>(text[i]) & 0x3f);
    text.remove_prefix(std::min(len, text.size()));
    return cp;
}

// Characters that show as nothing, or as a blank: a name of them is no name.
bool isInvisible(char32_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0xa0 || c == 0xad ||
           c == 0x34f || c == 0x61c || c == 0x115f || c == 0x1160 || c == 0x17b4 || c == 0x17b5 ||
           c == 0x180e || (c >= 0x2000 && c <= 0x200f) || c == 0x202f ||
           (c >= 0x205f && c <= 0x206f) || c == 0x2800 || c == 0x3000 || c == 0x3164 ||
           c == 0xfeff || c == 0xffa0 || (c >= 0xfe00 && c <= 0xfe0f);
}

// Embeddings, overrides and isolates: one left open in a field would reorder what follows it
// on the page, other players' posts included.
bool isBidiControl(char32_t c) {
    return (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
}

bool isBlank(std::string_view text) {
    while (!text.empty())
        if (!isInvisible(nextCodePoint(text)))
            return false;
    return true;
}

bool hasBidiControl(std::string_view text) {
    while (!text.empty())
        if (isBidiControl(nextCodePoint(text)))
            return true;
    return false;
}

std::string no(std::int64_t id) {
    return "No." + std::to_string(id);
}

} // namespace

std::optional<std::int64_t> parsePostNumber(std::string_view text) {
    if (text.empty() || text.size() > 18 || text.front() == '0' ||
        text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    return std::stoll(std::string(text));
}

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
    if (const std::string& deleted = call.form.get("deleted"); !deleted.empty()) {
        if (std::int64_t id = parsePositive(deleted, INT64_MAX))
            view.notice = no(id) + " を削除しました。";
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
        if (hasBidiControl(form.get(limit.key)))
            return errorPage(400,
                             std::string(limit.label) +
                                 "に文字の並ぶ向きを変える制御文字（U+202A〜U+202E、U+2066〜"
                                 "U+2069）が含まれています。",
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
    if (added.full) {
        logLine("post " + std::string(boardName(call.board)) + " from " + call.client +
                ": refused, the board holds its most posts (--max-posts)");
        return errorPage(503,
                         "掲示板の投稿数が上限に達したため、新しい投稿を受け付けていません。"
                         "掲示板の管理者にお知らせください。",
                         call.board);
    }
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
    const std::int64_t id = call.no;
    const bool byOperator = isOperatorKey(call.form.get("pwd"));
    result = byOperator ? store_.removeAsOperator(call.board, id)
                        : store_.remove(call.board, id, call.form.get("pwd"));
    int status = 200;
    std::string notice, outcome;
    switch (result) {
    case DeleteResult::Deleted:
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
    if (result == DeleteResult::Deleted) {
        // As after a post: reloading the page it lands on sends the form no second time.
        http::Response response = htmlPage(303, {});
        response.headers.push_back(
            {"Location", std::string(boardPath(call.board)) + "?deleted=" + std::to_string(id)});
        return response;
    }
    BoardView view;
    view.board = call.board;
    view.posts = store_.page(call.board, 0, kPageSize + 1);
    if (static_cast<std::int64_t>(view.posts.size()) > kPageSize) {
        view.hasNextPage = true;
        view.posts.pop_back();
    }
    view.notice = std::move(notice);
    view.noticeIsError = true;
    return htmlPage(status, renderBoard(view));
}

http::Response Handlers::ranking(const Call&) {
    std::vector<std::pair<int, std::vector<RankEntry>>> bySeconds;
    for (int seconds : kRankingSeconds)
        bySeconds.emplace_back(seconds, store_.ranking(seconds, kRankingLength));
    return htmlPage(200, renderRanking(bySeconds));
}

} // namespace board
