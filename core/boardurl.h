// SPDX-License-Identifier: MIT
#pragma once

#include "core/platform.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace ponpira {

// The three ways a result is posted.
enum class PostCase {
    Demo,   // a demo run: the demo board
    Trick,  // more clicks than 20 a second: the main board, admitting a trick
    Normal, // the main board
};

// One post as the result window holds it: the values as shown, the entries as typed.
struct BoardPost {
    PostCase postCase = PostCase::Normal;
    std::u16string name;     // Text1
    std::u16string email;    // Text2
    std::u16string seconds;  // Label6
    std::u16string clicks;   // Label7
    std::u16string comment;  // Text4
    std::u16string homePage; // Text3
    std::u16string password; // Text5
};

// The board server this build posts to (host and optional port), fixed when the program is
// built. The player may name another one (see Platform::boardHostSetting).
std::u16string defaultBoardHost();

// True for a board's host: a DNS name (letters, digits, hyphens, dots), an IPv4 address or a
// bracketed IPv6 address, then an optional ":port" (1..65535). No user, path or space can slip
// into the URL through it.
bool isValidBoardHost(const std::u16string& host);

// A board as a player names it, "https://board.example.jp", "http://127.0.0.1:8931", or a bare
// host (and port) that means http as it always has: its URL base "scheme://host[:port]", the
// scheme in lower case and a trailing "/" dropped; nothing for any other scheme or for a path.
std::optional<std::u16string> boardBase(const std::u16string& value);

// The board that "送信" posts to, and what the player configured if it was refused.
struct BoardHostChoice {
    std::u16string host;     // the board's URL base (see boardBase), always valid
    std::u16string rejected; // a malformed configured value, empty when there was none
    std::u16string source;   // where the rejected value came from
};

// The board the player named when it is well formed, else the built-in one.
BoardHostChoice chooseBoardHost(const BoardHostSetting& setting);

// A board on this machine that the program may start itself: plain http to a loopback host
// (127.0.0.0/8, localhost, [::1]) with an explicit port. The address is where it is to listen.
struct LocalBoard {
    std::u16string address;
    std::uint16_t port = 0;
};
std::optional<LocalBoard> localBoard(const std::u16string& host);

// The board script's path on the board server.
std::u16string boardPath(PostCase postCase);

// "私は10秒で85回クリックできました。" (with "裏技を使って" for a trick): the start of the comment.
std::u16string resultSentence(const BoardPost& post);

// Percent-encodes (as UTF-8) every ASCII character of an entry except letters, digits and
// "-._~", so that what the player typed can neither end its own value nor start another key.
// Other characters stay as typed; the browser encodes them on the way out.
std::u16string escapeEntry(const std::u16string& text);

// The complete board URL, the board's URL base (a bare host meaning http) + path + the query,
// keys in the board's order.
std::u16string boardUrl(const std::u16string& host, const BoardPost& post);

// The size of the request target once every non-ASCII character has been percent-encoded
// as UTF-8, which is what the browser sends for a URL from boardUrl.
std::size_t encodedUrlBytes(const std::u16string& url);

// The longest URL that is handed to the shell. 2083 is the limit of the Windows shell and
// URL functions (INTERNET_MAX_URL_LENGTH) and of older browsers; every current browser and
// web server accepts at least that much, so nothing within it is cut off on the way.
inline constexpr std::size_t maxUrlBytes = 2083;

// A value that the board would refuse as too long. The board counts code points; the comment
// value carries the result sentence before the player's comment.
struct TooLong {
    std::u16string label; // the field as the player knows it
    std::size_t limit;    // the board's limit for the whole value
    std::size_t typedMax; // what of it is left for the player's own text
};
std::optional<TooLong> tooLongField(const BoardPost& post);

// Text the board cannot take: half of a surrogate pair (no UTF-8 form), or a control
// character other than tab, line feed and carriage return.
bool hasUnsendableCharacter(const std::u16string& text);

} // namespace ponpira
