// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace ponpira::core {

class Form2;
class frmAbout;
class Window;

// What a window's rules may ask of the program-wide set of windows. Each window exists at most
// once; referring to one that is not loaded creates it (hidden). Windows reach each other only
// through this interface, so no window's rules include another's front end.
class WindowSet {
  public:
    virtual ~WindowSet() = default;

    virtual Form2& form2() = 0;
    virtual frmAbout& aboutWindow() = 0;
    // The main window's hidden Label5, which carries the chosen time limit as text.
    virtual std::u16string form1Label5Caption() = 0;
    // Show without arguments: visible, modeless, no owner; an already visible window only
    // comes to the front.
    virtual void show(Window& window) = 0;
    // Destroys the window; the next reference creates a fresh one.
    virtual void unload(Window& window) = 0;
    // Ends the program at once, whatever is open.
    virtual void end() = 0;
};

} // namespace ponpira::core
