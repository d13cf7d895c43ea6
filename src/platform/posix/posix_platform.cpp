#include "platform/posix/posix_platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/pe/pe_version.h"
#include "platform/posix/unique_fd.h"
#include "text/ascii.h"
#include "text/command_line.h"

extern char** environ;

namespace platform {
namespace {

using ascii::EqualNoCase;

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The parts of a Windows name below some folder. nullopt when it cannot name a file there:
// empty parts (doubled or trailing separators), "..", a drive colon or a NUL.
std::optional<std::vector<std::string>> Components(std::string_view name) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) ++end;
        const std::string_view part = name.substr(start, end - start);
        if (part.empty() || part == ".." ||
            part.find_first_of(std::string_view(":\0", 2)) != std::string_view::npos) {
            return std::nullopt;
        }
        if (part != ".") parts.emplace_back(part);
        if (end == name.size()) break;
        start = end + 1;
    }
    if (parts.empty()) return std::nullopt;
    return parts;
}

bool IsRegularFile(const std::string& path, struct stat* info = nullptr) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (info != nullptr) *info = st;
    return true;
}

// A regular file at folder/parts..., each part matched without regard to case; "" if none.
std::string Resolve(std::string folder, const std::vector<std::string>& parts) {
    for (const std::string& part : parts) {
        const std::string entry = FindEntryNoCase(folder, part);
        if (entry.empty()) return "";
        folder = (folder == "/" ? "" : folder) + "/" + entry;
    }
    return IsRegularFile(folder) ? folder : "";
}

std::string BaseName(std::string_view folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
    const std::size_t slash = folder.rfind('/');
    return std::string(slash == std::string_view::npos ? folder : folder.substr(slash + 1));
}

// A Windows path from the root of a drive ("c:\windows\...", "\windows\...") stands for a
// file in our Windows folder when its first part is that folder's own name.
std::string ResolveRooted(const std::string& windowsFolder, std::string_view path) {
    if (windowsFolder.empty()) return "";
    if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':') path.remove_prefix(2);
    if (path.empty() || !IsSeparator(path[0])) return "";
    path.remove_prefix(1);
    auto parts = Components(path);
    if (!parts || parts->size() < 2 || !EqualNoCase(parts->front(), BaseName(windowsFolder))) {
        return "";
    }
    parts->erase(parts->begin());
    return Resolve(windowsFolder, *parts);
}

bool IsWindowsRooted(std::string_view path) {
    return (!path.empty() && path[0] == '\\') ||
           (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':');
}

// What Windows would refuse as a file name (ERROR_INVALID_NAME) before looking for it.
bool IsInvalidWindowsName(std::string_view path) {
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (c < 0x20 ||
            std::string_view("<>\"|?*").find(static_cast<char>(c)) != std::string_view::npos) {
            return true;
        }
        if (c == ':' && !(i == 1 && IsDriveLetter(path[0]))) return true;
    }
    return false;
}

}  // namespace

// The entry of a folder with this name, compared without regard to ASCII case as a Windows
// file system would. An exact match wins; among others the first in byte order, so the
// answer does not depend on the order of the listing.
std::string FindEntryNoCase(const std::string& folder, const std::string& name) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return "";
    std::string best;
    while (const dirent* entry = readdir(dir)) {
        const std::string_view candidate(entry->d_name);
        if (candidate == name) {
            best = name;
            break;
        }
        if (EqualNoCase(candidate, name) && (best.empty() || candidate < best)) {
            best = std::string(candidate);
        }
    }
    closedir(dir);
    return best;
}

std::optional<FixedFileVersion> ReadPeFileVersionFile(const std::string& path) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) return std::nullopt;
    struct stat st {};
    if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
        static_cast<std::uint64_t>(st.st_size) > kMaxPeFileSize) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> data(static_cast<std::size_t>(st.st_size));
    std::size_t filled = 0;
    while (filled < data.size()) {
        const ssize_t got = read(fd.get(), data.data() + filled, data.size() - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) break;  // the file shrank meanwhile: parse what is there
        filled += static_cast<std::size_t>(got);
    }
    return ReadPeFileVersion(data.data(), filled);
}

PosixPlatform::PosixPlatform(std::function<bool(OsVersion&)> versionQuery,
                             std::string windowsFolder, std::string startFolder)
    : versionQuery_(std::move(versionQuery)),
      windowsFolder_(std::move(windowsFolder)),
      startFolder_(std::move(startFolder)) {
    while (windowsFolder_.size() > 1 && windowsFolder_.back() == '/') windowsFolder_.pop_back();
}

bool PosixPlatform::GetVersionEx(OsVersion& out) {
    return versionQuery_ && versionQuery_(out);
}

std::optional<FixedFileVersion> PosixPlatform::FileVersion(const std::string& name) {
    const std::string path = LocateFile(name);
    if (path.empty()) return std::nullopt;
    return ReadPeFileVersionFile(path);
}

std::string PosixPlatform::LocateFile(const std::string& name) {
    if (windowsFolder_.empty() || name.empty()) return "";
    if (IsWindowsRooted(name)) return ResolveRooted(windowsFolder_, name);
    const auto parts = Components(name);
    if (!parts) return "";
    // The version functions' order for bare and relative names: system, 16-bit system,
    // then the Windows folder itself.
    for (const char* folder : {"system32", "system", ""}) {
        std::string base = windowsFolder_;
        if (*folder != '\0') {
            const std::string entry = FindEntryNoCase(windowsFolder_, folder);
            if (entry.empty()) continue;
            base += "/" + entry;
        }
        std::string found = Resolve(base, *parts);
        if (!found.empty()) return found;
    }
    return "";
}

FileSize PosixPlatform::SizeOfFile(const std::string& path) {
    FileSize result;
    if (path.empty() || path.find('\0') != std::string::npos) {
        result.failure = SizeFailure::InvalidName;
        return result;
    }
    std::string found;
    if (path.front() == '/') {
        // A Linux path, perhaps with Windows parts appended ("<start folder>\system32\...").
        std::string unixPath = path;
        std::replace(unixPath.begin(), unixPath.end(), '\\', '/');
        if (IsRegularFile(unixPath)) {
            found = unixPath;
        } else if (const auto parts = Components(std::string_view(unixPath).substr(1))) {
            found = Resolve("/", *parts);
        }
    } else if (IsInvalidWindowsName(path)) {
        result.failure = SizeFailure::InvalidName;
        return result;
    } else if (IsWindowsRooted(path)) {
        found = ResolveRooted(windowsFolder_, path);
    } else if (const auto parts = Components(path)) {
        found = Resolve(".", *parts);
    }
    struct stat st {};
    if (found.empty() || !IsRegularFile(found, &st)) return result;
    result.bytes = static_cast<std::uint64_t>(st.st_size);
    result.failure = SizeFailure::None;
    return result;
}

bool PosixPlatform::StartProcess(const std::string& commandLine) {
    const CommandLine split = SplitCommandLine(commandLine);
    if (split.program.empty()) return false;

    std::vector<std::string> strings;
    strings.push_back(split.program);
    strings.insert(strings.end(), split.arguments.begin(), split.arguments.end());
    std::vector<char*> argv;
    for (std::string& s : strings) argv.push_back(s.data());
    argv.push_back(nullptr);

    // The started program must not read the headless driver's commands or write into its
    // transcript; its error output stays visible.
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (posix_spawn_file_actions_init(&actions) != 0) return false;
    if (posix_spawnattr_init(&attributes) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return false;
    }
    sigset_t defaults;
    sigset_t mask;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGCHLD);
    sigaddset(&defaults, SIGPIPE);
    sigemptyset(&mask);
    bool ready =
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0) == 0 &&
        posix_spawnattr_setsigdefault(&attributes, &defaults) == 0 &&
        posix_spawnattr_setsigmask(&attributes, &mask) == 0 &&
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK) == 0;

    // Double start: an intermediate child spawns the program and exits with the spawn's
    // verdict, so the program is adopted (and reaped) by init, nothing of ours stays a
    // zombie, and a program that cannot be executed is still reported. The system runs one
    // thread, so the forked child may go on to spawn.
    bool started = false;
    if (ready) {
        const pid_t middle = fork();
        if (middle == 0) {
            pid_t program = 0;
            const int rc =
                posix_spawnp(&program, argv[0], &actions, &attributes, argv.data(), environ);
            _exit(rc == 0 ? 0 : 1);
        }
        if (middle > 0) {
            int status = 0;
            pid_t waited = 0;
            do {
                waited = waitpid(middle, &status, 0);
            } while (waited < 0 && errno == EINTR);
            started = waited == middle && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return started;
}

}  // namespace platform
