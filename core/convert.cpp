// SPDX-License-Identifier: MIT
#include "core/convert.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <regex>

namespace ponpira {

namespace {

// Unicode's white space, as a text box's trimming knows it.
bool isSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r') || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

// A number too large for a double is an overflow; one too small for it reads as zero.
bool isTooLarge(const std::string& t) {
    const std::size_t e = t.find_first_of("eE");
    const std::string mantissa = t.substr(0, e);
    long long exponent = 0;
    if (e != std::string::npos) {
        const char* first = t.data() + e + 1 + (t[e + 1] == '+');
        const auto [end, ec] = std::from_chars(first, t.data() + t.size(), exponent);
        if (ec == std::errc::result_out_of_range)
            return t[e + 1] != '-';
    }
    // Where the first significant digit stands, as a power of ten.
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    const long long magnitude = first < point ? static_cast<long long>(point - first)
                                              : -static_cast<long long>(first - point - 1);
    return magnitude + exponent > 0;
}

} // namespace

std::u16string toText(Int16 value) {
    return fromAscii(std::to_string(value.value()));
}

std::u16string_view trimmed(std::u16string_view text) {
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

Int16 toInt16(std::u16string_view text) {
    // Only ASCII digits: the labels this reads only ever hold what toText wrote, and full-width
    // digits or "0x1f" are not what it wrote.
    static const std::regex integer("[+-]?[0-9]+");
    std::string t;
    if (!toAscii(trimmed(text), t) || !std::regex_match(t, integer))
        throw ConversionError(std::u16string(text));
    long long value = 0;
    const char* first = t.data() + (t[0] == '+' ? 1 : 0);
    const auto [end, ec] = std::from_chars(first, t.data() + t.size(), value);
    if (ec != std::errc() || value < Int16::min || value > Int16::max)
        throw OverflowError();
    return Int16(static_cast<int>(value));
}

double toDouble(std::u16string_view text) {
    static const std::regex number(R"([+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?)");
    std::string t;
    if (!toAscii(trimmed(text), t) || !std::regex_match(t, number))
        throw ConversionError(std::u16string(text));
    // from_chars reads in no locale (a German one would want a decimal comma) and takes no
    // leading plus.
    const char* first = t.data() + (t[0] == '+' ? 1 : 0);
    double value = 0;
    const auto [end, ec] = std::from_chars(first, t.data() + t.size(), value);
    if (ec == std::errc::result_out_of_range) {
        if (isTooLarge(t))
            throw OverflowError();
        return t[0] == '-' ? -0.0 : 0.0;
    }
    return value;
}

std::string toUtf8(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            bytes += char(c);
        } else if (c < 0x800) {
            bytes += char(0xC0 | (c >> 6));
            bytes += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            bytes += char(0xE0 | (c >> 12));
            bytes += char(0x80 | ((c >> 6) & 0x3F));
            bytes += char(0x80 | (c & 0x3F));
        } else {
            bytes += char(0xF0 | (c >> 18));
            bytes += char(0x80 | ((c >> 12) & 0x3F));
            bytes += char(0x80 | ((c >> 6) & 0x3F));
            bytes += char(0x80 | (c & 0x3F));
        }
    }
    return bytes;
}

std::u16string fromUtf8(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const int length = lead < 0x80   ? 1
                           : lead < 0xC2 ? 0
                           : lead < 0xE0 ? 2
                           : lead < 0xF0 ? 3
                           : lead < 0xF5 ? 4
                                         : 0;
        char32_t c = length == 1   ? lead
                     : length == 2 ? lead & 0x1F
                     : length == 3 ? lead & 0x0F
                                   : lead & 0x07;
        int taken = 1;
        for (; length > 1 && taken < length && i + taken < bytes.size(); ++taken) {
            const auto next = static_cast<unsigned char>(bytes[i + taken]);
            if ((next & 0xC0) != 0x80)
                break;
            c = (c << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and numbers beyond Unicode are not UTF-8.
        const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (length == 0 || taken != length || c < least[length] || c > 0x10FFFF ||
            (c >= 0xD800 && c <= 0xDFFF)) {
            text += char16_t(0xFFFD);
            i += std::max(taken, 1);
            continue;
        }
        i += length;
        if (c >= 0x10000) {
            text += char16_t(0xD800 + ((c - 0x10000) >> 10));
            text += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            text += char16_t(c);
        }
    }
    return text;
}

std::u16string fromAscii(std::string_view text) {
    std::u16string wide(text.size(), u'\0');
    std::transform(text.begin(), text.end(), wide.begin(),
                   [](char c) { return char16_t(static_cast<unsigned char>(c)); });
    return wide;
}

bool toAscii(std::u16string_view text, std::string& ascii) {
    if (std::any_of(text.begin(), text.end(), [](char16_t c) { return c >= 0x80; }))
        return false;
    ascii.assign(text.size(), '\0');
    std::transform(text.begin(), text.end(), ascii.begin(), [](char16_t c) { return char(c); });
    return true;
}

bool isValidUtf16(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() &&
            text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            ++i;
        else if (text[i] >= 0xD800 && text[i] <= 0xDFFF)
            return false;
    }
    return true;
}

} // namespace ponpira
