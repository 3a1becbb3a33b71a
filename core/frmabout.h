// SPDX-License-Identifier: MIT
#pragma once

#include "core/controls.h"
#include "core/regcodes.h"

#include <string>

namespace ponpira {
class Platform;
}

namespace ponpira::core {

class WindowSet;

struct frmAboutControls {
    Window& window;
    Control& lblVersion;
    Control& lblTitle;
};

// The About window's rules: its captions, OK, and the system information tool.
class frmAbout {
  public:
    frmAbout(WindowSet& windows, Platform& platform, const frmAboutControls& controls);

    Window& window() { return window_; }

    // Fills in the title bar, the version and the title; the front end calls it once its
    // controls exist.
    void Form_Load();
    // OK unloads the window, so every opening starts from a fresh one.
    void cmdOK_Click();
    void cmdSysInfo_Click();

    // Finds the system information tool through the registry and starts it, or tells the
    // player that it is not available. Never throws.
    void StartSysInfo();
    // Reads one registry value as text; see sysinfo::getKeyValue.
    bool GetKeyValue(RegKey KeyRoot, const std::u16string& KeyName, const std::u16string& SubKeyRef,
                     std::u16string& KeyVal);

  private:
    WindowSet& windows_;
    Platform& platform_;
    Window& window_;

    Control& lblVersion;
    Control& lblTitle;
};

} // namespace ponpira::core
