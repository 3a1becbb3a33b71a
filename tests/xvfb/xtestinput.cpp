// SPDX-License-Identifier: MIT
#include "xtestinput.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <chrono>
#include <thread>

namespace ponpira::xtest {

using Clock = std::chrono::steady_clock;

Input::~Input() {
    if (display_)
        XCloseDisplay(display_);
}

std::string Input::open(const char* display) {
    display_ = XOpenDisplay(display);
    if (!display_)
        return "cannot connect to the X display";
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display_, &event, &error, &major, &minor))
        return "the X server has no XTest extension";
    // Keep our fake input flowing even while another client grabs the server.
    XTestGrabControl(display_, True);
    return {};
}

void Input::moveTo(int x, int y) {
    XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
    XSync(display_, False);
}

double Input::click(int count, std::int64_t periodNs) {
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        if (periodNs > 0)
            std::this_thread::sleep_until(start + std::chrono::nanoseconds(periodNs * i));
        XTestFakeButtonEvent(display_, 1, True, CurrentTime);
        XTestFakeButtonEvent(display_, 1, False, CurrentTime);
        if (periodNs > 0)
            XFlush(display_);
    }
    XSync(display_, False);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Input::tapKey(unsigned long keysym, int count) {
    const KeyCode code = XKeysymToKeycode(display_, keysym);
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        XTestFakeKeyEvent(display_, code, True, CurrentTime);
        XTestFakeKeyEvent(display_, code, False, CurrentTime);
    }
    XSync(display_, False);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void Input::holdKey(unsigned long keysym, int ms) {
    const KeyCode code = XKeysymToKeycode(display_, keysym);
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XSync(display_, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    XSync(display_, False);
}

} // namespace ponpira::xtest
