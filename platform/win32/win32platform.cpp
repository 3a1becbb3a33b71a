// SPDX-License-Identifier: MIT
#include "platform/win32/win32platform.h"

#include "platform/win32/winapi.h"

#include <QWidget>
#include <algorithm>

namespace ponpira {

namespace {

std::wstring wide(const QString& text) {
    return text.toStdWString();
}

// The top-level window's handle: Qt keeps child widgets without native windows, and the
// input method and the shell deal with the top-level one.
winapi::WindowHandle topLevelHandle(QWidget* widget) {
    return widget ? static_cast<winapi::WindowHandle>(widget->window()->winId()) : 0;
}

} // namespace

bool Win32Platform::openUrl(QWidget* window, const QString& url, const QString& folder) {
    return winapi::openUrl(topLevelHandle(window), wide(url), wide(folder));
}

bool Win32Platform::startProgram(const QString& path) {
    return winapi::startProgram(wide(path));
}

bool Win32Platform::fileExists(const QString& path) {
    return winapi::fileExists(wide(path));
}

std::int32_t Win32Platform::regOpenKey(RegKey root, const QString& subKey, std::uint32_t access,
                                       RegKey& key) {
    winapi::Key opened = 0;
    const std::int32_t status = winapi::openKey(root, wide(subKey), access, opened);
    key = opened;
    return status;
}

std::int32_t Win32Platform::regQueryValue(RegKey key, const QString& valueName, std::uint32_t& type,
                                          QByteArray& buffer, std::uint32_t& dataSize) {
    std::vector<unsigned char> bytes(std::size_t(buffer.size()), 0);
    const std::int32_t status = winapi::queryValue(key, wide(valueName), type, bytes, dataSize);
    std::copy(bytes.begin(), bytes.end(), buffer.begin());
    return status;
}

void Win32Platform::regCloseKey(RegKey key) {
    winapi::closeKey(key);
}

QString Win32Platform::fromAnsi(const QByteArray& bytes) {
    return QString::fromStdWString(winapi::fromAnsi(bytes.toStdString()));
}

void Win32Platform::applyImeMode(QWidget* box, ImeMode mode) {
    winapi::applyImeMode(topLevelHandle(box), static_cast<int>(mode));
}

std::unique_ptr<Platform> makeSystemPlatform() {
    return std::make_unique<Win32Platform>();
}

} // namespace ponpira
