// SPDX-License-Identifier: MIT
#pragma once

#include "platform/qt/qtplatform.h"

namespace ponpira {

// The Windows implementation for the Qt windows: the registry, the file test, the program
// start, the shell's open, the ANSI code page and the input method go to Win32 (winapi.h);
// message boxes stay with Qt.
class Win32Platform : public QtPlatform {
  public:
    bool openUrl(void* window, const std::u16string& url) override;
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

} // namespace ponpira
