// SPDX-License-Identifier: MIT
#pragma once

#include "core/regcodes.h"

#include <cstdint>
#include <memory>
#include <string>

namespace ponpira {

// Input-method modes a text box asks for when it takes the focus.
enum class ImeMode {
    Off = 2,      // direct half-width input; the player may switch the input method on
    Disabled = 3, // the input method cannot be switched on (password boxes)
    Hiragana = 4, // input method on, full-width hiragana
};

// What came of making sure that a board on this machine answers.
enum class LocalBoardState {
    Answering, // something accepts connections there (or the board is not this platform's to
               // start): go ahead
    NotFound,  // nothing answers, and no ponpira-board program was found to start
    NoAnswer,  // nothing answers, and ponpira-board did not start answering in time
    NoFolder,  // the folder for the board's posts could not be made: waiting will not help
    Stopped,   // ponpira-board ended as soon as it started: waiting will not help
    Foreign,   // another user's program listens there: posting would hand it the post
    Absent,    // nothing answers, and this platform has no board program to start (Windows):
               // the player has to name a board
};

// A board the player named in place of the built-in one, and where it was named.
struct BoardHostSetting {
    std::u16string value;  // empty when the player named none
    std::u16string source; // as the player would look for it: "環境変数 PONPIRA_BOARD_HOST", ...
};

// Everything the windows ask of the operating system. The game gets the real one; tests pass
// a fake that records the calls and answers as told, so no test blocks on a message box or
// opens a browser. A window is passed as its front end's handle (a QWidget*, an HWND).
class Platform {
  public:
    virtual ~Platform() = default;

    // A modal box with one OK button and no icon, owned by parent (may be null); returns when
    // the player has closed it.
    virtual void messageBox(void* parent, const std::u16string& prompt,
                            const std::u16string& title) = 0;

    // Opens url with the shell's "open" (the default browser), from the program's folder.
    // False when the shell reports that it could not.
    virtual bool openUrl(void* window, const std::u16string& url) = 0;

    // Makes sure that a bulletin board answers at address:port (a loopback address) before a
    // browser is sent there: when nothing accepts a TCP connection, starts ponpira-board
    // listening there, detached, and waits a few seconds at most for its first answer, with a
    // busy cursor. A listener of another local user is never used.
    virtual LocalBoardState ensureLocalBoard(const std::u16string& address, std::uint16_t port) = 0;

    // The board the player named, read afresh at each call: PONPIRA_BOARD_HOST when set, else
    // the player's settings ("[board]" "host=..."). Checking it is the caller's business.
    virtual BoardHostSetting boardHostSetting() = 0;

    // Starts the program at exactly this path, without arguments, in a normal window that
    // gets the focus. False when it could not be started.
    virtual bool startProgram(const std::u16string& path) = 0;

    // True when a normal file (not a folder, hidden or system file) exists at exactly this
    // path; wildcard characters match nothing but themselves.
    virtual bool fileExists(const std::u16string& path) = 0;

    // Registry reading in the shape of RegOpenKeyEx / RegQueryValueEx / RegCloseKey; each
    // returns a Win32 result code. Platforms without a registry fail every open.
    virtual std::int32_t regOpenKey(RegKey root, const std::u16string& subKey, std::uint32_t access,
                                    RegKey& key) = 0;
    // buffer.size() is the room for the data on entry; dataSize receives the data's size. The
    // data come as the ANSI query gives them: text in the system's ANSI code page, with
    // whatever terminating zero the registry holds.
    virtual std::int32_t regQueryValue(RegKey key, const std::u16string& valueName,
                                       std::uint32_t& type, std::string& buffer,
                                       std::uint32_t& dataSize) = 0;
    // Callers close only keys that were opened.
    virtual void regCloseKey(RegKey key) = 0;

    // Converts text that a registry call returned in the system's ANSI code page.
    virtual std::u16string fromAnsi(const std::string& bytes) = 0;

    // Applies an input-method mode to a text box (its front end's handle) that has just taken
    // the focus, where the platform lets a program ask for one.
    virtual void applyImeMode(void* box, ImeMode mode) = 0;
};

} // namespace ponpira
