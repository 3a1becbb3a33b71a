// SPDX-License-Identifier: MIT
#pragma once

#include "platform/qt/qtplatform.h"

namespace ponpira {

// The Windows implementation: the registry, the file test, the program start, the shell's
// open, the ANSI code page and the input method go to Win32 (winapi.h); message boxes stay
// with Qt.
class Win32Platform : public QtPlatform {
  public:
    bool openUrl(QWidget* window, const QString& url, const QString& folder) override;
    bool startProgram(const QString& path) override;
    bool fileExists(const QString& path) override;
    std::int32_t regOpenKey(RegKey root, const QString& subKey, std::uint32_t access,
                            RegKey& key) override;
    std::int32_t regQueryValue(RegKey key, const QString& valueName, std::uint32_t& type,
                               QByteArray& buffer, std::uint32_t& dataSize) override;
    void regCloseKey(RegKey key) override;
    QString fromAnsi(const QByteArray& bytes) override;
    void applyImeMode(QWidget* box, ImeMode mode) override;
};

} // namespace ponpira
