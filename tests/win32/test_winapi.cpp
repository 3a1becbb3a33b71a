// SPDX-License-Identifier: MIT
// The Win32 layer against the real system DLLs, under Wine (run-wine-tests.sh). Prints each
// failed check.
#include "about/regvalue.h"
#include "platform/regcodes.h"
#include "platform/win32/winapi.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace ponpira;
namespace fs = std::filesystem;

namespace {

int failures = 0;

bool check(bool ok, const char* what, int line, const std::wstring& detail = {}) {
    if (!ok) {
        ++failures;
        std::printf("FAIL line %d: %s %ls\n", line, what, detail.c_str());
    }
    return ok;
}
#define CHECK(cond, ...) check((cond), #cond, __LINE__ __VA_OPT__(, ) __VA_ARGS__)

std::wstring selfPath() {
    std::wstring self(MAX_PATH, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
    return self;
}

// Values are written in UTF-16, as an installer would; the program reads them in the code page.
bool setValue(const wchar_t* key, const wchar_t* name, DWORD type, const std::wstring& data,
              DWORD size) {
    HKEY opened = nullptr;
    const bool ok =
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened,
                        nullptr) == ERROR_SUCCESS &&
        RegSetValueExW(opened, name, 0, type, reinterpret_cast<const BYTE*>(data.c_str()), size) ==
            ERROR_SUCCESS;
    RegCloseKey(opened);
    return ok;
}

// Reads a value as the About window does: opened for reading, 1024 bytes, the byte rules.
RegValueRead lookUp(const std::wstring& keyName, const std::wstring& valueName,
                    std::int32_t* status = nullptr) {
    winapi::Key key = 0;
    if (winapi::openKey(hkeyLocalMachine, keyName, keyRead, key) != errorSuccess)
        return {};
    std::vector<unsigned char> buffer(regValueBufferSize, 0);
    std::uint32_t type = 0;
    std::uint32_t size = regValueBufferSize;
    const std::int32_t query = winapi::queryValue(key, valueName, type, buffer, size);
    CHECK(winapi::closeKey(key) == errorSuccess, valueName);
    if (status)
        *status = query;
    return keepValueBytes(query, type, buffer, size);
}

void registry() {
    // Wine takes a zero-extended HKEY_LOCAL_MACHINE too; 64-bit Windows does not.
    CHECK(hkeyLocalMachine == reinterpret_cast<std::uintptr_t>(HKEY_LOCAL_MACHINE));
    CHECK(winapi::ansiCodePage() == 932);
    const struct {
        const wchar_t* name;
        DWORD type; // REG_NONE: not written
        std::wstring data;
        std::int32_t status;
        RegValueUse use;
    } cases[] = {
        {L"Japanese", REG_SZ, L"C:\\ツール\\ｼｽﾃﾑ情報", errorSuccess, RegValueUse::Text},
        {L"パス", REG_SZ, L"名前も日本語", errorSuccess, RegValueUse::Text},
        {L"Exact", REG_SZ, std::wstring(1023, L'x'), errorSuccess, RegValueUse::Text},
        // One byte more than the buffer holds, counted in bytes, not characters.
        {L"TooLong", REG_SZ, std::wstring(1024, L'x'), errorMoreData, RegValueUse::Failed},
        {L"KanjiTooLong", REG_SZ, std::wstring(512, L'字'), errorMoreData, RegValueUse::Failed},
        {L"Number", REG_DWORD, {0x5678, 0x1234}, errorSuccess, RegValueUse::Number},
        {L"Expand", REG_EXPAND_SZ, L"%SystemRoot%\\x.exe", errorSuccess, RegValueUse::Keep},
        {L"NoBytes", REG_BINARY, {}, errorSuccess, RegValueUse::NoData},
        {L"Missing", REG_NONE, {}, errorFileNotFound, RegValueUse::Failed},
    };
    for (const auto& c : cases) {
        const DWORD size =
            c.type == REG_DWORD ? 4 : DWORD(c.data.size() + (c.type != REG_BINARY)) * 2;
        if (c.type != REG_NONE)
            CHECK(setValue(L"SOFTWARE\\Ponpira Test", c.name, c.type, c.data, size), c.name);
        std::int32_t status = -1;
        const RegValueRead read = lookUp(L"SOFTWARE\\Ponpira Test", c.name, &status);
        CHECK(status == c.status && read.use == c.use, c.name);
        if (c.use == RegValueUse::Text)
            CHECK(winapi::fromAnsi(read.bytes) == c.data, c.name);
        if (c.use == RegValueUse::Number)
            CHECK(numberText(read.bytes) == "&h12345678", c.name);
    }
}

// The launcher's road on the real registry. Copies of this program stand in for the tool and
// for a program at a shorter prefix of its path ("...\Program.exe" for "...\Program Files\...")
// that an unquoted start would run instead.
void launcherRoad() {
    const std::wstring base = L"C:\\ponpira test";
    const std::wstring decoy = base + L"\\Program.exe";
    const std::wstring folder = base + L"\\Program Files\\MSInfo";
    const std::wstring tool = folder + L"\\msinfo32.exe";
    fs::create_directories(folder);
    fs::copy_file(selfPath(), tool, fs::copy_options::overwrite_existing);
    fs::copy_file(selfPath(), decoy, fs::copy_options::overwrite_existing);
    CHECK(setValue(L"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", L"PATH", REG_SZ, tool,
                   DWORD(tool.size() + 1) * 2) &&
          setValue(L"SOFTWARE\\Microsoft\\Shared Tools Location", L"MSINFO", REG_SZ, folder,
                   DWORD(folder.size() + 1) * 2));
    const RegValueRead first = lookUp(L"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", L"PATH");
    const std::wstring toolPath = winapi::fromAnsi(first.bytes);
    CHECK(first.use == RegValueUse::Text && toolPath == tool, toolPath);

    std::uintptr_t process = 0;
    if (CHECK(winapi::startProgram(toolPath, &process))) {
        DWORD code = 0;
        WaitForSingleObject(reinterpret_cast<HANDLE>(process), 60000);
        GetExitCodeProcess(reinterpret_cast<HANDLE>(process), &code);
        winapi::closeProcess(process);
        CHECK(code == 42 && fs::exists(tool + L".ran") && !fs::exists(decoy + L".ran"));
    }
    CHECK(!winapi::startProgram(folder + L"\\missing.exe"));

    // The second value names the folder; the search finds the tool there in capitals.
    const RegValueRead second = lookUp(L"SOFTWARE\\Microsoft\\Shared Tools Location", L"MSINFO");
    CHECK(winapi::fileExists(winapi::fromAnsi(second.bytes) + L"\\MSINFO32.EXE"));
}

} // namespace

int main() {
    const std::wstring self = selfPath();
    if (self.find(L"test_winapi") == std::wstring::npos) {
        // A copy started by the launcher test: leave "<own path>.ran" and a known code.
        std::ofstream{fs::path(self + L".ran")};
        return 42;
    }
    registry();
    launcherRoad();
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}
