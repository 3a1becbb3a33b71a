// SPDX-License-Identifier: MIT
#pragma once

#include "platform/regcodes.h"

#include <QByteArray>
#include <QString>
#include <memory>

class QWidget;

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
};

// Everything the windows ask of the operating system. The game gets the real one; tests pass
// a fake that records the calls and answers as told, so no test blocks on a message box or
// opens a browser.
class Platform {
  public:
    virtual ~Platform() = default;

    // A modal box with one OK button and no icon; returns when the player has closed it.
    virtual void messageBox(QWidget* parent, const QString& prompt, const QString& title) = 0;

    // Opens url with the shell's "open" (the default browser). False when the shell reports
    // that it could not.
    virtual bool openUrl(QWidget* window, const QString& url, const QString& folder) = 0;

    // Makes sure that a bulletin board answers at address:port (a loopback address) before a
    // browser is sent there: when nothing accepts a TCP connection, starts ponpira-board
    // listening there, detached, and waits a few seconds at most for its first answer. A
    // listener of another local user is never used.
    virtual LocalBoardState ensureLocalBoard(const QString& address, quint16 port) = 0;

    // Starts the program at exactly this path, without arguments, in a normal window that
    // gets the focus. False when it could not be started.
    virtual bool startProgram(const QString& path) = 0;

    // True when a normal file (not a folder, hidden or system file) exists at exactly this
    // path; wildcard characters match nothing but themselves.
    virtual bool fileExists(const QString& path) = 0;

    // Registry reading in the shape of RegOpenKeyEx / RegQueryValueEx / RegCloseKey; each
    // returns a Win32 result code. Platforms without a registry fail every open.
    virtual std::int32_t regOpenKey(RegKey root, const QString& subKey, std::uint32_t access,
                                    RegKey& key) = 0;
    // buffer.size() is the room for the data on entry; dataSize receives the data's size. The
    // data come as the ANSI query gives them: text in the system's ANSI code page, with
    // whatever terminating zero the registry holds.
    virtual std::int32_t regQueryValue(RegKey key, const QString& valueName, std::uint32_t& type,
                                       QByteArray& buffer, std::uint32_t& dataSize) = 0;
    // Callers close only keys that were opened.
    virtual void regCloseKey(RegKey key) = 0;

    // Converts text that a registry call returned in the system's ANSI code page.
    virtual QString fromAnsi(const QByteArray& bytes) = 0;

    // Applies an input-method mode to a text box that has just taken the focus, where the
    // platform lets a program ask for one.
    virtual void applyImeMode(QWidget* box, ImeMode mode) = 0;
};

// The implementation for the platform the program was built for.
std::unique_ptr<Platform> makeSystemPlatform();

} // namespace ponpira
