// SPDX-License-Identifier: MIT
#pragma once

#include "app/controls.h"

namespace ponpira {

// A command button whose caption wraps inside the button, as long Japanese instructions need
// to (QPushButton draws its text on a single line).
class WrapButton : public CommandButton {
    Q_OBJECT

  public:
    explicit WrapButton(const QString& text, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace ponpira
