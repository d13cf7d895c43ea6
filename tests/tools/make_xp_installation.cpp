// make_xp_installation WINDOWS_FOLDER [FILLER_KEYS]: a generated XP installation with the
// card's driver (tests/support/xp_installation_posix.h), for the command-line tests, the fault
// runs and the benchmarks.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/xp_installation_posix.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: make_xp_installation WINDOWS_FOLDER [FILLER_KEYS]\n");
        return 2;
    }
    const std::string error = testing_support::MakeXpInstallation(
        argv[1], testing_support::SeedFile(), argc == 3 ? std::atoi(argv[2]) : 0);
    if (!error.empty()) {
        std::fprintf(stderr, "make_xp_installation: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
