// SPDX-License-Identifier: MIT
// Text to number, for any text read both as UTF-8 and as UTF-16: the number its digits say,
// or one of the program's two errors, and nothing else escapes.
#include "core/convert.h"
#include "fuzz/fuzz.h"

#include <clocale>
#include <cmath>
#include <regex>

namespace {

void tryText(const QString& text) {
    // The grammars through another engine, on UTF-8 bytes rather than UTF-16.
    static const std::regex integer(R"([+-]?[0-9]+)"),
        decimal(R"([+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?)");
    const std::string t = text.trimmed().toStdString();
    const bool isInteger = std::regex_match(t, integer), isDecimal = std::regex_match(t, decimal);
    const long n = isInteger ? std::strtol(t.c_str(), nullptr, 10) : 0;
    const bool fits = isInteger && n >= -32768 && n <= 32767;
    try {
        const ponpira::Int16 value = ponpira::toInt16(text.toStdU16String());
        CHECK(fits && value.value() == n);
        CHECK(ponpira::toInt16(ponpira::toText(value)) == value);
    } catch (const ponpira::OverflowError&) {
        CHECK(isInteger && !fits);
    } catch (const ponpira::ConversionError&) {
        CHECK(!isInteger);
    }
    const double reference = isDecimal ? std::strtod(t.c_str(), nullptr) : 0;
    try {
        const double value = ponpira::toDouble(text.toStdU16String());
        CHECK(isDecimal && value == reference && (!fits || value == n));
    } catch (const ponpira::OverflowError&) {
        CHECK(isDecimal && !std::isfinite(reference));
    } catch (const ponpira::ConversionError&) {
        CHECK(!isDecimal);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 256) // long enough for every overflow; longer only slows the regex down
        return 0;
    std::setlocale(LC_NUMERIC, "C");
    tryText(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)));
    // libFuzzer's copy of the input is aligned for any type.
    tryText(QString::fromUtf16(reinterpret_cast<const char16_t*>(data), qsizetype(size / 2)));
    return 0;
}
