// SPDX-License-Identifier: MIT
// The three windows' rules on fake controls and a fake platform: no toolkit, no display.
#include "core/appinfo.h"
#include "core/boardurl.h"
#include "core/convert.h"
#include "core/regvalue.h"
#include "core/sysinfo.h"
#include "fakegame.h"

#include <gtest/gtest.h>
#include <regex>

using namespace ponpira;

namespace {

std::string u8(const std::u16string& text) {
    return toUtf8(text);
}
std::u16string u16(const std::string& text) {
    return fromUtf8(text);
}
bool has(const std::u16string& text, const char* part) {
    return u8(text).find(part) != std::string::npos;
}
std::string repeated(const std::string& unit, std::size_t n) {
    std::string text;
    for (std::size_t i = 0; i < n; ++i)
        text += unit;
    return text;
}

// What the player sees, in one line: seconds, clicks, the button, the running timers, the
// messages ("10/41": 41 clicks in 10 s) and what 結果送信 copied (seconds, clicks, demo flag).
std::string seen(const FakeGame& g) {
    std::string line = u8(g.Label1.text_) + "秒 " + u8(g.Label3.text_) + "回 " +
                       u8(g.Command1.text_) + " " + std::to_string(g.Command1.points) + "pt";
    if (!g.Command1.enabled)
        line += " grey";
    if (g.Timer1.enabled)
        line += " T1";
    if (g.Timer2.enabled)
        line += " T2";
    static const std::regex result("^あなたは(\\d+)秒で(\\d+)回クリックすることができました。$");
    for (const FakePlatform::Message& m : g.platform.messages) {
        std::smatch match;
        const std::string prompt = u8(m.prompt);
        line += " " + (std::regex_match(prompt, match, result) && m.title == u"結果"
                           ? match[1].str() + "/" + match[2].str()
                           : u8(m.title));
    }
    if (g.result)
        line += " 送信(" + u8(g.result->Label6.text_) + "," + u8(g.result->Label7.text_) + "," +
                u8(g.result->Label13.text_) + ")";
    return line;
}

} // namespace

// A 16-bit counter fails instead of wrapping; text reads as a number only when it is one.
TEST(Rules, integersAndConversions) {
    EXPECT_EQ((Int16(1638) * 20).value(), 32760);
    EXPECT_THROW(Int16(1639) * 20, OverflowError);
    EXPECT_THROW(Int16(32767) + 1, OverflowError);
    EXPECT_EQ(Int16(32766) + 1, Int16(32767));
    const struct {
        bool integer; // toInt16, else toDouble
        const char* text;
        const char* result; // the value read, "overflow" or "error"
    } cases[] = {
        {true, "32767", "32767"},     {true, "-32768", "-32768"},
        {true, " \u30007 ", "7"},     {true, "", "error"},
        {true, "0x10", "error"},      {true, "1.5", "error"},
        {true, "１０", "error"},      {true, "10秒", "error"},
        {true, "a12", "error"},       {true, "32768", "overflow"},
        {true, "-32769", "overflow"}, {true, "4294967296", "overflow"},
        {false, " 201 ", "201"},      {false, "-2.5", "-2.5"},
        {false, "1e3", "1000"},       {false, "+.5", "0.5"},
        {false, "1e-999", "0"},       {false, "", "error"},
        {false, "1,5", "error"},      {false, "nan", "error"},
        {false, "1e", "error"},       {false, "--1", "error"},
        {false, "1 2", "error"},      {false, "x1", "error"},
        {false, "1e999", "overflow"}, {false, "9e308", "overflow"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string read;
        try {
            std::ostringstream number;
            number << (c.integer ? toInt16(u16(c.text)).value() : toDouble(u16(c.text)));
            read = number.str();
        } catch (const OverflowError&) {
            read = "overflow";
        } catch (const ConversionError&) {
            read = "error";
        }
        EXPECT_EQ(read, c.result);
    }
    EXPECT_EQ(toText(Int16(-32768)), u"-32768");
    // Half of a surrogate pair has no UTF-8 form; a browser escapes each UTF-8 byte.
    EXPECT_EQ(toUtf8(u"𠮷" + std::u16string(1, char16_t(0xD842))), "𠮷\uFFFD");
    EXPECT_EQ(encodedUrlBytes(u"a%𠮷ポ\x7f"), 1 + 1 + 12 + 9 + 1);
}

// A library's error in a handler becomes a message rather than the end of the program.
TEST(Rules, guardReportsLibraryErrors) {
    FakePlatform platform;
    FakeTimer timer;
    timer.enabled = true;
    runHandler(
        platform, {}, [] { throw std::logic_error("boom"); }, &timer);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].prompt, u"予期しないエラーが発生しました。");
    EXPECT_FALSE(timer.enabled);
}

// The game as the player sees it, step by step ("|" marks where to look).
TEST(Rules, game) {
    const struct {
        const char* name;
        std::string script;
        std::vector<std::string> seen;
    } cases[] = {
        {"10 s: cues, end, no click after it",
         "short c | t6 | t | t | t | t c",
         {"0秒 1回 もっと早く 9pt T1", "6秒 1回 もっと早く 9pt T1", "7秒 1回 ３秒前 32pt T1",
          "8秒 1回 ２ 48pt T1", "9秒 1回 １ 72pt T1",
          "10秒 1回 リセットしてください。 9pt grey 10/1"}},
        {"20 s", "regular c t10 | t7", {"10秒 1回 あと１０秒 9pt T1", "17秒 1回 ３秒前 32pt T1"}},
        {"30 s",
         "long c t10 | t10",
         {"10秒 1回 まだ２０秒もある 9pt T1", "20秒 1回 あと１０秒 9pt T1"}},
        // A new length restarts the count at once and the clock runs on; after the end it
        // enables the button, which keeps its caption until a click.
        {"length mid-game",
         "regular c30 t5 short | t | t9 | long | c",
         {"10秒 回 もっと早く 9pt T1", "1秒 回 もっと早く 9pt T1",
          "10秒 回 リセットしてください。 9pt grey 10/0", "30秒 回 リセットしてください。 9pt 10/0",
          "0秒 1回 もっと早く 9pt T1 10/0"}},
        // Before any length the limit is 0: the first tick ends the game.
        {"reset before a length",
         "reset | c3 t",
         {"0秒 回 連打しましょう 9pt", "1秒 3回 もっと早く 9pt grey 1/3"}},
        // Reset stops the clock and keeps the limit and the cue size.
        {"reset mid-game",
         "short c5 t9 reset | c t6 | t",
         {"10秒 回 連打しましょう 72pt", "6秒 1回 もっと早く 72pt T1", "7秒 1回 ３秒前 32pt T1"}},
        // The demo plays ten seconds on the greyed button and is marked as a demo, until a
        // length choice clears the mark.
        {"demo",
         "demo d | c5 | " + repeated("d12 t ", 7) + "| " + repeated("d12 t ", 3) +
             "| d send | short send",
         {"0秒 1回 もっと早く 9pt grey T1 T2", "0秒 1回 もっと早く 9pt grey T1 T2",
          "7秒 85回 ３秒前 32pt grey T1 T2", "10秒 121回 リセットしてください。 9pt grey 10/121",
          "10秒 121回 リセットしてください。 9pt grey 10/121 送信(10,121,1)",
          "10秒 回 リセットしてください。 9pt 10/121 送信(0,0,0)"}},
        // After a finished game the demo counts on from it and ends on its first second.
        {"demo after a game",
         "short c40 t10 demo d12 t send",
         {"11秒 52回 リセットしてください。 9pt grey 10/40 11/52 送信(11,52,1)"}},
        // Reset during a demo stops the clock, not the automatic clicks, and clears the mark.
        {"reset during a demo",
         "demo d30 t2 reset | d | d100 c t10 send",
         {"10秒 回 連打しましょう 9pt T2", "0秒 1回 もっと早く 9pt T2",
          "10秒 102回 リセットしてください。 9pt grey 10/102 送信(10,102,0)"}},
        // At the count's ceiling the next click fails once, cleanly, and the game goes on.
        {"count overflow",
         "demo reset d32767 | d | d10 short c",
         {"0秒 32767回 もっと早く 9pt T2", "0秒 32767回 もっと早く 9pt ポンピラ",
          "0秒 1回 もっと早く 9pt T1 ポンピラ"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeGame g;
        // The result box opens on the end state, so that no tick comes while it is open.
        g.platform.onMessage = [&](const FakePlatform::Message& m) {
            EXPECT_TRUE(m.title != u"結果" || !(g.Timer1.enabled || g.Timer2.enabled));
        };
        std::size_t part = 0;
        for (std::size_t from = 0; part < c.seen.size(); ++part) {
            const std::size_t bar = c.script.find('|', from);
            g.play(c.script.substr(from, bar - from));
            EXPECT_EQ(seen(g), c.seen[part]);
            if (bar == std::string::npos)
                break;
            from = bar + 1;
        }
        EXPECT_EQ(part + 1, c.seen.size());
    }
    FakeGame g;
    g.play("short c4 t3 send about end");
    EXPECT_EQ(g.ends, 1);
    EXPECT_TRUE(g.result->window.shown && g.about->window.shown);
}

// What is posted, and to which board: a trick is judged against the length chosen, not the
// seconds shown; every entry is escaped so that it stays one value.
TEST(Rules, posts) {
    const struct {
        const char* game;
        const char* sentence;
    } cases[] = {
        {"short c85 t10", "私は10秒で85回"},          {"short c200", "私は0秒で200回"},
        {"short c201", "私は裏技を使って0秒で201回"}, {"long c600", "私は0秒で600回"},
        {"long c601", "私は裏技を使って0秒で601回"},  {"short c150 t5", "私は5秒で150回"},
        {"reset c", "私は裏技を使って0秒で1回"},      {"reset", "私は0秒で0回"},
        {"demo d125 t10", "私は10秒で125回"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.game);
        FakeGame g;
        g.play(std::string(c.game) + " send");
        const char* typed[] = {"A&B", "a+b@c", "http://h/?q=1", "&pwd=x#𠮷", "p w%"};
        FakeControl* boxes[] = {&g.result->Text1, &g.result->Text2, &g.result->Text3,
                                &g.result->Text4, &g.result->Text5};
        for (int i = 0; i < 5; ++i)
            boxes[i]->text_ = u16(typed[i]);
        g.play("ok");
        ASSERT_EQ(g.platform.opened.size(), 1u);
        const std::string script = std::string(c.game).starts_with("demo") ? "demoaska" : "aska";
        EXPECT_EQ(u8(g.platform.opened[0]),
                  "http://" + u8(defaultBoardHost()) + "/home/velmora/cgi-bin/aska/" + script +
                      ".cgi?mode=regist&name=A%26B&email=a%2Bb%40c&sub=結果&comment=" + c.sentence +
                      "クリックできました。%26pwd%3Dx%23𠮷&url=http%3A%2F%2Fh%2F%3Fq%3D1"
                      "&pwd=p%20w%25&cook=on");
        EXPECT_FALSE(g.result->window.shown);
        EXPECT_EQ(g.result->Text4.text_, u16(typed[3]));
    }
}

// What the board would refuse is refused here first, saying why and keeping the text.
TEST(Rules, refusals) {
    FakeGame g;
    g.play("send");
    g.result->window.shown = true;
    const std::u16string lone(1, char16_t(0xDFB7));
    const struct {
        const char* game; // played before "送信"
        int box;          // 1..5, 0: none
        std::u16string text;
        bool opens;
        LocalBoardState board;
        const char* says; // part of the message
    } cases[] = {
        {"", 0, {}, true, LocalBoardState::Answering, "時間"},
        {"short", 0, {}, false, LocalBoardState::Answering, "ブラウザー"},
        {"", 0, {}, true, LocalBoardState::NotFound, "ponpira-board"},
        {"", 0, {}, true, LocalBoardState::NoAnswer, "しばらく待って"},
        {"", 0, {}, true, LocalBoardState::NoFolder, ".local/share/ponpira）"},
        {"", 0, {}, true, LocalBoardState::Stopped, "127.0.0.1:8931 をほかのプログラム"},
        {"", 0, {}, true, LocalBoardState::Foreign, "127.0.0.1:8931 ではほかのユーザー"},
        {"", 1, u16(repeated("𠮷", 41)), true, LocalBoardState::Answering, "「お名前」"},
        {"", 2, u16(repeated("a", 101)), true, LocalBoardState::Answering, "「E-mail」"},
        {"", 3, u16(repeated("a", 201)), true, LocalBoardState::Answering, "「URL」"},
        {"", 4, u16(repeated("a", 484)), true, LocalBoardState::Answering,
         "「コメント」が長すぎるため、結果を送信できません。\n483文字以内"},
        {"", 5, u16(repeated("a", 33)), true, LocalBoardState::Answering, "「削除用パスワード」"},
        {"", 4, u"a\x01", true, LocalBoardState::Answering, "制御文字"},
        {"", 2, u"\u0085", true, LocalBoardState::Answering, "制御文字"},
        {"", 1, lone, true, LocalBoardState::Answering, "壊れた文字"},
        {"", 3, u"a" + lone + u"b", true, LocalBoardState::Answering, "壊れた文字"},
    };
    FakeControl* boxes[] = {nullptr,          &g.result->Text1, &g.result->Text2,
                            &g.result->Text3, &g.result->Text4, &g.result->Text5};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        g.play(c.game);
        g.platform.messages.clear();
        g.platform.opened.clear();
        g.platform.openSucceeds = c.opens;
        g.platform.boardState = c.board;
        if (c.box)
            boxes[c.box]->text_ = c.text;
        g.play("ok");
        EXPECT_EQ(g.platform.opened.size(), c.opens ? 0u : 1u);
        ASSERT_EQ(g.platform.messages.size(), 1u);
        EXPECT_TRUE(has(g.platform.messages[0].prompt, c.says))
            << u8(g.platform.messages[0].prompt);
        EXPECT_TRUE(g.result->window.shown);
        if (c.box) {
            EXPECT_EQ(boxes[c.box]->text_, c.text);
            // One character less is sent.
            if (c.text.size() > 2 && c.text != u"a" + lone + u"b") {
                boxes[c.box]->text_.resize(c.text.size() - (c.text.back() >= 0xDC00 ? 2 : 1));
                g.play("ok");
                EXPECT_EQ(g.platform.opened.size(), 1u);
                g.result->window.shown = true;
            }
            boxes[c.box]->text_.clear();
        }
    }
    // The URL's limit is in the bytes the browser sends: 𠮷 escaped is 12.
    g.platform.opened.clear();
    g.play("ok");
    ASSERT_EQ(g.platform.opened.size(), 1u);
    const std::size_t room = maxUrlBytes - encodedUrlBytes(g.platform.opened[0]);
    g.result->Text4.text_ = u16(repeated("𠮷", room / 12));
    for (std::size_t extra : {0, 1}) {
        g.platform.messages.clear();
        g.result->Text3.text_ = std::u16string(room % 12 + extra, u'a');
        g.play("ok");
        EXPECT_EQ(g.platform.messages.size(), extra);
    }
    EXPECT_TRUE(has(g.platform.messages[0].prompt, "入力された内容が長すぎる"));
    EXPECT_EQ(encodedUrlBytes(g.platform.opened.back()), maxUrlBytes);
}

// A malformed board is named and the built-in one used; a local board is started if need be.
TEST(Rules, boardChoice) {
    const std::string builtIn = "http://" + u8(defaultBoardHost());
    const struct Case {
        const char* named;
        std::string host;
        const char* local;
    } cases[] = {
        {"", builtIn, "127.0.0.1 8931"},
        {"board.example.jp:8080", "http://board.example.jp:8080", nullptr},
        {"[::1]:9000", "http://[::1]:9000", "::1 9000"},
        {"HTTP://localhost:80/", "http://localhost:80", "127.0.0.1 80"},
        {"HTTPS://board.example.jp", "https://board.example.jp", nullptr},
        {"https://127.0.0.1:8931", "https://127.0.0.1:8931", nullptr},
        {"127.1.2.3:8000", "http://127.1.2.3:8000", "127.1.2.3 8000"},
        {"[::ffff:127.0.0.1]:80", "http://[::ffff:127.0.0.1]:80", nullptr},
        {"[2001:db8::1]", "http://[2001:db8::1]", nullptr},
        {"[1:2:3:4:5:6:7:8]:1", "http://[1:2:3:4:5:6:7:8]:1", nullptr},
        {"a-b.example:65535", "http://a-b.example:65535", nullptr},
    };
    std::vector<Case> all(std::begin(cases), std::end(cases));
    for (const char* bad : {"evil.example/x?y", "ftp://board.example.jp", "https://b.jp/x",
                            "b.jp:0", "b.jp:65536", "u@b.jp", "-b.jp", "1.2.3.256", "1.2.3.04",
                            "ボード.jp", "[1:2:3:4:5:6:7:8:9]", "[1::2::3]", "[12345::]", "[::1]x"})
        all.push_back({bad, builtIn, "127.0.0.1 8931"});
    for (const auto& c : all) {
        SCOPED_TRACE(c.named);
        FakeGame g;
        g.platform.boardSetting = {u16(c.named), u"設定ファイル x"};
        g.play("short send ok");
        ASSERT_EQ(g.platform.opened.size(), 1u);
        EXPECT_TRUE(u8(g.platform.opened[0]).starts_with(c.host + "/home/"));
        const bool refused = c.host == builtIn && *c.named;
        ASSERT_EQ(g.platform.messages.size(), refused ? 1u : 0u);
        if (refused) {
            EXPECT_EQ(u8(g.platform.messages[0].prompt),
                      std::string("設定ファイル x の掲示板の指定「") + c.named +
                          "」は正しくないため、既定の掲示板（" + builtIn + "）に送信します。");
        }
        EXPECT_EQ(g.platform.boardChecks, c.local ? std::vector<std::u16string>{u16(c.local)}
                                                  : std::vector<std::u16string>{});
    }
}

// The About window's captions, and OK unloads it.
TEST(Rules, about) {
    FakeGame g;
    g.play("about");
    EXPECT_EQ(g.about->lblVersion.text_, u"ﾊﾞｰｼﾞｮﾝ 1.2.2");
    EXPECT_EQ(g.about->lblTitle.text_, u"ポンピラ");
    EXPECT_EQ(g.about->window.caption, u"ポンピラのﾊﾞｰｼﾞｮﾝ情報");
    g.run(g.about->rules, &core::frmAbout::cmdOK_Click);
    EXPECT_FALSE(g.about);
}

// An ordinary user may only read machine keys (the fake refuses more).
TEST(Rules, getKeyValue) {
    using Value = FakePlatform::Value;
    using namespace std::string_literals;
    const struct {
        Value value;
        bool result;
        std::u16string text;
    } cases[] = {
        {{regSz, "C:\\ツール\0"s}, true, u"C:\\ツール"},
        {{regSz, "ab\0\0"s}, true, u"ab\0"s}, // only the last zero goes
        {{regDword, "\x10\0\0\x02"s}, true, u"&h02000010"},
        {{regDword, "\x01\0\0\0"s}, true, u"&h000001"},
        {{regBinary, "xyz"}, true, u"before"}, // another type keeps the text
        {{regExpandSz, "%x%\0"s}, true, u"before"},
        {{regSz, std::string(1024, 'a') + '\0'}, false, {}},
        {{}, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(u8(c.text));
        FakePlatform platform;
        platform.registry[u"K"][u"V"] = c.value;
        std::u16string text = u"before";
        EXPECT_EQ(sysinfo::getKeyValue(platform, hkeyLocalMachine, u"K", u"V", text), c.result);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(platform.openKeys, 0);
    }
    // A successful read cannot report more bytes than the buffer holds.
    const unsigned char buffer[4] = {'a', 'b', 'c', 0};
    EXPECT_EQ(keepValueBytes(errorSuccess, regSz, buffer, 5).use, RegValueUse::Failed);
}

// The recorded folder is trusted only when the tool is found there.
TEST(Rules, launcher) {
    using Value = FakePlatform::Value;
    using namespace std::string_literals;
    const Value tools{regSz, "C:\\Tools\0"s};
    const std::u16string exe = u"C:\\Tools\\MSINFO32.EXE";
    const std::u16string path = u"C:\\Program Files\\x\\msinfo32.exe";
    const Value first{regSz, u8(path) + '\0'};
    const struct {
        Value first;
        Value second;
        std::u16string fileThere; // what the file search finds
        std::u16string started;
    } cases[] = {
        {first, tools, {}, path},
        {{}, tools, exe, exe},
        {{}, tools, {}, {}},
        {{regSz, std::string(1100, 'p') + '\0'}, tools, exe, exe}, // the first too long
        {{}, {regBinary, "\x01"}, u"\\MSINFO32.EXE", u"\\MSINFO32.EXE"},
        {{regSz, {}}, tools, exe, {}}, // no data: the error ends it
        {{}, {}, {}, {}},
    };
    for (bool startWorks : {true, false}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(u8(c.started));
            FakeGame g;
            g.platform.registry[sysinfo::toolPathKey][u"PATH"] = c.first;
            g.platform.registry[sysinfo::toolFolderKey][u"MSINFO"] = c.second;
            g.platform.existingFiles.push_back(c.fileThere);
            g.platform.startSucceeds = startWorks;
            g.play("about");
            g.run(g.about->rules, &core::frmAbout::cmdSysInfo_Click);
            EXPECT_EQ(g.platform.started, c.started.empty()
                                              ? std::vector<std::u16string>{}
                                              : std::vector<std::u16string>{c.started});
            const bool toolRuns = !c.started.empty() && startWorks;
            ASSERT_EQ(g.platform.messages.size(), toolRuns ? 0u : 1u);
            if (!toolRuns) {
                EXPECT_EQ(g.platform.messages[0].prompt, u"現時点ではｼｽﾃﾑ情報を使用できません");
                EXPECT_EQ(g.platform.messages[0].parent, &g.about->window);
            }
            EXPECT_EQ(g.platform.openKeys, 0);
        }
    }
}
