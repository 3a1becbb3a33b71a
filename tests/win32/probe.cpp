// SPDX-License-Identifier: MIT
// Reads the game's windows from outside, as a player's eyes would, for the Wine tests; the
// input itself comes from xdotool through the X server.
//   probe wait TITLE SECONDS     until a shown window has this title; prints its texts
//   probe box TITLE SECONDS      the same for a message box with this title
//   probe texts TITLE            one line per control: id, text (and a text box's mask)
//   probe at TITLE ID            the screen point at the middle of a control
//   probe gone TITLE SECONDS     until no shown window has this title
//   probe list -                 the titles of the shown windows, for a failure's report
//   probe close TITLE            asks the window to close, as its close box does
//   probe record FILE ARGS...    the stand-in web browser: appends its arguments to FILE
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void print(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

// WM_GETTEXT itself: GetWindowText on another program's window gives its caption as created,
// not what was typed into a text box since.
std::wstring textOf(HWND window) {
    wchar_t text[4096];
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text),
                             SMTO_ABORTIFHUNG, 5000, &length))
        length = 0;
    return std::wstring(text, static_cast<std::size_t>(length));
}

struct Search {
    std::wstring title;
    bool box = false;
    HWND found = nullptr;
};

bool isMessageBox(HWND window) {
    wchar_t name[64];
    return GetClassNameW(window, name, 64) && std::wstring(name) == L"#32770";
}

HWND find(const std::wstring& title, bool box = false) {
    Search search{title, box};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if (IsWindowVisible(window) && textOf(window) == s->title &&
                (!s->box || isMessageBox(window))) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void printTexts(HWND window) {
    EnumChildWindows(
        window,
        [](HWND child, LPARAM) -> BOOL {
            // A text box that masks what is typed says with which character.
            wchar_t name[16] = L"";
            GetClassNameW(child, name, 16);
            const auto mask =
                std::wstring(name) == L"Edit"
                    ? static_cast<wchar_t>(SendMessageW(child, EM_GETPASSWORDCHAR, 0, 0))
                    : L'\0';
            print(std::to_wstring(GetDlgCtrlID(child)) + L"\t" + textOf(child) +
                  (mask ? L"\t" + std::wstring(1, mask) : L"") + L"\n");
            return TRUE;
        },
        0);
}

void printMiddle(const RECT& rect) {
    print(std::to_wstring((rect.left + rect.right) / 2) + L" " +
          std::to_wstring((rect.top + rect.bottom) / 2) + L"\n");
}

} // namespace

int wmain(int argc, wchar_t* argv[]) {
    if (argc < 3)
        return 2;
    _setmode(_fileno(stdout), _O_BINARY);
    const std::wstring command = argv[1];
    const std::wstring title = argv[2];
    if (command == L"record") {
        if (FILE* file = _wfopen(argv[2], L"ab")) {
            std::wstring line;
            for (int i = 3; i < argc; ++i)
                line += (i > 3 ? L" " : L"") + std::wstring(argv[i]);
            const int size =
                WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
            std::string bytes(static_cast<std::size_t>(size), '\0');
            WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, bytes.data(), size, nullptr, nullptr);
            std::fprintf(file, "%s\n", bytes.c_str());
            std::fclose(file);
            return 0;
        }
        return 1;
    }
    if (command == L"wait" || command == L"box" || command == L"gone") {
        // Bounded: 10 polls a second for at most the seconds given.
        const int polls = argc > 3 ? std::wcstol(argv[3], nullptr, 10) * 10 : 100;
        for (int i = 0; i < polls; ++i) {
            const HWND window = find(title, command == L"box");
            if (command != L"gone" && window) {
                printTexts(window);
                return 0;
            }
            if (command == L"gone" && !window)
                return 0;
            Sleep(100);
        }
        print(L"probe: timed out waiting for " + title + L"\n");
        return 1;
    }
    if (command == L"list") {
        EnumWindows(
            [](HWND window, LPARAM) -> BOOL {
                if (IsWindowVisible(window))
                    print(textOf(window) + L"\n");
                return TRUE;
            },
            0);
        return 0;
    }
    const HWND window = find(title);
    if (!window) {
        print(L"probe: no window " + title + L"\n");
        return 1;
    }
    RECT rect{};
    if (command == L"texts") {
        printTexts(window);
    } else if (command == L"at" && argc > 3) {
        GetWindowRect(GetDlgItem(window, std::wcstol(argv[3], nullptr, 10)), &rect);
        printMiddle(rect);
    } else if (command == L"close") {
        PostMessageW(window, WM_CLOSE, 0, 0);
    } else {
        return 2;
    }
    return 0;
}
