// SPDX-License-Identifier: MIT
#include "core/regvalue.h"

#include "core/regcodes.h"

namespace ponpira {

RegValueRead keepValueBytes(std::int32_t status, std::uint32_t type,
                            std::span<const unsigned char> buffer, std::uint32_t dataSize) {
    if (status != errorSuccess)
        return {};
    // A size larger than the room offered cannot come from a successful read; trusting it
    // would read past the buffer.
    if (dataSize > buffer.size())
        return {};
    if (dataSize == 0)
        return {RegValueUse::NoData, {}};

    std::size_t kept = dataSize;
    if (buffer[kept - 1] == 0)
        --kept;
    std::string bytes(reinterpret_cast<const char*>(buffer.data()), kept);

    switch (type) {
    case regSz:
        return {RegValueUse::Text, std::move(bytes)};
    case regDword:
        return {RegValueUse::Number, std::move(bytes)};
    default:
        return {RegValueUse::Keep, std::move(bytes)};
    }
}

std::string numberText(const std::string& bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text = "&h";
    for (auto it = bytes.rbegin(); it != bytes.rend(); ++it) {
        const auto byte = static_cast<unsigned char>(*it);
        text += digits[byte >> 4];
        text += digits[byte & 0xF];
    }
    return text;
}

} // namespace ponpira
