// SPDX-License-Identifier: MIT
#pragma once

#include "core/controls.h"

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

// A widget with a caption or text (a label, a button, a text box) as the windows' rules see it.
template <typename Widget> class BoundControl final : public core::Control {
  public:
    explicit BoundControl(Widget* widget) : widget_(widget) {}

    void setText(const std::u16string& text) override {
        widget_->setText(QString::fromStdU16String(text));
    }
    std::u16string text() const override { return widget_->text().toStdU16String(); }
    void setEnabled(bool enabled) override { widget_->setEnabled(enabled); }
    bool isEnabled() const override { return widget_->isEnabled(); }
    // Whether it is meant to be shown, which does not depend on its window being open.
    void setVisible(bool visible) override { widget_->setVisible(visible); }
    bool isVisible() const override { return !widget_->isHidden(); }
    void setFontSize(int points) override {
        QFont font = widget_->font();
        font.setPointSize(points);
        widget_->setFont(font);
    }
    int fontSize() const override { return widget_->font().pointSize(); }

  private:
    Widget* widget_;
};

// A top-level widget as the windows' rules see it; its handle is the QWidget itself.
class BoundWindow final : public core::Window {
  public:
    explicit BoundWindow(QWidget* window) : window_(window) {}

    void* handle() override { return window_; }
    void setCaption(const std::u16string& caption) override {
        window_->setWindowTitle(QString::fromStdU16String(caption));
    }
    void hide() override { window_->hide(); }

  private:
    QWidget* window_;
};

} // namespace ponpira
