// SPDX-License-Identifier: MIT
#pragma once

#include "core/windowset.h"

class QWidget;

namespace ponpira {

class Form2;
class frmAbout;

// What a Qt window may ask of the program-wide set of windows. Each window exists at most once;
// referring to one that is not loaded creates it (hidden). Windows reach each other only
// through this interface, so no window's header includes another's; their rules reach each
// other through rules().
class WindowSet {
  public:
    virtual ~WindowSet() = default;

    virtual Form2& form2() = 0;
    virtual frmAbout& aboutWindow() = 0;
    // Destroys the window; the next reference creates a fresh one.
    virtual void unload(QWidget* window) = 0;
    // Ends the program at once, whatever is open.
    virtual void end() = 0;
    // The same set as the windows' rules see it.
    virtual core::WindowSet& rules() = 0;
};

// Show without arguments: visible, modeless, no owner; an already visible window only comes
// to the front.
void showWindow(QWidget* window);

} // namespace ponpira
