// SPDX-License-Identifier: MIT
#include "app/windows.h"

#include "about/frmabout.h"
#include "app/fonts.h"
#include "game/form1.h"
#include "submit/form2.h"

#include <QCloseEvent>
#include <QCoreApplication>

namespace ponpira {

Windows::Windows(Platform& platform, std::function<void()> quit)
    : platform_(platform), quit_(std::move(quit)) {
    installFontSubstitutions();
    if (!quit_)
        quit_ = [] { QCoreApplication::exit(0); };
}

Windows::~Windows() {
    delete about_.data();
    delete form2_.data();
    delete form1_.data();
}

template <typename W> W& Windows::load(QPointer<W>& slot) {
    if (!slot) {
        slot = new W(*this, platform_);
        slot->installEventFilter(this);
    }
    return *slot;
}

Form1* Windows::loadedForm1() const {
    return form1_;
}
Form2* Windows::loadedForm2() const {
    return form2_;
}
frmAbout* Windows::loadedAbout() const {
    return about_;
}

Form1& Windows::form1() {
    return load(form1_);
}
Form2& Windows::form2() {
    return load(form2_);
}
frmAbout& Windows::aboutWindow() {
    return load(about_);
}

core::Form2& Windows::Rules::form2() {
    return windows_.form2().rules();
}
core::frmAbout& Windows::Rules::aboutWindow() {
    return windows_.aboutWindow().rules();
}
std::u16string Windows::Rules::form1Label5Caption() {
    return windows_.form1().rules().label5Caption();
}
void Windows::Rules::show(core::Window& window) {
    showWindow(static_cast<QWidget*>(window.handle()));
}
void Windows::Rules::unload(core::Window& window) {
    windows_.unload(static_cast<QWidget*>(window.handle()));
}

void Windows::unload(QWidget* window) {
    if (!window)
        return;
    if (window == form1_)
        form1_ = nullptr;
    else if (window == form2_)
        form2_ = nullptr;
    else if (window == about_)
        about_ = nullptr;
    window->removeEventFilter(this);
    window->hide();
    // Deferred: the window may be unloading itself from one of its own handlers.
    window->deleteLater();
}

void Windows::end() {
    if (ended_)
        return;
    ended_ = true;
    // Hidden now and destroyed with this set: a handler further up the stack (one waiting in a
    // message box) may still return into its window before the event loops have unwound.
    for (QWidget* w : {static_cast<QWidget*>(about_.data()), static_cast<QWidget*>(form2_.data()),
                       static_cast<QWidget*>(form1_.data())}) {
        if (w)
            w->hide();
    }
    quit_();
}

bool Windows::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Close)
        return false;
    if (watched == form1_) {
        end();
    } else if (watched == form2_ || watched == about_) {
        unload(static_cast<QWidget*>(watched));
    } else {
        return false;
    }
    event->accept();
    return true;
}

} // namespace ponpira
