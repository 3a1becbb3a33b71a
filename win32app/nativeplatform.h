// SPDX-License-Identifier: MIT
#pragma once

#include "core/platform.h"

#include <functional>
#include <string>

// The platform seam on Win32: wide-character calls throughout, so no character of a URL or a
// message is lost to the ANSI code page.
namespace ponpira::win32 {

class NativePlatform : public Platform {
  public:
    void messageBox(void* parent, const std::u16string& prompt,
                    const std::u16string& title) override;
    bool openUrl(void* window, const std::u16string& url) override;
    // There is no board program for Windows to start: a loopback board either answers or the
    // player is told to name one.
    LocalBoardState ensureLocalBoard(const std::u16string& address, std::uint16_t port) override;
    BoardHostSetting boardHostSetting() override;
    bool startProgram(const std::u16string& path) override;
    bool fileExists(const std::u16string& path) override;
    std::int32_t regOpenKey(RegKey root, const std::u16string& subKey, std::uint32_t access,
                            RegKey& key) override;
    std::int32_t regQueryValue(RegKey key, const std::u16string& valueName, std::uint32_t& type,
                               std::string& buffer, std::uint32_t& dataSize) override;
    void regCloseKey(RegKey key) override;
    std::u16string fromAnsi(const std::string& bytes) override;
    void applyImeMode(void* box, ImeMode mode) override;
};

// %APPDATA%\ponpira\ponpira.ini: the player's settings, in the INI form of the Linux program's
// ~/.config/ponpira/ponpira.conf.
std::wstring settingsPath();

// The value of key in [section] of INI text (UTF-8, a byte-order mark allowed), as Qt's INI
// reader on Linux gives it: white space around it dropped, one pair of double quotes removed.
std::u16string iniValue(const std::string& text, const std::string& section,
                        const std::string& key);

// The folder that holds the running program, without a trailing separator.
std::wstring programFolder();

} // namespace ponpira::win32
