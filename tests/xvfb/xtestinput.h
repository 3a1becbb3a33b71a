// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

struct _XDisplay;

namespace ponpira::xtest {

// Input sent through the X server's XTest extension from a connection of its own, as a mouse
// or keyboard driver would send it: the program under test gets the events through its
// ordinary X connection, with the server's timestamps, so fast clicks become double-clicks
// exactly as they do for a player.
class Input {
  public:
    Input() = default;
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;
    ~Input();

    // Connects to display (null: $DISPLAY). Returns why it could not, or an empty string.
    std::string open(const char* display = nullptr);

    void moveTo(int x, int y);

    // Clicks button 1 count times where the pointer is. periodNs is the time from one press
    // to the next; 0 sends as fast as the connection takes them. Returns the seconds from the
    // first press until the server had accepted the last release.
    double click(int count, std::int64_t periodNs = 0);

    // Presses and releases the key of keysym count times; returns the seconds the server
    // took, as click() does. Each press after the first waits gapMs in the server after the
    // release before it, so that it carries a later timestamp: X marks a key's auto-repeat only
    // by a release and a press of the same key in the same millisecond, and toolkits read such
    // a pair as the key being held. 0 sends them back to back.
    double tapKey(unsigned long keysym, int count, int gapMs = 0);

    // Holds the key of keysym down for ms milliseconds, then lets it go.
    void holdKey(unsigned long keysym, int ms);

  private:
    _XDisplay* display_ = nullptr;
};

} // namespace ponpira::xtest
