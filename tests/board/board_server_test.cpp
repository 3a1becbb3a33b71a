// SPDX-License-Identifier: MIT
// The real ponpira-board on 127.0.0.1, driven as a browser, a script and an attacker would.

#include "board/store.h"
#include "boardprocess.h"

#include <arpa/inet.h>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

const std::string kMain = "/home/velmora/cgi-bin/aska/aska.cgi";
const std::string kDemo = "/home/velmora/cgi-bin/aska/demoaska.cgi";

bool has(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

// A result post, its keys in the game's order and every byte but letters, digits and "-._~"
// escaped, as the game sends it.
std::string regist(const std::string& board, std::string_view name, std::string_view comment,
                   std::string_view pwd = "") {
    std::string target = board + "?mode=regist";
    const std::pair<std::string, std::string_view> fields[] = {
        {"name", name}, {"sub", "結果"}, {"comment", comment}, {"pwd", pwd}};
    char escaped[4];
    for (const auto& [key, value] : fields) {
        target += "&" + key + "=";
        for (unsigned char c : value) {
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            target += std::isalnum(c) || (c && std::strchr("-._~", c)) ? std::string(1, char(c))
                                                                       : escaped;
        }
    }
    return target + "&cook=on";
}

// Sends the bytes on one connection and reads until the server closes it (10 s at most):
// what came back, and whether the server closed the connection.
std::pair<std::string, bool> exchange(int port, const std::string& bytes) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{AF_INET, htons(static_cast<uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
    timeval wait{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    std::string out;
    ssize_t n = -1;
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 &&
        send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size()))
        for (char buffer[65536]; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
            out.append(buffer, std::size_t(n));
    close(fd);
    return {out, n == 0};
}

const std::string kForm = "Content-Type: application/x-www-form-urlencoded\r\n";

// Requests that ask the board to close the connection after its answer.
std::string get(const std::string& target, const std::string& headers = "") {
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + headers +
           "\r\n";
}
std::string post(const std::string& board, const std::string& form,
                 const std::string& headers = "") {
    return "POST " + board + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + kForm +
           "Content-Length: " + std::to_string(form.size()) + "\r\n" + headers + "\r\n" + form;
}

// Each test has its own database and server, so tests can run side by side.
class BoardTest : public ::testing::Test {
  protected:
    ~BoardTest() override {
        server.reset();
        fs::remove_all(dir);
    }
    // No rate limit unless a test asks for one: tests post faster than any player.
    void start(const std::string& options) {
        server.reset();
        server = std::make_unique<BoardProcess>(
            PONPIRA_BOARD_EXE, "--db=" + db.string() + " --posts-per-minute=0 " + options);
    }
    void SetUp() override { start(""); }
    std::string send(const std::string& request) { return exchange(server->port(), request).first; }
    // "HTTP/1.1 " and the status of the answer.
    std::string status(const std::string& request) { return send(request).substr(0, 12); }
    std::vector<board::Post> stored() {
        return board::Store(db.string(), board::Store::Mode::ReadOnly).all();
    }
    // A post is answered with a redirect to the board page that shows it.
    void ok(const std::string& target) {
        const std::string r = send(get(target));
        EXPECT_TRUE(r.starts_with("HTTP/1.1 303") &&
                    has(r, "Location: " + target.substr(0, target.find('?'))))
            << target << "\n"
            << r;
    }

    fs::path dir = [] {
        std::string pattern = fs::temp_directory_path() / "ponpira-board-XXXXXX";
        return fs::path(mkdtemp(pattern.data()));
    }();
    fs::path db = dir / "board.sqlite3";
    std::unique_ptr<BoardProcess> server;
};

} // namespace

// A result reaches the database, only its own board shows it, reloading the page it lands on
// posts nothing more, and the ranking reads the result from the comment.
TEST_F(BoardTest, postsAreStoredShownAndRanked) {
    ok(regist(kMain, "<b>たろう</b> & はなこ", "私は10秒で85回クリックできました。\"<i>\"", "pw"));
    for (int reload = 0; reload < 2; ++reload)
        EXPECT_TRUE(has(send(get(kMain + "?posted=1")), "No.1 として投稿しました。"));
    ok(regist(kDemo, "デモさん", "私は10秒で125回クリックできました。"));
    // Trick wording is left out even where the figures look possible (a link made by hand).
    ok(regist(kMain, "はやい", "私は裏技を使って20秒で150回クリックできました。"));
    ok(regist(kMain, "じろう", "私は20秒で201回クリックできました。"));
    const auto posts = stored();
    ASSERT_EQ(posts.size(), 4u);
    EXPECT_EQ(posts[0].name + posts[0].subject + posts[0].comment,
              "<b>たろう</b> & はなこ結果私は10秒で85回クリックできました。\"<i>\"");
    EXPECT_TRUE(posts[0].hasPassword && posts[1].board == board::Board::Demo);

    const std::string mainPage = send(get(kMain)), demoPage = send(get(kDemo));
    EXPECT_TRUE(has(mainPage, "&lt;b&gt;たろう&lt;/b&gt; &amp; はなこ") &&
                !has(mainPage, "デモさん"));
    EXPECT_TRUE(has(mainPage, "&quot;&lt;i&gt;&quot;") && !has(mainPage, "<b>"));
    EXPECT_TRUE(has(demoPage, "デモさん") && !has(demoPage, "はなこ"));
    EXPECT_TRUE(has(mainPage, "href=\"" + kMain + "?mode=ranking\">ランキング</a>"));

    // The demo and the trick are left out; each length has its own table.
    const std::string ranking = send(get(kMain + "?mode=ranking"));
    EXPECT_TRUE(
        has(ranking, "<td>&lt;b&gt;たろう&lt;/b&gt; &amp; はなこ</td><td>85</td><td>8.50</td>"));
    EXPECT_TRUE(has(ranking, "<td>じろう</td><td>201</td><td>10.05</td>"));
    EXPECT_FALSE(has(ranking, "デモさん") || has(ranking, "はやい"));
    EXPECT_LT(ranking.find("10秒"), ranking.find("たろう"));
    EXPECT_LT(ranking.find("20秒"), ranking.find("じろう"));
}

// Each request in turn and its answer. A refusal says why in Japanese and stores nothing;
// another site's page cannot post or delete through the player's browser, nor read the board
// under its own name. Framing that a proxy in front could read another way closes the
// connection, so no request can hide in another. A deletion needs the post's own password on
// its own board, or the operator's key; wrong passwords lock the post for a while.
TEST_F(BoardTest, requestsAreAnsweredOrRefused) {
    const std::string key = "operator-key-0123456789";
    { std::ofstream(dir / "key") << key << "\n"; }
    start("--delete-attempts=2 --operator-key-file=" + (dir / "key").string());
    for (const char* name : {"keep", "gone", "nopw", "locked", "byop"})
        ok(regist(kMain, name, name, std::string_view(name) == "nopw" ? "" : "hunter2"));
    ok(regist(kDemo, "demo", "demo", "ひみつ"));

    const std::string bad = kMain + "?mode=regist&comment=x&name=", host = "Host: 127.0.0.1\r\n";
    const std::string crossSite = "Sec-Fetch-Site: cross-site\r\n", del = "mode=delete&no=";
    const std::string smuggled =
        "GET " + regist(kMain, "smuggled", "x") + " HTTP/1.1\r\n" + host + "\r\n";
    const std::string chunk = "2000\r\n" + std::string(8192, 'a') + "\r\n";
    std::string ranges = "Range: bytes=0-0";
    for (int i = 0; i < 1000; ++i)
        ranges += ",0-0";
    const struct {
        std::string request;
        const char* status;
        const char* says = "";
    } cases[] = {
        {get(regist(kMain, " \t　", "私は10秒で85回")), "400", "お名前が入力されていません。"},
        {get(regist(kMain, "たろう", "")), "400", "コメントが入力されていません。"},
        {get(bad + "%%41"), "400", "書式が正しくありません"},
        {get(bad + "%E3%81%82%82%A0"), "400", "送信された文字を読み取れません"},
        {get(bad + "%1B%5B2J"), "400", "制御文字"},
        {get(kMain + "?mode=admin&name=a&comment=b"), "400", "この掲示板では行えない操作です。"},
        {get(kMain + "?mode=delete&no=1&pwd=hunter2"), "405", "削除フォーム"},
        {get("/home/velmora/cgi-bin/aska/aska_cgi"), "404", "ページが見つかりません。"},
        {get(regist(kMain, "x", "y"), crossSite), "403", "ほかのサイトのページから"},
        {"GET " + regist(kMain, "x", "y") + " HTTP/1.1\r\nHost: rebound.example:8931\r\n\r\n",
         "421", "このホスト名"},
        {post(kMain, del + "1&pwd=hunter2", crossSite), "403"},
        {post(kMain, del + "1&pwd=hunter2", "Origin: http://evil.example\r\n"), "403"},
        {"HEAD " + regist(kMain, "h", "h") + " HTTP/1.1\r\n" + host + "\r\n", "405"},
        // A post the board would take if it read the chunks and let the length go.
        {"POST " + kMain + " HTTP/1.1\r\n" + host + kForm + "Content-Length: 5\r\n" +
             "Transfer-Encoding: chunked\r\n\r\n1e\r\nmode=regist&name=cl&comment=te\r\n" +
             "0\r\n\r\n" + smuggled,
         "400"},
        {"POST " + kMain + " HTTP/1.1\r\n" + host +
             "Content-Length: 0\r\nContent-Length: 2\r\n\r\n" + smuggled,
         "400"},
        {"POST " + kMain + " HTTP/1.1\r\n" + host + "Content-Length: 0x0\r\n\r\n" + smuggled,
         "400"},
        {"POST " + kMain + " HTTP/1.1\r\n" + host +
             "Transfer-Encoding: gzip, chunked\r\n\r\n0\r\n\r\n" + smuggled,
         "400"},
        {"GET " + kMain + " HTTP/1.1\r\n\r\n" + smuggled, "400"},
        {"GET " + kMain + "?page=%zz HTTP/1.1\r\n" + host + "\r\n" + smuggled, "400"},
        {"POST " + kMain + " HTTP/1.1\r\n" + host + kForm + "Transfer-Encoding: chunked\r\n\r\n" +
             chunk + chunk + "0\r\n\r\n" + smuggled,
         "413"},
        {get(kMain, ranges + "\r\n"), "200"}, // never a multiplied answer
        {post(kMain, del + "2&pwd=Hunter2"), "403",
         "パスワードが違うため、No.2 は削除していません。"},
        {post(kMain, del + "3&pwd="), "403", "削除用パスワードがないため"},
        {post(kMain, del + "6&pwd=%E3%81%B2%E3%81%BF%E3%81%A4"), "404",
         "No.6 の投稿はありません。"},
        // The board's own form, and a script that says nothing of where it comes from, may delete.
        {post(kMain, del + "2&pwd=hunter2", "Sec-Fetch-Site: same-origin\r\n"), "200",
         "No.2 を削除しました。"},
        {post(kMain, del + "4&pwd=x"), "403", "パスワードが違う"},
        {post(kMain, del + "4&pwd=y"), "403", "パスワードが違う"},
        {post(kMain, del + "4&pwd=hunter2"), "429", "しばらく削除できません"},
        {post(kMain, del + "5&pwd=" + key), "200", "No.5 を削除しました。"},
        // Code page 932 matches the same password sent in UTF-8.
        {post(kDemo, del + "6&pwd=%82%D0%82%DD%82%C2"), "200", "No.6 を削除しました。"},
    };
    for (const auto& c : cases) {
        auto [answer, closed] = exchange(server->port(), c.request);
        EXPECT_EQ(answer.substr(0, 12), std::string("HTTP/1.1 ") + c.status)
            << c.request.substr(0, 200);
        EXPECT_TRUE(closed && has(answer, c.says)) << c.request.substr(0, 200) << "\n" << answer;
        EXPECT_TRUE(!*c.says || has(answer, "Cross-Origin-Resource-Policy: same-origin"));
    }
    std::string names;
    for (const board::Post& p : stored())
        names += p.name + " ";
    EXPECT_EQ(names, "keep nopw locked ");
}

// Every field has a limit in characters, the one the game checks before it opens anything, and
// the request line and the body one in bytes.
TEST_F(BoardTest, fieldsAndRequestsAreBounded) {
    const struct {
        const char* key;
        const char* label;
        std::size_t max;
    } fields[] = {{"name", "お名前", 40}, {"email", "E-mail", 100},
                  {"sub", "題名", 40},    {"comment", "コメント", 500},
                  {"url", "URL", 200},    {"pwd", "削除用パスワード", 32}};
    // Japanese characters, so that characters and not bytes are counted.
    for (const auto& [key, label, max] : fields) {
        std::string value;
        while (value.size() < 9 * max)
            value += "%E3%81%82";
        const std::string target = kMain + "?mode=regist&" + key + "=" + value;
        ok(target + "&name=n&comment=c");
        const std::string r = send(get(target + "%E3%81%82&name=n&comment=c"));
        EXPECT_TRUE(
            r.starts_with("HTTP/1.1 400") &&
            has(r, std::string(label) + "が長すぎます（" + std::to_string(max) + "文字まで）。"))
            << key;
    }
    // "GET " + target + " HTTP/1.1" + CRLF may be 8192 bytes at most.
    const std::string head = kMain + "?mode=regist&name=a&comment=";
    EXPECT_EQ(status(get(head + std::string(8192 - 4 - head.size() - 10, 'x'))), "HTTP/1.1 414");
    EXPECT_EQ(status(post(kMain, "mode=delete&no=1&pwd=" + std::string(9000, 'x'))),
              "HTTP/1.1 413");
    EXPECT_EQ(stored().size(), 6u);
}

// Posting is rationed per client, the same post sent twice at once is stored once, and the
// board keeps its newest posts only.
TEST_F(BoardTest, abuseIsBounded) {
    start("--posts-per-minute=4 --max-posts=2");
    for (int i = 0; i < 2; ++i)
        ok(regist(kMain, "same", "私は10秒で85回クリックできました。"));
    ok(regist(kMain, "b", "2"));
    ok(regist(kMain, "c", "3"));
    // The address a client names itself counts for nothing without a trusted proxy.
    const std::string r = send(get(regist(kMain, "d", "4"), "X-Forwarded-For: 192.0.2.9\r\n"));
    EXPECT_TRUE(r.starts_with("HTTP/1.1 429") && has(r, "投稿が多すぎます"));
    const auto posts = stored();
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[0].name + posts[1].name, "bc");
    // Behind a proxy only a proxy given as trusted names the client.
    start("--posts-per-minute=1 --trusted-proxy=127.0.0.1");
    for (std::string client : {"192.0.2.1", "192.0.2.2"})
        EXPECT_EQ(status(get(regist(kMain, client, "x"), "X-Forwarded-For: " + client + "\r\n")),
                  "HTTP/1.1 303");
    EXPECT_EQ(status(get(regist(kMain, "again", "x"), "X-Forwarded-For: 192.0.2.1\r\n")),
              "HTTP/1.1 429");
    // Left idle, it ends by itself, cleanly.
    start("--idle-exit=1");
    EXPECT_EQ(server->stop(0), 0);
}
