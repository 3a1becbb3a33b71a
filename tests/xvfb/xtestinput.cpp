// SPDX-License-Identifier: MIT
#include "xtestinput.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <chrono>
#include <thread>

namespace ponpira::xtest {

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

Input::~Input() {
    if (display_)
        XCloseDisplay(display_);
}

std::string Input::open(const char* display) {
    display_ = XOpenDisplay(display);
    if (!display_)
        return "cannot connect to the X display";
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display_, &event, &error, &major, &minor)) {
        XCloseDisplay(display_);
        display_ = nullptr;
        return "the X server has no XTest extension";
    }
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
        if (periodNs > 0) {
            std::this_thread::sleep_until(start + std::chrono::nanoseconds(periodNs * i));
            XTestFakeButtonEvent(display_, 1, True, CurrentTime);
            XTestFakeButtonEvent(display_, 1, False, CurrentTime);
            XFlush(display_);
        } else {
            // Xlib sends its buffer whenever it fills; the server handles the requests as
            // fast as it reads them.
            XTestFakeButtonEvent(display_, 1, True, CurrentTime);
            XTestFakeButtonEvent(display_, 1, False, CurrentTime);
        }
    }
    XSync(display_, False);
    return secondsSince(start);
}

double Input::tapKey(unsigned long keysym, int count, int gapMs) {
    const KeyCode code = XKeysymToKeycode(display_, keysym);
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        // XTest's delay is waited out by the server itself, so a loaded machine cannot squeeze
        // the gap back into one millisecond.
        XTestFakeKeyEvent(display_, code, True, i > 0 ? gapMs : CurrentTime);
        XTestFakeKeyEvent(display_, code, False, CurrentTime);
    }
    XSync(display_, False);
    return secondsSince(start);
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
