// SPDX-License-Identifier: MIT
#include "platform/win32/win32platform.h"

#include "app/appinfo.h"
#include "platform/win32/winapi.h"

#include <QWidget>
#include <algorithm>

namespace ponpira {

namespace {

// wchar_t is UTF-16 on Windows: the text goes over as it is.
std::wstring wide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

// The top-level window's handle: Qt keeps child widgets without native windows, and the
// input method and the shell deal with the top-level one.
winapi::WindowHandle topLevelHandle(void* handle) {
    auto* widget = static_cast<QWidget*>(handle);
    return widget ? static_cast<winapi::WindowHandle>(widget->window()->winId()) : 0;
}

} // namespace

bool Win32Platform::openUrl(void* window, const std::u16string& url) {
    return winapi::openUrl(topLevelHandle(window), wide(url), appFolder().toStdWString());
}

bool Win32Platform::startProgram(const std::u16string& path) {
    return winapi::startProgram(wide(path));
}

bool Win32Platform::fileExists(const std::u16string& path) {
    return winapi::fileExists(wide(path));
}

std::int32_t Win32Platform::regOpenKey(RegKey root, const std::u16string& subKey,
                                       std::uint32_t access, RegKey& key) {
    winapi::Key opened = 0;
    const std::int32_t status = winapi::openKey(root, wide(subKey), access, opened);
    key = opened;
    return status;
}

std::int32_t Win32Platform::regQueryValue(RegKey key, const std::u16string& valueName,
                                          std::uint32_t& type, std::string& buffer,
                                          std::uint32_t& dataSize) {
    std::vector<unsigned char> bytes(buffer.size(), 0);
    const std::int32_t status = winapi::queryValue(key, wide(valueName), type, bytes, dataSize);
    std::copy(bytes.begin(), bytes.end(), buffer.begin());
    return status;
}

void Win32Platform::regCloseKey(RegKey key) {
    winapi::closeKey(key);
}

std::u16string Win32Platform::fromAnsi(const std::string& bytes) {
    const std::wstring text = winapi::fromAnsi(bytes);
    return std::u16string(text.begin(), text.end());
}

void Win32Platform::applyImeMode(void* box, ImeMode mode) {
    winapi::applyImeMode(topLevelHandle(box), static_cast<int>(mode));
}

std::unique_ptr<Platform> makeSystemPlatform() {
    return std::make_unique<Win32Platform>();
}

} // namespace ponpira
