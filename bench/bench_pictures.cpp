// The cost of drawing the product's pictures at the sizes the windows show them (96 dpi:
// 15 twips a pixel; tool icons 32 x 32), and a fingerprint of each picture's pixels, so that a
// change to the rasterizer can be checked to draw exactly what it drew before. The last line
// also gives what the General tab's pictures cost a start, where most come baked.
//
//   bench_pictures [REPEATS]     (default 20; each figure is the median)
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ui/pictures.h"

namespace {

double Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

std::uint64_t Fingerprint(const ui::Image& image) {
    std::uint64_t hash = 1469598103934665603ull;  // FNV-1a
    for (const std::uint8_t byte : image.rgba) hash = (hash ^ byte) * 1099511628211ull;
    return hash;
}

struct Shown {
    const char* name;
    int width, height;
    const char* where;
};

// Every picture of every window, at its size on screen.
const Shown kShown[] = {
    {"general", 64, 64, "main, General tab"},
    {"tool1", 32, 32, "main, General tab"},
    {"tool2", 32, 32, "main, General tab"},
    {"tool3", 32, 32, "main, General tab"},
    {"tool4", 32, 32, "main, General tab"},
    {"tool5", 32, 32, "main, General tab"},
    {"tool6", 32, 32, "main, General tab"},
    {"tool7", 32, 32, "main, General tab"},
    {"midi", 64, 64, "main, MIDI tab"},
    {"a3d", 64, 64, "main, A3D tab"},
    {"headphones", 96, 92, "main, A3D tab"},
    {"satellite", 96, 92, "main, A3D tab"},
    {"monitor", 96, 92, "main, A3D tab"},
    {"quad", 96, 92, "main, A3D tab"},
    {"about", 213, 210, "About"},
    {"a3dlogo", 58, 97, "About A3D"},
    {"mixer", 73, 73, "AC'97 mixer"},
    {"quadwindow", 81, 121, "Quad"},
    {"reset", 32, 32, "Reset"},
};

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    double generalTab = 0, mainWindow = 0, all = 0, generalTabFirst = 0, generalTabStart = 0;
    std::printf("%-11s %9s %10s %10s  %-18s  %s\n", "picture", "size", "ms", "first ms", "shown on",
                "pixels");
    for (const Shown& s : kShown) {
        std::vector<double> times;
        std::uint64_t print = 0;
        for (int i = 0; i < repeats; ++i) {
            const double start = Now();
            const ui::Image image = ui::DrawPicture(s.name, s.width, s.height);
            times.push_back(Now() - start);
            print = Fingerprint(image);
        }
        // The first drawing is what a window pays when it opens: fresh memory and all.
        const double first = times.front();
        std::sort(times.begin(), times.end());
        const double median = times[times.size() / 2];
        const std::string size = std::to_string(s.width) + "x" + std::to_string(s.height);
        std::printf("%-11s %9s %10.3f %10.3f  %-18s  %016llx\n", s.name, size.c_str(), median,
                    first, s.where, static_cast<unsigned long long>(print));
        const std::string where = s.where;
        if (where == "main, General tab") {
            generalTab += median, generalTabFirst += first;
            const double start = Now();
            const ui::Image image = ui::RenderPicture(s.name, s.width, s.height);
            generalTabStart += Now() - start;
        }
        if (where.rfind("main", 0) == 0) mainWindow += median;
        all += median;
    }
    std::printf(
        "pictures (median of %d): General tab %.2f ms (first drawn %.2f ms; at start, baked: "
        "%.3f ms), whole main window %.2f ms, every window %.2f ms\n",
        repeats, generalTab, generalTabFirst, generalTabStart, mainWindow, all);
    return 0;
}
