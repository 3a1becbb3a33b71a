// SPDX-License-Identifier: MIT
#pragma once

#include "core/int16.h"

#include <string>
#include <string_view>

namespace ponpira {

// Decimal text of an integer: no leading space, no leading zeros, '-' only when negative.
std::u16string toText(Int16 value);

// Reads the decimal text of a 16-bit integer (surrounding white space allowed).
// Throws ConversionError for anything else, OverflowError for a number out of range.
Int16 toInt16(std::u16string_view text);

// Reads decimal number text (an optional sign, digits, an optional fraction and exponent).
// Throws ConversionError for anything else, including empty text, "nan" and "inf".
double toDouble(std::u16string_view text);

// The text without the white space at either end (Unicode's, the ideographic space included).
std::u16string_view trimmed(std::u16string_view text);

// Text between UTF-16 and UTF-8. Half of a surrogate pair has no UTF-8 form and becomes U+FFFD;
// a sequence of bytes that is not UTF-8 becomes U+FFFD.
std::string toUtf8(std::u16string_view text);
std::u16string fromUtf8(std::string_view bytes);

// The text of an ASCII-only string, and back; fromAscii takes the bytes as Latin-1.
std::u16string fromAscii(std::string_view text);
// False when text holds anything beyond ASCII; ascii is then left as it was.
bool toAscii(std::u16string_view text, std::string& ascii);

// True when every surrogate half in text belongs to a pair.
bool isValidUtf16(std::u16string_view text);

} // namespace ponpira
