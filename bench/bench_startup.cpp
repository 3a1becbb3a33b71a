// SPDX-License-Identifier: MIT
// Start-up and memory as a player meets them: starts a program on the X display and watches
// its window from outside with the X DAMAGE extension, so the program needs no hook. The time
// runs from just before the program is started to the first drawing into its window that
// shows a frame (more than a background), and the peak resident memory is read from /proc half
// a second later, when start-up is over. Programs are started in turn, run after run, so each
// is measured beside the other.
//
//   bench_startup [--runs N] NAME=PROGRAM [NAME=PROGRAM...]
//
// Prints RESULT lines for bench/run.sh; never fails for being slow.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <sys/select.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// A window shows a frame once it holds more than a couple of colours: a background alone,
// which the server may clear the window to, does not count.
bool showsFrame(Display* d, Window w) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, w, &a) || a.map_state != IsViewable)
        return false;
    XImage* image = XGetImage(d, w, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    if (!image)
        return false;
    std::set<unsigned long> colours;
    for (int y = 0; y < a.height && colours.size() < 3; y += 2)
        for (int x = 0; x < a.width && colours.size() < 3; x += 2)
            colours.insert(XGetPixel(image, x, y));
    XDestroyImage(image);
    return colours.size() >= 3;
}

long peakKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

struct Measured {
    double firstFrameMs = -1;
    long peakKiB = -1;
};

Measured measure(Display* d, int damageEvent, const char* program) {
    Window root = DefaultRootWindow(d);
    XSelectInput(d, root, SubstructureNotifyMask);
    XSync(d, True);

    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        execl(program, program, static_cast<char*>(nullptr));
        _exit(127);
    }
    Measured m;
    std::vector<Damage> damages;
    const int fd = ConnectionNumber(d);
    while (m.firstFrameMs < 0 && msSince(start) < 30000) {
        if (!XPending(d)) {
            fd_set in;
            FD_ZERO(&in);
            FD_SET(fd, &in);
            timeval tv{0, 100000};
            select(fd + 1, &in, nullptr, nullptr, &tv);
            continue;
        }
        XEvent e;
        XNextEvent(d, &e);
        if (e.type == CreateNotify && !e.xcreatewindow.override_redirect) {
            // Watch from creation on, so the first drawing after the map cannot slip past.
            damages.push_back(XDamageCreate(d, e.xcreatewindow.window, XDamageReportNonEmpty));
        } else if (e.type == MapNotify && showsFrame(d, e.xmap.window)) {
            m.firstFrameMs = msSince(start);
        } else if (e.type == damageEvent + XDamageNotify) {
            const double at = msSince(start);
            const auto* de = reinterpret_cast<XDamageNotifyEvent*>(&e);
            XDamageSubtract(d, de->damage, None, None);
            if (showsFrame(d, de->drawable))
                m.firstFrameMs = at;
        }
    }
    XSelectInput(d, root, NoEventMask);
    for (Damage damage : damages)
        XDamageDestroy(d, damage);
    XSync(d, True);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    m.peakKiB = peakKiB(pid);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    return m;
}

// BadDrawable and BadWindow come when a window we watch is gone before we look at it.
int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    int runs = 10;
    std::vector<std::pair<std::string, std::string>> programs;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else if (const char* eq = std::strchr(argv[i], '=')) {
            programs.emplace_back(std::string(argv[i], std::size_t(eq - argv[i])), eq + 1);
        } else {
            std::fputs("usage: bench_startup [--runs N] NAME=PROGRAM...\n", stderr);
            return 2;
        }
    }
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        std::fputs("bench_startup: cannot connect to the X display\n", stderr);
        return 1;
    }
    int damageEvent = 0, damageError = 0;
    if (!XDamageQueryExtension(d, &damageEvent, &damageError)) {
        std::fputs("bench_startup: the X server has no DAMAGE extension\n", stderr);
        return 1;
    }
    XSetErrorHandler(ignoreErrors);

    // One start of each first, not counted: it fills the font and file caches that every
    // later start finds warm, as a player's second start does.
    for (const auto& [name, program] : programs)
        measure(d, damageEvent, program.c_str());
    std::printf("start-up: %d runs\n", runs);
    for (int r = 0; r < runs; ++r) {
        for (const auto& [name, program] : programs) {
            const Measured m = measure(d, damageEvent, program.c_str());
            std::printf("  run %d %-5s first frame %.1f ms, peak memory %.1f MiB\n", r + 1,
                        name.c_str(), m.firstFrameMs, m.peakKiB / 1024.0);
            if (m.firstFrameMs >= 0)
                std::printf("RESULT\tstart-up to first painted frame, ms\t%s\t%.3f\n", name.c_str(),
                            m.firstFrameMs);
            if (m.peakKiB >= 0)
                std::printf("RESULT\tpeak memory after start-up (VmHWM), MiB\t%s\t%.3f\n",
                            name.c_str(), m.peakKiB / 1024.0);
            std::fflush(stdout);
        }
    }
    XCloseDisplay(d);
    return 0;
}
