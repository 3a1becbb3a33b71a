// SPDX-License-Identifier: MIT
// The board's parts without the server: form decoding, page text, passwords and the store.

#include "board/form.h"
#include "board/page.h"
#include "board/password.h"
#include "board/store.h"

#include <cstring>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

using namespace board;

// Syncs of files to the disk, counted: SQLite's calls reach these before the C library's.
int syncs = 0;

extern "C" int fsync(int fd) {
    ++syncs;
    static const auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"));
    return real(fd);
}

extern "C" int fdatasync(int fd) {
    ++syncs;
    static const auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fdatasync"));
    return real(fd);
}

// Each value is percent-decoded ("+" a space) and read as UTF-8 where it is valid UTF-8 and as
// code page 932 otherwise; a form that cannot be read in full yields no fields at all.
TEST(Form, decodesEveryFieldOrRejectsTheWhole) {
    using enum FormError;
    struct Case {
        const char* in;
        FormError error;
        const char* name = "";
    } cases[] = {
        {"name=a+b%2Bc%26%3D%23%3F%3b&name=second", None, "a b+c&=#?;"},
        {"name=100%25+%e3%81%82%E3%81%82", None, "100% ああ"},
        {"name=\xe3\x81\x82&x=%82%BD", None, "あ"}, // raw UTF-8 beside code page 932
        {"name=%82%BD%82%EB%82%A4", None, "たろう"},
        {"name=\x82\xbd\x82\xeb\x82\xa4", None, "たろう"},        // raw code page 932
        {"name=%87%40%FA%40%B1%DD%5C%7E", None, "①ⅰｱﾝ\\~"},       // Microsoft's extensions
        {"name=line%0D%0Anext%09tab", None, "line\r\nnext\ttab"}, // a pasted comment
        {"name=ok&comment=%4", MalformedEscape},
        {"na%me=a", MalformedEscape},
        {"name=%80", BadEncoding},
        {"name=%82%20", BadEncoding},
        {"name=%ED%A0%80", BadEncoding},
        {"name=a%00b", ControlChar},
        {"name=%7F", ControlChar},
        {"name=%C2%85", ControlChar},
    };
    for (const Case& c : cases) {
        Form f = parseForm(c.in);
        EXPECT_EQ(f.error, c.error) << c.in;
        EXPECT_EQ(f.get("name"), c.name) << c.in;
        EXPECT_EQ(f.fields.empty(), c.error != None) << c.in;
    }
    // Strict UTF-8: overlong forms, surrogates, code points past U+10FFFF and cut sequences.
    for (const char* bad :
         {"\xc0\xaf", "\xe0\x80\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xe7\xb5"})
        EXPECT_FALSE(isValidUtf8(bad)) << std::strlen(bad);
    EXPECT_TRUE(isValidUtf8("\xf4\x8f\xbf\xbf結果"));
    EXPECT_EQ(utf8Length("私は10秒\xf0\x9f\x8e\xae"), 6u);
}

TEST(PageText, escapesMarkupAndLinksOnlyWebUrls) {
    EXPECT_EQ(htmlEscape("<script>alert('x')</script>&\""),
              "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;&amp;&quot;");
    EXPECT_TRUE(isWebUrl("http://example.com/") && isWebUrl("HTTPS://example.com/~taro/"));
    for (const char* url : {"", "http://", "javascript:alert(1)", " http://example.com/",
                            "data:text/html,x", "http://exa mple.com/", "ftp://x/", "//x/"})
        EXPECT_FALSE(isWebUrl(url)) << url;
}

TEST(Password, hashVerifiesOnlyTheSamePassword) {
    const char abc[] = "\xba\x78\x16\xbf\x8f\x01\xcf\xea\x41\x41\x40\xde\x5d\xae\x22\x23"
                       "\xb0\x03\x61\xa3\x96\x17\x7a\x9c\xb4\x10\xff\x61\xf2\x00\x15\xad";
    EXPECT_EQ(sha256("abc"), std::string(abc, 32)) << "the known answer for \"abc\"";
    PasswordHash a = hashPassword("ひみつ");
    PasswordHash b = hashPassword("ひみつ");
    EXPECT_EQ(a.method, "pbkdf2-sha256$" + std::to_string(kPbkdf2Iterations));
    EXPECT_EQ(a.salt.size(), 16u);
    EXPECT_NE(a.salt, b.salt) << "each post gets its own salt";
    EXPECT_NE(a.digest, sha256(a.salt + "ひみつ")) << "not a plain digest";
    EXPECT_TRUE(verifyPassword(a, "ひみつ") && verifyPassword(b, "ひみつ"));
    EXPECT_FALSE(verifyPassword(a, "ひみ") || verifyPassword(a, ""));
    EXPECT_FALSE(verifyPassword({a.method, a.salt, a.digest.substr(0, 31)}, "ひみつ"));
    EXPECT_FALSE(verifyPassword({"pbkdf2-sha256$1", a.salt, a.digest}, "ひみつ"));
    EXPECT_FALSE(verifyPassword({"md5", a.salt, a.digest}, "ひみつ"));
}

// The first board's database, its keys salted SHA-256, is taken over with nothing lost, and a
// post is on the disk, not only in the cache, before it is acknowledged.
TEST(Store, takesOverTheFirstBoardsPostsAndSyncsEveryNewOne) {
    const std::string path =
        testing::TempDir() + "ponpira-old-board-" + std::to_string(getpid()) + ".sqlite3";
    std::remove(path.c_str());
    std::string sql =
        "CREATE TABLE posts (id INTEGER PRIMARY KEY AUTOINCREMENT, board TEXT NOT NULL, name TEXT "
        "NOT NULL, email TEXT NOT NULL, subject TEXT NOT NULL, comment TEXT NOT NULL, url TEXT "
        "NOT NULL, posted_at INTEGER NOT NULL, pwd_salt BLOB, pwd_hash BLOB);"
        "INSERT INTO posts VALUES (1, 'main', 'むかし', '', '結果', "
        "'私は30秒で300回クリックできました。', '', 1000000000, NULL, NULL);"
        "INSERT INTO posts VALUES (2, 'main', 'n', '', '', 'c', '', 1, X'" +
        std::string(32, '7') + "', X'";
    char hex[3];
    for (unsigned char c : sha256(std::string(16, 'w') + "oldpw")) {
        std::snprintf(hex, sizeof hex, "%02x", c);
        sql += hex;
    }
    sqlite3* handle = nullptr;
    sqlite3_open(path.c_str(), &handle);
    EXPECT_EQ(sqlite3_exec(handle, (sql + "')").c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(handle);

    {
        Store store(path);
        const std::vector<RankEntry> ranked = store.ranking(30, 10);
        ASSERT_EQ(ranked.size(), 1u);
        EXPECT_EQ(ranked[0].name + std::to_string(ranked[0].clicks), "むかし300");
        EXPECT_EQ(store.remove(Board::Main, 2, "wrong"), DeleteResult::WrongPassword);
        EXPECT_EQ(store.remove(Board::Main, 2, "oldpw"), DeleteResult::Deleted);
        for (std::int64_t id = 3; id < 6; ++id) { // the deleted newest post's number is not reused
            const int before = syncs;
            EXPECT_EQ(store.add({Board::Main, "new", "", "", std::to_string(id), "", ""}, id).id,
                      id);
            EXPECT_GT(syncs, before);
        }
    }
    std::remove(path.c_str());
}
