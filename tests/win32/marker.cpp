// SPDX-License-Identifier: MIT
// A stand-in program for the launch tests. When started it leaves "<its own path>.ran" beside
// itself and exits with code 42, so a test can tell which of several copies ran.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

int main() {
    std::wstring self(MAX_PATH, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
    const HANDLE file = CreateFileW((self + L".ran").c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? 3 : (CloseHandle(file), 42);
}
