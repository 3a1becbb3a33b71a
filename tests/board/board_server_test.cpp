// The real ponpira-board on 127.0.0.1, driven over HTTP as a browser would.

#include <httplib.h>
#include <sqlite3.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <sys/wait.h>
#include <thread>

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
                   std::string_view url = "", std::string_view sub = "結果") {
    return board + "?mode=regist&name=" + encode(name) + "&email=" + encode(email) +
           "&sub=" + encode(sub) + "&comment=" + encode(comment) + "&url=" + encode(url) +
           "&pwd=" + encode(pwd) + "&cook=on";
}

// Runs ponpira-board to its end (a minute at most): its exit status and all it printed.
std::pair<int, std::string> runBoard(const std::string& args) {
    const std::string command = "timeout 60 " PONPIRA_BOARD_EXE " " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    for (std::size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    const int status = pipe ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

// One request on a fresh connection; the targets are already encoded, byte by byte.
httplib::Response request(int port, const std::string& target, const std::string* form = nullptr) {
    httplib::Client client("127.0.0.1", port);
    client.set_url_encode(false);
    client.set_read_timeout(30);
    auto r =
        form ? client.Post(target, *form, "application/x-www-form-urlencoded") : client.Get(target);
    return r ? *r : httplib::Response{};
}

// A post as the database file holds it; the salt and the hash in hexadecimal, empty if none.
struct Stored {
    std::int64_t id, postedAt;
    std::string board, name, email, subject, comment, url, salt, hash;
    bool operator==(const Stored&) const = default;
};

std::vector<Stored> readPosts(const fs::path& db) {
    std::vector<Stored> posts;
    auto row = [](void* out, int, char** v, char**) {
        static_cast<std::vector<Stored>*>(out)->push_back(
            {std::atoll(v[0]), std::atoll(v[1]), v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9]});
        return 0;
    };
    sqlite3* handle = nullptr;
    sqlite3_open(db.c_str(), &handle);
    sqlite3_busy_timeout(handle, 10000);
    if (sqlite3_exec(handle,
                     "SELECT id, posted_at, board, name, email, subject, comment, url, "
                     "hex(pwd_salt), hex(pwd_hash) FROM posts ORDER BY id",
                     row, &posts, nullptr) != SQLITE_OK)
        ADD_FAILURE() << "cannot read " << db << ": " << sqlite3_errmsg(handle);
    sqlite3_close(handle);
    return posts;
}

// ponpira-board serving a database on a free port of 127.0.0.1 until it is stopped.
class Board {
  public:
    // The shell prints its process number, which the board keeps when the shell becomes it.
    explicit Board(const fs::path& db)
        : out_(popen(("echo $$; exec " PONPIRA_BOARD_EXE " --port=0 --db=" + db.string()).c_str(),
                     "r")) {
        if (!out_ ||
            std::fscanf(out_, "%d listening on http://127.0.0.1:%d/", &pid_, &port_) != 2) {
            stop(SIGKILL);
            throw std::runtime_error("ponpira-board did not start");
        }
    }
    ~Board() { stop(); }
    // Sends the signal and waits: the exit status, or -1 if the signal ended it.
    int stop(int signal = SIGTERM) {
        if (!out_)
            return -1;
        if (pid_ > 0)
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

// Each test has its own database and server, so tests can run side by side.
class BoardTest : public ::testing::Test {
  protected:
    ~BoardTest() override {
        server.reset();
        fs::remove_all(dir);
    }
    httplib::Response get(const std::string& target) { return request(server->port(), target); }
    httplib::Response post(const std::string& board, const std::string& form) {
        return request(server->port(), board, &form);
    }
    std::vector<Stored> stored() { return readPosts(db); }
    void ok(const std::string& target) { EXPECT_EQ(get(target).status, 200) << target; }

    // The request must fail with the status, say why in Japanese, and store nothing.
    void expectRefused(const std::string& target, int status, std::string_view message) {
        const std::size_t before = stored().size();
        httplib::Response r = get(target);
        EXPECT_EQ(r.status, status) << target;
        EXPECT_EQ(r.get_header_value("Content-Type"), "text/html; charset=UTF-8") << target;
        EXPECT_TRUE(has(r.body, message)) << target << "\n" << r.body;
        EXPECT_EQ(stored().size(), before) << target;
    }

    fs::path dir = [] {
        std::string pattern = fs::temp_directory_path() / "ponpira-board-XXXXXX";
        return fs::path(mkdtemp(pattern.data()));
    }();
    fs::path db = dir / "board.sqlite3";
    std::unique_ptr<Board> server = std::make_unique<Board>(db);
};

} // namespace

// A result reaches the database field by field, and only its own board shows it.
TEST_F(BoardTest, postsAreStoredAndShownOnTheirOwnBoard) {
    const auto before = std::time(nullptr);
    httplib::Response r = get(regist(kMain, "たろう & はなこ", "がんばった=1#2?\"引用\"", "pw",
                                     "taro@example.jp", "http://example.jp/~taro/"));
    ASSERT_EQ(r.status, 200);
    EXPECT_TRUE(has(r.body, "No.1 として投稿しました。"));
    ok(regist(kDemo, "デモさん", "私は10秒で125回"));
    const auto posts = stored();
    ASSERT_EQ(posts.size(), 2u);
    const Stored& p = posts[0];
    EXPECT_EQ((std::vector{p.board, p.name, p.email, p.subject, p.comment, p.url}),
              (std::vector<std::string>{"main", "たろう & はなこ", "taro@example.jp", "結果",
                                        "がんばった=1#2?\"引用\"", "http://example.jp/~taro/"}));
    EXPECT_TRUE(p.postedAt >= before && p.postedAt <= std::time(nullptr));
    EXPECT_EQ(posts[1].board, "demo");

    const std::string mainPage = get(kMain).body, demoPage = get(kDemo).body;
    EXPECT_TRUE(has(mainPage, "たろう &amp; はなこ") && !has(mainPage, "デモさん"));
    EXPECT_TRUE(has(demoPage, "デモさん") && !has(demoPage, "はなこ"));

    // --dump prints what a test of the game needs, without the password or its hash.
    auto [code, dump] = runBoard("--dump --db " + db.string());
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(has(dump, R"({"id": 1, "board": "main", "name": "たろう & はなこ", "email": )"
                          R"("taro@example.jp", "subject": "結果", "comment": )"
                          R"("がんばった=1#2?\"引用\"", "url": "http://example.jp/~taro/", )"))
        << dump;
    EXPECT_TRUE(has(dump, "\"has_password\": true}") && has(dump, "\"has_password\": false}"));
    EXPECT_FALSE(has(dump, "pw\""));
}

// Stored texts are shown as text, and home pages become links only for http and https.
TEST_F(BoardTest, storedTextIsShownAsText) {
    ok(regist(kMain, "<script>alert(1)</script>", "</p><img src=x onerror=alert(1)>'\"&amp;", "",
              "\"><script>@x", "http://x.example/\"><script>", "<b>題</b>"));
    for (const char* url : {"javascript:alert(1)", "data:text/html,x", "https://example.jp/"})
        ok(regist(kMain, "u", "c", "", "", url));
    const httplib::Response page = get(kMain);
    for (const char* markup :
         {"<script>", "<img", "<b>", "mailto:", "href=\"javascript:", "href=\"data:"})
        EXPECT_FALSE(has(page.body, markup)) << markup;
    for (const char* text :
         {"&lt;script&gt;alert(1)&lt;/script&gt;",
          "&lt;/p&gt;&lt;img src=x onerror=alert(1)&gt;&#39;&quot;&amp;amp;",
          "href=\"http://x.example/&quot;&gt;&lt;script&gt;\"", "href=\"https://example.jp/\""})
        EXPECT_TRUE(has(page.body, text)) << text;
    // The page forbids scripts even if something slipped through.
    EXPECT_TRUE(has(page.get_header_value("Content-Security-Policy"), "default-src 'none'"));
}

// "+" is a space and "%2B" a plus; an older browser sends code page 932, escaped or raw.
TEST_F(BoardTest, decodedTextIsStored) {
    ok(kMain + "?mode=regist&name=a+b%2Bc&comment=1%2B1+=+2");
    ok(kMain + "?mode=regist&name=%82%BD%82%EB%82%A4&sub=%8C%8B%89%CA"
               "&comment=%8E%84%82%CD%87%40");
    ok(kDemo + "?mode=regist&name=\x82\xbd\x82\xeb\x82\xa4&comment=\xe3\x81\x82");
    const auto posts = stored();
    ASSERT_EQ(posts.size(), 3u);
    EXPECT_EQ(posts[0].name + "|" + posts[0].comment, "a b+c|1+1 = 2");
    EXPECT_EQ(posts[1].name + posts[1].subject + posts[1].comment, "たろう結果私は①");
    EXPECT_EQ(posts[2].name + posts[2].comment, "たろうあ");
}

// What cannot be read, or lacks a name or a comment, is refused in Japanese and stores nothing.
TEST_F(BoardTest, badRequestsAreRefused) {
    const std::string bad = kMain + "?mode=regist&comment=x&name=";
    const struct {
        std::string target;
        int status;
        const char* message;
    } cases[] = {
        {regist(kMain, "", "私は10秒で85回"), 400, "お名前が入力されていません。"},
        {regist(kMain, " \t　", "私は10秒で85回"), 400, "お名前が入力されていません。"},
        {regist(kMain, "たろう", ""), 400, "コメントが入力されていません。"},
        {kDemo + "?mode=regist&comment=x", 400, "お名前が入力されていません。"},
        {bad + "a%", 400, "書式が正しくありません"},
        {bad + "%%41", 400, "書式が正しくありません"},
        {bad + "%FF", 400, "送信された文字を読み取れません"},
        {bad + "%E3%81%82%82%A0", 400, "送信された文字を読み取れません"},
        {bad + "%1B%5B2J", 400, "制御文字"},
        {kMain + "?mode=admin&name=a&comment=b", 400, "この掲示板では行えない操作です。"},
        {kMain + "?mode=delete&no=1&pwd=pw", 405, "削除フォーム"},
        {"/home/velmora/cgi-bin/aska/aska_cgi", 404, "ページが見つかりません。"},
    };
    for (const auto& c : cases)
        expectRefused(c.target, c.status, c.message);
    EXPECT_TRUE(stored().empty());
}

// Every field has a limit in characters, and the request line and the body one in bytes.
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
                std::string value = key == f.key ? "" : "x";
                while (key == f.key && value.size() < 9 * n)
                    value += "%E3%81%82";
                t += "&" + key + "=" + value;
            }
            return t;
        };
        ok(target(f.max));
        expectRefused(target(f.max + 1), 400,
                      std::string(f.label) + "が長すぎます（" + std::to_string(f.max) +
                          "文字まで）。");
    }
    // "GET " + target + " HTTP/1.1" + CRLF may be 8192 bytes at most.
    const std::string head = kMain + "?mode=regist&name=a&comment=";
    const std::size_t room = 8192 - 4 - head.size() - 11;
    expectRefused(head + std::string(room + 1, 'x'), 414, "8192バイトまで");
    expectRefused(head + std::string(room, 'x'), 400, "コメントが長すぎます");
    httplib::Response r = post(kMain, "mode=delete&no=1&pwd=" + std::string(9000, 'x'));
    EXPECT_EQ(r.status, 413);
    EXPECT_TRUE(has(r.body, "送信された内容が長すぎます。"));
    EXPECT_EQ(stored().size(), 6u);
    ok(regist(kMain, "after", "still serving"));
}

// The database keeps a salted SHA-256 of the password; the right one deletes, on its own board.
TEST_F(BoardTest, deletionNeedsTheRightPassword) {
    ok(regist(kMain, "keep", "one", "hunter2"));
    ok(regist(kMain, "gone", "two", "hunter2"));
    ok(regist(kMain, "nopw", "three"));
    ok(regist(kDemo, "demo", "four", "ひみつ"));
    auto posts = stored();
    ASSERT_EQ(posts.size(), 4u);
    EXPECT_EQ(posts[0].salt.size() + posts[0].hash.size(), 2 * (16u + 32u));
    EXPECT_NE(posts[0].hash, posts[1].hash) << "each post has its own salt";
    EXPECT_EQ(posts[2].salt + posts[2].hash, "");
    for (const fs::path& file : {db, fs::path(db.string() + "-wal")}) {
        std::ifstream in(file, std::ios::binary);
        EXPECT_FALSE(has(std::string(std::istreambuf_iterator<char>(in), {}), "hunter2")) << file;
    }

    const struct {
        const std::string& board;
        std::string form;
        int status;
        const char* says;
    } steps[] = {
        {kMain, "no=2&pwd=Hunter2", 403, "パスワードが違うため、No.2 は削除していません。"},
        {kMain, "no=3&pwd=", 403, "削除用パスワードがないため"},
        {kMain, "no=4&pwd=%E3%81%B2%E3%81%BF%E3%81%A4", 404, "No.4 の投稿はありません。"},
        {kMain, "no=x&pwd=pw", 400, "削除する投稿の番号が正しくありません。"},
        {kMain, "no=2&pwd=hunter2", 200, "No.2 を削除しました。"},
        {kMain, "no=2&pwd=hunter2", 404, "No.2 の投稿はありません。"},
        // Code page 932 matches the same password sent in UTF-8.
        {kDemo, "no=4&pwd=%82%D0%82%DD%82%C2", 200, "No.4 を削除しました。"},
    };
    std::size_t left = posts.size();
    for (const auto& s : steps) {
        httplib::Response r = post(s.board, "mode=delete&" + s.form);
        EXPECT_EQ(r.status, s.status) << s.form;
        EXPECT_TRUE(has(r.body, s.says)) << s.form;
        left -= s.status == 200;
        EXPECT_EQ(stored().size(), left) << s.form;
    }
    posts = stored();
    EXPECT_EQ(posts[0].name + posts[1].name, "keepnopw");
}

// Stopping and starting the server again keeps every post of both boards; the port is not
// shared meanwhile.
TEST_F(BoardTest, restartKeepsEveryPost) {
    for (int i = 0; i < 15; ++i)
        ok(regist(i % 2 ? kDemo : kMain, "n", "c" + std::to_string(i), "pw"));
    ASSERT_EQ(post(kMain, "mode=delete&no=1&pwd=pw").status, 200);
    const auto before = stored();
    ASSERT_EQ(before.size(), 14u);
    // A second server cannot share the port while the first is there.
    auto [busy, said] = runBoard("--port " + std::to_string(server->port()) + " --db " +
                                 (dir / "b.sqlite3").string());
    EXPECT_EQ(busy, 1);
    EXPECT_TRUE(has(said, "cannot listen")) << said;
    EXPECT_EQ(server->stop(), 0);
    server = std::make_unique<Board>(db);
    EXPECT_EQ(stored(), before);
    EXPECT_TRUE(has(get(kDemo).body, ">c13<"));
    // A new post does not reuse the deleted post's number.
    ok(regist(kMain, "new", "after restart"));
    EXPECT_EQ(stored().back().id, 16);
}

// A server killed outright in the middle of a burst of posts keeps every post it answered.
TEST_F(BoardTest, sigkillLosesNoAcknowledgedPost) {
    std::mutex mutex;
    std::set<std::string> acknowledged;
    std::atomic<bool> gone = false;
    std::vector<std::thread> writers;
    for (int w = 0; w < 3; ++w)
        writers.emplace_back([&, w, port = server->port()] {
            for (int i = 0; i < 200 && !gone; ++i) {
                const std::string comment = "w" + std::to_string(w) + "-" + std::to_string(i);
                if (request(port, regist(w % 2 ? kDemo : kMain, "burst", comment)).status != 200) {
                    gone = true;
                    return;
                }
                std::lock_guard lock(mutex);
                acknowledged.insert(comment);
            }
        });
    auto count = [&] {
        std::lock_guard lock(mutex);
        return acknowledged.size();
    };
    for (int i = 0; i < 60000 && count() < 60 && !gone; ++i) // two minutes at most
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    server->stop(SIGKILL);
    for (auto& t : writers)
        t.join();
    ASSERT_GE(acknowledged.size(), 60u);
    EXPECT_LT(acknowledged.size(), 600u) << "the kill should land in the middle of the burst";

    server = std::make_unique<Board>(db);
    EXPECT_EQ(get(kMain).status, 200);
    std::set<std::string> kept;
    for (const Stored& p : stored())
        kept.insert(p.comment);
    for (const std::string& comment : acknowledged)
        EXPECT_TRUE(kept.contains(comment)) << "lost acknowledged post " << comment;
}
