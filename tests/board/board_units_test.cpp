// The board's pure parts: form decoding, page escaping, password hashing and the JSON dump.

#include "board/dump.h"
#include "board/form.h"
#include "board/page.h"
#include "board/password.h"

#include <gtest/gtest.h>

using namespace board;

namespace {

std::string hex(std::string_view bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (char c : bytes) {
        out += digits[static_cast<unsigned char>(c) >> 4];
        out += digits[static_cast<unsigned char>(c) & 15];
    }
    return out;
}

} // namespace

// Percent-escapes and "+" decode as form decoding does; a "%" without two hex digits is an error.
TEST(FormDecoding, percentDecodeFollowsFormRules) {
    struct Case {
        const char* in;
        std::optional<std::string> out;
    } cases[] = {
        {"", ""},
        {"abc", "abc"},
        {"a+b", "a b"},
        {"a%2Bb", "a+b"},
        {"%26%3D%23%3F", "&=#?"},
        {"%e3%81%82", "\xe3\x81\x82"},
        {"%E3%81%82", "\xe3\x81\x82"},
        {"100%25", "100%"},
        {"%", std::nullopt},
        {"a%", std::nullopt},
        {"a%4", std::nullopt},
        {"%G0", std::nullopt},
        {"%0G", std::nullopt},
        {"%%41", std::nullopt},
        {"%-1", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(percentDecode(c.in), c.out) << c.in;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF, nothing cut short.
TEST(FormDecoding, utf8ValidationIsStrict) {
    struct Case {
        std::string bytes;
        bool valid;
    } cases[] = {
        {"", true},
        {"plain ASCII", true},
        {"\xe7\xb5\x90\xe6\x9e\x9c", true}, // 結果
        {"\xf0\x9f\x8e\xae", true},         // U+1F3AE
        {"\xf4\x8f\xbf\xbf", true},         // U+10FFFF
        {"\xc0\xaf", false},                // overlong "/"
        {"\xe0\x80\xaf", false},            // overlong "/"
        {"\xf0\x80\x80\xaf", false},        // overlong "/"
        {"\xed\xa0\x80", false},            // surrogate U+D800
        {"\xf4\x90\x80\x80", false},        // U+110000
        {"\xe7\xb5", false},                // cut short
        {"\x80", false},                    // lone continuation byte
        {"\xff", false},
        {"\x82\xbd\x82\xeb\x82\xa4", false}, // たろう in code page 932
        {std::string("a\0b", 3), true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isValidUtf8(c.bytes), c.valid) << hex(c.bytes);
}

// What an older Japanese browser sends: Microsoft's code page 932, extensions included.
TEST(FormDecoding, cp932ConvertsToUtf8) {
    struct Case {
        std::string bytes;
        std::optional<std::string> utf8;
    } cases[] = {
        {"\x82\xbd\x82\xeb\x82\xa4", "たろう"},
        {"\x8c\x8b\x89\xca", "結果"},
        {"\xb1\xdd", "ｱﾝ"},         // half-width katakana
        {"\x87\x40", "①"},          // NEC special character
        {"\xfa\x40", "ⅰ"},          // IBM extension
        {"\x5c\x7e", "\\~"},        // not ¥ and ‾ as in plain Shift_JIS
        {"\x82", std::nullopt},     // lead byte without its trail
        {"\x82\x20", std::nullopt}, // trail byte out of range
        {"\x80", std::nullopt},
        {"\xa0", std::nullopt},
        {"\xff", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(cp932ToUtf8(c.bytes), c.utf8) << hex(c.bytes);
}

// Each key and value is UTF-8 where it is valid UTF-8 and code page 932 otherwise.
TEST(FormDecoding, parseFormDecodesEveryFieldOnItsOwn) {
    Form f = parseForm("mode=regist&name=%82%BD%82%EB%82%A4&comment=%E7%A7%81%E3%81%AF+1"
                       "&empty=&bare&name=second&&");
    ASSERT_EQ(f.error, FormError::None);
    EXPECT_EQ(f.get("mode"), "regist");
    EXPECT_EQ(f.get("name"), "たろう") << "the first of repeated keys wins";
    EXPECT_EQ(f.get("comment"), "私は 1");
    EXPECT_EQ(f.get("empty"), "");
    EXPECT_TRUE(f.fields.contains("bare"));
    EXPECT_EQ(f.get("missing"), "");
    EXPECT_EQ(f.fields.size(), 5u);

    Form raw = parseForm("name=\xe3\x81\x82\x82\xa0");
    EXPECT_EQ(raw.error, FormError::BadEncoding) << "neither UTF-8 nor code page 932";
}

// A form that cannot be read in full yields no fields at all, so nothing half-read is stored.
TEST(FormDecoding, parseFormRejectsBadInputWhole) {
    struct Case {
        const char* in;
        FormError error;
    } cases[] = {
        {"name=a&comment=%zz", FormError::MalformedEscape},
        {"na%me=a", FormError::MalformedEscape},
        {"name=%FF", FormError::BadEncoding},
        {"name=%ED%A0%80", FormError::BadEncoding},
        {"name=%82", FormError::BadEncoding},
        {"name=a%00b", FormError::ControlChar},
        {"name=%1B%5B2J", FormError::ControlChar},
        {"name=%7F", FormError::ControlChar},
        {"name=%C2%85", FormError::ControlChar},
        {"comment=line%0D%0Anext%09tab", FormError::None},
    };
    for (const Case& c : cases) {
        Form f = parseForm(c.in);
        EXPECT_EQ(f.error, c.error) << c.in;
        if (c.error != FormError::None) {
            EXPECT_TRUE(f.fields.empty()) << c.in;
        }
    }
}

TEST(FormDecoding, utf8LengthCountsCodePoints) {
    EXPECT_EQ(utf8Length(""), 0u);
    EXPECT_EQ(utf8Length("abc"), 3u);
    EXPECT_EQ(utf8Length("私は10秒"), 5u);
    EXPECT_EQ(utf8Length("\xf0\x9f\x8e\xae"), 1u);
}

TEST(PageText, htmlEscapeCoversTextAndAttributes) {
    EXPECT_EQ(htmlEscape("<script>alert('x')</script>"),
              "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;");
    EXPECT_EQ(htmlEscape("a&b \"c\""), "a&amp;b &quot;c&quot;");
    EXPECT_EQ(htmlEscape("たろう"), "たろう");
}

// Only plain web addresses become links.
TEST(PageText, onlyHttpAndHttpsUrlsAreLinks) {
    EXPECT_TRUE(isWebUrl("http://example.com/"));
    EXPECT_TRUE(isWebUrl("HTTPS://example.com/~taro/"));
    EXPECT_FALSE(isWebUrl(""));
    EXPECT_FALSE(isWebUrl("http://"));
    EXPECT_FALSE(isWebUrl("javascript:alert(1)"));
    EXPECT_FALSE(isWebUrl(" http://example.com/"));
    EXPECT_FALSE(isWebUrl("data:text/html,<script>alert(1)</script>"));
    EXPECT_FALSE(isWebUrl("http://exa mple.com/"));
    EXPECT_FALSE(isWebUrl("ftp://example.com/"));
    EXPECT_FALSE(isWebUrl("//example.com/"));
}

TEST(PageText, mailtoOnlyForPlainAddresses) {
    EXPECT_TRUE(looksLikeEmail("taro@example.jp"));
    EXPECT_FALSE(looksLikeEmail(""));
    EXPECT_FALSE(looksLikeEmail("taro"));
    EXPECT_FALSE(looksLikeEmail("@example.jp"));
    EXPECT_FALSE(looksLikeEmail("taro@"));
    EXPECT_FALSE(looksLikeEmail("a@b@c"));
    EXPECT_FALSE(looksLikeEmail("taro@example.jp?subject=x"));
    EXPECT_FALSE(looksLikeEmail("\"><script>@x"));
    EXPECT_FALSE(looksLikeEmail("ta ro@example.jp"));
}

TEST(PageText, boardPageShowsPostsAndEscapesThem) {
    BoardView view;
    view.board = Board::Demo;
    Post p;
    p.id = 7;
    p.board = Board::Demo;
    p.name = "<b>taro</b>";
    p.email = "\"x\"@y";
    p.subject = "";
    p.comment = "a\"b";
    p.url = "javascript:alert(1)";
    view.posts.push_back(p);
    view.page = 2;
    view.hasNextPage = true;
    std::string html = renderBoard(view);
    EXPECT_NE(html.find("&lt;b&gt;taro&lt;/b&gt;"), std::string::npos);
    EXPECT_EQ(html.find("<b>taro"), std::string::npos);
    EXPECT_EQ(html.find("mailto:"), std::string::npos);
    EXPECT_EQ(html.find("javascript:"), std::string::npos);
    EXPECT_NE(html.find("a&quot;b"), std::string::npos);
    EXPECT_NE(html.find("[7] 無題"), std::string::npos);
    EXPECT_NE(html.find("action=\"/home/velmora/cgi-bin/aska/demoaska.cgi\""), std::string::npos);
    EXPECT_NE(html.find("demoaska.cgi?page=1"), std::string::npos);
    EXPECT_NE(html.find("demoaska.cgi?page=3"), std::string::npos);
}

// Known answers from FIPS 180-2.
TEST(PasswordHash, sha256KnownAnswers) {
    EXPECT_EQ(hex(sha256("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hex(sha256("abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hex(sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(PasswordHash, saltedHashVerifiesOnlyTheSamePassword) {
    PasswordHash a = hashPassword("ひみつ");
    PasswordHash b = hashPassword("ひみつ");
    EXPECT_EQ(a.salt.size(), 16u);
    EXPECT_EQ(a.digest.size(), 32u);
    EXPECT_NE(a.salt, b.salt) << "each post gets its own salt";
    EXPECT_NE(a.digest, b.digest);
    EXPECT_EQ(a.digest, sha256(a.salt + "ひみつ"));
    EXPECT_TRUE(verifyPassword(a, "ひみつ"));
    EXPECT_TRUE(verifyPassword(b, "ひみつ"));
    EXPECT_FALSE(verifyPassword(a, "ひみ"));
    EXPECT_FALSE(verifyPassword(a, ""));
    EXPECT_FALSE(verifyPassword({a.salt, a.digest.substr(0, 31)}, "ひみつ"));
}

TEST(Dump, jsonEscapesQuotesBackslashesAndControls) {
    Post p;
    p.id = 3;
    p.board = Board::Demo;
    p.name = "\"taro\"\\";
    p.comment = "line\nnext\ttab\r";
    p.postedAt = 1700000000;
    p.hasPassword = true;
    EXPECT_EQ(postsToJson({}), "[]\n");
    EXPECT_EQ(postsToJson({p}),
              "[\n  {\"id\": 3, \"board\": \"demo\", \"name\": \"\\\"taro\\\"\\\\\", \"email\": "
              "\"\", \"subject\": \"\", \"comment\": \"line\\nnext\\ttab\\r\", \"url\": \"\", "
              "\"posted_at\": 1700000000, \"has_password\": true}\n]\n");
}
