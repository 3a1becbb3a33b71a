// SPDX-License-Identifier: MIT
#include "platform/win32/winapi.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <imm.h>
#include <shellapi.h>

namespace ponpira::winapi {

namespace {

HKEY toHkey(Key key) {
    return reinterpret_cast<HKEY>(key);
}

HWND toHwnd(WindowHandle window) {
    return reinterpret_cast<HWND>(window);
}

} // namespace

std::int32_t openKey(Key root, const std::wstring& subKey, std::uint32_t access, Key& key) {
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExW(toHkey(root), subKey.c_str(), 0, access, &opened);
    key = status == ERROR_SUCCESS ? reinterpret_cast<Key>(opened) : 0;
    return status;
}

std::int32_t queryValue(Key key, const std::wstring& valueName, std::uint32_t& type,
                        std::vector<unsigned char>& buffer, std::uint32_t& dataSize) {
    const std::string name = toAnsi(valueName);
    DWORD valueType = 0;
    DWORD size = static_cast<DWORD>(buffer.size());
    const LONG status = RegQueryValueExA(toHkey(key), name.c_str(), nullptr, &valueType,
                                         buffer.empty() ? nullptr : buffer.data(), &size);
    type = valueType;
    dataSize = size;
    return status;
}

std::int32_t closeKey(Key key) {
    return RegCloseKey(toHkey(key));
}

bool fileExists(const std::wstring& path) {
    // The attributes of exactly this name: unlike a directory search, '*' and '?' are no
    // wildcards here, and a short 8.3 alias of some other file cannot answer.
    if (path.empty())
        return false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                          FILE_ATTRIBUTE_DEVICE)) == 0;
}

std::wstring quotedCommandLine(const std::wstring& path) {
    // A backslash before the closing quote would escape it; doubled, it stays a backslash.
    std::size_t trailing = 0;
    while (trailing < path.size() && path[path.size() - 1 - trailing] == L'\\')
        ++trailing;
    return L"\"" + path + std::wstring(trailing, L'\\') + L"\"";
}

bool startProgram(const std::wstring& path, std::uintptr_t* process) {
    if (path.empty())
        return false;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION info{};
    // The program is named by lpApplicationName: with only a command line, Windows would try
    // "C:\Program.exe" before "C:\Program Files\...\tool.exe".
    std::wstring commandLine = quotedCommandLine(path);
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info))
        return false;
    CloseHandle(info.hThread);
    if (process)
        *process = reinterpret_cast<std::uintptr_t>(info.hProcess);
    else
        CloseHandle(info.hProcess);
    return true;
}

void closeProcess(std::uintptr_t process) {
    if (process)
        CloseHandle(reinterpret_cast<HANDLE>(process));
}

bool openUrl(WindowHandle window, const std::wstring& url, const std::wstring& folder) {
    const HINSTANCE result =
        ShellExecuteW(toHwnd(window), L"open", url.c_str(), nullptr,
                      folder.empty() ? nullptr : folder.c_str(), SW_SHOWNORMAL);
    // Not a real instance handle: a number above 32 means success, anything else an error code.
    return reinterpret_cast<INT_PTR>(result) > 32;
}

std::wstring fromAnsi(const std::string& bytes) {
    if (bytes.empty())
        return {};
    const int length =
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                        length);
    return text;
}

std::string toAnsi(const std::wstring& text) {
    if (text.empty())
        return {};
    const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return {};
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length,
                        nullptr, nullptr);
    return bytes;
}

unsigned int ansiCodePage() {
    return GetACP();
}

void applyImeMode(WindowHandle window, int mode) {
    const HWND hwnd = toHwnd(window);
    if (mode == static_cast<int>(Ime::Disabled)) {
        // No input context at all: the player cannot switch the input method on.
        ImmAssociateContextEx(hwnd, nullptr, 0);
        return;
    }
    // Every other mode starts from the window's own default context, which a password box
    // may have taken away before.
    ImmAssociateContextEx(hwnd, nullptr, IACE_DEFAULT);
    if (mode != static_cast<int>(Ime::Off) && mode != static_cast<int>(Ime::Hiragana))
        return;
    const HIMC context = ImmGetContext(hwnd);
    if (!context)
        return;
    if (mode == static_cast<int>(Ime::Off)) {
        ImmSetOpenStatus(context, FALSE);
    } else {
        ImmSetOpenStatus(context, TRUE);
        DWORD conversion = 0;
        DWORD sentence = 0;
        ImmGetConversionStatus(context, &conversion, &sentence);
        // Native full-width characters, not katakana; the player's romaji or kana typing
        // (IME_CMODE_ROMAN) and the other switches stay as they were.
        conversion &= ~static_cast<DWORD>(IME_CMODE_LANGUAGE | IME_CMODE_FULLSHAPE);
        conversion |= IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE;
        ImmSetConversionStatus(context, conversion, sentence);
    }
    ImmReleaseContext(hwnd, context);
}

} // namespace ponpira::winapi
