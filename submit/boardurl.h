// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <optional>

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
    QString name;     // Text1
    QString email;    // Text2
    QString seconds;  // Label6
    QString clicks;   // Label7
    QString comment;  // Text4
    QString homePage; // Text3
    QString password; // Text5
};

// The board server this build posts to (host and optional port), fixed when the program is
// built. The settings file or PONPIRA_BOARD_HOST may name another one for a player.
QString defaultBoardHost();

// True for a board's host: a DNS name (letters, digits, hyphens, dots), an IPv4 address or a
// bracketed IPv6 address, then an optional ":port" (1..65535). No user, path or space can slip
// into the URL through it.
bool isValidBoardHost(const QString& host);

// A board as a player names it, "https://board.example.jp", "http://127.0.0.1:8931", or a bare
// host (and port) that means http as it always has: its URL base "scheme://host[:port]", the
// scheme in lower case and a trailing "/" dropped; nothing for any other scheme or for a path.
std::optional<QString> boardBase(const QString& value);

// Where a player names another board: "[board]" "host=https://board.example.jp".
QString boardSettingsPath();

// The board that "送信" posts to, and what the player configured if it was refused.
struct BoardHostChoice {
    QString host;     // the board's URL base (see boardBase), always valid
    QString rejected; // a malformed configured value, empty when there was none
    QString source;   // where the rejected value came from, as the player would look for it
};

// PONPIRA_BOARD_HOST when set, else the settings file's [board] host, else the built-in host;
// a malformed value falls back to the built-in host. Read afresh at each call.
BoardHostChoice chooseBoardHost();

// A board on this machine that the program may start itself: plain http to a loopback host
// (127.0.0.0/8, localhost, [::1]) with an explicit port. The address is where it is to listen.
struct LocalBoard {
    QString address;
    quint16 port = 0;
};
std::optional<LocalBoard> localBoard(const QString& host);

// The board script's path on the board server.
QString boardPath(PostCase postCase);

// "私は10秒で85回クリックできました。" (with "裏技を使って" for a trick): the start of the comment.
QString resultSentence(const BoardPost& post);

// Percent-encodes (as UTF-8) every ASCII character of an entry except letters, digits and
// "-._~", so that what the player typed can neither end its own value nor start another key.
// Other characters stay as typed; the browser encodes them on the way out.
QString escapeEntry(const QString& text);

// The complete board URL, the board's URL base (a bare host meaning http) + path + the query,
// keys in the board's order.
QString boardUrl(const QString& host, const BoardPost& post);

// The size of the request target once every non-ASCII character has been percent-encoded
// as UTF-8, which is what the browser sends for a URL from boardUrl.
qsizetype encodedUrlBytes(const QString& url);

// The longest URL that is handed to the shell. 2083 is the limit of the Windows shell and
// URL functions (INTERNET_MAX_URL_LENGTH) and of older browsers; every current browser and
// web server accepts at least that much, so nothing within it is cut off on the way.
inline constexpr qsizetype maxUrlBytes = 2083;

// A value that the board would refuse as too long. The board counts code points; the comment
// value carries the result sentence before the player's comment.
struct TooLong {
    QString label;      // the field as the player knows it
    qsizetype limit;    // the board's limit for the whole value
    qsizetype typedMax; // what of it is left for the player's own text
};
std::optional<TooLong> tooLongField(const BoardPost& post);

// Text the board cannot take: half of a surrogate pair (no UTF-8 form), or a control
// character other than tab, line feed and carriage return.
bool hasUnsendableCharacter(const QString& text);

} // namespace ponpira
