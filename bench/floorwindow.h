// SPDX-License-Identifier: MIT
#pragma once

#include <QMainWindow>

class QLabel;
class QPushButton;

// The toolkit's floor: the least a Qt Widgets program needs to count clicks on a button and
// show the count, with nothing of the game in it. The benchmarks measure it beside the game so
// that every figure can be read against what Qt itself costs on this machine.
class FloorWindow : public QMainWindow {
  public:
    FloorWindow();

    QPushButton* button() const { return button_; }
    QLabel* label() const { return label_; }

  private:
    QPushButton* button_;
    QLabel* label_;
    int count_ = 0;
};
