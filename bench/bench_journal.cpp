// Cost of writing one changed bin of a hive to the disk, on a hive of about 40 KB and one of
// about 40 MB: the journal's logged write in place (log, raised header, bins, completed header,
// each flushed) beside the whole-file rewrite earlier versions made (the hive written to a new
// file, flushed, renamed over the hive, the folder flushed). Prints the time of each write,
// the log's size and how much the hive grew. Prints figures only.
//
//   bench_journal [WRITES [FOLDER]]   (defaults 50 and a new folder in /var/tmp)
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "registry/hive/hive_format.h"
#include "registry/hive/hive_journal.h"
#include "support/hive_images_posix.h"

namespace fs = std::filesystem;
namespace hive = platform::hive;

namespace {

double Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

struct Times {
    double median = 0, p90 = 0, max = 0;
};

Times Measure(int writes, const std::function<bool(int)>& write) {
    std::vector<double> times;
    for (int i = 0; i < writes; ++i) {
        const double start = Now();
        if (!write(i)) {
            std::fprintf(stderr, "a write failed\n");
            std::exit(1);
        }
        times.push_back(Now() - start);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times[times.size() * 9 / 10], times.back()};
}

void Line(const std::string& what, const Times& t, const std::string& more) {
    std::printf("  %-34s median %7.2f ms, 90%% %7.2f ms, max %7.2f ms  %s\n", what.c_str(),
                t.median, t.p90, t.max, more.c_str());
}

// The old commit: the whole image to a new file beside the hive, flushed, renamed over it, the
// folder flushed.
bool RewriteWhole(const std::string& folder, const std::string& image) {
    const std::string fresh = folder + "/SYSTEM.new";
    const int fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = ::write(fd, image.data(), image.size()) == static_cast<ssize_t>(image.size()) &&
              ::fsync(fd) == 0;
    ::close(fd);
    ok = ok && ::rename(fresh.c_str(), (folder + "/SYSTEM").c_str()) == 0;
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ok = ok && dir >= 0 && ::fsync(dir) == 0;
    if (dir >= 0) ::close(dir);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    const int writes = argc > 1 ? std::max(5, std::atoi(argv[1])) : 50;
    std::string root;
    if (argc > 2) {
        root = argv[2];
    } else {
        char pattern[] = "/var/tmp/calvenor-bench-journal-XXXXXX";
        if (!::mkdtemp(pattern)) return 1;
        root = pattern;
    }
    for (const std::uint32_t bins : {10u, 10240u}) {
        const std::string folder = root + "/" + std::to_string(bins);
        fs::create_directories(folder);
        std::string image =
            testing_support::HiveWithBins(std::vector<std::uint32_t>(bins - 1, 4096));
        std::ofstream(folder + "/SYSTEM", std::ios::binary) << image;
        std::ofstream(folder + "/SOFTWARE", std::ios::binary) << testing_support::HiveWithBins({});
        std::printf("hive of %u bins, %.2f MB:\n", bins, image.size() / 1048576.0);

        std::string error;
        auto journal = hive::Journal::Open(folder, {"SYSTEM", "SOFTWARE"}, true, &error);
        if (!journal || !journal->Complete().empty()) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        image = journal->TakeImage(0);
        const auto before = fs::file_size(folder + "/SYSTEM");
        // A DWORD's worth changed in a bin in the middle, as a click changes one value.
        const std::uint32_t bin = bins / 2 * 4096;
        const Times logged = Measure(writes, [&](int i) {
            image[4096 + bin + 100] = static_cast<char>(i);
            std::string reason;
            return journal->Write({{0,
                                    {reinterpret_cast<std::uint8_t*>(image.data()), image.size()},
                                    {{bin, 512}}}},
                                  &reason) == hive::Written::kAll;
        });
        Line("logged write in place", logged,
             "log " + std::to_string(fs::file_size(folder + "/SYSTEM.LOG")) + " bytes, hive grew " +
                 std::to_string(fs::file_size(folder + "/SYSTEM") - before) + " bytes");
        journal.reset();
        Line("whole hive rewritten and renamed",
             Measure(writes,
                     [&](int i) {
                         image[4096 + bin + 100] = static_cast<char>(i);
                         return RewriteWhole(folder, image);
                     }),
             "");
        fs::remove_all(folder);
    }
    if (argc <= 2) fs::remove_all(root);
    return 0;
}
