// The board's reading of a query or a form body. Any bytes at all give either fields that are
// valid UTF-8 without control characters, or an error and no fields; escapes undo exactly.
#include "board/form.h"

#include <QString>
#include <cstdlib>

namespace {

void check(bool ok) {
    if (!ok)
        std::abort();
}

bool hasControl(std::string_view utf8) {
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F ||
            (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) < 0xA0))
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const board::Form form = board::parseForm(bytes);
    check(form.error == board::FormError::None || form.fields.empty());
    for (const auto& [key, value] : form.fields)
        for (const std::string* text : {&key, &value})
            check(board::isValidUtf8(*text) && !hasControl(*text));

    // A second opinion on UTF-8: Qt's decoder gives the same bytes back only for valid input
    // (after a first character, since it drops a byte order mark at the start).
    const std::string text = "a" + bytes;
    check(board::isValidUtf8(bytes) == (QString::fromUtf8(text).toUtf8().toStdString() == text));

    static constexpr char hex[] = "0123456789abcdef";
    std::string escaped = "k=";
    for (const unsigned char b : bytes)
        escaped += b == ' ' ? std::string("+") : std::string{'%', hex[b >> 4], hex[b & 15]};
    check(board::percentDecode(escaped.substr(2)) == bytes);
    const board::Form one = board::parseForm(escaped);
    if (one.error == board::FormError::None)
        check(one.get("k") == bytes || !board::isValidUtf8(bytes));
    else
        check(one.error != board::FormError::MalformedEscape);
    if (board::isValidUtf8(bytes))
        check(one.error ==
              (hasControl(bytes) ? board::FormError::ControlChar : board::FormError::None));

    if (const auto text = board::cp932ToUtf8(bytes))
        check(board::isValidUtf8(*text) && board::utf8Length(*text) <= size);
    return 0;
}
