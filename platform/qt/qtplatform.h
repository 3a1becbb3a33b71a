// SPDX-License-Identifier: MIT
#pragma once

#include "platform/platform.h"

namespace ponpira {

// The portable implementation on Qt alone: no registry, the desktop's URL handler, and
// programs started directly by path.
class QtPlatform : public Platform {
  public:
    void messageBox(QWidget* parent, const QString& prompt, const QString& title) override;
    bool openUrl(QWidget* window, const QString& url, const QString& folder) override;
    LocalBoardState ensureLocalBoard(const QString& address, quint16 port) override;
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
