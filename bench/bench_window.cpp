// Start-up of the windowed program to its main window mapped: the time from just before the
// exec to the X server's MapNotify for the window named "Calvenor XP" (seen through
// SubstructureNotify on the root window, so there is no polling), and the peak memory.
//
//   bench_window PROGRAM STORE [RUNS]     (DISPLAY must name a running server)
#include <X11/Xlib.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

bool IsMain(Display* display, Window window) {
    char* name = nullptr;
    const bool main =
        XFetchName(display, window, &name) && name && std::string(name) == "Calvenor XP";
    if (name) XFree(name);
    return main;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_window PROGRAM STORE [RUNS]\n");
        return 2;
    }
    const int runs = argc > 3 ? std::max(3, std::atoi(argv[3])) : 20;
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "bench_window: no display\n");
        return 1;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, True);
    std::vector<double> times;
    long peak = 0;
    for (int run = 0; run < runs + 2; ++run) {
        const double start = Now();
        const pid_t child = ::fork();
        if (child == 0) {
            ::execl(argv[1], argv[1], "--store", argv[2], static_cast<char*>(nullptr));
            ::_exit(127);
        }
        double mapped = -1;
        while (mapped < 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && IsMain(display, event.xmap.window)) mapped = Now();
        }
        ::usleep(200000);
        ::kill(child, SIGTERM);
        int status = 0;
        rusage usage{};
        ::wait4(child, &status, 0, &usage);
        peak = std::max(peak, usage.ru_maxrss);
        if (run >= 2) times.push_back(mapped - start);  // the first two warm the caches
    }
    std::sort(times.begin(), times.end());
    std::printf(
        "window (FLTK, Xvfb), exec to main window mapped: median %.1f ms (min %.1f, max "
        "%.1f, %d runs); peak memory %.1f MB  targets < 100 ms, < 15 MB\n",
        times[times.size() / 2], times.front(), times.back(), runs,
        static_cast<double>(peak) / 1024);
    XCloseDisplay(display);
    return 0;
}
