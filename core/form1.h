// SPDX-License-Identifier: MIT
#pragma once

#include "core/controls.h"
#include "core/int16.h"

namespace ponpira {
class Platform;
}

namespace ponpira::core {

class WindowSet;

// The main window's controls that its rules change. Label2 and Label4 ("秒", "回") never
// change and stay with the front end.
struct Form1Controls {
    Window& window;
    Control& Command1;
    Control& Label1;
    Control& Label3;
    Control& Label5;
    Timer& Timer1;
    Timer& Timer2;
};

// The main window's rules: the game is played here. The handlers keep the names and the order
// of steps of the game's rules so that each can be read side by side with them. The front end
// calls them when a menu item is chosen, Command1 is clicked or a timer ticks, through the
// handler guard.
class Form1 {
  public:
    Form1(WindowSet& windows, Platform& platform, const Form1Controls& controls);

    std::u16string label5Caption() const;

    // Menu and control handlers.
    void short_Click();
    void regular_Click();
    void long_Click();
    void reset_Click();
    void demo_Click();
    void send_Click();
    void about_Click();
    void end_Click();
    void Command1_Click();
    void Timer1_Timer();
    void Timer2_Timer();

  private:
    void chooseLength(Int16 seconds);
    void countClick();

    WindowSet& windows_;
    Platform& platform_;
    Window& window_;

    // Game state.
    Int16 clickCount;
    Int16 elapsedSeconds;
    Int16 timeLimit;
    Int16 demoFlag;

    Control& Command1;
    Control& Label1;
    Control& Label3;
    Control& Label5;
    Timer& Timer1;
    Timer& Timer2;
};

} // namespace ponpira::core
