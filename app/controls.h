// SPDX-License-Identifier: MIT
#pragma once

#include <QPushButton>
#include <QRect>
#include <QString>

class QLabel;

namespace ponpira {

// A command button with the keys of a classic Windows push button when it has the focus: Space
// presses it once, on release, however long it is held; Enter (either key) presses it on every
// key-down, so a held Enter presses it again at the keyboard's repeat rate.
class CommandButton : public QPushButton {
    Q_OBJECT

  public:
    explicit CommandButton(const QString& text, QWidget* parent = nullptr);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

  private:
    void passOn(QKeyEvent* event);
};

// A caption label as the windows were laid out: its design name, a fixed place, text from the
// top-left corner, plain text only and an opaque background. wrap continues a caption wider
// than the label on the next line.
QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption, QRect rect,
                  bool wrap = false);

// A command button at a fixed place that takes the focus from the keyboard and the mouse.
CommandButton* makeButton(QWidget* parent, const QString& name, const QString& caption, QRect rect);

} // namespace ponpira
