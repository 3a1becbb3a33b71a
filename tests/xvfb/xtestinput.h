// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

struct _XDisplay;

namespace ponpira::xtest {

// Input through the X server's XTest extension from a connection of its own, as a mouse or a
// keyboard sends it: the program gets it with the server's timestamps, double-clicks and all.
class Input {
  public:
    Input() = default;
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;
    ~Input();

    // Connects to display (null: $DISPLAY); returns why it could not, or an empty string.
    std::string open(const char* display = nullptr);
    void moveTo(int x, int y);
    // Clicks button 1, one press every periodNs (0: as fast as the server takes them); returns
    // the seconds until the server had taken the last release.
    double click(int count, std::int64_t periodNs = 0);
    // Taps the key count times back to back; returns the seconds as click() does.
    double tapKey(unsigned long keysym, int count);
    void holdKey(unsigned long keysym, int ms);

  private:
    _XDisplay* display_ = nullptr;
};

} // namespace ponpira::xtest
