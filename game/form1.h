// SPDX-License-Identifier: MIT
#pragma once

#include "app/int16.h"

#include <QMainWindow>

class QAction;
class QLabel;
class QMenu;

namespace ponpira {

class Platform;
class Timer;
class WindowSet;
class MenuRows;
class WrapButton;

// The main window: the game is played here. Its handlers keep the names and the order of
// steps of the game's rules so that each can be read side by side with them.
class Form1 : public QMainWindow {
    Q_OBJECT

  public:
    Form1(WindowSet& windows, Platform& platform, QWidget* parent = nullptr);

    QString label5Caption() const;

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
    void buildMenu();
    void buildControls();
    void setCommand1FontSize(int points);

    WindowSet& windows_;
    Platform& platform_;

    // Game state.
    Int16 clickCount;
    Int16 elapsedSeconds;
    Int16 timeLimit;
    Int16 demoFlag;

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
