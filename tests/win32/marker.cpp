// A stand-in program for the launch tests. When started it leaves "<its own path>.ran" beside
// itself, holding the folder it was started in (UTF-16), and exits with code 42; so a test can
// tell which of several copies ran, and in which folder, without passing any arguments.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

int main() {
    std::wstring self(32768, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    std::wstring folder(32768, L'\0');
    folder.resize(GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));

    const std::wstring marker = self + L".ran";
    const HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 3;
    DWORD written = 0;
    WriteFile(file, folder.data(), static_cast<DWORD>(folder.size() * sizeof(wchar_t)), &written,
              nullptr);
    CloseHandle(file);
    return 42;
}
