// Text to number, for any text read both as UTF-8 and as UTF-16: the number its digits say,
// or one of the program's two errors, and nothing else escapes.
#include "app/convert.h"

#include <QByteArray>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <regex>

namespace {

void check(bool ok) {
    if (!ok)
        std::abort();
}

enum class Outcome { Value, NotANumber, Overflow };

// The rule written out: white space around, a sign, ASCII digits, within 16 bits.
Outcome expectedInt(const QString& text, int& value) {
    const QString t = text.trimmed();
    const bool sign = t.startsWith(u'+') || t.startsWith(u'-');
    if (t.size() == sign)
        return Outcome::NotANumber;
    long v = 0;
    for (qsizetype i = sign; i < t.size(); ++i) {
        if (t[i] < u'0' || t[i] > u'9')
            return Outcome::NotANumber;
        v = std::min(v * 10 + (t[i].unicode() - u'0'), 100000L);
    }
    value = static_cast<int>(t.startsWith(u'-') ? -v : v);
    return value < -32768 || value > 32767 ? Outcome::Overflow : Outcome::Value;
}

void tryText(const QString& text) {
    int expected = 0;
    const Outcome intOutcome = expectedInt(text, expected);
    try {
        const ponpira::Int16 value = ponpira::toInt16(text);
        check(intOutcome == Outcome::Value && value.value() == expected);
        check(ponpira::toInt16(ponpira::toText(value)) == value);
    } catch (const ponpira::OverflowError&) {
        check(intOutcome == Outcome::Overflow);
    } catch (const ponpira::ConversionError&) {
        check(intOutcome == Outcome::NotANumber);
    }

    const QString t = text.trimmed();
    const bool ascii = std::all_of(t.begin(), t.end(), [](QChar c) { return c.unicode() < 0x80; });
    // The same grammar through another engine, on bytes rather than UTF-16.
    static const std::regex grammar(R"([+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?)");
    const bool decimal = ascii && std::regex_match(t.toStdString(), grammar);
    const double reference = decimal ? std::strtod(t.toStdString().c_str(), nullptr) : 0;
    try {
        const double value = ponpira::toDouble(text);
        check(decimal && value == reference);
        if (intOutcome != Outcome::NotANumber)
            check(value == expected || intOutcome == Outcome::Overflow);
    } catch (const ponpira::OverflowError&) {
        check(decimal && !std::isfinite(reference));
    } catch (const ponpira::ConversionError&) {
        check(!decimal);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Long enough for every overflow; longer inputs only slow the regular expression down.
    if (size > 256)
        return 0;
    std::setlocale(LC_NUMERIC, "C");
    const auto bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    tryText(QString::fromUtf8(bytes));
    std::u16string units(size / 2, u'\0');
    std::memcpy(units.data(), data, units.size() * 2);
    tryText(QString::fromStdU16String(units));
    return 0;
}
