// SPDX-License-Identifier: MIT
// The real ponpira-board on 127.0.0.1, driven as a browser, a script and an attacker would.

#include "board/password.h"

#include <httplib.h>
#include <sqlite3.h>

#include <arpa/inet.h>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

const std::string kMain = "/home/velmora/cgi-bin/aska/aska.cgi";
const std::string kDemo = "/home/velmora/cgi-bin/aska/demoaska.cgi";

bool has(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

// Percent-encodes every byte but letters, digits and "-._~", as the game does.
std::string encode(std::string_view text) {
    std::string out;
    char escaped[4];
    for (unsigned char c : text) {
        std::snprintf(escaped, sizeof escaped, "%%%02X", c);
        out += std::isalnum(c) || (c && std::strchr("-._~", c)) ? std::string(1, char(c)) : escaped;
    }
    return out;
}

// The query of a result post, with the keys in the game's order.
std::string regist(const std::string& board, std::string_view name, std::string_view comment,
                   std::string_view pwd = "", std::string_view email = "",
                   std::string_view url = "") {
    return board + "?mode=regist&name=" + encode(name) + "&email=" + encode(email) +
           "&sub=%E7%B5%90%E6%9E%9C&comment=" + encode(comment) + "&url=" + encode(url) +
           "&pwd=" + encode(pwd) + "&cook=on";
}

// One request on a fresh connection; the targets are already encoded, byte by byte.
httplib::Response request(int port, const std::string& target, const std::string* form = nullptr,
                          const httplib::Headers& headers = {}) {
    httplib::Client client("127.0.0.1", port);
    client.set_url_encode(false);
    client.set_read_timeout(30);
    auto r = form ? client.Post(target, headers, *form, "application/x-www-form-urlencoded")
                  : client.Get(target, headers);
    return r ? *r : httplib::Response{};
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

// The posts as the database file holds them.
struct Stored {
    std::int64_t id;
    std::string board, name, email, subject, comment, url, method;
    bool operator==(const Stored&) const = default;
};

std::vector<Stored> readPosts(const fs::path& db) {
    std::vector<Stored> posts;
    auto row = [](void* out, int, char** v, char**) {
        static_cast<std::vector<Stored>*>(out)->push_back(
            {std::atoll(v[0]), v[1], v[2], v[3], v[4], v[5], v[6], v[7] ? v[7] : ""});
        return 0;
    };
    sqlite3* handle = nullptr;
    sqlite3_open(db.c_str(), &handle);
    sqlite3_busy_timeout(handle, 10000);
    if (sqlite3_exec(handle,
                     "SELECT id, board, name, email, subject, comment, url, pwd_method "
                     "FROM posts ORDER BY id",
                     row, &posts, nullptr) != SQLITE_OK)
        ADD_FAILURE() << "cannot read " << db << ": " << sqlite3_errmsg(handle);
    sqlite3_close(handle);
    return posts;
}

// ponpira-board serving a database on a free port of 127.0.0.1 until it is stopped.
class Board {
  public:
    // The shell prints its process number, which the board keeps when the shell becomes it.
    Board(const fs::path& db, const std::string& options)
        : out_(popen(
              ("echo $$; exec " PONPIRA_BOARD_EXE " --port=0 --db=" + db.string() + " " + options)
                  .c_str(),
              "r")) {
        if (!out_ ||
            std::fscanf(out_, "%d listening on http://127.0.0.1:%d/", &pid_, &port_) != 2) {
            stop(SIGKILL);
            throw std::runtime_error("ponpira-board did not start");
        }
    }
    ~Board() { stop(); }
    // Sends the signal (none: waits for the board to end by itself): the exit status, or -1
    // if a signal ended it.
    int stop(int signal = SIGTERM) {
        if (!out_)
            return -1;
        if (pid_ > 0 && signal)
            kill(pid_, signal);
        const int status = pclose(std::exchange(out_, nullptr));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int port() const { return port_; }

  private:
    FILE* out_;
    pid_t pid_ = -1;
    int port_ = 0;
};

// Each test has its own database and server, so tests can run side by side. No rate limit
// unless a test asks for one: they post faster than any player.
class BoardTest : public ::testing::Test {
  protected:
    ~BoardTest() override {
        server.reset();
        fs::remove_all(dir);
    }
    void start(const std::string& options) {
        server.reset();
        server = std::make_unique<Board>(db, "--posts-per-minute=0 " + options);
    }
    httplib::Response get(const std::string& target, const httplib::Headers& headers = {}) {
        return request(server->port(), target, nullptr, headers);
    }
    httplib::Response post(const std::string& board, const std::string& form,
                           const httplib::Headers& headers = {}) {
        return request(server->port(), board, &form, headers);
    }
    std::vector<Stored> stored() { return readPosts(db); }
    // A post is answered with a redirect to the board page that shows it.
    void ok(const std::string& target) {
        httplib::Response r = get(target);
        EXPECT_EQ(r.status, 303) << target << "\n" << r.body;
        EXPECT_TRUE(r.get_header_value("Location").starts_with(target.substr(0, target.find('?'))));
    }

    fs::path dir = [] {
        std::string pattern = fs::temp_directory_path() / "ponpira-board-XXXXXX";
        return fs::path(mkdtemp(pattern.data()));
    }();
    fs::path db = dir / "board.sqlite3";
    std::unique_ptr<Board> server = std::make_unique<Board>(db, "--posts-per-minute=0");
};

} // namespace

// A result reaches the database field by field, only its own board shows it, reloading the
// page it lands on posts nothing more, and the ranking reads the result from the comment.
TEST_F(BoardTest, postsAreStoredShownAndRanked) {
    httplib::Response r =
        get(regist(kMain, "<b>たろう</b> & はなこ", "私は10秒で85回クリックできました。\"<i>\"",
                   "pw", "taro@example.jp", "http://example.jp/~taro/"));
    ASSERT_EQ(r.status, 303);
    const std::string landing = r.get_header_value("Location");
    for (int reload = 0; reload < 2; ++reload)
        EXPECT_TRUE(has(get(landing).body, "No.1 として投稿しました。"));
    ok(regist(kDemo, "デモさん", "私は10秒で125回クリックできました。"));
    // Trick wording is left out even where the figures look possible (a link made by hand).
    ok(regist(kMain, "はやい", "私は裏技を使って20秒で150回クリックできました。"));
    ok(regist(kMain, "じろう", "私は20秒で201回クリックできました。"));
    const auto posts = stored();
    ASSERT_EQ(posts.size(), 4u);
    EXPECT_EQ(posts[0], (Stored{1, "main", "<b>たろう</b> & はなこ", "taro@example.jp", "結果",
                                "私は10秒で85回クリックできました。\"<i>\"",
                                "http://example.jp/~taro/", "pbkdf2-sha256$100000"}));
    EXPECT_EQ(posts[1].board, "demo");

    const std::string mainPage = get(kMain).body, demoPage = get(kDemo).body;
    EXPECT_TRUE(has(mainPage, "&lt;b&gt;たろう&lt;/b&gt; &amp; はなこ") &&
                !has(mainPage, "デモさん"));
    EXPECT_TRUE(has(mainPage, "&quot;&lt;i&gt;&quot;") && !has(mainPage, "<b>"));
    EXPECT_TRUE(has(demoPage, "デモさん") && !has(demoPage, "はなこ"));
    EXPECT_TRUE(has(mainPage, "href=\"" + kMain + "?mode=ranking\">ランキング</a>"));

    // The demo and the trick are left out; each length has its own table.
    const std::string ranking = get(kMain + "?mode=ranking").body;
    EXPECT_TRUE(
        has(ranking, "<td>&lt;b&gt;たろう&lt;/b&gt; &amp; はなこ</td><td>85</td><td>8.50</td>"));
    EXPECT_TRUE(has(ranking, "<td>じろう</td><td>201</td><td>10.05</td>"));
    EXPECT_FALSE(has(ranking, "デモさん") || has(ranking, "はやい"));
    EXPECT_LT(ranking.find("10秒"), ranking.find("たろう"));
    EXPECT_LT(ranking.find("20秒"), ranking.find("じろう"));
}

// Whatever the request, a refusal says why in Japanese and stores nothing; another site's page
// cannot post or delete through the player's browser, nor read the board under its own name.
TEST_F(BoardTest, refusedRequestsStoreNothing) {
    const std::string bad = kMain + "?mode=regist&comment=x&name=";
    const httplib::Headers crossSite{{"Sec-Fetch-Site", "cross-site"}};
    const struct {
        std::string target;
        httplib::Headers headers;
        int status;
        const char* message;
    } cases[] = {
        {regist(kMain, " \t　", "私は10秒で85回"), {}, 400, "お名前が入力されていません。"},
        {regist(kMain, "たろう", ""), {}, 400, "コメントが入力されていません。"},
        {bad + "%%41", {}, 400, "書式が正しくありません"},
        {bad + "%E3%81%82%82%A0", {}, 400, "送信された文字を読み取れません"},
        {bad + "%1B%5B2J", {}, 400, "制御文字"},
        {kMain + "?mode=admin&name=a&comment=b", {}, 400, "この掲示板では行えない操作です。"},
        {kMain + "?mode=delete&no=1&pwd=pw", {}, 405, "削除フォーム"},
        {"/home/velmora/cgi-bin/aska/aska_cgi", {}, 404, "ページが見つかりません。"},
        {regist(kMain, "x", "y"), crossSite, 403, "ほかのサイトのページから"},
        {regist(kMain, "x", "y"), {{"Host", "rebound.example:8931"}}, 421, "このホスト名"},
    };
    for (const auto& c : cases) {
        httplib::Response r = get(c.target, c.headers);
        EXPECT_EQ(r.status, c.status) << c.target;
        EXPECT_EQ(r.get_header_value("Content-Type"), "text/html; charset=UTF-8") << c.target;
        EXPECT_EQ(r.get_header_value("Cross-Origin-Resource-Policy"), "same-origin");
        EXPECT_TRUE(has(r.body, c.message)) << c.target << "\n" << r.body;
    }
    ok(regist(kMain, "x", "z", "pw"));
    const std::string form = "mode=delete&no=1&pwd=pw";
    EXPECT_EQ(post(kMain, form, crossSite).status, 403);
    EXPECT_EQ(post(kMain, form, {{"Origin", "http://evil.example"}}).status, 403);
    EXPECT_EQ(exchange(server->port(),
                       "HEAD " + regist(kMain, "h", "h") + " HTTP/1.1\r\nHost: localhost\r\n\r\n")
                  .first.substr(0, 12),
              "HTTP/1.1 405");
    EXPECT_EQ(stored().size(), 1u);
    // The board's own form, and a script that says nothing of where it comes from, may delete.
    EXPECT_EQ(post(kMain, form, {{"Sec-Fetch-Site", "same-origin"}}).status, 200);
}

// Framing that a proxy in front could read another way is refused and the connection closed,
// so no second request can hide in a first; a Range header never multiplies the answer.
TEST_F(BoardTest, ambiguousFramingClosesTheConnection) {
    const std::string host = "Host: 127.0.0.1\r\n", form = "Content-Type: "
                                                           "application/x-www-form-urlencoded\r\n";
    const std::string smuggled =
        "GET " + regist(kMain, "smuggled", "x") + " HTTP/1.1\r\n" + host + "\r\n";
    const std::string chunk = "2000\r\n" + std::string(8192, 'a') + "\r\n";
    const struct {
        std::string request;
        const char* status;
    } cases[] = {
        // A post the board would take if it read the chunks and let the length go.
        {"POST " + kMain + " HTTP/1.1\r\n" + host + form + "Content-Length: 5\r\n" +
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
        {"POST " + kMain + " HTTP/1.1\r\n" + host + form + "Transfer-Encoding: chunked\r\n\r\n" +
             chunk + chunk + "0\r\n\r\n" + smuggled,
         "413"},
    };
    for (const auto& c : cases) {
        auto [answer, closed] = exchange(server->port(), c.request);
        EXPECT_EQ(answer.substr(0, 12), std::string("HTTP/1.1 ") + c.status)
            << c.request.substr(0, 200);
        EXPECT_TRUE(closed) << c.request.substr(0, 200);
    }
    std::string ranges = "bytes=0-0";
    for (int i = 0; i < 1000; ++i)
        ranges += ",0-0";
    httplib::Response whole = get(kMain), ranged = get(kMain, {{"Range", ranges}});
    EXPECT_EQ(ranged.status, 200);
    EXPECT_EQ(ranged.body, whole.body);
    EXPECT_TRUE(stored().empty());
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
    for (const auto& f : fields) {
        // Japanese characters, so that characters and not bytes are counted.
        auto target = [&](std::size_t n) {
            std::string t = kMain + "?mode=regist";
            for (std::string key : {"name", "email", "sub", "comment", "url", "pwd"}) {
                std::string value = key == f.key ? "" : key + std::to_string(n);
                while (key == f.key && value.size() < 9 * n)
                    value += "%E3%81%82";
                t += "&" + key + "=" + value;
            }
            return t;
        };
        ok(target(f.max));
        httplib::Response r = get(target(f.max + 1));
        EXPECT_EQ(r.status, 400);
        EXPECT_TRUE(has(r.body, std::string(f.label) + "が長すぎます（" + std::to_string(f.max) +
                                    "文字まで）。"));
    }
    // "GET " + target + " HTTP/1.1" + CRLF may be 8192 bytes at most.
    const std::string head = kMain + "?mode=regist&name=a&comment=";
    EXPECT_EQ(get(head + std::string(8192 - 4 - head.size() - 10, 'x')).status, 414);
    EXPECT_EQ(post(kMain, "mode=delete&no=1&pwd=" + std::string(9000, 'x')).status, 413);
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
    httplib::Response r = get(regist(kMain, "d", "4"), {{"X-Forwarded-For", "192.0.2.9"}});
    EXPECT_EQ(r.status, 429);
    EXPECT_TRUE(has(r.body, "投稿が多すぎます"));
    const auto posts = stored();
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[0].name + posts[1].name, "bc");
    // Behind a proxy only a proxy given as trusted names the client.
    start("--posts-per-minute=1 --trusted-proxy=127.0.0.1");
    for (const char* client : {"192.0.2.1", "192.0.2.2"})
        EXPECT_EQ(get(regist(kMain, client, "x"), {{"X-Forwarded-For", client}}).status, 303);
    EXPECT_EQ(get(regist(kMain, "again", "x"), {{"X-Forwarded-For", "192.0.2.1"}}).status, 429);
}

// A deletion needs the post's own password on its own board, or the operator's key; wrong
// passwords lock the post for a while, even against the right one.
TEST_F(BoardTest, deletionNeedsTheRightPassword) {
    const std::string key = "operator-key-0123456789";
    { std::ofstream(dir / "key") << key << "\n"; }
    start("--delete-attempts=2 --operator-key-file=" + (dir / "key").string());
    for (const char* name : {"keep", "gone", "nopw", "locked", "byop"})
        ok(regist(kMain, name, name, std::string_view(name) == "nopw" ? "" : "hunter2"));
    ok(regist(kDemo, "demo", "demo", "ひみつ"));
    const struct {
        const std::string& board;
        std::string form;
        int status;
        const char* says;
    } steps[] = {
        {kMain, "no=2&pwd=Hunter2", 403, "パスワードが違うため、No.2 は削除していません。"},
        {kMain, "no=3&pwd=", 403, "削除用パスワードがないため"},
        {kMain, "no=6&pwd=%E3%81%B2%E3%81%BF%E3%81%A4", 404, "No.6 の投稿はありません。"},
        {kMain, "no=2&pwd=hunter2", 200, "No.2 を削除しました。"},
        {kMain, "no=4&pwd=x", 403, "パスワードが違う"},
        {kMain, "no=4&pwd=y", 403, "パスワードが違う"},
        {kMain, "no=4&pwd=hunter2", 429, "しばらく削除できません"},
        {kMain, "no=5&pwd=" + key, 200, "No.5 を削除しました。"},
        // Code page 932 matches the same password sent in UTF-8.
        {kDemo, "no=6&pwd=%82%D0%82%DD%82%C2", 200, "No.6 を削除しました。"},
    };
    for (const auto& s : steps) {
        httplib::Response r = post(s.board, "mode=delete&" + s.form);
        EXPECT_EQ(r.status, s.status) << s.form;
        EXPECT_TRUE(has(r.body, s.says)) << s.form << "\n" << r.body;
    }
    std::string names;
    for (const Stored& p : stored())
        names += p.name + " ";
    EXPECT_EQ(names, "keep nopw locked ");
}

// A database of the first board, its keys salted SHA-256, comes up with nothing lost: its
// results are ranked and its keys still delete.
TEST_F(BoardTest, anOldDatabaseIsCarriedOver) {
    server.reset();
    fs::remove(db);
    const std::string salt(16, 's'), hash = board::sha256(salt + "oldpw");
    sqlite3* handle = nullptr;
    sqlite3_open(db.c_str(), &handle);
    sqlite3_exec(handle,
                 "CREATE TABLE posts (id INTEGER PRIMARY KEY AUTOINCREMENT, board TEXT NOT NULL, "
                 "name TEXT NOT NULL, email TEXT NOT NULL, subject TEXT NOT NULL, comment TEXT "
                 "NOT NULL, url TEXT NOT NULL, posted_at INTEGER NOT NULL, pwd_salt BLOB, "
                 "pwd_hash BLOB);"
                 "INSERT INTO posts VALUES (1, 'main', 'むかし', '', '結果', "
                 "'私は30秒で300回クリックできました。', '', 1000000000, NULL, NULL);",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(handle,
                       "INSERT INTO posts VALUES (2, 'main', 'n', '', '', 'c', '', 1, ?, ?)", -1,
                       &insert, nullptr);
    sqlite3_bind_blob(insert, 1, salt.data(), int(salt.size()), SQLITE_STATIC);
    sqlite3_bind_blob(insert, 2, hash.data(), int(hash.size()), SQLITE_STATIC);
    sqlite3_step(insert);
    sqlite3_finalize(insert);
    sqlite3_close(handle);

    start("");
    EXPECT_TRUE(
        has(get(kMain + "?mode=ranking").body, "<td>むかし</td><td>300</td><td>10.00</td>"));
    EXPECT_EQ(post(kMain, "mode=delete&no=2&pwd=wrong").status, 403);
    EXPECT_EQ(post(kMain, "mode=delete&no=2&pwd=oldpw").status, 200);
    ASSERT_EQ(stored().size(), 1u);
    ok(regist(kMain, "new", "new"));
    EXPECT_EQ(stored().back().id, 3);
}

// Left idle, it ends by itself, cleanly, and comes back with every post.
TEST_F(BoardTest, idleExitKeepsThePosts) {
    start("--idle-exit=1");
    ok(regist(kMain, "before", "idle"));
    EXPECT_EQ(server->stop(0), 0);
    start("");
    EXPECT_TRUE(has(get(kMain).body, "before"));
}
