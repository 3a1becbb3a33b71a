// SPDX-License-Identifier: MIT
// The board: its parts on their own, and the real ponpira-board on 127.0.0.1 driven as a
// browser, a script and an attacker would.

#include "board/form.h"
#include "board/page.h"
#include "board/password.h"
#include "board/policy.h"
#include "board/store.h"
#include "boardprocess.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <netinet/tcp.h>
#include <sqlite3.h>
#include <sys/un.h>
#include <unistd.h>

using namespace board;
namespace fs = std::filesystem;

// SQLite's syncs of its files to the disk, counted on their way to the C library.
int syncs = 0;

extern "C" int fdatasync(int fd) {
    ++syncs;
    static const auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fdatasync"));
    return real(fd);
}

namespace {

const std::string kMain = "/home/velmora/cgi-bin/aska/aska.cgi";
const std::string kDemo = "/home/velmora/cgi-bin/aska/demoaska.cgi";

bool has(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

// A result post, its keys in the game's order and every byte escaped.
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
            target += escaped;
        }
    }
    return target + "&cook=on";
}

// A connection to the port on 127.0.0.1, or to the Unix socket at the path.
int connectTo(int port, const std::string& path = "") {
    sockaddr_in to{AF_INET, htons(static_cast<uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
    sockaddr_un local{AF_UNIX, {}};
    path.copy(local.sun_path, sizeof local.sun_path - 1);
    const int fd = socket(path.empty() ? AF_INET : AF_UNIX, SOCK_STREAM, 0);
    timeval wait{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    const bool ok = path.empty()
                        ? connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0
                        : connect(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
    return ok ? fd : (close(fd), -1);
}

// A connection that has sent the bytes, and with halfClose ended its side; -1 if it could not.
int sent(int port, const std::string& bytes, bool halfClose = false, const std::string& path = "") {
    const int fd = connectTo(port, path);
    // Corked, the last bytes and the close leave in one segment, as they may from a client.
    const int one = 1;
    if (fd >= 0 && halfClose)
        setsockopt(fd, IPPROTO_TCP, TCP_CORK, &one, sizeof one);
    errno = 0;
    if (fd >= 0 && send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size()) &&
        (!halfClose || shutdown(fd, SHUT_WR) == 0))
        return fd;
    const int error = errno;
    if (fd >= 0)
        close(fd);
    errno = error;
    return -1;
}

// What came back on the connection (10 s at most), and whether the server closed it (a reset
// too: the server may close while the request is still coming).
std::pair<std::string, bool> answer(int fd) {
    std::string out;
    ssize_t n = -1;
    if (fd >= 0) {
        errno = 0;
        for (char buffer[65536]; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
            out.append(buffer, std::size_t(n));
    }
    const bool closed = n == 0 || errno == ECONNRESET || errno == EPIPE;
    if (fd >= 0)
        close(fd);
    return {out, closed};
}

std::pair<std::string, bool> exchange(int port, const std::string& bytes, bool halfClose = false,
                                      const std::string& path = "") {
    return answer(sent(port, bytes, halfClose, path));
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
    std::string send(const std::string& request) {
        return answer(sent(server->port(), request)).first;
    }
    std::vector<Post> stored() { return Store(db.string(), Store::Mode::ReadOnly).all(); }
    // A post is answered with a redirect to the page that shows it.
    void ok(const std::string& target, const std::string& headers = "") {
        EXPECT_TRUE(send(get(target, headers)).starts_with("HTTP/1.1 303")) << target;
    }

    fs::path dir = [] {
        std::string pattern = fs::temp_directory_path() / "ponpira-board-XXXXXX";
        return fs::path(mkdtemp(pattern.data()));
    }();
    fs::path db = dir / "board.sqlite3";
    std::unique_ptr<BoardProcess> server;
};

} // namespace

// Each value is read as UTF-8 where it is valid UTF-8, else as code page 932; the fuzzer checks
// strict UTF-8, the escapes and the control characters on any bytes.
TEST(Form, decodesEveryFieldOrRejectsTheWhole) {
    using enum FormError;
    const struct {
        const char* in;
        FormError error;
        const char* name = "";
    } cases[] = {
        {"name=a+b%2Bc%26%3D&name=second", None, "a b+c&="},
        {"name=\xe3\x81\x82&x=%82%BD", None, "あ"},         // raw UTF-8 beside code page 932
        {"name=%82%BD%82%EB%82%A4", None, "たろう"},        // code page 932
        {"name=%87%40%FA%40%B1%DD%5C%7E", None, "①ⅰｱﾝ\\~"}, // Microsoft's extensions
        {"name=ok&comment=%4", MalformedEscape},
        {"name=%82%20", BadEncoding},
        {"name=a%00b", ControlChar},
        {"name=%C2%85", ControlChar},
    };
    for (const auto& c : cases) {
        Form f = parseForm(c.in);
        EXPECT_EQ(f.error, c.error) << c.in;
        EXPECT_EQ(f.get("name"), c.name) << c.in;
    }
}

TEST(PageText, linksOnlyWebUrls) {
    EXPECT_TRUE(isWebUrl("http://example.com/") && isWebUrl("HTTPS://example.com/~taro/"));
    for (const char* url : {"", "http://", "javascript:alert(1)", " http://example.com/",
                            "data:text/html,x", "http://exa mple.com/", "ftp://x/", "//x/",
                            "http://127.0.0.1/home/velmora/cgi-bin/aska/aska.cgi?mode=regist"})
        EXPECT_FALSE(isWebUrl(url)) << url;
}

TEST(Password, hashVerifiesOnlyTheSamePassword) {
    PasswordHash a = hashPassword("ひみつ");
    PasswordHash b = hashPassword("ひみつ");
    EXPECT_NE(a.salt, b.salt) << "each post gets its own salt";
    EXPECT_TRUE(verifyPassword(a, "ひみつ") && verifyPassword(b, "ひみつ"));
    EXPECT_FALSE(verifyPassword(a, "ひみ") || verifyPassword(a, ""));
    EXPECT_FALSE(verifyPassword({"pbkdf2-sha256$1", a.salt, a.digest}, "ひみつ"));
}

// Wrong keys for many other posts fill the lock-out table but do not unlock a locked post.
TEST(DeleteLockout, fullTableKeepsLocks) {
    DeleteLockout lockout(2, 8);
    const auto now = Clock::now();
    for (int i = 0; i < 12; ++i) {
        const std::string post = "main/" + std::to_string(i < 2 ? 1 : i), by = std::to_string(i);
        ASSERT_EQ(lockout.admit(post, by, now), Clock::duration::zero());
        lockout.record(post, by, DeleteResult::WrongPassword, now);
    }
    EXPECT_GT(lockout.admit("main/1", "another", now), Clock::duration::zero());
}

// The first board's database, its keys salted SHA-256, is taken over with nothing lost, and a
// post is on the disk, not only in the cache, before it is acknowledged.
TEST_F(BoardTest, storeTakesOverTheFirstBoardsPostsAndSyncsEveryNewOne) {
    const std::string path = dir / "first.sqlite3";
    // The second post's key is "oldpw", salted with 16 "w".
    const char* sql =
        "CREATE TABLE posts (id INTEGER PRIMARY KEY AUTOINCREMENT, board TEXT NOT NULL, name TEXT "
        "NOT NULL, email TEXT NOT NULL, subject TEXT NOT NULL, comment TEXT NOT NULL, url TEXT "
        "NOT NULL, posted_at INTEGER NOT NULL, pwd_salt BLOB, pwd_hash BLOB);"
        "INSERT INTO posts VALUES (1, 'main', 'むかし', '', '結果', "
        "'私は30秒で300回クリックできました。', '', 1000000000, NULL, NULL);"
        "INSERT INTO posts VALUES (2, 'main', 'n', '', '', 'c', '', 1, "
        "X'77777777777777777777777777777777', "
        "X'7dda0fa6a560fb2678629efb2c56f3ea199c67b2ee36b7a83329c1a8e1b82c25');";
    sqlite3* handle = nullptr;
    sqlite3_open(path.c_str(), &handle);
    EXPECT_EQ(sqlite3_exec(handle, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(handle);

    Store store(path);
    const std::vector<RankEntry> ranked = store.ranking(30, 10);
    ASSERT_EQ(ranked.size(), 1u);
    EXPECT_EQ(ranked[0].name + std::to_string(ranked[0].clicks), "むかし300");
    EXPECT_EQ(store.remove(Board::Main, 2, "wrong"), DeleteResult::WrongPassword);
    EXPECT_EQ(store.remove(Board::Main, 2, "oldpw"), DeleteResult::Deleted);
    const int before = syncs; // and the deleted newest post's number is not given again
    EXPECT_EQ(store.add({Board::Main, "new", "", "", "c", "", ""}, 3).id, 3);
    EXPECT_GT(syncs, before);
}

// A result reaches the database, only its own board shows it, the page it lands on says so,
// and the ranking reads the result from the comment.
TEST_F(BoardTest, postsAreStoredShownAndRanked) {
    ok(regist(kMain, "<b>たろう</b> & はなこ", "私は10秒で85回クリックできました。\"<i>\"", "pw"));
    EXPECT_TRUE(has(send(get(kMain + "?posted=1")), "No.1 として投稿しました。"));
    EXPECT_TRUE(has(send(get(kMain + "?deleted=7")), "No.7 を削除しました。"));
    ok(regist(kDemo, "デモさん", "私は10秒で125回クリックできました。"));
    // Trick wording is left out even where the figures look possible (a link made by hand).
    ok(regist(kMain, "はやい", "私は裏技を使って20秒で150回クリックできました。"));
    ok(regist(kMain, "じろう", "私は20秒で201回クリックできました。"));
    EXPECT_EQ(stored().size(), 4u);

    const std::string mainPage = send(get(kMain)), demoPage = send(get(kDemo));
    EXPECT_TRUE(has(mainPage, "&lt;b&gt;たろう&lt;/b&gt; &amp; はなこ") &&
                !has(mainPage, "デモさん"));
    EXPECT_TRUE(has(mainPage, "&quot;&lt;i&gt;&quot;") && !has(mainPage, "<b>"));
    EXPECT_TRUE(has(demoPage, "デモさん") && !has(demoPage, "はなこ"));
    EXPECT_TRUE(has(mainPage, "href=\"" + kMain + "?mode=ranking\">ランキング</a>"));

    // The demo and the trick are left out; each length has its own table.
    const std::string ranking = send(get(kMain + "?mode=ranking"));
    EXPECT_TRUE(has(ranking,
                    "<td>&lt;b&gt;たろう&lt;/b&gt; &amp; はなこ</td><td class=\"n\">85</td>"
                    "<td class=\"n\">8.50</td>"));
    EXPECT_TRUE(has(ranking, "<td>じろう</td><td class=\"n\">201</td><td class=\"n\">10.05</td>"));
    EXPECT_FALSE(has(ranking, "デモさん") || has(ranking, "はやい"));
    EXPECT_LT(ranking.find("10秒"), ranking.find("たろう"));
    EXPECT_LT(ranking.find("20秒"), ranking.find("じろう"));
}

// Each request in turn and its answer. A refusal says why and stores nothing; no page, another
// site's or the board's own, can post in the player's name, another site's cannot delete nor
// read the board as its own; framing that a proxy could read another way closes the connection;
// wrong passwords lock a post a while, however its number is written.
TEST_F(BoardTest, requestsAreAnsweredOrRefused) {
    // A key file that others may read is refused; the credential from systemd is read.
    std::ofstream(dir / "key") << "operator-0123456789";
    fs::permissions(dir / "key", fs::perms(0644));
    EXPECT_THROW(start("--operator-key-file=" + (dir / "key").string()), std::runtime_error);
    fs::permissions(dir / "key", fs::perms(0400));
    setenv("CREDENTIALS_DIRECTORY", dir.c_str(), 1);
    fs::rename(dir / "key", dir / "operator-key");
    // The deadline for a request's head is long here: only the client's close may end the
    // half-sent request below within the 10 s that an exchange waits.
    start("--delete-attempts=2 --request-timeout=60 2>" + (dir / "log").string());
    unsetenv("CREDENTIALS_DIRECTORY");
    ok(regist(kMain, "keep", "keep", "hunter2"), "Sec-Fetch-Site: none\r\n"); // 送信 over https
    for (const char* name : {"gone", "locked"})
        ok(regist(kMain, name, name, "hunter2"));
    ok(regist(kDemo, "demo", "demo", "ひみつ"));
    ok(regist(kMain, "spam", "spam", "x"));

    const std::string bad = kMain + "?mode=regist&comment=x&name=", host = "Host: 127.0.0.1\r\n";
    const std::string crossSite = "Sec-Fetch-Site: cross-site\r\n", del = "mode=delete&no=";
    const std::string smuggled =
        "GET " + regist(kMain, "smuggled", "x") + " HTTP/1.1\r\n" + host + "\r\n";
    const std::string chunk = "2000\r\n" + std::string(8192, 'a') + "\r\n";
    const std::string head = kMain + "?mode=regist&name=a&comment=";
    struct Case {
        std::string request;
        const char* status; // "": no answer, the connection closed
        std::string says = "";
        bool halfClose = false;
    };
    std::string params, extended;
    for (int i = 0; i < 490; ++i)
        params += "&a" + std::to_string(i) + "=" + std::to_string(i);
    for (int i = 0; i < 1000; ++i)
        extended += "1;" + std::string(1000, 'x') + "\r\na\r\n";
    std::vector<Case> cases = {
        {get(regist(kMain, " \t　", "私は10秒で85回")), "400", "お名前が入力されていません。"},
        {get(regist(kMain, "たろう", "")), "400", "コメントが入力されていません。"},
        {get(bad + "%1B%5B2J"), "400", "制御文字"},
        {get(regist(kMain, "\u200b\u2060\ufeff", "c")), "400", "お名前が入力されていません。"},
        {get(regist(kMain, "n", "\u2067c")), "400", "コメントに文字の並ぶ向きを変える"},
        {get(regist(kMain, "\u202en", "c")), "400", "お名前に文字の並ぶ向きを変える"},
        {get(kMain + "?mode=delete&no=1&pwd=hunter2"), "405", "削除フォーム"},
        // A link checker's HEAD of a post link posts nothing.
        {"HEAD " + regist(kMain, "head", "x") + " HTTP/1.1\r\n" + host +
             "Connection: close\r\n\r\n",
         "405"},
        // A HOME link on the board's page, and pages that over plain http send no Sec-Fetch-Site.
        {get(regist(kMain, "x", "y"), "Sec-Fetch-Site: same-origin\r\n"), "403", "ほかのページ"},
        {get(regist(kMain, "x", "y"), "Referer: http://127.0.0.1/\r\n"), "403"},
        {get(regist(kMain, "x", "y"), "Origin: http://evil.example\r\n"), "403"},
        {post(kMain, "mode=regist&name=x&comment=y"), "405"},
        {"GET " + regist(kMain, "x", "y") + " HTTP/1.1\r\nHost: rebound.example:8931\r\n\r\n",
         "421", "このホスト名"},
        {post(kMain, del + "1&pwd=hunter2", crossSite), "403"},
        {post(kMain, del + "1&pwd=hunter2", "Origin: http://evil.example\r\n"), "403"},
        // A post the board would take if it read the chunks and let the length go.
        {"POST " + kMain + " HTTP/1.1\r\n" + host + kForm + "Content-Length: 5\r\n" +
             "Transfer-Encoding: chunked\r\n\r\n1e\r\nmode=regist&name=cl&comment=te\r\n" +
             "0\r\n\r\n" + smuggled,
         "400"},
        {"POST " + kMain + " HTTP/1.1\r\n" + host +
             "Content-Length: 0\r\nContent-Length: 2\r\n\r\n" + smuggled,
         "400"},
        {"POST " + kMain + " HTTP/1.1\r\n" + host + kForm + "Transfer-Encoding: chunked\r\n\r\n" +
             chunk + chunk + "0\r\n\r\n" + smuggled,
         "413"},
        // "GET " + target + " HTTP/1.1" + CRLF may be 8192 bytes at most, and so may a body.
        {get(head + std::string(8192 - 4 - head.size() - 10, 'x')), "414"},
        {post(kMain, del + "1&pwd=" + std::string(9000, 'x')), "413"},
        // The board's own form, and a script that says nothing of where it comes from, may delete.
        {post(kMain, del + "2&pwd=hunter2", "Sec-Fetch-Site: same-origin\r\n"), "303",
         "Location: " + kMain + "?deleted=2\r\n"},
        {post(kMain, del + "3&pwd=Hunter2"), "403", "パスワードが違う"},
        {post(kMain, del + "3&pwd=y"), "403", "パスワードが違う"},
        {post(kMain, del + "3&pwd=hunter2"), "429", "しばらく No.3 を削除できません"},
        // One post has one number: no other way of writing it escapes the lock-out.
        {post(kMain, del + "03&pwd=hunter2"), "400", "番号が正しくありません"},
        {post(kMain, del + "1234567890123456789&pwd=hunter2"), "400", "番号が正しくありません"},
        {post(kMain, del + "3&pwd=operator-0123456789"), "303", "?deleted=3\r\n"},
        // Code page 932 matches the same password sent in UTF-8; each board has its own posts.
        {post(kMain, del + "4&pwd=%82%D0%82%DD%82%C2"), "404", "No.4 の投稿はありません"},
        {post(kDemo, del + "4&pwd=%82%D0%82%DD%82%C2"), "303", "Location: " + kDemo + "?deleted=4"},
        // The operator's key deletes anybody's post, and only the whole key does.
        {post(kMain, del + "5&pwd=operator-012345678"), "403", "パスワードが違う"},
        {post(kMain, del + "5&pwd=operator-0123456789"), "303", "?deleted=5\r\n"},
        // The engine's own answers carry the board's headers, once.
        {"GET " + kMain + " HTTP/1.1\r\n" + host + "Bad Header\r\n\r\n", "400",
         "Connection: close\r\nContent-Type: text/html; charset=UTF-8\r\nCache-Control: "
         "no-store\r\nX-Content-Type-Options: nosniff"},
        {get(kMain + "?mode=ranking" + params), "400"},
        {"GET " + kMain + " HTTP/1.1\r\n\r\n", "400", "リクエストを処理できませんでした"},
        {"POST " + kMain + " HTTP/1.1\r\n" + host + "Transfer-Encoding : chunked\r\n\r\n0\r\n\r\n" +
             smuggled,
         "400", "リクエストを処理できませんでした"},
        // Chunk extensions count against the body limit: the connection is closed.
        {"POST " + kMain + " HTTP/1.1\r\n" + host + kForm + "Transfer-Encoding: chunked\r\n\r\n" +
             extended + "0\r\n\r\n",
         ""},
        // Half a request and the client's close: the connection is released at once.
        {"GET " + kMain + " HTTP/1.1\r\nHost: 127.", "", "", true},
    };
    // Each field has a limit in characters (here of four bytes each), the one the game checks.
    const struct {
        const char* key;
        const char* label;
        std::size_t max;
    } fields[] = {{"name", "お名前", 40}, {"email", "E-mail", 100},
                  {"sub", "題名", 40},    {"comment", "コメント", 500},
                  {"url", "URL", 200},    {"pwd", "削除用パスワード", 32}};
    for (const auto& [field, label, max] : fields) {
        std::string target = kDemo + "?mode=regist&" + field + "=";
        for (std::size_t n = 0; n < max; ++n)
            target += "%F0%9F%8E%AE";
        cases.push_back({get(target + "&name=n&comment=c"), "303"});
        cases.push_back(
            {get(target + "%F0%9F%8E%AE&name=n&comment=c"), "400",
             label + std::string("が長すぎます（") + std::to_string(max) + "文字まで）。"});
    }
    // The newest post deleted, its number is not given again.
    cases.push_back({post(kMain, del + "11&pwd=operator-0123456789"), "404"});
    cases.push_back({post(kDemo, del + "11&pwd=operator-0123456789"), "303", "?deleted=11\r\n"});
    cases.push_back({get(regist(kDemo, "n", "c")), "303", "?posted=12\r\n"});
    for (const Case& c : cases) {
        auto [reply, closed] = exchange(server->port(), c.request, c.halfClose);
        EXPECT_EQ(reply.substr(0, 12), *c.status ? std::string("HTTP/1.1 ") + c.status : "")
            << c.request.substr(0, 200);
        EXPECT_TRUE(closed && has(reply, c.says)) << c.request.substr(0, 200) << "\n" << reply;
    }
    std::string names;
    for (const Post& p : stored())
        names += p.board == Board::Main ? p.name + " " : "";
    EXPECT_EQ(names, "keep ");
}

// Posting is rationed per client, network and board; a copy is stored once, unless its key
// differs. A full board refuses posts; only a lower limit, at start, drops each board's oldest.
// With the defaults, wrong keys sent at once count as they arrive, per post and per client.
TEST_F(BoardTest, abuseIsBounded) {
    start("--posts-per-minute=4");
    ok(regist(kDemo, "d", "1"));
    for (const char* key : {"k", "k", "other"})
        ok(regist(kMain, "same", "私は10秒で85回クリックできました。", key));
    // The address a client names itself counts for nothing without a trusted proxy.
    EXPECT_TRUE(has(send(get(regist(kMain, "x", "4"), "X-Forwarded-For: 192.0.2.9\r\n")),
                    "HTTP/1.1 429 Too Many Requests"));
    EXPECT_EQ(stored().size(), 3u);
    // Connections from one address are limited, except a trusted proxy's. Each one held has had
    // an answer, so the board has counted it however slowly it accepts.
    std::vector<int> open(2);
    const auto hold = [&] {
        for (int& fd : open) {
            fd = sent(server->port(), "GET " + kMain + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
            char byte = 0;
            EXPECT_EQ(recv(fd, &byte, 1, 0), 1);
        }
    };
    start("--max-connections-per-address=2");
    hold();
    EXPECT_EQ(send(get(kMain)), "");
    // Behind a trusted proxy each client (IPv6: /64) has a ration, whatever it wrote left of the
    // address the proxy added; a network (/24, /48) has twice as many, the board six. A Unix
    // socket is the proxy's (every other row goes through it), and its requests must name the
    // client.
    const std::string sock = (dir / "sock").string();
    start("--posts-per-minute=1 --max-connections-per-address=2 --trusted-proxy=127.0.0.1 "
          "--unix-socket=" +
          sock);
    for (int fd : open)
        close(fd);
    hold();
    EXPECT_TRUE(send(get(kMain)).starts_with("HTTP/1.1 200"));
    EXPECT_TRUE(exchange(0, get(kMain), false, sock).first.starts_with("HTTP/1.1 400"));
    const std::pair<const char*, const char*> rows[] = {
        {"192.0.2.9", "303"},   {"192.0.2.9", "429"},       {"198.51.100.1, 192.0.2.9", "429"},
        {"192.0.2.10", "303"},  {"192.0.2.11", "503"},      {"2001:db8::1", "303"},
        {"2001:db8::2", "429"}, {"2001:db8:0:1::1", "303"}, {"2001:db8:0:2::1", "503"},
        {"203.0.113.1", "303"}, {"198.51.100.7", "303"},    {"233.252.0.1", "503"},
    };
    for (int i = 0; const auto& [from, status] : rows) {
        const std::string request = get(regist(kMain, "p" + std::to_string(++i), "c"),
                                        "X-Forwarded-For: " + std::string(from) + "\r\n");
        EXPECT_TRUE((i % 2 ? send(request) : exchange(0, request, false, sock).first)
                        .starts_with("HTTP/1.1 " + std::string(status)))
            << from;
    }
    for (int fd : open)
        close(fd);
    // A data folder it cannot create: the log says which and why.
    std::ofstream(dir / "file") << "";
    const std::string err = (dir / "err").string();
    EXPECT_NE(std::system(("XDG_DATA_HOME=" + (dir / "file").string() + " " + PONPIRA_BOARD_EXE +
                           " --port=0 2>" + err)
                              .c_str()),
              0);
    std::ifstream in(err);
    const std::string said{std::istreambuf_iterator<char>(in), {}};
    EXPECT_TRUE(has(said, (dir / "file").string() + ": ") && has(said, "ot a directory")) << said;

    start("--max-posts=8");
    EXPECT_TRUE(has(send(get(regist(kMain, "full", "c"))), "投稿数が上限に達した"));
    ok(regist(kDemo, "d2", "2"));
    start("--max-posts=2");
    std::string names;
    for (const Post& p : stored())
        names += p.name + " ";
    EXPECT_EQ(names, "d p10 p11 d2 ");

    start("");
    const std::int64_t first = stored().back().id + 1;
    for (int i = 0; i < 9; ++i)
        ok(regist(kMain, "k" + std::to_string(i), "c", "right"));
    for (int burst = 0; burst < 2; ++burst) {
        std::vector<int> fds;
        for (int i = 0; i < 32; ++i)
            fds.push_back(sent(server->port(),
                               post(kMain, "mode=delete&pwd=wrong&no=" +
                                               std::to_string(first + (burst ? 1 + i % 8 : 0)))));
        int tries = 0;
        for (int fd : fds)
            tries += has(answer(fd).first, "パスワードが違う");
        EXPECT_EQ(tries, burst ? 15 : 5) << "of 5 for one post, then of 20 for the client";
    }
    EXPECT_TRUE(has(send(post(kMain, "mode=delete&pwd=right&no=" + std::to_string(first + 8))),
                    "しばらく No."));
    // Left idle, it ends by itself, cleanly.
    start("--idle-exit=1");
    EXPECT_EQ(server->stop(0), 0);
}
