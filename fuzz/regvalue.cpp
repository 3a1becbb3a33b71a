// SPDX-License-Identifier: MIT
// The registry value reader's byte rules, given every status, type, size and content that a
// read could report, over a buffer allocated at its exact size so that a read past it shows.
#include "core/regvalue.h"
#include "core/regcodes.h"
#include "fuzz/fuzz.h"

#include <QByteArray>
#include <fuzzer/FuzzedDataProvider.h>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ponpira;
    FuzzedDataProvider in(data, size);
    const auto status = in.ConsumeBool() ? errorSuccess : in.ConsumeIntegral<std::int32_t>();
    const auto type = in.ConsumeBool() ? in.ConsumeIntegralInRange<std::uint32_t>(0, 5)
                                       : in.ConsumeIntegral<std::uint32_t>();
    const auto dataSize = in.ConsumeBool() ? in.ConsumeIntegralInRange<std::uint32_t>(0, 1100)
                                           : in.ConsumeIntegral<std::uint32_t>();
    const std::string content = in.ConsumeRemainingBytesAsString();
    auto buffer = std::make_unique<unsigned char[]>(content.size());
    std::copy(content.begin(), content.end(), buffer.get());

    const RegValueRead read =
        keepValueBytes(status, type, {buffer.get(), content.size()}, dataSize);
    if (status != errorSuccess || dataSize == 0 || dataSize > content.size()) {
        CHECK(read.bytes.empty() &&
              read.use == (status == errorSuccess && dataSize == 0 ? RegValueUse::NoData
                                                                   : RegValueUse::Failed));
        return 0;
    }
    CHECK(read.bytes == content.substr(0, dataSize - (content[dataSize - 1] == '\0')));
    CHECK(read.use == (type == regSz      ? RegValueUse::Text
                       : type == regDword ? RegValueUse::Number
                                          : RegValueUse::Keep));

    // The bytes as hex digits, the last byte first.
    const std::string reversed(read.bytes.rbegin(), read.bytes.rend());
    CHECK(numberText(read.bytes) ==
          "&h" + QByteArray::fromStdString(reversed).toHex().toUpper().toStdString());
    return 0;
}
