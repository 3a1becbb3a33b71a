#pragma once

#include <QPushButton>

namespace ponpira {

// A command button whose caption wraps inside the button, as long Japanese instructions need
// to (QPushButton draws its text on a single line).
class WrapButton : public QPushButton {
    Q_OBJECT

  public:
    explicit WrapButton(const QString& text, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

  private:
    void passOn(QKeyEvent* event);
};

} // namespace ponpira
