// make_xp_installation WINDOWS_FOLDER [FILLER_KEYS] [--devices N] [--large-system] [--names]
// [--big-data] [--minor N] (--large-system: 2,000 devices, a 12 MB SYSTEM): a generated XP
// installation with the card's driver (tests/support/ xp_installation_posix.h), for the
// command-line tests, the fault runs and the benchmarks.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/xp_installation_posix.h"

int main(int argc, char** argv) {
    testing_support::XpOptions options;
    std::string folder;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--large-system") {
            options.devices = 2000;
        } else if (arg == "--devices" && i + 1 < argc) {
            options.devices = std::atoi(argv[++i]);
        } else if (arg == "--names") {
            options.unusualNames = true;
        } else if (arg == "--big-data") {
            options.bigData = true;
        } else if (arg == "--minor" && i + 1 < argc) {
            options.minor = static_cast<std::uint32_t>(std::atoi(argv[++i]));
        } else if (folder.empty() && !arg.empty() && arg[0] != '-') {
            folder = arg;
        } else if (!arg.empty() && arg[0] != '-' && options.fillerKeys == 0) {
            options.fillerKeys = std::atoi(arg.c_str());
        } else {
            ok = false;
        }
    }
    if (!ok || folder.empty()) {
        std::fprintf(stderr,
                     "usage: make_xp_installation WINDOWS_FOLDER [FILLER_KEYS] [--devices N] "
                     "[--large-system] [--names] [--big-data] [--minor N]\n");
        return 2;
    }
    const std::string error =
        testing_support::MakeXpInstallation(folder, testing_support::SeedFile(), options);
    if (!error.empty()) {
        std::fprintf(stderr, "make_xp_installation: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
