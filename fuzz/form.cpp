// SPDX-License-Identifier: MIT
// The board's reading of a query or a form body. Any bytes at all give either fields that are
// valid UTF-8 without control characters, or an error and no fields; escapes undo exactly.
#include "board/form.h"
#include "fuzz/fuzz.h"

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using enum board::FormError;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const board::Form form = board::parseForm(bytes);
    CHECK(form.error == None || form.fields.empty());
    for (const auto& [key, value] : form.fields)
        for (const std::string* text : {&key, &value})
            CHECK(board::isValidUtf8(*text) && !hasControl(QString::fromStdString(*text)));

    // Qt's decoder gives the same bytes back only for valid UTF-8 (after a first character, as it
    // drops a leading byte order mark).
    const bool valid = board::isValidUtf8(bytes);
    CHECK(valid == (QString::fromStdString("a" + bytes).toStdString() == "a" + bytes));

    const QByteArray escaped =
        QByteArray::fromStdString(bytes).toPercentEncoding(" ").replace(' ', '+');
    CHECK(board::percentDecode(escaped.toStdString()) == bytes);
    const board::Form one = board::parseForm("k=" + escaped.toStdString());
    CHECK(!valid || one.error == (hasControl(QString::fromStdString(bytes)) ? ControlChar : None));
    CHECK(one.error != MalformedEscape && (one.error != None || one.get("k") == bytes || !valid));

    if (const auto text = board::cp932ToUtf8(bytes))
        CHECK(board::isValidUtf8(*text) && board::utf8Length(*text) <= size);
    return 0;
}
