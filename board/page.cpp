// SPDX-License-Identifier: MIT
#include "board/page.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace board {

std::string_view boardPath(Board board) {
    return board == Board::Demo ? kDemoPath : kMainPath;
}

std::string htmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

bool hasSpaceOrControl(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f)
            return true;
    return false;
}

std::string formatTime(std::int64_t seconds) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y/%m/%d %H:%M:%S", &tm);
    return buf;
}

constexpr std::string_view kStyle =
    "body{font-family:sans-serif;max-width:48em;margin:1em auto;padding:0 1em;color:#222}"
    "h1{font-size:1.4em}nav{margin:1em 0}.post{border-top:1px solid #ccc;padding:.5em 0}"
    ".post h2{font-size:1.1em;margin:.2em 0}.meta{color:#555;font-size:.9em}"
    ".comment{white-space:pre-wrap;overflow-wrap:anywhere}.notice{padding:.5em;background:#e8f4e8}"
    ".notice.error{background:#f8e0e0}form.delete{font-size:.85em;text-align:right}"
    "table{border-collapse:collapse;width:100%}th,td{border:1px solid #ccc;padding:.2em .4em}"
    "th{white-space:nowrap}td.n{text-align:right;font-variant-numeric:tabular-nums}"
    // Fixed columns, so that the three tables of the ranking line up; the name takes the rest.
    ".rank{table-layout:fixed;font-size:.9em}.rank th{width:2.6em}.rank th:nth-child(2){width:auto}"
    ".rank th:nth-child(4){width:4.6em}.rank th:nth-child(5){width:5.8em}";

void head(std::string& out, std::string_view title) {
    out += "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"UTF-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
    out += title;
    out += "</title>\n<style>";
    out += kStyle;
    out += "</style>\n</head>\n<body>\n";
}

void renderPost(std::string& out, const Post& post, std::string_view path) {
    const std::string id = std::to_string(post.id);
    out += "<article class=\"post\" id=\"p" + id + "\">\n<h2>[" + id + "] ";
    out += post.subject.empty() ? std::string("無題") : htmlEscape(post.subject);
    out += "</h2>\n<p class=\"meta\">投稿者：";
    if (looksLikeEmail(post.email))
        out +=
            "<a href=\"mailto:" + htmlEscape(post.email) + "\">" + htmlEscape(post.name) + "</a>";
    else
        out += htmlEscape(post.name);
    out += "　投稿日：" + formatTime(post.postedAt);
    // Not noreferrer: other sites get no Referer anyway (the board's Referrer-Policy), and a
    // HOME link that comes back to the board, through a redirect elsewhere, must bring the
    // board's page as its Referer, which no post from the game has.
    if (isWebUrl(post.url))
        out += "　<a href=\"" + htmlEscape(post.url) + "\" rel=\"nofollow noopener\">HOME</a>";
    out += "</p>\n<p class=\"comment\">" + htmlEscape(post.comment) + "</p>\n";
    out += "<form class=\"delete\" method=\"post\" action=\"";
    out += path;
    out += "\"><input type=\"hidden\" name=\"mode\" value=\"delete\">"
           "<input type=\"hidden\" name=\"no\" value=\"" +
           id +
           "\"><label>削除用パスワード <input type=\"password\" name=\"pwd\" "
           "autocomplete=\"off\"></label> <button type=\"submit\">削除</button></form>\n"
           "</article>\n";
}

} // namespace

bool isWebUrl(std::string_view url) {
    std::size_t schemeLength = startsWithNoCase(url, "http://")    ? 7
                               : startsWithNoCase(url, "https://") ? 8
                                                                   : 0;
    // A link to a board script could make whoever clicks it post: that address stays text.
    return schemeLength != 0 && url.size() > schemeLength && !hasSpaceOrControl(url) &&
           url.find("aska.cgi") == std::string_view::npos;
}

bool looksLikeEmail(std::string_view email) {
    std::size_t at = email.find('@');
    return at != std::string_view::npos && at > 0 && at + 1 < email.size() &&
           email.find('@', at + 1) == std::string_view::npos && !hasSpaceOrControl(email) &&
           email.find_first_of("<>\"'?&:/\\") == std::string_view::npos;
}

std::string renderBoard(const BoardView& view) {
    const bool demo = view.board == Board::Demo;
    const std::string_view path = boardPath(view.board);
    std::string out;
    out.reserve(4096 + view.posts.size() * 1024);
    head(out, demo ? "ポンピラ デモ掲示板" : "ポンピラ 掲示板");
    out += demo ? "<h1>ポンピラ デモ掲示板</h1>\n" : "<h1>ポンピラ 掲示板</h1>\n";
    out += "<p><a href=\"";
    out += boardPath(demo ? Board::Main : Board::Demo);
    out += demo ? "\">掲示板へ</a>" : "\">デモ掲示板へ</a>";
    out += "　<a href=\"";
    out += kRankingTarget;
    out += "\">ランキング</a></p>\n";
    if (!view.notice.empty())
        out += std::string("<p class=\"notice") + (view.noticeIsError ? " error" : "") +
               "\" role=\"status\">" + htmlEscape(view.notice) + "</p>\n";
    if (view.posts.empty())
        out += "<p>投稿はまだありません。</p>\n";
    for (const Post& post : view.posts)
        renderPost(out, post, path);
    if (view.page > 1 || view.hasNextPage) {
        out += "<nav>";
        if (view.page > 1)
            out += "<a href=\"" + std::string(path) + "?page=" + std::to_string(view.page - 1) +
                   "\">← 新しい投稿</a> ";
        if (view.hasNextPage)
            out += "<a href=\"" + std::string(path) + "?page=" + std::to_string(view.page + 1) +
                   "\">古い投稿 →</a>";
        out += "</nav>\n";
    }
    out += "</body>\n</html>\n";
    return out;
}

std::string renderRanking(const std::vector<std::pair<int, std::vector<RankEntry>>>& bySeconds) {
    std::string out;
    head(out, "ランキング - ポンピラ 掲示板");
    out += "<h1>ランキング</h1>\n<p><a href=\"";
    out += kMainPath;
    out += "\">掲示板に戻る</a></p>\n";
    for (const auto& [seconds, entries] : bySeconds) {
        const std::string length = std::to_string(seconds) + "秒";
        out += "<h2>" + length + "</h2>\n";
        if (entries.empty()) {
            out += "<p>まだ記録はありません。</p>\n";
            continue;
        }
        out += "<table "
               "class=\"rank\">\n<tr><th>順位</th><th>お名前</th><th>回数</th><th>1秒あたり</th>"
               "<th>投稿日</th></tr>\n";
        int rank = 0;
        for (const RankEntry& entry : entries) {
            // Hundredths of a click per second, rounded, in integers: no locale in the way.
            const long hundredths = std::lround(entry.clicks * 100.0 / entry.seconds);
            char rate[32];
            std::snprintf(rate, sizeof rate, "%ld.%02ld", hundredths / 100, hundredths % 100);
            out += "<tr><td class=\"n\">" + std::to_string(++rank) + "</td><td>" +
                   htmlEscape(entry.name) + "</td><td class=\"n\">" + std::to_string(entry.clicks) +
                   "</td><td class=\"n\">" + rate + "</td><td>" + formatTime(entry.postedAt) +
                   "</td></tr>\n";
        }
        out += "</table>\n";
    }
    out += "<p class=\"meta\">掲示板に投稿されたゲームの結果を数えています。"
           "デモ掲示板の投稿と、裏技を使った結果（1秒に20回を超えるもの）は入りません。</p>\n"
           "</body>\n</html>\n";
    return out;
}

std::string renderError(std::string_view message, std::string_view backPath) {
    std::string out;
    head(out, "エラー - ポンピラ 掲示板");
    out += "<h1>エラー</h1>\n<p class=\"notice error\" role=\"alert\">" + htmlEscape(message) +
           "</p>\n<p><a href=\"" + htmlEscape(backPath) + "\">掲示板に戻る</a></p>\n" +
           "</body>\n</html>\n";
    return out;
}

} // namespace board
