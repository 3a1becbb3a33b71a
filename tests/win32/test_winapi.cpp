// Tests of the Win32 layer against the real system DLLs, run under Wine by run-wine-tests.sh,
// which sets the registry values read here with "wine reg add". Prints one line per failed
// check; exits 0 or 1 only, since an exit status keeps just its low byte.
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

std::string hex(const std::wstring& text) {
    std::string out;
    char unit[8];
    for (const wchar_t c : text) {
        std::snprintf(unit, sizeof unit, "%04X ", static_cast<unsigned>(c));
        out += unit;
    }
    return out;
}

bool check(bool ok, const char* what, int line, const std::string& detail = {}) {
    ++checks;
    if (!ok) {
        ++failures;
        std::printf("FAIL line %d: %s %s\n", line, what, detail.c_str());
    }
    return ok;
}
#define CHECK(cond) check((cond), #cond, __LINE__)
#define CHECK_IN(cond, detail) check((cond), #cond, __LINE__, detail)

std::wstring folderOf(const std::wstring& path) {
    return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring ownPath() {
    std::wstring self(32768, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    return self;
}

std::wstring tempFolder(const std::wstring& name) {
    std::wstring base(MAX_PATH + 1, L'\0');
    base.resize(GetTempPathW(static_cast<DWORD>(base.size()), base.data()));
    CreateDirectoryW((base + name).c_str(), nullptr);
    return base + name;
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// What the marker program left: the folder it was started in, or nothing.
std::wstring readMarker(const std::wstring& program) {
    const HANDLE file = CreateFileW((program + L".ran").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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
bool placeMarker(const std::wstring& path) {
    DeleteFileW((path + L".ran").c_str());
    return CopyFileW((folderOf(ownPath()) + L"\\marker.exe").c_str(), path.c_str(), FALSE) != 0;
}

// The exit code of a started process; a generous bound, so a slow machine is only slower.
DWORD waitForExit(HANDLE process) {
    DWORD code = 0xFFFFFFFF;
    if (WaitForSingleObject(process, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process, &code);
    return code;
}

// Reads a value as the About window does: opened for reading, 1024 bytes, the byte rules.
struct Lookup {
    std::int32_t open = -1;
    std::int32_t query = -1;
    std::uint32_t dataSize = 0;
    RegValueRead read;
    std::int32_t close = -1;
};

Lookup lookUp(const std::wstring& keyName, const std::wstring& valueName) {
    Lookup result;
    winapi::Key key = 0;
    result.open = winapi::openKey(hkeyLocalMachine, keyName, keyRead, key);
    if (result.open != errorSuccess)
        return result;
    std::vector<unsigned char> buffer(regValueBufferSize, 0);
    std::uint32_t type = 0;
    result.dataSize = static_cast<std::uint32_t>(buffer.size());
    result.query = winapi::queryValue(key, valueName, type, buffer, result.dataSize);
    result.read = keepValueBytes(result.query, type, buffer, result.dataSize);
    result.close = winapi::closeKey(key);
    return result;
}

void codePage() {
    CHECK(winapi::ansiCodePage() == 932);
    // The texts the About window shows and the launcher's message, and a few from the other
    // windows: every one survives the trip through Shift-JIS.
    for (const wchar_t* text :
         {L"ポンピラのﾊﾞｰｼﾞｮﾝ情報", L"ﾊﾞｰｼﾞｮﾝ 1.2.2", L"ｼｽﾃﾑ情報(&S)...",
          L"現時点ではｼｽﾃﾑ情報を使用できません",
          L"警告: ..マウスを壊さないように注意してください。",
          L"結果送信で、掲示板に結果を書き込むことができます。",
          L"指定時間内に何回クリックできるかという単純なゲームです。", L"３秒前", L"E-mail（任意）",
          L"ＭＳ Ｐゴシック", L"数値が扱える範囲（-32768～32767）を超えました。"}) {
        const std::string bytes = winapi::toAnsi(text);
        CHECK_IN(bytes.find('?') == std::string::npos, hex(text));
        CHECK_IN(winapi::fromAnsi(bytes) == text, hex(text));
    }
    // Half-width katakana take one byte each, the rest two.
    CHECK(winapi::toAnsi(L"ｼｽﾃﾑ") == "\xBC\xBD\xC3\xD1");
    CHECK(winapi::toAnsi(L"ポンピラ") == "\x83\x7C\x83\x93\x83\x73\x83\x89");
    CHECK(winapi::fromAnsi("\xCA\xDE\xB0\xBC\xDE\xAE\xDD\x8F\xEE\x95\xF1") == L"ﾊﾞｰｼﾞｮﾝ情報");
    CHECK(winapi::toAnsi(L"").empty() && winapi::fromAnsi("").empty());
}

void registry() {
    CHECK(reinterpret_cast<winapi::Key>(HKEY_LOCAL_MACHINE) == hkeyLocalMachine);
    CHECK(keyRead == KEY_READ);

    struct Case {
        const wchar_t* name;
        std::int32_t status;
        RegValueUse use;
        std::wstring text; // the converted text, or the number's "&h" form
    };
    const Case cases[] = {
        {L"Tool", errorSuccess, RegValueUse::Text,
         L"C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe"},
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
        {L"Binary", errorSuccess, RegValueUse::Keep, L""},
        {L"Expand", errorSuccess, RegValueUse::Keep, L""},
        {L"NoBytes", errorSuccess, RegValueUse::NoData, L""},
        {L"Missing", errorFileNotFound, RegValueUse::Failed, L""},
    };
    for (const Case& c : cases) {
        const Lookup got = lookUp(L"SOFTWARE\\Ponpira Test", c.name);
        const std::string name = hex(c.name) + " query " + std::to_string(got.query);
        CHECK_IN(got.open == errorSuccess && got.close == errorSuccess, name);
        CHECK_IN(got.query == c.status && got.read.use == c.use, name);
        if (c.use == RegValueUse::Text)
            CHECK_IN(winapi::fromAnsi(got.read.bytes) == c.text, name);
        if (c.use == RegValueUse::Number)
            CHECK_IN(numberText(got.read.bytes) == std::string(c.text.begin(), c.text.end()), name);
    }
    CHECK(lookUp(L"SOFTWARE\\Ponpira Test", L"TooLong").dataSize > regValueBufferSize);

    winapi::Key key = 1234;
    CHECK(winapi::openKey(hkeyLocalMachine, L"SOFTWARE\\Ponpira Test\\None", keyRead, key) ==
          errorFileNotFound);
    CHECK(key == 0);
}

void fileSearch() {
    const std::wstring folder = tempFolder(L"ponpira files");
    struct Case {
        const wchar_t* name;
        DWORD attributes; // 0: a folder
        bool found;
    };
    const Case cases[] = {
        {L"normal.exe", FILE_ATTRIBUTE_NORMAL, true},
        {L"readonly.exe", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, true},
        {L"hidden.exe", FILE_ATTRIBUTE_HIDDEN, false},
        {L"system.exe", FILE_ATTRIBUTE_SYSTEM, false},
        {L"folder.exe", 0, false},
    };
    for (const Case& c : cases) {
        const std::wstring path = folder + L"\\" + c.name;
        if (c.attributes == 0) {
            CreateDirectoryW(path.c_str(), nullptr);
        } else {
            CloseHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
            SetFileAttributesW(path.c_str(), c.attributes);
        }
        CHECK_IN(winapi::fileExists(path) == c.found, hex(c.name));
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    // Case and a doubled separator do not matter; wildcards match nothing.
    CHECK(winapi::fileExists(folder + L"\\\\NORMAL.EXE"));
    CHECK(!winapi::fileExists(folder + L"\\*.exe"));
    CHECK(!winapi::fileExists(folder + L"\\normal.ex?"));
    CHECK(!winapi::fileExists(folder + L"\\missing.exe"));
    CHECK(!winapi::fileExists(L""));
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

    const Lookup first = lookUp(L"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", L"PATH");
    const std::wstring toolPath = winapi::fromAnsi(first.read.bytes);
    CHECK_IN(first.read.use == RegValueUse::Text && toolPath == tool, hex(toolPath));

    // The danger is real here: from an unquoted command line, the decoy runs.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring line = toolPath;
    if (CHECK(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &info))) {
        waitForExit(info.hProcess);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        CHECK(exists(decoy + L".ran") && !exists(tool + L".ran"));
    }
    CHECK(placeMarker(decoy));

    // Started by its exact path, the tool runs and the decoy does not.
    std::uintptr_t process = 0;
    if (CHECK(winapi::startProgram(toolPath, &process))) {
        CHECK(waitForExit(reinterpret_cast<HANDLE>(process)) == 42);
        winapi::closeProcess(process);
        CHECK(exists(tool + L".ran") && !exists(decoy + L".ran"));
    }
    CHECK(!winapi::startProgram(L""));
    CHECK(!winapi::startProgram(folder + L"\\missing.exe"));
    CHECK(!winapi::startProgram(folder));

    // The quoted command line gives the program its path as one argument, even when a
    // trailing backslash would otherwise escape the closing quote.
    for (const std::wstring& path : {tool, folder + L"\\"}) {
        int count = 0;
        LPWSTR* args =
            CommandLineToArgvW((L"x " + winapi::quotedCommandLine(path)).c_str(), &count);
        CHECK_IN(args && count == 2 && path == args[1], hex(path));
        LocalFree(args);
    }

    // The second value names the folder; the search finds the tool there in capitals.
    const Lookup second = lookUp(L"SOFTWARE\\Microsoft\\Shared Tools Location", L"MSINFO");
    CHECK(winapi::fromAnsi(second.read.bytes) == folder);
    CHECK(winapi::fileExists(winapi::fromAnsi(second.read.bytes) + L"\\MSINFO32.EXE"));
}

// The shell's open starts a document's program in the given folder.
void shellOpen() {
    const std::wstring program = tempFolder(L"ponpira open") + L"\\opened.exe";
    const std::wstring workFolder = tempFolder(L"ponpira work");
    if (!CHECK(placeMarker(program)))
        return;
    if (CHECK(winapi::openUrl(0, program, workFolder))) {
        // The shell gives no process to wait for: poll for the marker, bounded.
        for (int i = 0; i < 600 && readMarker(program).empty(); ++i)
            Sleep(100);
        std::wstring started = readMarker(program);
        std::wstring want = workFolder;
        for (std::wstring* s : {&started, &want})
            while (!s->empty() && s->back() == L'\\')
                s->pop_back();
        CHECK_IN(CompareStringOrdinal(started.c_str(), -1, want.c_str(), -1, TRUE) == CSTR_EQUAL,
                 hex(started));
    }
    CHECK(!winapi::openUrl(0, workFolder + L"\\no such file.exe", workFolder));
}

struct ImeState {
    bool associated = false; // the window has an input context at all
    bool open = false;
    DWORD conversion = 0;
};

ImeState imeState(HWND window) {
    ImeState state;
    // Swapping the context out and back shows the association even where no input method
    // gives the context any data.
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

    // From katakana with romaji input: hiragana is native and full-width, romaji stays.
    if (const HIMC context = ImmGetContext(window)) {
        ImmSetConversionStatus(context, IME_CMODE_NATIVE | IME_CMODE_KATAKANA | IME_CMODE_ROMAN,
                               IME_SMODE_NONE);
        ImmReleaseContext(window, context);
    }
    winapi::applyImeMode(handle, static_cast<int>(winapi::Ime::Hiragana));
    ImeState state = imeState(window);
    CHECK(state.associated);
    if (haveIme)
        CHECK(state.open &&
              state.conversion == (IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE | IME_CMODE_ROMAN));

    winapi::applyImeMode(handle, static_cast<int>(winapi::Ime::Disabled));
    CHECK(!imeState(window).associated);

    // Off gives the context back, closed: the player may still open it.
    winapi::applyImeMode(handle, static_cast<int>(winapi::Ime::Off));
    state = imeState(window);
    CHECK(state.associated && !(haveIme && state.open));

    // Any other mode only undoes a disabled box.
    winapi::applyImeMode(handle, static_cast<int>(winapi::Ime::Disabled));
    winapi::applyImeMode(handle, 0);
    CHECK(imeState(window).associated);
    DestroyWindow(window);
}

} // namespace

int main() {
    codePage();
    registry();
    fileSearch();
    launcherRoad();
    shellOpen();
    inputMethod();
    std::printf("%d checks, %d failed\n", checks, failures);
    return failures == 0 ? 0 : 1;
}
