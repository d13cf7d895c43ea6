// Start-up of windowed programs side by side: for each program, the time from just before its
// exec to the X server's MapNotify for its window (matched by title, seen through
// SubstructureNotify on the root window, so there is no polling), the time to its last paint
// (the last drawing the DAMAGE extension reports on the window and its children before it
// stays still for a while: what the user waits for), its peak memory, and the CPU it uses
// while its window stays open and idle. The programs are run interleaved, one run of
// each in turn, so that a change in the machine's load touches all of them alike.
//
//   bench_window [--runs N] [--idle SECONDS] PROGRAM...
//
// Each PROGRAM is one argument, "NAME|TITLE|FLOORS|COMMAND ARG...": the window's title to wait
// for, and the NAMEs of other PROGRAMs (comma-separated, or none) whose medians this one's is
// compared with. DISPLAY must name a running server.
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

double Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

constexpr double kWindowTimeoutMs = 60000;

struct Program {
    std::string name, title, floor;
    std::vector<std::string> command;
    std::vector<double> mapped, painted;
    long peakKb = 0;
    long idleTicks = -1;
};

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The window is still once no drawing has been reported for this long.
constexpr double kStillMs = 300;
int damageEvent = 0;

// Drawing on the window and every window inside it is reported (Wine draws in a child).
void WatchDrawing(Display* display, Window window) {
    XDamageCreate(display, window, XDamageReportNonEmpty);
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count; ++i) WatchDrawing(display, children[i]);
        if (children) XFree(children);
    }
}

// The time of the last drawing before the display stays still; the damage is acknowledged as
// it comes so that each new drawing is reported again.
double LastDrawing(Display* display, double since) {
    double last = since;
    for (;;) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == damageEvent + XDamageNotify) {
                last = Now();
                const auto& damage = reinterpret_cast<const XDamageNotifyEvent&>(event);
                XDamageSubtract(display, damage.damage, None, None);
            }
        }
        const int wait = static_cast<int>(last + kStillMs - Now());
        if (wait <= 0) return last;
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        ::poll(&fd, 1, wait);
    }
}

bool Parse(const std::string& text, Program& p) {
    std::vector<std::string> fields;
    std::stringstream in(text);
    for (std::string field; std::getline(in, field, '|');) fields.push_back(field);
    if (fields.size() != 4) return false;
    p.name = fields[0], p.title = fields[1], p.floor = fields[2];
    std::stringstream words(fields[3]);
    for (std::string word; words >> word;) p.command.push_back(word);
    return !p.command.empty();
}

bool HasTitle(Display* display, Window window, const std::string& title) {
    char* name = nullptr;
    const bool match = XFetchName(display, window, &name) && name && title == name;
    if (name) XFree(name);
    return match;
}

// The user and system CPU ticks a process has used so far.
long Ticks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t end = line.rfind(')');
    if (end == std::string::npos) return -1;
    std::istringstream fields(line.substr(end + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::atol(field.c_str());
        if (i == 15) stime = std::atol(field.c_str());
    }
    return utime + stime;
}

// The machine's busy and total CPU time so far, from /proc/stat, in ticks.
std::pair<long long, long long> CpuTicks() {
    std::ifstream stat("/proc/stat");
    std::string cpu;
    long long busy = 0, total = 0, value = 0;
    stat >> cpu;
    for (int field = 0; field < 8 && stat >> value; ++field) {
        total += value;
        if (field != 3 && field != 4) busy += value;  // all but idle and waiting for I/O
    }
    return {busy, total};
}

// Waits, up to 5 s, for a tenth of a second in which the machine is all but idle: what a run
// leaves behind (Wine's server and services finishing with a killed program, winecfg's most of
// all) would otherwise fall on the next program's run.
void WaitForQuiet() {
    for (int waited = 0; waited < 5000; waited += 100) {
        const auto [busy0, total0] = CpuTicks();
        ::usleep(100000);
        const auto [busy1, total1] = CpuTicks();
        if (total1 <= total0 || (busy1 - busy0) * 20 <= total1 - total0) return;
    }
}

// Starts the program, waits for its window and its drawing, optionally watches it idle, and
// ends it.
void RunOnce(Display* display, Program& p, int idleSeconds, bool record) {
    // The pointer waits in the screen's bottom right corner, where no window opens: left at the
    // centre of the screen it lay over a program that centres its window and not over one the
    // system places at the top left, and the first alone paid for the pointer coming in (hover
    // drawing, tooltips made).
    const int screen = DefaultScreen(display);
    XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0,
                 DisplayWidth(display, screen) - 1, DisplayHeight(display, screen) - 1);
    XSync(display, False);
    const double start = Now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::setpgid(0, 0);
        std::vector<char*> argv;
        for (std::string& word : p.command) argv.push_back(word.data());
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    double mapped = -1;
    while (mapped < 0) {
        // A program that ends, or shows no window within a minute, must not hang the run.
        if (!XPending(display)) {
            int status = 0;
            const bool ended = ::waitpid(child, &status, WNOHANG) == child;
            if (ended || Now() - start > kWindowTimeoutMs) {
                ::kill(-child, SIGKILL);
                std::fprintf(stderr, "bench_window: %s %s without a window titled \"%s\"\n",
                             p.name.c_str(), ended ? "ended" : "ran a minute", p.title.c_str());
                std::exit(1);
            }
            pollfd fd{ConnectionNumber(display), POLLIN, 0};
            ::poll(&fd, 1, 100);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify && HasTitle(display, event.xmap.window, p.title)) {
            mapped = Now();
            WatchDrawing(display, event.xmap.window);
        }
    }
    const double painted = LastDrawing(display, mapped);
    if (record) {
        p.mapped.push_back(mapped - start);
        p.painted.push_back(painted - start);
    }
    if (idleSeconds > 0) {
        const long before = Ticks(child);
        ::sleep(static_cast<unsigned>(idleSeconds));
        p.idleTicks = Ticks(child) - before;
    }
    ::kill(-child, SIGKILL);
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    p.peakKb = std::max(p.peakKb, usage.ru_maxrss);
    WaitForQuiet();
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 20, idleSeconds = 0;
    std::vector<Program> programs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(3, std::atoi(argv[++i]));
        } else if (arg == "--idle" && i + 1 < argc) {
            idleSeconds = std::max(0, std::atoi(argv[++i]));
        } else {
            Program p;
            if (!Parse(arg, p)) {
                std::fprintf(stderr, "bench_window: \"%s\" is not NAME|TITLE|FLOORS|COMMAND\n",
                             argv[i]);
                return 2;
            }
            programs.push_back(p);
        }
    }
    if (programs.empty()) {
        std::fprintf(stderr, "usage: bench_window [--runs N] [--idle SECONDS] PROGRAM...\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "bench_window: no display\n");
        return 1;
    }
    int damageError = 0;
    if (!XDamageQueryExtension(display, &damageEvent, &damageError)) {
        std::fprintf(stderr, "bench_window: the server has no DAMAGE extension\n");
        return 1;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, True);
    // The first two rounds warm the caches and are not counted.
    for (int round = 0; round < runs + 2; ++round) {
        for (Program& p : programs) {
            RunOnce(display, p, 0, round >= 2);
        }
    }
    if (idleSeconds > 0) {
        for (Program& p : programs) RunOnce(display, p, idleSeconds, false);
    }
    for (const Program& p : programs) {
        std::printf("%-24s mapped %6.1f ms, painted %6.1f ms (min %.1f, max %.1f)", p.name.c_str(),
                    Median(p.mapped), Median(p.painted),
                    *std::min_element(p.painted.begin(), p.painted.end()),
                    *std::max_element(p.painted.begin(), p.painted.end()));
        for (const Program& floor : programs) {
            if (("," + p.floor + ",").find("," + floor.name + ",") != std::string::npos) {
                std::printf("; %.2fx / %.2fx %s", Median(p.mapped) / Median(floor.mapped),
                            Median(p.painted) / Median(floor.painted), floor.name.c_str());
            }
        }
        std::printf("; peak memory %.1f MB", static_cast<double>(p.peakKb) / 1024);
        if (p.idleTicks >= 0) {
            std::printf("; idle CPU %ld ticks in %d s", p.idleTicks, idleSeconds);
        }
        std::printf("\n");
    }
    std::printf(
        "(exec to window mapped and to its last drawing before %.0f ms of stillness, "
        "medians of %d interleaved runs; ratios mapped / painted)\n",
        kStillMs, runs);
    XCloseDisplay(display);
    return 0;
}
