// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// The byte rules for one registry value read into a fixed buffer. Kept free of the operating
// system so that the same code runs in the Linux tests, in the program and in the
// Win32 tests under Wine, and so that buffers no real registry hands out (text without a
// terminating zero, a value with no data at all) can be tried.
namespace ponpira {

// Room for a value's data; anything longer is reported as "more data" and counts as missing.
inline constexpr std::size_t regValueBufferSize = 1024;

enum class RegValueUse {
    Failed, // the read failed: the value is missing, too long or unreadable
    NoData, // the read succeeded with zero bytes: the caller raises an invalid-argument error
    Text,   // a REG_SZ value: bytes holds the text in the system's ANSI code page
    Number, // a REG_DWORD value: bytes holds what is left of the number's bytes
    Keep,   // any other type: the caller keeps the text it had
};

struct RegValueRead {
    RegValueUse use = RegValueUse::Failed;
    std::string bytes; // the data cut to its size, one terminating zero byte dropped
};

// status, type and dataSize are what the query reported; buffer is the room that was offered.
RegValueRead keepValueBytes(std::int32_t status, std::uint32_t type,
                            std::span<const unsigned char> buffer, std::uint32_t dataSize);

// "&h" and two upper-case hex digits per byte, from the last byte to the first: on a
// little-endian system that is the number as it would be written.
std::string numberText(const std::string& bytes);

} // namespace ponpira
