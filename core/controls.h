// SPDX-License-Identifier: MIT
#pragma once

#include <string>

// What the windows' rules see of a window and its controls. Each front end binds its own
// widgets to these (Qt widgets on Linux, standard controls on Windows); the tests pass plain
// fakes. Text is UTF-16 throughout: it is what Windows' wide calls take and what QString holds,
// so neither front end converts more than a copy.
namespace ponpira::core {

// A label, a button or a text box: its caption or the text in it, whether it takes input,
// whether it is shown, and the size of its font in points.
class Control {
  public:
    virtual ~Control() = default;

    virtual void setText(const std::u16string& text) = 0;
    virtual std::u16string text() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
    virtual void setVisible(bool visible) = 0;
    virtual bool isVisible() const = 0;
    virtual void setFontSize(int points) = 0;
    virtual int fontSize() const = 0;
};

// A repeating timer. The front end calls the handler bound to it on every tick while it is
// enabled.
class Timer {
  public:
    virtual ~Timer() = default;

    // Enabling a timer that already runs changes nothing: its next tick keeps its time.
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
    virtual int interval() const = 0; // milliseconds
};

// A window as a whole.
class Window {
  public:
    virtual ~Window() = default;

    // What the platform's message box takes as the box's owner (a QWidget*, an HWND).
    virtual void* handle() = 0;
    // The text of the title bar.
    virtual void setCaption(const std::u16string& caption) = 0;
    // Hidden but still loaded: everything in it stays as it was.
    virtual void hide() = 0;
};

} // namespace ponpira::core
