// SPDX-License-Identifier: MIT
// The board's pure parts: form decoding, page text and password hashing.

#include "board/form.h"
#include "board/page.h"
#include "board/password.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace board;

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
