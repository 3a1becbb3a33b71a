#include "submit/boardurl.h"

namespace ponpira {

namespace {

bool isUnreserved(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
           c == u'-' || c == u'.' || c == u'_' || c == u'~';
}

} // namespace

QString boardHost() {
    return QStringLiteral(PONPIRA_BOARD_HOST);
}

QString boardPath(PostCase postCase) {
    return postCase == PostCase::Demo ? QStringLiteral("/home/velmora/cgi-bin/aska/demoaska.cgi")
                                      : QStringLiteral("/home/velmora/cgi-bin/aska/aska.cgi");
}

QString escapeEntry(const QString& text) {
    static constexpr char hex[] = "0123456789ABCDEF";
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c >= 0x80 || isUnreserved(c)) {
            // Surrogate halves pass one by one and stay paired, so 𠮷 and emoji survive.
            escaped.append(ch);
        } else {
            escaped.append(u'%');
            escaped.append(QLatin1Char(hex[c >> 4]));
            escaped.append(QLatin1Char(hex[c & 0xF]));
        }
    }
    return escaped;
}

QString boardUrl(const QString& host, const BoardPost& post) {
    QString url = QStringLiteral("http://") + host + boardPath(post.postCase);
    url += QStringLiteral("?mode=regist&name=") + escapeEntry(post.name);
    url += QStringLiteral("&email=") + escapeEntry(post.email);
    url += post.postCase == PostCase::Trick ? QStringLiteral("&sub=結果&comment=私は裏技を使って")
                                            : QStringLiteral("&sub=結果&comment=私は");
    url += post.seconds + QStringLiteral("秒で") + post.clicks +
           QStringLiteral("回クリックできました。") + escapeEntry(post.comment);
    url += QStringLiteral("&url=") + escapeEntry(post.homePage);
    url += QStringLiteral("&pwd=") + escapeEntry(post.password);
    url += QStringLiteral("&cook=on");
    return url;
}

qsizetype encodedUrlBytes(const QString& url) {
    qsizetype bytes = 0;
    for (const char byte : url.toUtf8())
        bytes += static_cast<unsigned char>(byte) < 0x80 ? 1 : 3;
    return bytes;
}

} // namespace ponpira
