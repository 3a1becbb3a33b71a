// SPDX-License-Identifier: MIT
#pragma once

#include "core/controls.h"
#include "core/int16.h"

namespace ponpira {
class Platform;
}

namespace ponpira::core {

class WindowSet;

// The result window's controls that its rules read or change.
struct Form2Controls {
    Window& window;
    Control& Label6;  // seconds, written by the main window's "結果送信"
    Control& Label7;  // clicks, likewise
    Control& Label13; // the demo flag, likewise; never shown
    Control& Text1;   // お名前
    Control& Text2;   // E-mail
    Control& Text3;   // URL
    Control& Text4;   // コメント
    Control& Text5;   // 削除用パスワード
};

// The result entry window's rules: the player fills in the post and sends it to the board. It
// is hidden, never closed, by its own buttons, so what the player typed is there again the next
// time "結果送信" shows it.
class Form2 {
  public:
    Form2(WindowSet& windows, Platform& platform, const Form2Controls& controls);

    Window& window() { return window_; }

    // "送信": checks the entries, posts the shown result to the board and hides the window.
    // Every refusal throws an Error whose message says why; the window then keeps everything.
    void Command1_Click();
    // "キャンセル": hides the window, keeping everything typed.
    void Command2_Click();

    // The values of the last game, written by the main window's "結果送信".
    Control& Label6;
    Control& Label7;
    Control& Label13;

  private:
    WindowSet& windows_;
    Platform& platform_;
    Window& window_;

    // The chosen game length, read afresh at every "送信".
    Int16 limitSeconds;

    Control& Text1;
    Control& Text2;
    Control& Text3;
    Control& Text4;
    Control& Text5;
};

} // namespace ponpira::core
