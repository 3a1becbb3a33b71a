#pragma once

#include <QString>

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
// built.
QString boardHost();

// The board script's path on the board server.
QString boardPath(PostCase postCase);

// Percent-encodes (as UTF-8) every ASCII character of an entry except letters, digits and
// "-._~", so that what the player typed can neither end its own value nor start another key.
// Other characters stay as typed; the browser encodes them on the way out.
QString escapeEntry(const QString& text);

// The complete board URL, "http://" + host + path + the query, keys in the board's order.
QString boardUrl(const QString& host, const BoardPost& post);

// The size of the request target once every non-ASCII character has been percent-encoded
// as UTF-8, which is what the browser sends for a URL from boardUrl.
qsizetype encodedUrlBytes(const QString& url);

// The longest URL that is handed to the shell. 2083 is the limit of the Windows shell and
// URL functions (INTERNET_MAX_URL_LENGTH) and of older browsers; every current browser and
// web server accepts at least that much, so nothing within it is cut off on the way.
inline constexpr qsizetype maxUrlBytes = 2083;

} // namespace ponpira
