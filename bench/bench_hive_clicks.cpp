// The cost of a click on an XP installation's hives as a user's clicks reach them: the built
// program, `calvenor --windows DIR --headless`, given 100 clicks on one check box, against the
// same program started and closed without a click; best of 3 of each. Then the hive's growth
// over the 100 clicks and the size of its log. The AC'97 page's ST9704 attenuation (a DWORD in
// the SYSTEM hive) on a 40 KB and a 12 MB SYSTEM; the tray icon (the Run key's AU30TRAY,
// written and deleted in turn) on a SOFTWARE of 33 MB.
// Prints figures only.
//
//   bench_hive_clicks CALVENOR [CLICKS]      (default 100)
#include <fcntl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/xp_installation_posix.h"

namespace fs = std::filesystem;

namespace {

double Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

// Runs the program on the installation with these commands on its standard input; its time in
// milliseconds, or -1 when it failed.
double Run(const std::string& calvenor, const std::string& windows, const std::string& commands) {
    int in[2];
    if (::pipe(in) != 0) return -1;
    std::fflush(stdout);  // the child must not write this program's figures again
    const double start = Now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(in[0], 0);
        ::close(in[0]);
        ::close(in[1]);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::execl(calvenor.c_str(), calvenor.c_str(), "--windows", windows.c_str(), "--headless",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(in[0]);
    for (std::size_t done = 0; done < commands.size();) {
        const ssize_t n = ::write(in[1], commands.data() + done, commands.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(in[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    const double took = Now() - start;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? took : -1;
}

std::uintmax_t SizeOf(const fs::path& path) {
    std::error_code error;
    const auto size = fs::file_size(path, error);
    return error ? 0 : size;
}

// The log beside a hive, in any letter case; 0 bytes when there is none.
std::uintmax_t LogSize(const fs::path& hive) {
    const std::string wanted = hive.filename().string() + ".log";
    for (const auto& entry : fs::directory_iterator(hive.parent_path())) {
        std::string name = entry.path().filename().string();
        std::transform(name.begin(), name.end(), name.begin(), ::tolower);
        std::string lower = wanted;
        std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
        if (name == lower) return SizeOf(entry.path());
    }
    return 0;
}

void Bench(const std::string& calvenor, const std::string& dir, const char* what,
           const testing_support::XpOptions& options, const char* control, const char* hiveName,
           int clicks) {
    const std::string windows = dir + "/WINDOWS";
    fs::remove_all(windows);
    const std::string error =
        testing_support::MakeXpInstallation(windows, testing_support::SeedFile(), options);
    if (!error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
    const fs::path hive = fs::path(windows) / "system32" / "config" / hiveName;
    const std::uintmax_t before = SizeOf(hive);
    std::string commands;
    for (int i = 0; i < clicks; ++i) commands += std::string("click frmMain.") + control + "\n";
    double bare = 1e30;
    double clicked = 1e30;
    std::uintmax_t growth = 0;
    std::uintmax_t log = 0;
    for (int round = 0; round < 3; ++round) {
        const double open = Run(calvenor, windows, "");
        const std::uintmax_t start = SizeOf(hive);
        const double run = Run(calvenor, windows, commands);
        if (open < 0 || run < 0) {
            std::fprintf(stderr, "%s: the program failed\n", what);
            std::exit(1);
        }
        bare = std::min(bare, open);
        clicked = std::min(clicked, run);
        growth = std::max(growth, SizeOf(hive) - start);
        log = std::max(log, LogSize(hive));
    }
    const double cost = clicked - bare;
    std::printf(
        "%-22s %-18s %9.2f MB: %d clicks %8.1f ms (%.2f ms a click; start and close %.0f ms), "
        "%s grew by %ju bytes, log %ju bytes\n",
        what, control, before / 1048576.0, clicks, cost, cost / clicks, bare, hiveName, growth,
        log);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_hive_clicks CALVENOR [CLICKS]\n");
        return 2;
    }
    const std::string calvenor = argv[1];
    const int clicks = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100;
    char pattern[] = "/var/tmp/calvenor-bench-clicks-XXXXXX";
    if (!::mkdtemp(pattern)) return 1;
    const std::string dir = pattern;
    testing_support::XpOptions small;
    small.devices = 5;
    Bench(calvenor, dir, "SYSTEM of 40 KB", small, "chkAttenuation", "SYSTEM", clicks);
    testing_support::XpOptions large;
    large.devices = 2000;
    Bench(calvenor, dir, "SYSTEM of 12 MB", large, "chkAttenuation", "SYSTEM", clicks);
    testing_support::XpOptions software;
    software.fillerKeys = 60000;
    Bench(calvenor, dir, "SOFTWARE of 33 MB", software, "chkTray", "SOFTWARE", clicks);
    fs::remove_all(dir);
    return 0;
}
