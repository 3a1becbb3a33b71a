// Tests of the Win32 layer against the real system DLLs, run under Wine by run-wine-tests.sh
// (which sets the registry values read here with "wine reg add"). Prints one line per failed
// check and a summary; the exit code is 0 or 1 only, since a process exit status keeps just
// its low byte and 256 failures must not read as success.
#include "about/regvalue.h"
#include "platform/regcodes.h"
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

#include <cstdio>
#include <string>
#include <vector>

using namespace ponpira;

namespace {

int checks = 0;
int failures = 0;
const char* currentGroup = "";

std::string hexUnits(const std::wstring& text) {
    std::string out;
    char unit[8];
    for (const wchar_t c : text) {
        std::snprintf(unit, sizeof unit, "%04X ", static_cast<unsigned>(c));
        out += unit;
    }
    return out;
}

std::string hexBytes(const std::string& bytes) {
    std::string out;
    char unit[4];
    for (const char c : bytes) {
        std::snprintf(unit, sizeof unit, "%02X ", static_cast<unsigned char>(c));
        out += unit;
    }
    return out;
}

bool check(bool ok, const char* what, int line, const std::string& detail = {}) {
    ++checks;
    if (!ok) {
        ++failures;
        std::printf("FAIL [%s] line %d: %s %s\n", currentGroup, line, what, detail.c_str());
    }
    return ok;
}

#define CHECK(cond) check((cond), #cond, __LINE__)
#define CHECK_EQ(actual, expected, show)                                                           \
    check((actual) == (expected), #actual " == " #expected, __LINE__,                              \
          "(got " + show(actual) + ", want " + show(expected) + ")")

std::string num(long long v) {
    return std::to_string(v);
}

std::wstring tempFolder(const std::wstring& name) {
    std::wstring base(MAX_PATH + 1, L'\0');
    base.resize(GetTempPathW(static_cast<DWORD>(base.size()), base.data()));
    const std::wstring folder = base + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::wstring ownFolder() {
    std::wstring self(32768, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    return self.substr(0, self.find_last_of(L'\\'));
}

bool writeFile(const std::wstring& path, DWORD attributes) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return SetFileAttributesW(path.c_str(), attributes) != 0;
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring readMarker(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::wstring text(4096, L'\0');
    DWORD read = 0;
    ReadFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read, nullptr);
    CloseHandle(file);
    text.resize(read / sizeof(wchar_t));
    return text;
}

// A fresh copy of the marker program at path, with no marker of an earlier run.
bool placeMarkerProgram(const std::wstring& path) {
    DeleteFileW((path + L".ran").c_str());
    return CopyFileW((ownFolder() + L"\\marker.exe").c_str(), path.c_str(), FALSE) != 0;
}

// Waits for a started process; a generous bound, so a slow machine only makes it slower.
DWORD waitForExit(std::uintptr_t process) {
    const HANDLE handle = reinterpret_cast<HANDLE>(process);
    if (WaitForSingleObject(handle, 60000) != WAIT_OBJECT_0)
        return 0xFFFFFFFF;
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(handle, &code);
    return code;
}

// Reads a value the way the About window does: key opened for reading, 1024-byte buffer,
// then the byte rules.
struct Lookup {
    std::int32_t openStatus = -1;
    std::int32_t queryStatus = -1;
    std::uint32_t type = 0;
    std::uint32_t dataSize = 0;
    RegValueRead read;
    std::int32_t closeStatus = -1;
};

Lookup lookUp(const std::wstring& keyName, const std::wstring& valueName) {
    Lookup result;
    winapi::Key key = 0;
    result.openStatus = winapi::openKey(hkeyLocalMachine, keyName, keyRead, key);
    if (result.openStatus != errorSuccess)
        return result;
    std::vector<unsigned char> buffer(regValueBufferSize, 0);
    result.dataSize = static_cast<std::uint32_t>(buffer.size());
    result.queryStatus = winapi::queryValue(key, valueName, result.type, buffer, result.dataSize);
    result.read = keepValueBytes(result.queryStatus, result.type, buffer, result.dataSize);
    result.closeStatus = winapi::closeKey(key);
    return result;
}

const wchar_t* const testKey = L"SOFTWARE\\Ponpira Test";

// The texts the program shows, as the windows carry them.
const wchar_t* const programTexts[] = {
    L"ポンピラ",
    L"ﾊﾞｰｼﾞｮﾝ情報",
    L"ポンピラのﾊﾞｰｼﾞｮﾝ情報",
    L"ﾊﾞｰｼﾞｮﾝ 1.2.2",
    L"ｼｽﾃﾑ情報(&S)...",
    L"現時点ではｼｽﾃﾑ情報を使用できません",
    L"警告: ..マウスを壊さないように注意してください。",
    L"結果送信で、掲示板に結果を書き込むことができます。",
    L"指定時間内に何回クリックできるかという単純なゲームです。",
    L"バージョン情報",
    L"タイム",
    L"１０秒",
    L"２０秒",
    L"３０秒",
    L"リセット",
    L"終了",
    L"結果送信",
    L"タイムを選択してからこのボタンをマウスで連打してください",
    L"もっと早く",
    L"あと１０秒",
    L"まだ２０秒もある",
    L"３秒前",
    L"リセットしてください。",
    L"あなたは",
    L"秒で",
    L"回クリックすることができました。",
    L"下の内容で結果を送信します。空欄をうめてください。",
    L"E-mail（任意）",
    L"URL（任意）",
    L"お名前",
    L"コメント",
    L"削除用パスワード",
    L"キャンセル",
    L"送信",
    L"ＭＳ Ｐゴシック",
    L"数値が扱える範囲（-32768～32767）を超えました。",
};

void codePage() {
    currentGroup = "code page";
    CHECK_EQ(winapi::ansiCodePage(), 932u, num);

    for (const wchar_t* text : programTexts) {
        const std::string bytes = winapi::toAnsi(text);
        check(std::wstring(text).find(L'?') != std::wstring::npos ||
                  bytes.find('?') == std::string::npos,
              "no character lost to the default character", __LINE__, hexUnits(text));
        check(winapi::fromAnsi(bytes) == text, "round trip", __LINE__, hexUnits(text));
    }

    // Known Shift-JIS bytes: half-width katakana take one byte each, the rest two.
    struct Known {
        const wchar_t* text;
        const char* bytes;
    };
    const Known known[] = {
        {L"ｼｽﾃﾑ", "\xBC\xBD\xC3\xD1"},
        {L"ﾊﾞｰｼﾞｮﾝ", "\xCA\xDE\xB0\xBC\xDE\xAE\xDD"},
        {L"ポンピラ", "\x83\x7C\x83\x93\x83\x73\x83\x89"},
        {L"情報", "\x8F\xEE\x95\xF1"},
        {L"C:\\Program Files", "C:\\Program Files"},
    };
    for (const Known& k : known) {
        CHECK_EQ(winapi::toAnsi(k.text), std::string(k.bytes), hexBytes);
        CHECK_EQ(winapi::fromAnsi(k.bytes), std::wstring(k.text), hexUnits);
    }
    CHECK(winapi::toAnsi(L"").empty());
    CHECK(winapi::fromAnsi("").empty());
}

void registry() {
    currentGroup = "registry";
    CHECK_EQ(static_cast<winapi::Key>(reinterpret_cast<std::uintptr_t>(HKEY_LOCAL_MACHINE)),
             hkeyLocalMachine, num);
    CHECK_EQ(keyRead, static_cast<std::uint32_t>(KEY_READ), num);

    struct Case {
        const wchar_t* name;
        std::int32_t status;
        RegValueUse use;
        std::wstring text; // for Text: the converted text; for Number: its "&h" form
    };
    const std::wstring kanji511(511, L'字');
    const std::wstring ascii1023(1023, L'x');
    const Case cases[] = {
        {L"Tool", errorSuccess, RegValueUse::Text,
         L"C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe"},
        {L"Japanese", errorSuccess, RegValueUse::Text, L"C:\\ツール\\ｼｽﾃﾑ情報"},
        {L"パス", errorSuccess, RegValueUse::Text, L"名前も日本語"},
        // The registry keeps the terminating zero; the rules drop it and leave empty text.
        {L"Empty", errorSuccess, RegValueUse::Text, L""},
        {L"Exact", errorSuccess, RegValueUse::Text, ascii1023},
        {L"KanjiFits", errorSuccess, RegValueUse::Text, kanji511},
        // 1024 characters and the zero, or 512 double-byte ones and the zero: one byte too many.
        {L"TooLong", errorMoreData, RegValueUse::Failed, L""},
        {L"KanjiTooLong", errorMoreData, RegValueUse::Failed, L""},
        {L"Number", errorSuccess, RegValueUse::Number, L"&h12345678"},
        // The number's top byte is zero and goes the way of a terminating zero.
        {L"One", errorSuccess, RegValueUse::Number, L"&h000001"},
        {L"Binary", errorSuccess, RegValueUse::Keep, L""},
        {L"Expand", errorSuccess, RegValueUse::Keep, L""},
        {L"NoBytes", errorSuccess, RegValueUse::NoData, L""},
        {L"Missing", errorFileNotFound, RegValueUse::Failed, L""},
    };
    for (const Case& c : cases) {
        const Lookup got = lookUp(testKey, c.name);
        const std::string name = hexUnits(c.name);
        check(got.openStatus == errorSuccess, "open for reading", __LINE__, name);
        check(got.queryStatus == c.status, "query status", __LINE__,
              name + " got " + num(got.queryStatus));
        check(got.read.use == c.use, "use", __LINE__,
              name + " got " + num(static_cast<int>(got.read.use)));
        check(got.closeStatus == errorSuccess, "closed", __LINE__, name);
        if (c.use == RegValueUse::Text)
            check(winapi::fromAnsi(got.read.bytes) == c.text, "text", __LINE__,
                  name + " got " + hexBytes(got.read.bytes));
        if (c.use == RegValueUse::Number)
            check(numberText(got.read.bytes) == std::string(c.text.begin(), c.text.end()), "number",
                  __LINE__, name + " got " + numberText(got.read.bytes));
    }

    // ERROR_MORE_DATA reports the size that would have been needed.
    const Lookup tooLong = lookUp(testKey, L"TooLong");
    CHECK(tooLong.dataSize > regValueBufferSize);

    winapi::Key key = 1234;
    CHECK_EQ(
        winapi::openKey(hkeyLocalMachine, L"SOFTWARE\\Ponpira Test\\No Such Key", keyRead, key),
        errorFileNotFound, num);
    CHECK_EQ(key, winapi::Key(0), num);
}

void fileSearch() {
    currentGroup = "file search";
    const std::wstring folder = tempFolder(L"ponpira files");
    CHECK(writeFile(folder + L"\\normal.exe", FILE_ATTRIBUTE_NORMAL));
    CHECK(writeFile(folder + L"\\readonly.exe", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    CHECK(writeFile(folder + L"\\hidden.exe", FILE_ATTRIBUTE_HIDDEN));
    CHECK(writeFile(folder + L"\\system.exe", FILE_ATTRIBUTE_SYSTEM));
    CreateDirectoryW((folder + L"\\folder.exe").c_str(), nullptr);

    struct Case {
        std::wstring path;
        bool found;
    };
    const Case cases[] = {
        {folder + L"\\normal.exe", true},
        {folder + L"\\NORMAL.EXE", true},
        {folder + L"\\\\normal.exe", true},
        {folder + L"\\readonly.exe", true},
        {folder + L"\\hidden.exe", false},
        {folder + L"\\system.exe", false},
        {folder + L"\\folder.exe", false},
        {folder + L"\\missing.exe", false},
        {folder + L"\\*.exe", false},
        {folder + L"\\normal.ex?", false},
        {L"", false},
    };
    for (const Case& c : cases)
        check(winapi::fileExists(c.path) == c.found, "found", __LINE__, hexUnits(c.path));
    SetFileAttributesW((folder + L"\\readonly.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesW((folder + L"\\hidden.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesW((folder + L"\\system.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
}

void commandLine() {
    currentGroup = "command line";
    struct Case {
        const wchar_t* path;
        const wchar_t* line;
    };
    const Case cases[] = {
        {L"C:\\Program Files\\tool.exe", L"\"C:\\Program Files\\tool.exe\""},
        {L"C:\\tool.exe", L"\"C:\\tool.exe\""},
        {L"C:\\odd\\", L"\"C:\\odd\\\\\""},
        {L"C:\\odd\\\\", L"\"C:\\odd\\\\\\\\\""},
    };
    for (const Case& c : cases)
        CHECK_EQ(winapi::quotedCommandLine(c.path), std::wstring(c.line), hexUnits);

    // The quoted line reads back as one argument, the path itself.
    for (const Case& c : cases) {
        int count = 0;
        LPWSTR* args =
            CommandLineToArgvW((L"x.exe " + winapi::quotedCommandLine(c.path)).c_str(), &count);
        check(args && count == 2 && std::wstring(args[1]) == c.path, "one argument", __LINE__,
              hexUnits(c.path));
        LocalFree(args);
    }
}

// The layout that an unquoted start falls into: a program at a shorter prefix of the path.
struct DecoyLayout {
    std::wstring base = L"C:\\ponpira test";
    std::wstring decoy = base + L"\\Program.exe";
    std::wstring folder = base + L"\\Program Files\\MSInfo";
    std::wstring tool = folder + L"\\msinfo32.exe";
};

void programStart() {
    currentGroup = "program start";
    const DecoyLayout at;
    CreateDirectoryW(at.base.c_str(), nullptr);
    CreateDirectoryW((at.base + L"\\Program Files").c_str(), nullptr);
    CreateDirectoryW(at.folder.c_str(), nullptr);
    if (!CHECK(placeMarkerProgram(at.tool)) || !CHECK(placeMarkerProgram(at.decoy)))
        return;

    // The fault being guarded against is real here: started from an unquoted command line,
    // the decoy runs instead of the tool.
    {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        std::wstring line = at.tool;
        if (CHECK(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &info))) {
            CloseHandle(info.hThread);
            CHECK_EQ(waitForExit(reinterpret_cast<std::uintptr_t>(info.hProcess)), 42ul, num);
            CloseHandle(info.hProcess);
            CHECK(exists(at.decoy + L".ran"));
            CHECK(!exists(at.tool + L".ran"));
        }
        DeleteFileW((at.decoy + L".ran").c_str());
        DeleteFileW((at.tool + L".ran").c_str());
    }

    // Started by its exact path, the intended program runs and the decoy does not.
    std::uintptr_t process = 0;
    if (CHECK(winapi::startProgram(at.tool, &process))) {
        CHECK_EQ(waitForExit(process), 42ul, num);
        winapi::closeProcess(process);
        CHECK(exists(at.tool + L".ran"));
        CHECK(!exists(at.decoy + L".ran"));
    }

    CHECK(!winapi::startProgram(L""));
    CHECK(!winapi::startProgram(at.folder + L"\\missing.exe"));
    CHECK(!winapi::startProgram(at.folder));
}

// The launcher's road on the real registry: the first value names the tool's full path (set by
// the script to the folder with the decoy above it); the second names its folder.
void launcherRoad() {
    currentGroup = "launcher road";
    const DecoyLayout at;
    if (!CHECK(placeMarkerProgram(at.tool)) || !CHECK(placeMarkerProgram(at.decoy)))
        return;

    const Lookup first = lookUp(L"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", L"PATH");
    CHECK(first.read.use == RegValueUse::Text);
    const std::wstring toolPath = winapi::fromAnsi(first.read.bytes);
    CHECK_EQ(toolPath, at.tool, hexUnits);
    std::uintptr_t process = 0;
    if (CHECK(winapi::startProgram(toolPath, &process))) {
        CHECK_EQ(waitForExit(process), 42ul, num);
        winapi::closeProcess(process);
        CHECK(exists(at.tool + L".ran"));
        CHECK(!exists(at.decoy + L".ran"));
    }

    const Lookup second = lookUp(L"SOFTWARE\\Microsoft\\Shared Tools Location", L"MSINFO");
    CHECK(second.read.use == RegValueUse::Text);
    const std::wstring folder = winapi::fromAnsi(second.read.bytes);
    CHECK_EQ(folder, at.folder, hexUnits);
    // The file search is not case-sensitive, as the file system is not.
    CHECK(winapi::fileExists(folder + L"\\MSINFO32.EXE"));
    CHECK(!winapi::fileExists(at.base + L"\\MSINFO32.EXE"));
}

void shellOpen() {
    currentGroup = "shell open";
    const std::wstring folder = tempFolder(L"ponpira open");
    const std::wstring program = folder + L"\\opened.exe";
    const std::wstring workFolder = tempFolder(L"ponpira work");
    if (!CHECK(placeMarkerProgram(program)))
        return;
    if (CHECK(winapi::openUrl(0, program, workFolder))) {
        // The shell gives back no process to wait for: poll for the marker, bounded.
        const std::wstring marker = program + L".ran";
        for (int i = 0; i < 600 && readMarker(marker).empty(); ++i)
            Sleep(100);
        std::wstring cwd = readMarker(marker);
        while (!cwd.empty() && cwd.back() == L'\\')
            cwd.pop_back();
        std::wstring want = workFolder;
        while (!want.empty() && want.back() == L'\\')
            want.pop_back();
        check(CompareStringOrdinal(cwd.c_str(), -1, want.c_str(), -1, TRUE) == CSTR_EQUAL,
              "started in the given folder", __LINE__, hexUnits(cwd));
    }
    CHECK(!winapi::openUrl(0, folder + L"\\no such file.exe", folder));
}

struct ImeState {
    bool associated = false; // the window has an input context at all
    bool open = false;
    DWORD conversion = 0;
};

ImeState imeState(HWND window) {
    ImeState state;
    // Swapping the context out and back shows the association even where no input method is
    // installed to give the context any data.
    const HIMC associated = ImmAssociateContext(window, nullptr);
    ImmAssociateContext(window, associated);
    state.associated = associated != nullptr;
    if (const HIMC context = ImmGetContext(window)) {
        state.open = ImmGetOpenStatus(context) != FALSE;
        DWORD sentence = 0;
        ImmGetConversionStatus(context, &state.conversion, &sentence);
        ImmReleaseContext(window, context);
    }
    return state;
}

void inputMethod() {
    currentGroup = "input method";
    const HWND window = CreateWindowExW(0, L"STATIC", L"ime", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                        nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!CHECK(window != nullptr))
        return;
    const auto handle = reinterpret_cast<winapi::WindowHandle>(window);
    // Wine's input method comes with its X11 driver; without a display only the association
    // of contexts can be seen.
    const bool haveIme = ImmIsIME(GetKeyboardLayout(0)) != FALSE;
    if (!haveIme)
        std::printf("note: no input method here (no X display); checking contexts only\n");

    // Start from a katakana, romaji-input state to see what the modes change and keep.
    if (const HIMC context = ImmGetContext(window)) {
        ImmSetConversionStatus(context, IME_CMODE_NATIVE | IME_CMODE_KATAKANA | IME_CMODE_ROMAN,
                               IME_SMODE_NONE);
        ImmReleaseContext(window, context);
    }

    winapi::applyImeMode(handle, static_cast<int>(winapi::Ime::Hiragana));
    ImeState state = imeState(window);
    CHECK(state.associated);
    if (haveIme) {
        CHECK(state.open);
        CHECK_EQ(state.conversion & (IME_CMODE_LANGUAGE | IME_CMODE_FULLSHAPE),
                 static_cast<DWORD>(IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE), num);
        CHECK(state.conversion & IME_CMODE_ROMAN);
    }

    winapi::applyImeMode(handle, static_cast<int>(winapi::Ime::Disabled));
    CHECK(!imeState(window).associated);

    // Off gives the context back, closed: the player may still open it.
    winapi::applyImeMode(handle, static_cast<int>(winapi::Ime::Off));
    state = imeState(window);
    CHECK(state.associated);
    if (haveIme)
        CHECK(!state.open);

    // Any other mode only undoes a disabled box.
    winapi::applyImeMode(handle, static_cast<int>(winapi::Ime::Disabled));
    winapi::applyImeMode(handle, 0);
    CHECK(imeState(window).associated);

    DestroyWindow(window);
}

std::wstring versionString(const std::vector<unsigned char>& data, const wchar_t* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\041104b0\\") + name;
    if (!VerQueryValueW(data.data(), path.c_str(), &value, &length) || !value)
        return L"(none)";
    std::wstring text(static_cast<const wchar_t*>(value), length);
    while (!text.empty() && text.back() == L'\0')
        text.pop_back();
    return text;
}

void versionResource() {
    currentGroup = "version resource";
    std::wstring self(32768, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(self.c_str(), &ignored);
    if (!CHECK(size > 0))
        return;
    std::vector<unsigned char> data(size);
    if (!CHECK(GetFileVersionInfoW(self.c_str(), 0, size, data.data())))
        return;

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (CHECK(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) &&
              fixed)) {
        CHECK_EQ(fixed->dwFileVersionMS, 0x00010002ul, num);
        CHECK_EQ(fixed->dwFileVersionLS, 0x00000002ul, num);
        CHECK_EQ(fixed->dwProductVersionMS, 0x00010002ul, num);
        CHECK_EQ(fixed->dwProductVersionLS, 0x00000002ul, num);
    }
    CHECK_EQ(versionString(data, L"ProductName"), std::wstring(L"ポンピラ"), hexUnits);
    CHECK_EQ(versionString(data, L"FileVersion"), std::wstring(L"1.02.0002"), hexUnits);
    CHECK_EQ(versionString(data, L"ProductVersion"), std::wstring(L"1.02.0002"), hexUnits);

    // The icon group offers 16- and 32-pixel 16-colour images.
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC group = FindResourceW(module, L"IDI_ICON1", MAKEINTRESOURCEW(14)); // RT_GROUP_ICON
    if (!CHECK(group != nullptr))
        return;
    auto* directory = static_cast<BYTE*>(LockResource(LoadResource(module, group)));
    for (const int pixels : {16, 32}) {
        const int id =
            LookupIconIdFromDirectoryEx(directory, TRUE, pixels, pixels, LR_DEFAULTCOLOR);
        const HRSRC image = id ? FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3))
                               : nullptr; // RT_ICON
        if (!check(image != nullptr, "icon image", __LINE__, num(pixels)))
            continue;
        const auto* header =
            static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, image)));
        check(header && header->biWidth == pixels && header->biBitCount == 4,
              "16-colour image of this size", __LINE__, num(pixels));
    }
}

} // namespace

int main() {
    codePage();
    registry();
    fileSearch();
    commandLine();
    programStart();
    launcherRoad();
    shellOpen();
    inputMethod();
    versionResource();
    std::printf("%d checks, %d failed\n", checks, failures);
    return failures == 0 ? 0 : 1;
}
