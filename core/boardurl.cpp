// SPDX-License-Identifier: MIT
#include "submit/boardurl.h"

#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace ponpira {

namespace {

bool isUnreserved(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
           c == u'-' || c == u'.' || c == u'_' || c == u'~';
}

qsizetype codePoints(const QString& text) {
    return text.size() -
           std::count_if(text.cbegin(), text.cend(), [](QChar c) { return c.isLowSurrogate(); });
}

bool isIPv4(const QStringList& parts) {
    if (parts.size() != 4)
        return false;
    for (const QString& part : parts) {
        bool ok = false;
        if (part.size() > 3 || (part.size() > 1 && part.startsWith(u'0')) ||
            part.toInt(&ok) > 255 || !ok)
            return false;
    }
    return true;
}

bool isDnsName(const QString& name) {
    if (name.size() > 253)
        return false;
    const QStringList labels = name.split(u'.');
    for (const QString& label : labels) {
        if (label.isEmpty() || label.size() > 63 || label.startsWith(u'-') || label.endsWith(u'-'))
            return false;
    }
    // No top-level domain is all digits: such a name is meant as an IPv4 address.
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    return !digits.match(labels.last()).hasMatch() || isIPv4(labels);
}

} // namespace

QString defaultBoardHost() {
    return QStringLiteral(PONPIRA_BOARD_HOST);
}

bool isValidBoardHost(const QString& host) {
    static const QRegularExpression form(
        QStringLiteral(R"(^(?:([A-Za-z0-9.-]+)|\[([0-9A-Fa-f:.]+)\])(?::([0-9]{1,5}))?$)"));
    const QRegularExpressionMatch match = form.match(host);
    if (!match.hasMatch())
        return false;
    if (match.hasCaptured(3)) {
        const int port = match.captured(3).toInt();
        if (port < 1 || port > 65535)
            return false;
    }
    if (match.hasCaptured(1))
        return isDnsName(match.captured(1));
    // Qt's own parser knows every way of writing an IPv6 address.
    QUrl url;
    url.setHost(match.captured(2), QUrl::StrictMode);
    return url.isValid() && url.host().contains(u':');
}

std::optional<QString> boardBase(const QString& value) {
    static const QRegularExpression form(QStringLiteral("^(?:(https?)://)?([^/]*)/?$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(value);
    if (!match.hasMatch() || !isValidBoardHost(match.captured(2)))
        return std::nullopt;
    const QString scheme = match.hasCaptured(1) ? match.captured(1).toLower() : u"http"_s;
    return scheme + u"://"_s + match.captured(2);
}

QString boardSettingsPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/ponpira/ponpira.conf");
}

BoardHostChoice chooseBoardHost() {
    const QString builtIn =
        boardBase(defaultBoardHost()).value_or(u"http://"_s + defaultBoardHost());
    BoardHostChoice choice{builtIn, {}, {}};
    QString value = qEnvironmentVariable("PONPIRA_BOARD_HOST");
    QString source = QStringLiteral("環境変数 PONPIRA_BOARD_HOST");
    if (value.isEmpty()) {
        const QSettings settings(boardSettingsPath(), QSettings::IniFormat);
        // An unquoted comma makes the INI reader return a list.
        value = settings.value(QStringLiteral("board/host")).toStringList().join(u',');
        source = QStringLiteral("設定ファイル ") + boardSettingsPath();
    }
    if (value.isEmpty())
        return choice;
    if (const std::optional<QString> base = boardBase(value))
        choice.host = *base;
    else
        choice = {builtIn, value, source};
    return choice;
}

std::optional<LocalBoard> localBoard(const QString& host) {
    // The board this program can start speaks plain http only.
    static const QRegularExpression form(
        QStringLiteral(R"(^http://(127(?:\.[0-9]{1,3}){3}|localhost|\[::1\]):([0-9]{1,5})$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(boardBase(host).value_or(QString()));
    if (!match.hasMatch())
        return std::nullopt;
    QString address = match.captured(1).toLower();
    if (address == u"localhost")
        address = QStringLiteral("127.0.0.1");
    else if (address.startsWith(u'['))
        address = QStringLiteral("::1");
    return LocalBoard{address, match.captured(2).toUShort()};
}

QString boardPath(PostCase postCase) {
    return postCase == PostCase::Demo ? QStringLiteral("/home/velmora/cgi-bin/aska/demoaska.cgi")
                                      : QStringLiteral("/home/velmora/cgi-bin/aska/aska.cgi");
}

QString resultSentence(const BoardPost& post) {
    return (post.postCase == PostCase::Trick ? QStringLiteral("私は裏技を使って")
                                             : QStringLiteral("私は")) +
           post.seconds + QStringLiteral("秒で") + post.clicks +
           QStringLiteral("回クリックできました。");
}

QString escapeEntry(const QString& text) {
    static constexpr char hex[] = "0123456789ABCDEF";
    QString escaped;
    escaped.reserve(text.size());
    const auto escape = [&escaped](unsigned char byte) {
        escaped.append(u'%');
        escaped.append(QLatin1Char(hex[byte >> 4]));
        escaped.append(QLatin1Char(hex[byte & 0xF]));
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        const char16_t c = ch.unicode();
        // Qt's URL encoder turns a noncharacter beyond the first plane (U+1FFFE, U+4FFFF...)
        // into half of a surrogate, which the board cannot read; sent as UTF-8 bytes already
        // escaped, it arrives as typed.
        if (ch.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() &&
            QChar::isNonCharacter(QChar::surrogateToUcs4(ch, text[i + 1]))) {
            for (const char byte : text.mid(i++, 2).toUtf8())
                escape(static_cast<unsigned char>(byte));
        } else if (c >= 0x80 || isUnreserved(c)) {
            // Surrogate halves pass one by one and stay paired, so 𠮷 and emoji survive.
            escaped.append(ch);
        } else {
            escape(static_cast<unsigned char>(c));
        }
    }
    return escaped;
}

QString boardUrl(const QString& host, const BoardPost& post) {
    QString url = boardBase(host).value_or(u"http://"_s + host) + boardPath(post.postCase);
    url += QStringLiteral("?mode=regist&name=") + escapeEntry(post.name);
    url += QStringLiteral("&email=") + escapeEntry(post.email);
    url += QStringLiteral("&sub=結果&comment=") + resultSentence(post) + escapeEntry(post.comment);
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

std::optional<TooLong> tooLongField(const BoardPost& post) {
    // The board's limits; the subject is always "結果".
    const struct {
        const char16_t* label;
        const QString& typed;
        qsizetype limit;
        QString before;
    } fields[] = {
        {u"お名前", post.name, 40, {}},
        {u"E-mail", post.email, 100, {}},
        {u"コメント", post.comment, 500, resultSentence(post)},
        {u"URL", post.homePage, 200, {}},
        {u"削除用パスワード", post.password, 32, {}},
    };
    for (const auto& field : fields) {
        if (codePoints(field.before) + codePoints(field.typed) > field.limit)
            return TooLong{QString::fromUtf16(field.label), field.limit,
                           field.limit - codePoints(field.before)};
    }
    return std::nullopt;
}

bool hasUnsendableCharacter(const QString& text) {
    if (!text.isValidUtf16())
        return true;
    return std::any_of(text.cbegin(), text.cend(), [](QChar ch) {
        const char16_t c = ch.unicode();
        return (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || (c >= 0x7F && c < 0xA0);
    });
}

} // namespace ponpira
