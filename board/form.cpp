// SPDX-License-Identifier: MIT
#include "board/form.h"

#include <iconv.h>

namespace board {

const std::string& Form::get(const std::string& key) const {
    static const std::string empty;
    auto it = fields.find(key);
    return it == fields.end() ? empty : it->second;
}

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Tab, line feed and carriage return can come from a pasted comment; other controls only
// from someone trying to break the page or the terminal of whoever reads the database.
bool hasControlChar(std::string_view utf8) {
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        auto c = static_cast<unsigned char>(utf8[i]);
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7f)
            return true;
        // U+0080..U+009F, the C1 controls, are C2 80..C2 9F in UTF-8.
        if (c == 0xc2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) < 0xa0)
            return true;
    }
    return false;
}

// A browser sends one encoding, but old pages mixed hand-made links with form posts, so
// each key and value is judged by itself.
std::optional<std::string> decodeText(std::string_view raw, FormError& error) {
    auto bytes = percentDecode(raw);
    if (!bytes) {
        error = FormError::MalformedEscape;
        return std::nullopt;
    }
    std::optional<std::string> text;
    if (isValidUtf8(*bytes))
        text = std::move(bytes);
    else
        text = cp932ToUtf8(*bytes);
    if (!text) {
        error = FormError::BadEncoding;
        return std::nullopt;
    }
    if (hasControlChar(*text)) {
        error = FormError::ControlChar;
        return std::nullopt;
    }
    return text;
}

} // namespace

std::optional<std::string> percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%') {
            if (i + 2 >= text.size())
                return std::nullopt;
            int hi = hexValue(text[i + 1]);
            int lo = hexValue(text[i + 2]);
            if (hi < 0 || lo < 0)
                return std::nullopt;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

bool isValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        auto b0 = static_cast<unsigned char>(bytes[i]);
        if (b0 < 0x80) {
            ++i;
            continue;
        }
        std::size_t len;
        char32_t cp;
        if (b0 >= 0xc2 && b0 <= 0xdf) {
            len = 2;
            cp = b0 & 0x1f;
        } else if (b0 >= 0xe0 && b0 <= 0xef) {
            len = 3;
            cp = b0 & 0x0f;
        } else if (b0 >= 0xf0 && b0 <= 0xf4) {
            len = 4;
            cp = b0 & 0x07;
        } else {
            return false;
        }
        if (i + len > bytes.size())
            return false;
        for (std::size_t k = 1; k < len; ++k) {
            auto b = static_cast<unsigned char>(bytes[i + k]);
            if ((b & 0xc0) != 0x80)
                return false;
            cp = (cp << 6) | (b & 0x3f);
        }
        // Overlong forms, UTF-16 surrogates and values past U+10FFFF are not UTF-8.
        if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
            (cp >= 0xd800 && cp <= 0xdfff) || cp > 0x10ffff)
            return false;
        i += len;
    }
    return true;
}

std::optional<std::string> cp932ToUtf8(std::string_view bytes) {
    // glibc's CP932 is Microsoft's table: 0x5C stays a backslash, and the NEC and IBM
    // extensions that Windows users type (①, ⅰ...) are there.
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    // One byte of code page 932 never becomes more than three bytes of UTF-8.
    std::string out(bytes.size() * 3, '\0');
    std::string in(bytes);
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    // A lead byte at the very end stops iconv with input left over: that is invalid too.
    bool ok = rc != static_cast<std::size_t>(-1) && inLeft == 0;
    iconv_close(cd);
    if (!ok)
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

std::size_t utf8Length(std::string_view text) {
    std::size_t n = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xc0) != 0x80)
            ++n;
    return n;
}

Form parseForm(std::string_view text) {
    Form form;
    while (!text.empty()) {
        std::size_t amp = text.find('&');
        std::string_view pair = text.substr(0, amp);
        text = amp == std::string_view::npos ? std::string_view{} : text.substr(amp + 1);
        if (pair.empty())
            continue;
        std::size_t eq = pair.find('=');
        std::string_view rawKey = pair.substr(0, eq);
        std::string_view rawValue =
            eq == std::string_view::npos ? std::string_view{} : pair.substr(eq + 1);
        auto key = decodeText(rawKey, form.error);
        auto value = key ? decodeText(rawValue, form.error) : std::nullopt;
        if (!key || !value) {
            form.fields.clear();
            return form;
        }
        form.fields.try_emplace(std::move(*key), std::move(*value));
    }
    return form;
}

} // namespace board
