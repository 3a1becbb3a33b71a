// SPDX-License-Identifier: MIT
#pragma once

#include "core/frmabout.h"

#include <QDialog>
#include <array>
#include <memory>

class QLabel;
class QPushButton;

namespace ponpira {

class Platform;
class WindowSet;

// The About window: the program's icon, title and version, two sentences about the game, a
// warning, OK and a button that starts the system information tool. Modeless and ownerless;
// OK and the close box unload it, so every opening starts from a fresh instance.
class frmAbout : public QDialog {
    Q_OBJECT

  public:
    frmAbout(WindowSet& windows, Platform& platform, QWidget* parent = nullptr);
    ~frmAbout() override;

    core::frmAbout& rules() { return *rules_; }

  protected:
    // Esc and every other way of dismissing the dialog press OK: a plain reject() would only
    // hide the window and leave it loaded.
    void reject() override;

  private:
    struct Bindings;

    void buildControls();

    WindowSet& windows_;
    Platform& platform_;
    std::unique_ptr<Bindings> bindings_;
    std::unique_ptr<core::frmAbout> rules_;

    QLabel* picIcon = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;
    std::array<QWidget*, 2> Line1{};
    QLabel* lblVersion = nullptr;
    QLabel* lblDisclaimer = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblDescription2 = nullptr;
    QLabel* lblDescription = nullptr;
};

} // namespace ponpira
