// The registry value reader's byte rules, given every status, type, size and content that a
// read could report, over a buffer allocated at its exact size so that a read past it shows.
#include "about/regvalue.h"
#include "platform/regcodes.h"

#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <memory>

namespace {

void check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

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
    if (status != errorSuccess || dataSize > content.size()) {
        check(read.use == RegValueUse::Failed && read.bytes.empty());
        return 0;
    }
    if (dataSize == 0) {
        check(read.use == RegValueUse::NoData && read.bytes.empty());
        return 0;
    }
    const bool zeroEnd = content[dataSize - 1] == '\0';
    check(read.bytes == content.substr(0, dataSize - (zeroEnd ? 1 : 0)));
    check(read.use == (type == regSz      ? RegValueUse::Text
                       : type == regDword ? RegValueUse::Number
                                          : RegValueUse::Keep));

    const std::string text = numberText(read.bytes);
    check(text.size() == 2 + 2 * read.bytes.size() && text.starts_with("&h"));
    for (std::size_t i = 0; i < read.bytes.size(); ++i) {
        const std::string digits = text.substr(2 + 2 * i, 2);
        check(digits.find_first_not_of("0123456789ABCDEF") == std::string::npos);
        check(std::stoi(digits, nullptr, 16) ==
              static_cast<unsigned char>(read.bytes[read.bytes.size() - 1 - i]));
    }
    return 0;
}
