// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The Win32 calls behind the platform seam, with standard types in and out and no Qt, so that
// they are built and tested on their own (cross-compiled, under Wine). Only winapi.cpp
// includes <windows.h>.
namespace ponpira::winapi {

// HKEY and HWND carried as integers.
using Key = std::uintptr_t;
using WindowHandle = std::uintptr_t;

// RegOpenKeyExW. Names go in as UTF-16, so no name is lost to the code page.
std::int32_t openKey(Key root, const std::wstring& subKey, std::uint32_t access, Key& key);

// RegQueryValueExA: the data come in the system's ANSI code page, with whatever terminating
// zero the registry holds. The name is converted to that code page first. buffer.size() is
// the room offered; dataSize receives the data's size (or the size needed, with
// ERROR_MORE_DATA).
std::int32_t queryValue(Key key, const std::wstring& valueName, std::uint32_t& type,
                        std::vector<unsigned char>& buffer, std::uint32_t& dataSize);

// RegCloseKey.
std::int32_t closeKey(Key key);

// True when a normal file (not a folder, hidden or system file) is at exactly this path.
bool fileExists(const std::wstring& path);

// The command line that hands a program its own path as the first argument, quoted so that
// nothing splits it at a space.
std::wstring quotedCommandLine(const std::wstring& path);

// Starts the program at exactly this path, without arguments, in a normal window that gets
// the focus. When process is not null and the start succeeded, it receives the process
// handle, which the caller closes with closeProcess.
bool startProgram(const std::wstring& path, std::uintptr_t* process = nullptr);
void closeProcess(std::uintptr_t process);

// ShellExecuteW "open" with the owner window and the working folder, in a normal window.
bool openUrl(WindowHandle window, const std::wstring& url, const std::wstring& folder);

// Between the system's ANSI code page (932 on a Japanese system) and UTF-16. Characters the
// code page lacks become its default character.
std::wstring fromAnsi(const std::string& bytes);
std::string toAnsi(const std::wstring& text);
unsigned int ansiCodePage();

// Input-method modes of a text box, with the numbers the forms use.
enum class Ime {
    Off = 2,      // closed, but the player may open it
    Disabled = 3, // cannot be opened at all
    Hiragana = 4, // open, full-width hiragana
};

// Applies an input-method mode to a window that has just taken the focus. Any other number
// gives the window back its default input context and leaves the rest to the player.
void applyImeMode(WindowHandle window, int mode);

} // namespace ponpira::winapi
