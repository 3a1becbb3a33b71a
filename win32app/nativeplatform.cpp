// SPDX-License-Identifier: MIT
#include "win32app/nativeplatform.h"

#include "core/convert.h"
#include "platform/win32/winapi.h"
#include "win32app/log.h"
#include "win32app/ui.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <shlobj.h>

#include <cstdio>
#include <sstream>

namespace ponpira::win32 {

namespace {

HWND toHwnd(void* window) {
    return static_cast<HWND>(window);
}

// True when something accepts a TCP connection at address:port within a second.
bool answers(const std::u16string& address, std::uint16_t port) {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started)
        return false;
    addrinfoW hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfoW* found = nullptr;
    const std::wstring service = std::to_wstring(port);
    if (GetAddrInfoW(wide(address).c_str(), service.c_str(), &hints, &found) != 0 || !found)
        return false;
    bool connected = false;
    const SOCKET probe = socket(found->ai_family, SOCK_STREAM, IPPROTO_TCP);
    if (probe != INVALID_SOCKET) {
        u_long nonBlocking = 1;
        ioctlsocket(probe, FIONBIO, &nonBlocking);
        if (connect(probe, found->ai_addr, static_cast<int>(found->ai_addrlen)) == 0) {
            connected = true;
        } else if (WSAGetLastError() == WSAEWOULDBLOCK) {
            fd_set writable;
            FD_ZERO(&writable);
            FD_SET(probe, &writable);
            fd_set failed = writable;
            timeval limit{1, 0};
            connected =
                select(0, nullptr, &writable, &failed, &limit) == 1 && FD_ISSET(probe, &writable);
        }
        closesocket(probe);
    }
    FreeAddrInfoW(found);
    return connected;
}

std::string readFile(const std::wstring& path) {
    std::string text;
    if (FILE* file = _wfopen(path.c_str(), L"rb")) {
        char chunk[4096];
        std::size_t read = 0;
        // A settings file is a few lines; anything past 64 KiB is not one.
        while ((read = std::fread(chunk, 1, sizeof chunk, file)) > 0 && text.size() < 65536)
            text.append(chunk, read);
        std::fclose(file);
    }
    return text;
}

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

void NativePlatform::messageBox(void* parent, const std::u16string& prompt,
                                const std::u16string& title) {
    log(L"message " + wide(title) + L": " + wide(prompt));
    MessageBoxW(toHwnd(parent), wide(prompt).c_str(), wide(title).c_str(),
                MB_OK | MB_APPLMODAL | MB_SETFOREGROUND);
}

bool NativePlatform::openUrl(void* window, const std::u16string& url) {
    log(L"open " + wide(url));
    return winapi::openUrl(reinterpret_cast<winapi::WindowHandle>(window), wide(url),
                           programFolder());
}

LocalBoardState NativePlatform::ensureLocalBoard(const std::u16string& address,
                                                 std::uint16_t port) {
    return answers(address, port) ? LocalBoardState::Answering : LocalBoardState::Absent;
}

BoardHostSetting NativePlatform::boardHostSetting() {
    wchar_t value[1024];
    const DWORD length = GetEnvironmentVariableW(L"PONPIRA_BOARD_HOST", value, 1024);
    if (length > 0 && length < 1024)
        return {utf16(std::wstring(value, length)), u"環境変数 PONPIRA_BOARD_HOST"};
    const std::wstring path = settingsPath();
    if (path.empty())
        return {};
    return {iniValue(readFile(path), "board", "host"), u"設定ファイル " + utf16(path)};
}

bool NativePlatform::startProgram(const std::u16string& path) {
    return winapi::startProgram(wide(path));
}

bool NativePlatform::fileExists(const std::u16string& path) {
    return winapi::fileExists(wide(path));
}

std::int32_t NativePlatform::regOpenKey(RegKey root, const std::u16string& subKey,
                                        std::uint32_t access, RegKey& key) {
    winapi::Key opened = 0;
    const std::int32_t status = winapi::openKey(root, wide(subKey), access, opened);
    key = opened;
    return status;
}

std::int32_t NativePlatform::regQueryValue(RegKey key, const std::u16string& valueName,
                                           std::uint32_t& type, std::string& buffer,
                                           std::uint32_t& dataSize) {
    std::vector<unsigned char> bytes(buffer.begin(), buffer.end());
    const std::int32_t status = winapi::queryValue(key, wide(valueName), type, bytes, dataSize);
    buffer.assign(bytes.begin(), bytes.end());
    return status;
}

void NativePlatform::regCloseKey(RegKey key) {
    winapi::closeKey(key);
}

std::u16string NativePlatform::fromAnsi(const std::string& bytes) {
    return utf16(winapi::fromAnsi(bytes));
}

void NativePlatform::applyImeMode(void* box, ImeMode mode) {
    winapi::applyImeMode(reinterpret_cast<winapi::WindowHandle>(box), static_cast<int>(mode));
}

std::wstring settingsPath() {
    PWSTR roaming = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &roaming)))
        return {};
    std::wstring path = std::wstring(roaming) + L"\\ponpira\\ponpira.ini";
    CoTaskMemFree(roaming);
    return path;
}

std::u16string iniValue(const std::string& text, const std::string& section,
                        const std::string& key) {
    std::istringstream lines(text.rfind("\xEF\xBB\xBF", 0) == 0 ? text.substr(3) : text);
    std::string line;
    bool inSection = false;
    std::string value;
    while (std::getline(lines, line)) {
        line = trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line.front() == '[') {
            inSection = line == "[" + section + "]";
            continue;
        }
        const auto equals = line.find('=');
        if (inSection && equals != std::string::npos && trim(line.substr(0, equals)) == key)
            value = trim(line.substr(equals + 1));
    }
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return fromUtf8(value);
}

std::wstring programFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L'\\'));
}

} // namespace ponpira::win32
