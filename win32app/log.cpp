// SPDX-License-Identifier: MIT
#include "win32app/log.h"

#include "win32app/clock.h"
#include "win32app/ui.h"

#include <cstdio>

namespace ponpira::win32 {

void log(const std::wstring& line) {
    static FILE* file = [] {
        wchar_t path[MAX_PATH];
        const DWORD length = GetEnvironmentVariableW(L"PONPIRA_LOG", path, MAX_PATH);
        return length > 0 && length < MAX_PATH ? _wfopen(path, L"ab") : nullptr;
    }();
    if (!file)
        return;
    const std::wstring text = std::to_wstring(Clock::nowMicroseconds()) + L" " + line + L"\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fflush(file);
}

} // namespace ponpira::win32
