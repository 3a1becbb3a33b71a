// SPDX-License-Identifier: MIT
// A small XTest client that clicks and types faster than xdotool can: the sender of the click
// benchmarks. It prints how many events it sent and how long the X server took to take them.
//
//   bench_xclick click X Y COUNT [PERIOD_US]   COUNT clicks of button 1 at (X, Y) on the screen,
//                                              one every PERIOD_US (0 or none: full speed)
//   bench_xclick keys COUNT                    COUNT presses and releases of Space
//   bench_xclick hold MS [KEY DELAY_MS RATE]   Space (or the key of the keysym name KEY) held
//                                              down MS milliseconds; with DELAY_MS and RATE the
//                                              server first repeats held keys after DELAY_MS,
//                                              RATE times a second

#include "xtestinput.h"

#include <X11/XKBlib.h>
#include <X11/keysym.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int usage() {
    std::fputs("usage: bench_xclick click X Y COUNT [PERIOD_US] | keys COUNT | hold MS\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 3)
        return usage();
    ponpira::xtest::Input input;
    if (const std::string why = input.open(); !why.empty()) {
        std::fprintf(stderr, "bench_xclick: %s\n", why.c_str());
        return 77;
    }
    const char* what = argv[1];
    if (!std::strcmp(what, "click") && argc >= 5) {
        const int count = std::atoi(argv[4]);
        const long long periodUs = argc >= 6 ? std::atoll(argv[5]) : 0;
        input.moveTo(std::atoi(argv[2]), std::atoi(argv[3]));
        const double seconds = input.click(count, periodUs * 1000);
        std::printf("sent %d %.6f\n", count, seconds);
    } else if (!std::strcmp(what, "keys")) {
        const int count = std::atoi(argv[2]);
        const double seconds = input.tapKey(XK_space, count);
        std::printf("sent %d %.6f\n", count, seconds);
    } else if (!std::strcmp(what, "hold")) {
        const KeySym key = argc >= 4 ? XStringToKeysym(argv[3]) : XK_space;
        if (key == NoSymbol)
            return usage();
        if (argc >= 6) {
            Display* display = XOpenDisplay(nullptr);
            const int rate = std::atoi(argv[5]);
            if (!display || rate <= 0 ||
                !XkbSetAutoRepeatRate(display, XkbUseCoreKbd, std::atoi(argv[4]), 1000 / rate)) {
                std::fputs("bench_xclick: cannot set the key repeat rate\n", stderr);
                return 1;
            }
            XCloseDisplay(display);
        }
        input.holdKey(key, std::atoi(argv[2]));
        std::printf("sent 1 %.6f\n", std::atoi(argv[2]) / 1000.0);
    } else {
        return usage();
    }
    return 0;
}
