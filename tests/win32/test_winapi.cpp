// SPDX-License-Identifier: MIT
// The Win32 layer against the real system DLLs, under Wine (run-wine-tests.sh).
#include "core/regvalue.h"
#include "core/regcodes.h"
#include "platform/win32/winapi.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

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

void registry() {
    // Wine takes a zero-extended HKEY_LOCAL_MACHINE too; 64-bit Windows does not.
    CHECK(hkeyLocalMachine == reinterpret_cast<std::uintptr_t>(HKEY_LOCAL_MACHINE));
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
        const DWORD bytes =
            c.type == REG_DWORD ? 4 : DWORD(c.data.size() + (c.type != REG_BINARY)) * 2;
        if (c.type != REG_NONE)
            CHECK(RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Ponpira Test", c.name, c.type,
                                  c.data.c_str(), bytes) == ERROR_SUCCESS,
                  c.name);
        // Read as the About window does: opened for reading, 1024 bytes, the byte rules.
        winapi::Key key = 0;
        CHECK(winapi::openKey(hkeyLocalMachine, L"SOFTWARE\\Ponpira Test", keyRead, key) == 0);
        std::vector<unsigned char> buffer(regValueBufferSize, 0);
        std::uint32_t type = 0;
        std::uint32_t size = regValueBufferSize;
        const std::int32_t status = winapi::queryValue(key, c.name, type, buffer, size);
        CHECK(winapi::closeKey(key) == errorSuccess);
        const RegValueRead read = keepValueBytes(status, type, buffer, size);
        CHECK(status == c.status && read.use == c.use, c.name);
        if (c.use == RegValueUse::Text)
            CHECK(winapi::fromAnsi(read.bytes) == c.data, c.name);
        if (c.use == RegValueUse::Number)
            CHECK(numberText(read.bytes) == "&h12345678", c.name);
    }
}

// An unquoted start of "...\Program Files\..." would run "...\Program.exe" instead.
void launch(const std::wstring& self) {
    const std::wstring decoy = L"C:\\ponpira test\\Program.exe";
    const std::wstring folder = L"C:\\ponpira test\\Program Files\\MSInfo";
    const std::wstring tool = folder + L"\\msinfo32.exe";
    fs::create_directories(folder);
    fs::copy_file(self, tool, fs::copy_options::overwrite_existing);
    fs::copy_file(self, decoy, fs::copy_options::overwrite_existing);
    std::uintptr_t process = 0;
    if (CHECK(winapi::startProgram(tool, &process))) {
        DWORD code = 0;
        WaitForSingleObject(reinterpret_cast<HANDLE>(process), 60000);
        GetExitCodeProcess(reinterpret_cast<HANDLE>(process), &code);
        winapi::closeProcess(process);
        CHECK(code == 42 && fs::exists(tool + L".ran") && !fs::exists(decoy + L".ran"));
    }
    CHECK(!winapi::startProgram(folder + L"\\missing.exe"));
    CHECK(winapi::fileExists(folder + L"\\MSINFO32.EXE"));
}

} // namespace

int main() {
    std::wstring self(MAX_PATH, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
    if (self.find(L"test_winapi") == std::wstring::npos) {
        // A copy started by the launcher test: leave "<own path>.ran" and a known code.
        std::ofstream{fs::path(self + L".ran")};
        return 42;
    }
    registry();
    launch(self);
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}
