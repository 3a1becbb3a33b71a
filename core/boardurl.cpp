// SPDX-License-Identifier: MIT
#include "core/boardurl.h"

#include "core/convert.h"

#include <algorithm>
#include <regex>
#include <vector>

namespace ponpira {

namespace {

bool isUnreserved(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
           c == u'-' || c == u'.' || c == u'_' || c == u'~';
}

bool isHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

std::size_t codePoints(const std::u16string& text) {
    return text.size() - std::size_t(std::count_if(text.cbegin(), text.cend(), isLowSurrogate));
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts{{}};
    for (const char c : text) {
        if (c == separator)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

bool isDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isIPv4(const std::vector<std::string>& parts) {
    if (parts.size() != 4)
        return false;
    for (const std::string& part : parts) {
        if (!isDigits(part) || part.size() > 3 || (part.size() > 1 && part[0] == '0') ||
            std::stoi(part) > 255)
            return false;
    }
    return true;
}

bool isDnsName(const std::string& name) {
    if (name.size() > 253)
        return false;
    const std::vector<std::string> labels = split(name, '.');
    for (const std::string& label : labels) {
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-')
            return false;
    }
    // No top-level domain is all digits: such a name is meant as an IPv4 address.
    return !isDigits(labels.back()) || isIPv4(labels);
}

// Eight groups of one to four hex digits, or fewer with one "::" standing for the rest; the
// last two groups may be written as an IPv4 address.
bool isIPv6(const std::string& address) {
    const std::size_t gap = address.find("::");
    if (gap != std::string::npos && address.find("::", gap + 1) != std::string::npos)
        return false;
    const auto groups = [](const std::string& part, bool last, int& count) {
        if (part.empty())
            return true;
        const std::vector<std::string> pieces = split(part, ':');
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            const std::string& piece = pieces[i];
            if (last && i + 1 == pieces.size() && piece.find('.') != std::string::npos) {
                if (!isIPv4(split(piece, '.')))
                    return false;
                count += 2;
            } else if (piece.empty() || piece.size() > 4 ||
                       piece.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
                return false;
            } else {
                ++count;
            }
        }
        return true;
    };
    int count = 0;
    if (gap == std::string::npos)
        return groups(address, true, count) && count == 8;
    return groups(address.substr(0, gap), false, count) &&
           groups(address.substr(gap + 2), true, count) && count <= 7;
}

std::u16string lower(std::u16string text) {
    for (char16_t& c : text) {
        if (c >= u'A' && c <= u'Z')
            c = char16_t(c - u'A' + u'a');
    }
    return text;
}

bool isNonCharacter(char32_t c) {
    return (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
}

} // namespace

std::u16string defaultBoardHost() {
    return fromUtf8(PONPIRA_BOARD_HOST);
}

bool isValidBoardHost(const std::u16string& host) {
    static const std::regex form(R"((?:([A-Za-z0-9.-]+)|\[([0-9A-Fa-f:.]+)\])(?::([0-9]{1,5}))?)");
    std::string ascii;
    std::smatch match;
    if (!toAscii(host, ascii) || !std::regex_match(ascii, match, form))
        return false;
    if (match[3].matched) {
        const int port = std::stoi(match[3].str());
        if (port < 1 || port > 65535)
            return false;
    }
    if (match[1].matched)
        return isDnsName(match[1].str());
    return isIPv6(match[2].str());
}

std::optional<std::u16string> boardBase(const std::u16string& value) {
    static const std::regex form("(?:(https?)://)?([^/]*)/?", std::regex::icase);
    std::string ascii;
    std::smatch match;
    if (!toAscii(value, ascii) || !std::regex_match(ascii, match, form) ||
        !isValidBoardHost(fromAscii(match[2].str())))
        return std::nullopt;
    const std::u16string scheme = match[1].matched ? lower(fromAscii(match[1].str())) : u"http";
    return scheme + u"://" + fromAscii(match[2].str());
}

BoardHostChoice chooseBoardHost(const BoardHostSetting& setting) {
    const std::u16string builtIn =
        boardBase(defaultBoardHost()).value_or(u"http://" + defaultBoardHost());
    if (setting.value.empty())
        return {builtIn, {}, {}};
    if (const std::optional<std::u16string> base = boardBase(setting.value))
        return {*base, {}, {}};
    return {builtIn, setting.value, setting.source};
}

std::optional<LocalBoard> localBoard(const std::u16string& host) {
    // The board this program can start speaks plain http only.
    static const std::regex form(
        R"(http://(127(?:\.[0-9]{1,3}){3}|localhost|\[::1\]):([0-9]{1,5}))", std::regex::icase);
    std::string base;
    std::smatch match;
    if (!toAscii(boardBase(host).value_or(std::u16string()), base) ||
        !std::regex_match(base, match, form))
        return std::nullopt;
    std::u16string address = lower(fromAscii(match[1].str()));
    if (address == u"localhost")
        address = u"127.0.0.1";
    else if (address.front() == u'[')
        address = u"::1";
    return LocalBoard{address, static_cast<std::uint16_t>(std::stoi(match[2].str()))};
}

std::u16string boardPath(PostCase postCase) {
    return postCase == PostCase::Demo ? u"/home/velmora/cgi-bin/aska/demoaska.cgi"
                                      : u"/home/velmora/cgi-bin/aska/aska.cgi";
}

std::u16string resultSentence(const BoardPost& post) {
    return (post.postCase == PostCase::Trick ? u"私は裏技を使って" : u"私は") + post.seconds +
           u"秒で" + post.clicks + u"回クリックできました。";
}

std::u16string escapeEntry(const std::u16string& text) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::u16string escaped;
    escaped.reserve(text.size());
    const auto escape = [&escaped](unsigned char byte) {
        escaped += u'%';
        escaped += char16_t(hex[byte >> 4]);
        escaped += char16_t(hex[byte & 0xF]);
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        // A URL encoder may turn a noncharacter beyond the first plane (U+1FFFE, U+4FFFF...)
        // into half of a surrogate, which the board cannot read; sent as UTF-8 bytes already
        // escaped, it arrives as typed.
        if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1]) &&
            isNonCharacter(0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00))) {
            for (const char byte : toUtf8(text.substr(i++, 2)))
                escape(static_cast<unsigned char>(byte));
        } else if (c >= 0x80 || isUnreserved(c)) {
            // Surrogate halves pass one by one and stay paired, so 𠮷 and emoji survive.
            escaped += c;
        } else {
            escape(static_cast<unsigned char>(c));
        }
    }
    return escaped;
}

std::u16string boardUrl(const std::u16string& host, const BoardPost& post) {
    std::u16string url = boardBase(host).value_or(u"http://" + host) + boardPath(post.postCase);
    url += u"?mode=regist&name=" + escapeEntry(post.name);
    url += u"&email=" + escapeEntry(post.email);
    url += u"&sub=結果&comment=" + resultSentence(post) + escapeEntry(post.comment);
    url += u"&url=" + escapeEntry(post.homePage);
    url += u"&pwd=" + escapeEntry(post.password);
    url += u"&cook=on";
    return url;
}

std::size_t encodedUrlBytes(const std::u16string& url) {
    std::size_t bytes = 0;
    for (const char byte : toUtf8(url))
        bytes += static_cast<unsigned char>(byte) < 0x80 ? 1 : 3;
    return bytes;
}

std::optional<TooLong> tooLongField(const BoardPost& post) {
    // The board's limits; the subject is always "結果".
    const struct {
        const char16_t* label;
        const std::u16string& typed;
        std::size_t limit;
        std::u16string before;
    } fields[] = {
        {u"お名前", post.name, 40, {}},
        {u"E-mail", post.email, 100, {}},
        {u"コメント", post.comment, 500, resultSentence(post)},
        {u"URL", post.homePage, 200, {}},
        {u"削除用パスワード", post.password, 32, {}},
    };
    for (const auto& field : fields) {
        if (codePoints(field.before) + codePoints(field.typed) > field.limit)
            return TooLong{field.label, field.limit, field.limit - codePoints(field.before)};
    }
    return std::nullopt;
}

bool hasUnsendableCharacter(const std::u16string& text) {
    if (!isValidUtf16(text))
        return true;
    return std::any_of(text.cbegin(), text.cend(), [](char16_t c) {
        return (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || (c >= 0x7F && c < 0xA0);
    });
}

} // namespace ponpira
