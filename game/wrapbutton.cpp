#include "game/wrapbutton.h"

#include "game/x11keys.h"

#include <QKeyEvent>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace ponpira {

namespace {
// Whether every key release the window system sends is a real one (see x11keys.h).
bool releasesAreReal() {
    static const bool real = askForRealKeyReleases();
    return real;
}
} // namespace

WrapButton::WrapButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    releasesAreReal();
}

void WrapButton::keyPressEvent(QKeyEvent* event) {
    passOn(event);
}

void WrapButton::keyReleaseEvent(QKeyEvent* event) {
    passOn(event);
}

// Qt on X marks a release and a press of the same key in the same millisecond as a repeat; when
// the server sends no repeat releases, such a pair is two real taps and must count.
void WrapButton::passOn(QKeyEvent* event) {
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

void WrapButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);

    const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    const int margin = style()->pixelMetric(QStyle::PM_ButtonMargin, &option, this) / 2;
    painter.drawItemText(area.adjusted(margin, 0, -margin, 0), Qt::AlignCenter | Qt::TextWordWrap,
                         option.palette, isEnabled(), caption, QPalette::ButtonText);
}

} // namespace ponpira
