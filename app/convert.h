// SPDX-License-Identifier: MIT
#pragma once

#include "app/int16.h"

#include <QString>

namespace ponpira {

// Decimal text of an integer: no leading space, no leading zeros, '-' only when negative.
QString toText(Int16 value);

// Reads the decimal text of a 16-bit integer (surrounding white space allowed).
// Throws ConversionError for anything else, OverflowError for a number out of range.
Int16 toInt16(const QString& text);

// Reads decimal number text (an optional sign, digits, an optional fraction and exponent).
// Throws ConversionError for anything else, including empty text, "nan" and "inf".
double toDouble(const QString& text);

} // namespace ponpira
