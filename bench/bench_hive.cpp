// Cost of the registry layer on an XP installation's hives (--windows), on an installation
// generated with a SOFTWARE hive of about 10 MB: a click's durable write (its changed bins
// logged, then written in place), a group of writes (Reset All), opening both hives, and
// opening them with the main window's full load. Prints figures only.
//
//   bench_hive [REPEATS [FILLER_KEYS]]    (defaults 30 and 10000: a SOFTWARE hive of ~10 MB)
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "main_window/frm_main.h"
#include "platform/posix/posix_platform.h"
#include "registry/hive/hive_registry.h"
#include "registry/nt_version.h"
#include "settings/registry.h"
#include "settings/schema.h"
#include "support/xp_installation_posix.h"
#include "ui/app.h"

namespace fs = std::filesystem;
using platform::HiveRegistry;

namespace {

double Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

// Median and largest, in milliseconds, of body run repeats times after one warm-up run.
std::pair<double, double> Measure(int repeats, const std::function<void()>& body) {
    body();
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        const double start = Now();
        body();
        times.push_back(Now() - start);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back()};
}

void Line(const char* what, std::pair<double, double> times, const char* target) {
    std::printf("%-44s median %8.2f ms, max %8.2f ms   %s\n", what, times.first, times.second,
                target);
}

class Silent : public ui::Prompter {
  public:
    ui::Answer Show(const ui::Message&) override { return ui::Answer::No; }
};

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(3, std::atoi(argv[1])) : 30;
    const int filler = argc > 2 ? std::atoi(argv[2]) : 10000;
    char pattern[] = "/var/tmp/calvenor-bench-hive-XXXXXX";
    if (!::mkdtemp(pattern)) return 1;
    const std::string dir = pattern;
    const std::string windows = dir + "/WINDOWS";
    const double made = Now();
    const std::string error =
        testing_support::MakeXpInstallation(windows, testing_support::SeedFile(), filler);
    if (!error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const std::string config = windows + "/system32/config/";
    std::printf("installation made in %.0f ms: SYSTEM %.2f MB, SOFTWARE %.2f MB (%s)\n",
                Now() - made, fs::file_size(config + "SYSTEM") / 1048576.0,
                fs::file_size(config + "SOFTWARE") / 1048576.0, dir.c_str());

    std::string problem;
    Line("open both hives",
         Measure(repeats,
                 [&] { HiveRegistry::Open(windows, HiveRegistry::Access::ReadWrite, &problem); }),
         "");
    Silent prompter;
    Line("open both hives and the main window's load",
         Measure(repeats,
                 [&] {
                     auto hives =
                         HiveRegistry::Open(windows, HiveRegistry::Access::ReadWrite, &problem);
                     settings::Registry registry(*hives);
                     platform::PosixPlatform machine(platform::NtVersionQuery(*hives), windows,
                                                     dir);
                     ui::App app(registry, machine, prompter);
                     auto& form = app.Open<main_window::FrmMain>();
                     form.Show();
                     form.Unload();
                     app.Collect();
                 }),
         "target < 200 ms");

    auto hives = HiveRegistry::Open(windows, HiveRegistry::Access::ReadWrite, &problem);
    if (!hives) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    settings::Registry registry(*hives);
    int next = 1000;
    Line("a click's write, SYSTEM hive (durable)",
         Measure(repeats,
                 [&] {
                     registry.StoreValue(platform::kHKLM, schema::kControlPanel, schema::kGamerMode,
                                         ++next, platform::REG_DWORD);
                 }),
         "target < 100 ms");
    Line("a click's write, SOFTWARE hive (durable)",
         Measure(repeats,
                 [&] {
                     registry.StoreValue(platform::kHKLM, schema::kAU8830Equalizer,
                                         schema::kPresetNumber, ++next % 7, platform::REG_DWORD);
                 }),
         "target < 100 ms");
    Line("30 writes together (as Reset All), one commit",
         Measure(repeats,
                 [&] {
                     registry.Together([&] {
                         for (int i = 0; i < 30; ++i) {
                             registry.StoreValue(platform::kHKLM, schema::kCustomization,
                                                 "Bench" + std::to_string(i), ++next,
                                                 platform::REG_DWORD);
                         }
                     });
                 }),
         "");
    hives.reset();
    fs::remove_all(dir);
    return 0;
}
