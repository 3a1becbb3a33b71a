// SPDX-License-Identifier: MIT
// The Win32 layer against the real system DLLs, under Wine; run-wine-tests.sh sets the registry
// values read here. Prints each failed check.
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
        std::int32_t status;
        RegValueUse use;
        std::wstring text; // the converted text, or the number's "&h" form
    } cases[] = {
        {L"Japanese", errorSuccess, RegValueUse::Text, L"C:\\ツール\\ｼｽﾃﾑ情報"},
        {L"パス", errorSuccess, RegValueUse::Text, L"名前も日本語"},
        {L"Exact", errorSuccess, RegValueUse::Text, std::wstring(1023, L'x')},
        // One byte more than the buffer holds, counted in bytes, not characters.
        {L"TooLong", errorMoreData, RegValueUse::Failed, L""},
        {L"KanjiTooLong", errorMoreData, RegValueUse::Failed, L""},
        {L"Number", errorSuccess, RegValueUse::Number, L"&h12345678"},
        {L"Expand", errorSuccess, RegValueUse::Keep, L""},
        {L"NoBytes", errorSuccess, RegValueUse::NoData, L""},
        {L"Missing", errorFileNotFound, RegValueUse::Failed, L""},
    };
    for (const auto& c : cases) {
        std::int32_t status = -1;
        const RegValueRead read = lookUp(L"SOFTWARE\\Ponpira Test", c.name, &status);
        CHECK(status == c.status && read.use == c.use, c.name);
        if (c.use == RegValueUse::Text)
            CHECK(winapi::fromAnsi(read.bytes) == c.text, c.name);
        if (c.use == RegValueUse::Number)
            CHECK(numberText(read.bytes) == std::string(c.text.begin(), c.text.end()), c.name);
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
