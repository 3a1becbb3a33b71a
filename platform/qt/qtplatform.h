// SPDX-License-Identifier: MIT
#pragma once

#include "core/platform.h"

#include <QString>

namespace ponpira {

// The portable implementation on Qt alone: no registry, the desktop's URL handler, and
// programs started directly by path. Window handles are QWidget pointers.
class QtPlatform : public Platform {
  public:
    void messageBox(void* parent, const std::u16string& prompt,
                    const std::u16string& title) override;
    bool openUrl(void* window, const std::u16string& url) override;
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

// The implementation for the platform the program was built for.
std::unique_ptr<Platform> makeSystemPlatform();

// Where a player names another board: "[board]" "host=https://board.example.jp".
QString boardSettingsPath();

} // namespace ponpira
