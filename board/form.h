// SPDX-License-Identifier: MIT
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace board {

// Why a request's form data could not be read.
enum class FormError {
    None,
    MalformedEscape, // a "%" not followed by two hex digits
    BadEncoding,     // bytes that are neither UTF-8 nor code page 932
    ControlChar,     // a control character other than tab, line feed or carriage return
};

struct Form {
    FormError error = FormError::None;
    std::map<std::string, std::string> fields; // UTF-8; the first of repeated keys wins

    const std::string& get(const std::string& key) const;
};

// Decodes "application/x-www-form-urlencoded" text, as a query string or a request body.
Form parseForm(std::string_view text);

// Undoes percent-escapes, and "+" as space; nullopt on a malformed escape.
std::optional<std::string> percentDecode(std::string_view text);

bool isValidUtf8(std::string_view bytes);

// Converts code page 932 (Windows Shift_JIS) to UTF-8; nullopt when the bytes are not valid in it.
std::optional<std::string> cp932ToUtf8(std::string_view bytes);

// Number of code points in valid UTF-8.
std::size_t utf8Length(std::string_view text);

} // namespace board
