// SPDX-License-Identifier: MIT
// Tests of the Win32 layer against the real system DLLs, run under Wine by run-wine-tests.sh,
// which sets the registry values read here with "wine reg add". Prints one line per failed
// check; exits 0 or 1 only, since an exit status keeps just its low byte.
#include "about/regvalue.h"
#include "platform/regcodes.h"
#include "platform/win32/winapi.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace ponpira;

namespace {

int failures = 0;

bool check(bool ok, const char* what, int line, const std::wstring& detail = {}) {
    if (!ok) {
        ++failures;
        std::printf("FAIL line %d: %s", line, what);
        for (const wchar_t c : detail)
            std::printf(" %04X", static_cast<unsigned>(c));
        std::printf("\n");
    }
    return ok;
}
#define CHECK(cond) check((cond), #cond, __LINE__)
#define CHECK_IN(cond, detail) check((cond), #cond, __LINE__, detail)

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
    CHECK_IN(winapi::closeKey(key) == errorSuccess, valueName);
    if (status)
        *status = query;
    return keepValueBytes(query, type, buffer, size);
}

void codePage() {
    CHECK(winapi::ansiCodePage() == 932);
    // The About window's texts and a few from the other windows survive Shift-JIS.
    for (const wchar_t* text :
         {L"ポンピラのﾊﾞｰｼﾞｮﾝ情報", L"ｼｽﾃﾑ情報(&S)...", L"E-mail（任意）", L"ＭＳ Ｐゴシック",
          L"数値が扱える範囲（-32768～32767）を超えました。"}) {
        const std::string bytes = winapi::toAnsi(text);
        CHECK_IN(bytes.find('?') == std::string::npos && winapi::fromAnsi(bytes) == text, text);
    }
    // Half-width katakana take one byte each, the rest two.
    CHECK(winapi::toAnsi(L"ｼｽﾃﾑ情報") == "\xBC\xBD\xC3\xD1\x8F\xEE\x95\xF1");
}

void registry() {
    struct Case {
        const wchar_t* name;
        std::int32_t status;
        RegValueUse use;
        std::wstring text; // the converted text, or the number's "&h" form
    };
    const Case cases[] = {
        {L"Japanese", errorSuccess, RegValueUse::Text, L"C:\\ツール\\ｼｽﾃﾑ情報"},
        {L"パス", errorSuccess, RegValueUse::Text, L"名前も日本語"},
        // The registry keeps a terminating zero; the rules drop it.
        {L"Empty", errorSuccess, RegValueUse::Text, L""},
        {L"Exact", errorSuccess, RegValueUse::Text, std::wstring(1023, L'x')},
        {L"KanjiFits", errorSuccess, RegValueUse::Text, std::wstring(511, L'字')},
        // One byte more than the buffer holds, counted in bytes, not characters.
        {L"TooLong", errorMoreData, RegValueUse::Failed, L""},
        {L"KanjiTooLong", errorMoreData, RegValueUse::Failed, L""},
        {L"Number", errorSuccess, RegValueUse::Number, L"&h12345678"},
        {L"One", errorSuccess, RegValueUse::Number, L"&h000001"},
        {L"Expand", errorSuccess, RegValueUse::Keep, L""},
        {L"NoBytes", errorSuccess, RegValueUse::NoData, L""},
        {L"Missing", errorFileNotFound, RegValueUse::Failed, L""},
    };
    for (const Case& c : cases) {
        std::int32_t status = -1;
        const RegValueRead read = lookUp(L"SOFTWARE\\Ponpira Test", c.name, &status);
        CHECK_IN(status == c.status && read.use == c.use, c.name);
        const std::string& bytes = read.bytes;
        if (c.use == RegValueUse::Text)
            CHECK_IN(winapi::fromAnsi(bytes) == c.text, c.name);
        if (c.use == RegValueUse::Number)
            CHECK_IN(numberText(bytes) == std::string(c.text.begin(), c.text.end()), c.name);
    }
    winapi::Key key = 1234;
    CHECK(winapi::openKey(hkeyLocalMachine, L"SOFTWARE\\Ponpira Test\\None", keyRead, key) ==
              errorFileNotFound &&
          key == 0);
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A fresh copy of the marker program, which leaves "<its path>.ran" when it runs.
bool placeMarker(const std::wstring& path) {
    std::wstring self(MAX_PATH, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
    DeleteFileW((path + L".ran").c_str());
    const std::wstring marker = self.substr(0, self.find_last_of(L'\\')) + L"\\marker.exe";
    return CopyFileW(marker.c_str(), path.c_str(), FALSE) != 0;
}

// The launcher's road on the real registry. The first value names the tool's path, and a
// program sits at a shorter prefix of it ("...\Program.exe" for "...\Program Files\...").
void launcherRoad() {
    const std::wstring base = L"C:\\ponpira test";
    const std::wstring decoy = base + L"\\Program.exe";
    const std::wstring folder = base + L"\\Program Files\\MSInfo";
    const std::wstring tool = folder + L"\\msinfo32.exe";
    CreateDirectoryW(base.c_str(), nullptr);
    CreateDirectoryW((base + L"\\Program Files").c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    if (!CHECK(placeMarker(tool) && placeMarker(decoy)))
        return;
    const RegValueRead first = lookUp(L"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", L"PATH");
    const std::wstring toolPath = winapi::fromAnsi(first.bytes);
    CHECK_IN(first.use == RegValueUse::Text && toolPath == tool, toolPath);

    // Started by its exact path, the tool runs and the decoy does not (an unquoted command
    // line would run the decoy).
    std::uintptr_t process = 0;
    if (CHECK(winapi::startProgram(toolPath, &process))) {
        DWORD code = 0;
        WaitForSingleObject(reinterpret_cast<HANDLE>(process), 60000);
        GetExitCodeProcess(reinterpret_cast<HANDLE>(process), &code);
        winapi::closeProcess(process);
        CHECK(code == 42 && exists(tool + L".ran") && !exists(decoy + L".ran"));
    }
    CHECK(!winapi::startProgram(folder + L"\\missing.exe"));

    // The second value names the folder; the search finds the tool there in capitals.
    const RegValueRead second = lookUp(L"SOFTWARE\\Microsoft\\Shared Tools Location", L"MSINFO");
    CHECK(winapi::fileExists(winapi::fromAnsi(second.bytes) + L"\\MSINFO32.EXE"));
}

} // namespace

int main() {
    codePage();
    registry();
    launcherRoad();
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}
