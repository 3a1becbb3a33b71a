// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// Registry handles, access rights, value types and result codes with the values of the Win32
// API, so that the launcher reads the same on every platform. Free of Qt: the Win32 layer and
// its tests use them too.
namespace ponpira {

using RegKey = std::uintptr_t;
// HKEY_LOCAL_MACHINE is the 32-bit number 0x80000002 sign-extended to the width of a pointer,
// as <windows.h> defines it; zero-extended it would name no key on 64-bit Windows.
inline constexpr RegKey hkeyLocalMachine =
    static_cast<RegKey>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000002u)));

inline constexpr std::int32_t errorSuccess = 0;
inline constexpr std::int32_t errorFileNotFound = 2;
inline constexpr std::int32_t errorAccessDenied = 5;
inline constexpr std::int32_t errorInvalidHandle = 6;
inline constexpr std::int32_t errorMoreData = 234;

inline constexpr std::uint32_t regSz = 1;
inline constexpr std::uint32_t regExpandSz = 2;
inline constexpr std::uint32_t regBinary = 3;
inline constexpr std::uint32_t regDword = 4;

inline constexpr std::uint32_t keyQueryValue = 0x0001;
inline constexpr std::uint32_t keySetValue = 0x0002;
inline constexpr std::uint32_t keyCreateSubKey = 0x0004;
inline constexpr std::uint32_t keyEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t keyNotify = 0x0010;
inline constexpr std::uint32_t keyCreateLink = 0x0020;
inline constexpr std::uint32_t readControl = 0x20000;
// KEY_READ: query, enumerate, notify and read control; nothing that writes.
inline constexpr std::uint32_t keyRead =
    readControl | keyQueryValue | keyEnumerateSubKeys | keyNotify;
static_assert(keyRead == 0x20019);

} // namespace ponpira
