#pragma once

#include <QPushButton>

namespace ponpira {

// A command button whose caption wraps inside the button, as long Japanese instructions need
// to (QPushButton draws its text on a single line).
class WrapButton : public QPushButton {
    Q_OBJECT

  public:
    using QPushButton::QPushButton;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace ponpira
