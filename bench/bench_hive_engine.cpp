// Cost of the hive engine's own work, in memory (no disk): loading a hive, a click's value write
// (a DWORD rewritten: same size, in place), a text that grows each time (a new cell, the old
// freed), a new key, and listing the dirty bins, on a small hive (as a fresh XP's SYSTEM is
// small) and a large one. The large one's figures should be those of the small one: nothing
// the engine does for a write walks the hive. Prints figures only.
//
//   bench_hive_engine [LARGE_MB]      (default 73: a SOFTWARE hive as big as the issue's)
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "registry/hive/hive_format.h"
#include "registry/hive/hive_keys.h"

using platform::hive::Cell;
using platform::hive::Hive;

namespace {

double Clock(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) * 1e-3;
}

// Median and largest time of one call of body, in microseconds, over samples of batch calls
// each (so that the clock's own cost does not count). The process's CPU time for long calls
// (other programs on a shared machine do not count), the wall clock for short ones.
std::pair<double, double> Measure(int samples, int batch, const std::function<void(int)>& body) {
    const clockid_t clock = batch == 1 ? CLOCK_PROCESS_CPUTIME_ID : CLOCK_MONOTONIC;
    std::vector<double> times;
    for (int i = 0; i < samples; ++i) {
        const double start = Clock(clock);
        for (int j = 0; j < batch; ++j) body(i * batch + j);
        times.push_back((Clock(clock) - start) / batch);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back()};
}

std::unique_ptr<Hive> Load(const std::vector<std::uint8_t>& bytes) {
    std::string problem;
    auto hive = Hive::Load(bytes, &problem);
    if (!hive) {
        std::fprintf(stderr, "cannot load: %s\n", problem.c_str());
        std::exit(1);
    }
    return hive;
}

// A hive of about megabytes MB: keys of twenty values each, of 100 to 4000 bytes, under
// two levels of parents, as a used machine's SOFTWARE holds them.
std::vector<std::uint8_t> Make(double megabytes) {
    const std::string empty = platform::hive::MakeEmptyHive("ROOT", 5);
    auto hive = Load(std::vector<std::uint8_t>(empty.begin(), empty.end()));
    std::mt19937 random(73);
    std::vector<std::uint8_t> data(4000);
    for (auto& byte : data) byte = static_cast<std::uint8_t>(random());
    const Cell classes = hive->CreateKey(hive->root(), u"Classes");
    for (int i = 0; hive->bytes().size() < megabytes * 1048576; ++i) {
        const Cell group = hive->CreateKey(
            classes, u"Group" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)));
        const std::string name = "{" + std::to_string(i * 2654435761u) + "}";
        const Cell key = hive->CreateKey(group, std::u16string(name.begin(), name.end()));
        for (int v = 0; v < 20; ++v) {
            const std::string value = "Value" + std::to_string(v);
            hive->SetValue(key, std::u16string(value.begin(), value.end()), 3, data.data(),
                           100 + random() % 3900);
        }
    }
    // The key the clicks write to, as the panel's.
    const Cell panel = hive->CreateKey(hive->CreateKey(hive->root(), u"Aureal"), u"Panel");
    hive->SetValue(panel, u"Setting", 4, data.data(), 4);
    hive->SetValue(panel, u"Growing", 1, data.data(), 8);
    return hive->bytes();
}

void Report(const char* name, const std::vector<std::uint8_t>& bytes) {
    std::printf("%s hive: %.2f MB\n", name, static_cast<double>(bytes.size()) / 1048576.0);
    const auto load = Measure(5, 1, [&](int) { Load(bytes); });
    std::printf("  load (the whole check), CPU     median %10.1f us, max %10.1f us\n", load.first,
                load.second);
    auto hive = Load(bytes);
    const Cell panel = hive->FindSubkey(hive->FindSubkey(hive->root(), u"Aureal"), u"Panel");
    const auto write = Measure(50, 20, [&](int i) {
        const std::uint32_t value = static_cast<std::uint32_t>(i);
        hive->SetValue(panel, u"Setting", 4, reinterpret_cast<const std::uint8_t*>(&value), 4);
    });
    std::printf("  a click's DWORD write          median %10.2f us, max %10.2f us\n", write.first,
                write.second);
    const auto dirty = Measure(50, 20, [&](int) { (void)hive->DirtyBins(); });
    std::printf("  its dirty bins listed          median %10.2f us, max %10.2f us (%zu bins)\n",
                dirty.first, dirty.second, hive->DirtyBins().size());
    std::vector<std::uint8_t> text(2000, 'x');
    const std::size_t before = hive->bytes().size();
    const auto grow = Measure(50, 10, [&](int i) {
        hive->SetValue(panel, u"Growing", 1, text.data(),
                       8 + 2 * static_cast<std::uint32_t>(i % 900));
    });
    std::printf("  a text that changes its size   median %10.2f us, max %10.2f us\n", grow.first,
                grow.second);
    const auto create = Measure(20, 10, [&](int i) {
        const std::string name = "New" + std::to_string(i);
        hive->CreateKey(panel, std::u16string(name.begin(), name.end()));
    });
    std::printf("  a new key                      median %10.2f us, max %10.2f us\n", create.first,
                create.second);
    std::printf("  the file grew by %zu bytes over the 2200 changes\n",
                hive->bytes().size() - before);
}

}  // namespace

int main(int argc, char** argv) {
    const double large = argc > 1 ? std::atof(argv[1]) : 73;
    Report("small", Make(0.03));
    Report("large", Make(large));
    return 0;
}
