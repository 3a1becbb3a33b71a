// SPDX-License-Identifier: MIT
#include "app/controls.h"

#include "app/x11keys.h"

#include <QKeyEvent>
#include <QLabel>

namespace ponpira {

namespace {
// Whether every key release the window system sends is a real one (see x11keys.h).
bool releasesAreReal() {
    static const bool real = askForRealKeyReleases();
    return real;
}
} // namespace

CommandButton::CommandButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    releasesAreReal();
}

void CommandButton::keyPressEvent(QKeyEvent* event) {
    // QPushButton leaves Enter to the window unless the button is a default one; repeats
    // included, each key-down is a click.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        event->accept();
        return;
    }
    passOn(event);
}

void CommandButton::keyReleaseEvent(QKeyEvent* event) {
    passOn(event);
}

// Qt on X marks a release and a press of the same key in the same millisecond as a repeat; when
// the server sends no repeat releases, such a pair is two real taps and must count.
void CommandButton::passOn(QKeyEvent* event) {
    if (event->isAutoRepeat() && event->key() == Qt::Key_Space && releasesAreReal()) {
        QKeyEvent real(event->type(), event->key(), event->modifiers(), event->nativeScanCode(),
                       event->nativeVirtualKey(), event->nativeModifiers(), event->text(), false,
                       event->count());
        if (event->type() == QEvent::KeyPress)
            QPushButton::keyPressEvent(&real);
        else
            QPushButton::keyReleaseEvent(&real);
        event->setAccepted(real.isAccepted());
        return;
    }
    if (event->type() == QEvent::KeyPress)
        QPushButton::keyPressEvent(event);
    else
        QPushButton::keyReleaseEvent(event);
}

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption, QRect rect,
                  bool wrap) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setGeometry(rect);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(wrap);
    label->setTextFormat(Qt::PlainText);
    label->setAutoFillBackground(true);
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

CommandButton* makeButton(QWidget* parent, const QString& name, const QString& caption,
                          QRect rect) {
    auto* button = new CommandButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(rect);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

} // namespace ponpira
