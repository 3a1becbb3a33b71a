// SPDX-License-Identifier: MIT
#pragma once

#include "core/controls.h"
#include "core/windowset.h"
#include "win32app/ui.h"

#include <memory>
#include <vector>

namespace ponpira {
class Platform;
}

// The three windows on Win32: standard controls at the forms' places, bound to the core's
// rules. Every rule is the core's; these only supply controls, keys and the platform.
namespace ponpira::win32 {

class Form1Window;
class Form2Window;
class AboutWindow;

// The program's one instance of each window, created on first reference.
class Windows : public core::WindowSet {
  public:
    explicit Windows(Platform& platform);
    ~Windows() override;

    Form1Window& form1();
    // Start-up: the main window, shown.
    void showMain();
    core::Form2& form2() override;
    core::frmAbout& aboutWindow() override;
    std::u16string form1Label5Caption() override;
    void show(core::Window& window) override;
    void unload(core::Window& window) override;
    void end() override;

    // Frees windows unloaded by their own handlers, once those have returned.
    void collect();
    bool ended() const { return ended_; }

  private:
    Window* native(core::Window& window);

    Platform& platform_;
    std::unique_ptr<Form1Window> form1_;
    std::unique_ptr<Form2Window> form2_;
    std::unique_ptr<AboutWindow> about_;
    std::vector<std::unique_ptr<Window>> unloaded_;
    bool ended_ = false;
};

// A control of a window as the core sees it.
class NativeControl : public core::Control {
  public:
    NativeControl(Window& owner, HWND control) : owner_(owner), hwnd_(control) {}
    HWND hwnd() const { return hwnd_; }

    void setText(const std::u16string& text) override;
    std::u16string text() const override;
    void setEnabled(bool enabled) override;
    bool isEnabled() const override;
    void setVisible(bool visible) override;
    bool isVisible() const override;
    void setFontSize(int points) override;
    int fontSize() const override;

  private:
    Window& owner_;
    HWND hwnd_;
};

// A top-level window as the core sees it.
class NativeWindow : public core::Window {
  public:
    explicit NativeWindow(win32::Window& window) : window_(window) {}
    void* handle() override { return window_.hwnd(); }
    void setCaption(const std::u16string& caption) override;
    void hide() override { window_.hide(); }
    win32::Window& native() { return window_; }

  private:
    win32::Window& window_;
};

} // namespace ponpira::win32
