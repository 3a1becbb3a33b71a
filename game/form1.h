// SPDX-License-Identifier: MIT
#pragma once

#include "core/form1.h"

#include <QMainWindow>
#include <memory>

class QAction;
class QLabel;
class QMenu;

namespace ponpira {

class Platform;
class Timer;
class WindowSet;
class MenuRows;
class WrapButton;

// The main window: the game is played here. The widgets sit here at their places, and every
// menu item, click and tick goes to the handler of the same name in the window's rules.
class Form1 : public QMainWindow {
    Q_OBJECT

  public:
    Form1(WindowSet& windows, Platform& platform, QWidget* parent = nullptr);
    ~Form1() override;

    core::Form1& rules() { return *rules_; }

  private:
    struct Bindings;

    void buildMenu();
    void buildControls();

    WindowSet& windows_;
    Platform& platform_;
    std::unique_ptr<Bindings> bindings_;
    std::unique_ptr<core::Form1> rules_;

    WrapButton* Command1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    Timer* Timer1 = nullptr;
    Timer* Timer2 = nullptr;

    MenuRows* menu = nullptr;
    QMenu* timeMenu = nullptr;
    QAction* short_ = nullptr;
    QAction* regular = nullptr;
    QAction* long_ = nullptr;
    QAction* reset = nullptr;
    QAction* demo = nullptr;
    QAction* send = nullptr;
    QAction* about = nullptr;
    QAction* end = nullptr;
};

} // namespace ponpira
