#include "platform/posix/seed_windows_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/posix/unique_fd.h"
#include "platform/seed_windows.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

bool Exists(const fs::path& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

std::string Quoted(const fs::path& path) {
    return "\"" + path.string() + "\"";
}

// "" when the file or folder is on disk.
std::string Sync(const fs::path& path) {
    const UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (fd.get() >= 0 && fsync(fd.get()) == 0) return "";
    return "cannot sync " + Quoted(path) + ": " + std::strerror(errno);
}

// Every file and folder below `root`, and `root` itself, on disk before the rename makes
// them the folder: a power cut must not leave the folder in place with empty files.
std::string SyncTree(const fs::path& root) {
    std::error_code error;
    std::vector<fs::path> paths;
    for (auto it = fs::recursive_directory_iterator(root, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        paths.push_back(it->path());
    }
    if (error) return "cannot list " + Quoted(root) + ": " + error.message();
    paths.push_back(root);
    for (const fs::path& path : paths) {
        if (std::string problem = Sync(path); !problem.empty()) return problem;
    }
    return "";
}

}  // namespace

std::string EnsureSeedWindowsFolder(const std::string& folder) {
    fs::path target(folder);
    if (!target.has_filename()) target = target.parent_path();  // "…/windows/"
    if (Exists(target)) return "";

    const fs::path parent = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code error;
    fs::create_directories(parent, error);
    if (error) return "cannot create " + Quoted(parent) + ": " + error.message();
    // Two first starts at once: the second waits here, then finds the folder made.
    const UniqueFd lock(open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (lock.get() < 0) return "cannot open " + Quoted(parent) + ": " + std::strerror(errno);
    while (flock(lock.get(), LOCK_EX) != 0 && errno == EINTR) {
    }
    if (Exists(target)) return "";

    const fs::path side = target.string() + ".new";
    fs::remove_all(side, error);  // what a killed start left behind
    if (!error) fs::create_directory(side, error);
    if (error) return "cannot create " + Quoted(side) + ": " + error.message();
    std::string problem = WriteWindowsFiles(side.string(), SeedWindowsFiles());
    if (problem.empty()) problem = SyncTree(side);
    if (problem.empty() && rename(side.c_str(), target.c_str()) != 0) {
        problem =
            "cannot rename " + Quoted(side) + " to " + Quoted(target) + ": " + std::strerror(errno);
    }
    if (!problem.empty()) {
        fs::remove_all(side, error);
        return problem;
    }
    fsync(lock.get());  // the rename itself
    return "";
}

}  // namespace platform
