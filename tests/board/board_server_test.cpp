// The real ponpira-board on 127.0.0.1, driven over HTTP as a browser would.

#include "board_harness.h"

#include <atomic>
#include <csignal>
#include <ctime>
#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <thread>

using namespace boardtest;

namespace {

bool contains(std::string_view haystack, std::string_view needle) {
    return haystack.find(needle) != std::string_view::npos;
}

std::string repeat(std::string_view unit, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i)
        out += unit;
    return out;
}

// Each test gets its own database and server, so tests can run side by side.
class BoardTest : public ::testing::Test {
  protected:
    void SetUp() override { server = std::make_unique<BoardProcess>(db()); }

    std::filesystem::path db() const { return dir.path() / "board.sqlite3"; }
    int port() const { return server->port(); }
    std::vector<StoredPost> stored() const { return readDatabase(db()); }

    // Posts to the main board and expects the post to be taken.
    void postOk(std::string_view name, std::string_view comment, std::string_view pwd = "") {
        Response r = get(port(), registTarget(kMain, name, comment, pwd));
        ASSERT_EQ(r.status, 200) << r.body;
    }

    // The request must fail with the status, say why in Japanese, and store nothing.
    void expectRejected(std::string_view target, int status, std::string_view message) {
        const std::size_t before = stored().size();
        Response r = get(port(), target);
        EXPECT_EQ(r.status, status) << target;
        EXPECT_TRUE(contains(r.header("Content-Type"), "text/html; charset=UTF-8"));
        EXPECT_TRUE(contains(r.body, message)) << target << "\n" << r.body;
        EXPECT_EQ(stored().size(), before) << target;
    }

    TempDir dir;
    std::unique_ptr<BoardProcess> server;
};

using Posting = BoardTest;
using HostileInput = BoardTest;
using Decoding = BoardTest;
using Limits = BoardTest;
using Deletion = BoardTest;
using Durability = BoardTest;

} // namespace

// The URL the game composes for a normal result reaches the main board intact.
TEST_F(Posting, gameUrlIsStoredFieldByField) {
    const auto before = std::time(nullptr);
    Response r = get(port(), registTarget(kMain, "たろう & はなこ",
                                          "私は10秒で85回クリックできました。がんばった=1#2?", "pw",
                                          "taro@example.jp", "http://example.jp/~taro/"));
    const auto after = std::time(nullptr);
    ASSERT_EQ(r.status, 200);
    EXPECT_EQ(r.header("Content-Type"), "text/html; charset=UTF-8");
    EXPECT_TRUE(contains(r.body, "たろう &amp; はなこ")) << "the answer is the board page";
    EXPECT_TRUE(contains(r.body, "No.1 として投稿しました。"));

    auto posts = stored();
    ASSERT_EQ(posts.size(), 1u);
    const StoredPost& p = posts[0];
    EXPECT_EQ(p.board, "main");
    EXPECT_EQ(p.name, "たろう & はなこ");
    EXPECT_EQ(p.email, "taro@example.jp");
    EXPECT_EQ(p.subject, "結果");
    EXPECT_EQ(p.comment, "私は10秒で85回クリックできました。がんばった=1#2?");
    EXPECT_EQ(p.url, "http://example.jp/~taro/");
    EXPECT_GE(p.postedAt, before);
    EXPECT_LE(p.postedAt, after);
}

// Demo results and real results never show on each other's board.
TEST_F(Posting, mainAndDemoBoardsAreKeptApart) {
    ASSERT_EQ(get(port(), registTarget(kMain, "本番さん", "私は10秒で150回")).status, 200);
    ASSERT_EQ(get(port(), registTarget(kDemo, "デモさん", "私は10秒で125回")).status, 200);

    Response mainPage = get(port(), kMain);
    Response demoPage = get(port(), kDemo);
    ASSERT_EQ(mainPage.status, 200);
    ASSERT_EQ(demoPage.status, 200);
    EXPECT_TRUE(contains(mainPage.body, "本番さん"));
    EXPECT_FALSE(contains(mainPage.body, "デモさん"));
    EXPECT_TRUE(contains(demoPage.body, "デモさん"));
    EXPECT_FALSE(contains(demoPage.body, "本番さん"));

    auto posts = stored();
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[0].board, "main");
    EXPECT_EQ(posts[1].board, "demo");
}

// Newest first, twenty to a page, with links between the pages.
TEST_F(Posting, boardIsNewestFirstInPages) {
    for (int i = 1; i <= 23; ++i)
        postOk("p" + std::to_string(i), "c" + std::to_string(i) + ".");
    Response first = get(port(), kMain);
    ASSERT_EQ(first.status, 200);
    auto at = [&](const std::string& body, int i) {
        return body.find(">c" + std::to_string(i) + ".<");
    };
    EXPECT_LT(at(first.body, 23), at(first.body, 22));
    EXPECT_LT(at(first.body, 5), at(first.body, 4));
    EXPECT_EQ(at(first.body, 3), std::string::npos) << "the 21st newest is on page 2";
    EXPECT_TRUE(contains(first.body, "aska.cgi?page=2"));

    Response second = get(port(), std::string(kMain) + "?page=2");
    ASSERT_EQ(second.status, 200);
    EXPECT_LT(at(second.body, 3), at(second.body, 1));
    EXPECT_EQ(at(second.body, 4), std::string::npos);
    EXPECT_TRUE(contains(second.body, "aska.cgi?page=1"));
    EXPECT_FALSE(contains(second.body, "aska.cgi?page=3"));

    EXPECT_EQ(get(port(), std::string(kMain) + "?page=0").status, 400);
    EXPECT_EQ(get(port(), std::string(kMain) + "?page=x").status, 400);
    EXPECT_EQ(get(port(), std::string(kMain) + "?page=9").status, 200);
}

// --dump prints what a test of the game needs to find a post, without the password hash.
TEST_F(Posting, dumpPrintsThePostsAsJson) {
    postOk("たろう", "私は10秒で85回クリックできました。\"引用\"", "pw");
    ASSERT_EQ(get(port(), registTarget(kDemo, "demo", "x")).status, 200);
    RunResult r = runBoard({"--dump", "--db", db().string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(contains(r.out,
                         "{\"id\": 1, \"board\": \"main\", \"name\": \"たろう\", \"email\": "
                         "\"\", \"subject\": \"結果\", \"comment\": "
                         "\"私は10秒で85回クリックできました。\\\"引用\\\"\", \"url\": \"\", "
                         "\"posted_at\": "))
        << r.out;
    EXPECT_TRUE(contains(r.out, "\"has_password\": true}"));
    EXPECT_TRUE(contains(r.out, "{\"id\": 2, \"board\": \"demo\", \"name\": \"demo\""));
    EXPECT_FALSE(contains(r.out, "pw\""));

    RunResult missing = runBoard({"--dump", "--db", (dir.path() / "none.sqlite3").string()});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(contains(missing.err, "none.sqlite3"));
}

// Anything else on the server is not found; unknown modes are refused.
TEST_F(Posting, otherPathsAndModesAreRefused) {
    Response r = get(port(), "/home/velmora/cgi-bin/aska/aska.cgix");
    EXPECT_EQ(r.status, 404);
    EXPECT_TRUE(contains(r.body, "ページが見つかりません。"));
    EXPECT_EQ(get(port(), "/home/velmora/cgi-bin/aska/aska_cgi").status, 404)
        << "the dot in the path is not a wildcard";
    EXPECT_EQ(get(port(), "/").status, 404);
    expectRejected(std::string(kMain) + "?mode=admin&name=a&comment=b", 400,
                   "この掲示板では行えない操作です。");
}

// Stored texts are shown as text: a name "<script>" can run nothing.
TEST_F(HostileInput, everyStoredTextIsEscaped) {
    Response r =
        get(port(), registTarget(kMain, "<script>alert(1)</script>",
                                 "</p><img src=x onerror=alert(1)>'\"&amp;", "", "\"><script>@x",
                                 "http://x.example/\"><script>", "<b>題</b>"));
    ASSERT_EQ(r.status, 200);
    const std::string page = get(port(), kMain).body;
    EXPECT_FALSE(contains(page, "<script>"));
    EXPECT_FALSE(contains(page, "<img"));
    EXPECT_FALSE(contains(page, "<b>"));
    EXPECT_TRUE(contains(page, "&lt;script&gt;alert(1)&lt;/script&gt;"));
    EXPECT_TRUE(contains(page, "&lt;/p&gt;&lt;img src=x onerror=alert(1)&gt;&#39;&quot;&amp;amp;"));
    EXPECT_TRUE(contains(page, "href=\"http://x.example/&quot;&gt;&lt;script&gt;\""));
    EXPECT_FALSE(contains(page, "mailto:")) << "no link from an address with markup in it";
    // The page forbids scripts even if something slipped through.
    EXPECT_TRUE(
        contains(get(port(), kMain).header("Content-Security-Policy"), "default-src 'none'"));
}

// Home pages become links only for http and https.
TEST_F(HostileInput, onlyWebUrlsBecomeLinks) {
    ASSERT_EQ(get(port(), registTarget(kMain, "a", "js", "", "", "javascript:alert(1)")).status,
              200);
    ASSERT_EQ(get(port(), registTarget(kMain, "b", "data", "", "", "data:text/html,x")).status,
              200);
    ASSERT_EQ(get(port(), registTarget(kMain, "c", "web", "", "", "https://example.jp/")).status,
              200);
    const std::string page = get(port(), kMain).body;
    EXPECT_FALSE(contains(page, "href=\"javascript:"));
    EXPECT_FALSE(contains(page, "href=\"data:"));
    EXPECT_TRUE(contains(page, "href=\"https://example.jp/\""));
}

// An empty or blank name or comment is refused in Japanese and nothing is stored.
TEST_F(HostileInput, emptyNameOrCommentIsRefused) {
    expectRejected(registTarget(kMain, "", "私は10秒で85回"), 400, "お名前が入力されていません。");
    expectRejected(registTarget(kMain, " \t　", "私は10秒で85回"), 400,
                   "お名前が入力されていません。");
    expectRejected(registTarget(kMain, "たろう", ""), 400, "コメントが入力されていません。");
    expectRejected(std::string(kDemo) + "?mode=regist&comment=x", 400,
                   "お名前が入力されていません。");
    EXPECT_TRUE(stored().empty());
}

// "+" is a space, "%2B" a plus, as form decoding has it.
TEST_F(Decoding, plusIsSpaceAndEscapedPlusIsPlus) {
    ASSERT_EQ(
        get(port(), std::string(kMain) + "?mode=regist&name=a+b%2Bc&comment=1%2B1+=+2").status,
        200);
    auto posts = stored();
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].name, "a b+c");
    EXPECT_EQ(posts[0].comment, "1+1 = 2");
}

// An older Japanese browser sends code page 932, escaped or as raw bytes.
TEST_F(Decoding, cp932BytesAreRead) {
    // たろう, 結果, 私は, ①
    ASSERT_EQ(get(port(), std::string(kMain) +
                              "?mode=regist&name=%82%BD%82%EB%82%A4&sub=%8C%8B%89%CA"
                              "&comment=%8E%84%82%CD%87%40")
                  .status,
              200);
    ASSERT_EQ(get(port(), std::string(kDemo) + "?mode=regist&name=\x82\xbd\x82\xeb\x82\xa4"
                                               "&comment=\x8e\x84\x82\xcd")
                  .status,
              200);
    ASSERT_EQ(get(port(), std::string(kDemo) + "?mode=regist&name=\xe3\x81\x82&comment=raw").status,
              200)
        << "raw UTF-8";
    auto posts = stored();
    ASSERT_EQ(posts.size(), 3u);
    EXPECT_EQ(posts[0].name, "たろう");
    EXPECT_EQ(posts[0].subject, "結果");
    EXPECT_EQ(posts[0].comment, "私は①");
    EXPECT_EQ(posts[1].name, "たろう");
    EXPECT_EQ(posts[1].comment, "私は");
    EXPECT_EQ(posts[2].name, "あ");
    EXPECT_TRUE(contains(get(port(), kMain).body, "私は①"));
}

// Malformed escapes and bytes that are neither UTF-8 nor code page 932 store nothing.
TEST_F(Decoding, unreadableInputIsRefused) {
    const std::string base = std::string(kMain) + "?mode=regist&name=";
    const char* badEscapes[] = {"a%", "a%4", "%G0", "%%41", "ok&comment=%zz"};
    for (const char* bad : badEscapes)
        expectRejected(base + bad + "&comment=x", 400, "書式が正しくありません");
    const char* badBytes[] = {"%FF", "%82", "%80", "%ED%A0%80", "%E3%81%82%82%A0"};
    for (const char* bad : badBytes)
        expectRejected(base + bad + "&comment=x", 400, "送信された文字を読み取れません");
    const char* controls[] = {"a%00b", "%1B%5B2J", "%7F"};
    for (const char* bad : controls)
        expectRejected(base + bad + "&comment=x", 400, "制御文字");
    EXPECT_TRUE(stored().empty());
}

// Every field has a limit in characters; at the limit a post is taken, one past it is not.
TEST_F(Limits, eachFieldHasALimit) {
    struct Case {
        const char* key;
        const char* label;
        std::size_t max;
    } cases[] = {{"name", "お名前", 40}, {"email", "E-mail", 100},
                 {"sub", "題名", 40},    {"comment", "コメント", 500},
                 {"url", "URL", 200},    {"pwd", "削除用パスワード", 32}};
    std::size_t expected = 0;
    for (const Case& c : cases) {
        // Japanese characters, so that characters and not bytes are counted.
        auto target = [&](std::size_t n) {
            std::string t = std::string(kMain) + "?mode=regist";
            for (const char* key : {"name", "email", "sub", "comment", "url", "pwd"})
                t += std::string("&") + key + "=" +
                     encode(key == std::string(c.key) ? repeat("あ", n) : std::string("x"));
            return t;
        };
        EXPECT_EQ(get(port(), target(c.max)).status, 200) << c.key;
        ++expected;
        expectRejected(target(c.max + 1), 400,
                       std::string(c.label) + "が長すぎます（" + std::to_string(c.max) +
                           "文字まで）。");
    }
    EXPECT_EQ(stored().size(), expected);
}

// The request line may be 8192 bytes long at most; past that 414, and the server goes on.
TEST_F(Limits, longRequestLineIsRefused) {
    // "GET " + target + " HTTP/1.1" + CRLF is the request line.
    const std::string head = std::string(kMain) + "?mode=regist&name=a&comment=";
    const std::size_t overhead = 4 + head.size() + 11;
    expectRejected(head + repeat("x", 8193 - overhead), 414, "8192バイトまで");
    // At the limit the line is read; the comment is then refused by its own limit.
    expectRejected(head + repeat("x", 8192 - overhead), 400, "コメントが長すぎます");
    expectRejected(head + repeat("x", 100000), 414, "送信された内容が長すぎます");
    postOk("after", "still serving");
    EXPECT_EQ(stored().size(), 1u);
}

// The deletion form's body is bounded too.
TEST_F(Limits, longBodyIsRefused) {
    postOk("a", "b", "pw");
    Response r = post(port(), kMain, "mode=delete&no=1&pwd=" + repeat("x", 9000));
    EXPECT_EQ(r.status, 413);
    EXPECT_TRUE(contains(r.body, "送信された内容が長すぎます。"));
    EXPECT_EQ(stored().size(), 1u);
}

// The right password deletes the post; a wrong one deletes nothing and says so.
TEST_F(Deletion, rightPasswordDeletesAndWrongOneDoesNot) {
    postOk("keep", "one", "secret");
    postOk("gone", "two", "secret");
    Response wrong = post(port(), kMain, "mode=delete&no=2&pwd=Secret");
    EXPECT_EQ(wrong.status, 403);
    EXPECT_TRUE(contains(wrong.body, "パスワードが違うため、No.2 は削除していません。"));
    EXPECT_EQ(stored().size(), 2u);
    Response empty = post(port(), kMain, "mode=delete&no=2&pwd=");
    EXPECT_EQ(empty.status, 403);
    EXPECT_EQ(stored().size(), 2u);

    Response right = post(port(), kMain, "mode=delete&no=2&pwd=secret");
    EXPECT_EQ(right.status, 200);
    EXPECT_TRUE(contains(right.body, "No.2 を削除しました。"));
    EXPECT_FALSE(contains(right.body, "gone"));
    auto posts = stored();
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].name, "keep");

    Response again = post(port(), kMain, "mode=delete&no=2&pwd=secret");
    EXPECT_EQ(again.status, 404);
    EXPECT_TRUE(contains(again.body, "No.2 の投稿はありません。"));
}

// A password sent in code page 932 matches the same password sent in UTF-8.
TEST_F(Deletion, passwordIsComparedAfterDecoding) {
    postOk("a", "b", "ひみつ");
    EXPECT_EQ(post(port(), kMain, "mode=delete&no=1&pwd=%82%D0%82%DD%82%C2").status, 200);
    EXPECT_TRUE(stored().empty());
}

// A post without a password cannot be deleted, and a post belongs to its own board only.
TEST_F(Deletion, noPasswordAndOtherBoardDeleteNothing) {
    postOk("nopw", "x");
    ASSERT_EQ(get(port(), registTarget(kDemo, "demo", "y", "pw")).status, 200);
    Response noPassword = post(port(), kMain, "mode=delete&no=1&pwd=");
    EXPECT_EQ(noPassword.status, 403);
    EXPECT_TRUE(contains(noPassword.body, "削除用パスワードがないため"));
    Response otherBoard = post(port(), kMain, "mode=delete&no=2&pwd=pw");
    EXPECT_EQ(otherBoard.status, 404);
    EXPECT_EQ(stored().size(), 2u);
    EXPECT_EQ(post(port(), kDemo, "mode=delete&no=2&pwd=pw").status, 200);
    EXPECT_EQ(stored().size(), 1u);
}

// Deletion goes through the form's POST only; a link carrying the password is refused.
TEST_F(Deletion, malformedOrLinkedDeletionsAreRefused) {
    postOk("a", "b", "pw");
    expectRejected(std::string(kMain) + "?mode=delete&no=1&pwd=pw", 405, "削除フォーム");
    for (const char* body :
         {"mode=delete&no=x&pwd=pw", "mode=delete&no=0&pwd=pw", "mode=delete&pwd=pw",
          "mode=delete&no=1x&pwd=pw", "mode=delete&no=99999999999999999999&pwd=pw"}) {
        Response r = post(port(), kMain, body);
        EXPECT_EQ(r.status, 400) << body;
        EXPECT_TRUE(contains(r.body, "削除する投稿の番号が正しくありません。")) << body;
    }
    EXPECT_EQ(stored().size(), 1u);
}

// The database keeps a salted SHA-256 of the password, never the password.
TEST_F(Deletion, passwordIsStoredOnlyAsSaltedHash) {
    postOk("a", "b", "hunter2");
    postOk("c", "d", "hunter2");
    postOk("e", "f");
    auto posts = stored();
    ASSERT_EQ(posts.size(), 3u);
    for (const StoredPost& p : posts) {
        for (const std::string* text : {&p.name, &p.email, &p.subject, &p.comment, &p.url})
            EXPECT_FALSE(contains(*text, "hunter2"));
    }
    ASSERT_TRUE(posts[0].salt && posts[0].hash && posts[1].salt && posts[1].hash);
    EXPECT_EQ(posts[0].salt->size(), 16u);
    EXPECT_EQ(posts[0].hash->size(), 32u);
    EXPECT_FALSE(contains(*posts[0].hash, "hunter2"));
    EXPECT_NE(*posts[0].salt, *posts[1].salt);
    EXPECT_NE(*posts[0].hash, *posts[1].hash);
    EXPECT_FALSE(posts[2].salt.has_value());
    EXPECT_FALSE(posts[2].hash.has_value());
}

// Stopping and starting the server again keeps every post of both boards.
TEST_F(Durability, restartKeepsEveryPost) {
    for (int i = 0; i < 15; ++i) {
        ASSERT_EQ(get(port(), registTarget(i % 2 ? kDemo : kMain, "n" + std::to_string(i),
                                           "c" + std::to_string(i), "pw"))
                      .status,
                  200);
    }
    ASSERT_EQ(post(port(), kMain, "mode=delete&no=1&pwd=pw").status, 200);
    auto before = stored();
    ASSERT_EQ(before.size(), 14u);
    EXPECT_EQ(server->stop(), 0);

    server = std::make_unique<BoardProcess>(db());
    auto after = stored();
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].id, before[i].id);
        EXPECT_EQ(after[i].board, before[i].board);
        EXPECT_EQ(after[i].name, before[i].name);
        EXPECT_EQ(after[i].comment, before[i].comment);
        EXPECT_EQ(after[i].hash, before[i].hash);
    }
    EXPECT_TRUE(contains(get(port(), kDemo).body, ">c13<"));
    // A new post does not reuse the deleted post's number.
    postOk("new", "after restart");
    EXPECT_EQ(stored().back().id, 16);
}

// A server killed outright in the middle of a burst of posts keeps every post it answered.
TEST_F(Durability, sigkillLosesNoAcknowledgedPost) {
    constexpr int kWriters = 3;
    constexpr int kPostsPerWriter = 200;
    constexpr std::size_t kKillAfter = 60;
    std::mutex mutex;
    std::set<std::string> acknowledged;
    std::atomic<bool> failed = false;
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w, port = port()] {
            for (int i = 0; i < kPostsPerWriter && !failed; ++i) {
                std::string comment = "w" + std::to_string(w) + "-" + std::to_string(i);
                Response r = get(port, registTarget(w % 2 ? kDemo : kMain, "burst", comment));
                if (r.status != 200) {
                    failed = true; // the server is gone
                    return;
                }
                std::lock_guard lock(mutex);
                acknowledged.insert(comment);
            }
        });
    }
    // Bounded wait for enough acknowledged posts, then kill mid-burst.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    for (;;) {
        {
            std::lock_guard lock(mutex);
            if (acknowledged.size() >= kKillAfter)
                break;
        }
        if (failed || std::chrono::steady_clock::now() > deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    server->kill();
    for (auto& t : writers)
        t.join();
    ASSERT_GE(acknowledged.size(), kKillAfter);
    EXPECT_LT(acknowledged.size(), static_cast<std::size_t>(kWriters * kPostsPerWriter))
        << "the kill should land in the middle of the burst";

    // The restarted server recovers the database and shows the posts.
    server = std::make_unique<BoardProcess>(db());
    EXPECT_EQ(get(port(), kMain).status, 200);
    std::set<std::string> kept;
    for (const StoredPost& p : stored())
        kept.insert(p.comment);
    for (const std::string& comment : acknowledged)
        EXPECT_TRUE(kept.contains(comment)) << "lost acknowledged post " << comment;
}

// The command line: help, bad options, and a port already taken.
TEST(CommandLine, helpBadOptionsAndBusyPort) {
    RunResult help = runBoard({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option : {"--address", "--port", "--db", "--dump", "--help"})
        EXPECT_TRUE(contains(help.out, option)) << option;

    for (std::vector<std::string> bad : {std::vector<std::string>{"--port", "70000"},
                                         {"--port", "x"},
                                         {"--port"},
                                         {"--db"},
                                         {"--bogus"},
                                         {"extra"}}) {
        RunResult r = runBoard(bad);
        EXPECT_EQ(r.exitCode, 2) << bad[0];
        EXPECT_TRUE(contains(r.err, "ponpira-board --help")) << bad[0];
    }

    TempDir dir;
    BoardProcess first(dir.path() / "a.sqlite3");
    RunResult second = runBoard(
        {"--port", std::to_string(first.port()), "--db", (dir.path() / "b.sqlite3").string()});
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_TRUE(contains(second.err, "cannot listen"));
    EXPECT_EQ(first.stop(), 0);
}

// The play script's helper starts one board in the background, with its posts in the user's
// data folder, and leaves a board that already answers alone.
TEST(RunScript, startsOneBoardInTheDataFolder) {
    TempDir home;
    const int port = freePort();
    ASSERT_GT(port, 0);
    const std::vector<std::string> env{"XDG_DATA_HOME=" + home.path().string(),
                                       "PONPIRA_BOARD_PORT=" + std::to_string(port)};
    RunResult first = runProgram({PONPIRA_BOARD_RUN_SCRIPT, boardExe()}, env);
    ASSERT_EQ(first.exitCode, 0) << first.err;
    const pid_t pid = std::atoi(first.out.c_str());
    ASSERT_GT(pid, 0) << first.out;
    // Not our child: stop it however the test ends.
    struct Stop {
        pid_t pid;
        ~Stop() {
            ::kill(pid, SIGTERM);
            for (int i = 0; i < 3000 && ::kill(pid, 0) == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    } stop{pid};
    EXPECT_EQ(first.out, std::to_string(pid) + "\n");

    ASSERT_EQ(get(port, registTarget(kMain, "script", "started by the helper")).status, 200);

    RunResult second = runProgram({PONPIRA_BOARD_RUN_SCRIPT, boardExe()}, env);
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(second.out, "") << "nothing new started, so no pid to stop";
    EXPECT_TRUE(contains(second.err, "already answers"));

    auto posts = readDatabase(home.path() / "ponpira" / "board.sqlite3");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].comment, "started by the helper");

    RunResult missing = runProgram({PONPIRA_BOARD_RUN_SCRIPT, (home.path() / "nothing").string()},
                                   {"XDG_DATA_HOME=" + home.path().string(),
                                    "PONPIRA_BOARD_PORT=" + std::to_string(freePort())});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(contains(missing.err, "not found"));
}
