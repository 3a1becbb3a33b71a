// SPDX-License-Identifier: MIT
#pragma once

#include "platform/regcodes.h"

#include <QDialog>
#include <array>

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

    // Finds the system information tool through the registry and starts it, or tells the
    // player that it is not available. Never throws.
    void StartSysInfo();
    // Reads one registry value as text; see sysinfo::getKeyValue.
    bool GetKeyValue(RegKey KeyRoot, const QString& KeyName, const QString& SubKeyRef,
                     QString& KeyVal);

  protected:
    // Esc and every other way of dismissing the dialog press OK: a plain reject() would only
    // hide the window and leave it loaded.
    void reject() override;

  private:
    void buildControls();
    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();

    WindowSet& windows_;
    Platform& platform_;

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
