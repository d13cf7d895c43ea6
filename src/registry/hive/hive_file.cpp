#include "registry/hive/hive_file.h"

#include <fcntl.h>
#include <hivex.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "registry/hive/hive_format.h"

using platform::hive::kBaseBlockSize;

namespace platform {

void (*HiveFile::fault_hook)(int step) = nullptr;

namespace {

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

void Step(int step) {
    if (HiveFile::fault_hook) HiveFile::fault_hook(step);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Puts the added keys into Windows' order, gives the file the hive's permissions and syncs it.
bool FinishFile(const std::string& path, unsigned mode, const std::vector<hive::AddedKey>& added,
                bool* reordered, std::string* reason) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        *reason = std::strerror(errno);
        return false;
    }
    if (!added.empty() && !hive::PlaceAddedKeys(fd, added, reordered, reason)) {
        ::close(fd);
        return false;
    }
    // The new file takes the hive's permissions (hivex makes it with the default ones).
    bool ok = ::fchmod(fd, mode) == 0 || errno == EPERM || errno == ENOTSUP;
    ok = ok && ::fsync(fd) == 0;
    if (!ok) *reason = std::strerror(errno);
    ::close(fd);
    return ok;
}

}  // namespace

std::unique_ptr<HiveFile> HiveFile::Open(const std::string& path, bool writable,
                                         std::string* error) {
    const auto fail = [&](const std::string& message) {
        if (error) *error = message;
        return std::unique_ptr<HiveFile>();
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return fail("cannot open " + Quoted(path) + ": " + std::strerror(errno));
    struct stat info {};
    std::string head(kBaseBlockSize, '\0');
    ssize_t got = -1;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        got = ::pread(fd, head.data(), head.size(), 0);
    }
    ::close(fd);
    if (!S_ISREG(info.st_mode)) return fail(Quoted(path) + " is not a file");
    if (got < 0) return fail("cannot read " + Quoted(path) + ": " + std::strerror(errno));
    head.resize(static_cast<std::size_t>(got));
    hive::Header header;
    const std::string problem =
        hive::ReadHeader(head, static_cast<std::uint64_t>(info.st_size), &header);
    if (!problem.empty()) {
        return fail(Quoted(path) + " is not a registry hive (" + problem +
                    "): check that the folder given is an XP installation's Windows folder");
    }
    if (header.sequence1 != header.sequence2) {
        return fail(Quoted(path) +
                    " was not closed cleanly: its last write was not completed (Windows was "
                    "not shut down, or was hibernated) and its log must be replayed. Start "
                    "that Windows once and shut it down normally, then try again; nothing "
                    "was changed");
    }
    std::unique_ptr<HiveFile> file(new HiveFile(path, writable));
    file->minor_ = header.minor;
    file->mode_ = info.st_mode & 07777;
    if (writable) {
        file->folder_ = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (file->folder_ < 0) {
            return fail("cannot open the folder of " + Quoted(path) + ": " + std::strerror(errno));
        }
    }
    std::string reason;
    if (!file->Load(&reason)) return fail(Quoted(path) + ": libhivex cannot read it: " + reason);
    return file;
}

HiveFile::~HiveFile() {
    if (hive_) hivex_close(hive_);
    if (folder_ >= 0) ::close(folder_);
}

bool HiveFile::Load(std::string* reason) {
    added_.clear();
    if (hive_) hivex_close(hive_);
    hive_ = hivex_open(path_.c_str(), writable_ ? HIVEX_OPEN_WRITE : 0);
    if (!hive_) {
        *reason = std::strerror(errno);
        return false;
    }
    Remember();
    return true;
}

void HiveFile::Remember() {
    struct stat info {};
    if (::stat(path_.c_str(), &info) != 0) return;
    device_ = static_cast<std::uint64_t>(info.st_dev);
    inode_ = static_cast<std::uint64_t>(info.st_ino);
    size_ = static_cast<std::int64_t>(info.st_size);
    mtimeNs_ = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

bool HiveFile::Unchanged() const {
    struct stat info {};
    return ::stat(path_.c_str(), &info) == 0 &&
           static_cast<std::uint64_t>(info.st_dev) == device_ &&
           static_cast<std::uint64_t>(info.st_ino) == inode_ && info.st_size == size_ &&
           static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec ==
               mtimeNs_;
}

void HiveFile::RemoveLeftovers() {
    // A commit killed before its rename leaves its new file: it never was the hive.
    if (writable_) ::unlink(NewFileName(path_).c_str());
}

bool HiveFile::Reload(std::string* reason) {
    return Load(reason);
}

bool HiveFile::Commit(std::string* reason) {
    const auto fail = [&](const std::string& why) {
        *reason = Quoted(path_) + ": " + why;
        std::string again;
        if (!Load(&again)) *reason += "; reading it again failed: " + again;
        return false;
    };
    if (!hive_ || !writable_) return fail("the hive is not open for writing");
    if (!Unchanged()) {
        return fail("the file was changed or moved by another program since it was read");
    }
    const std::string fresh = NewFileName(path_);
    Step(1);
    if (hivex_commit(hive_, fresh.c_str(), 0) != 0) {
        const std::string why = std::strerror(errno);
        ::unlink(fresh.c_str());
        return fail("cannot write " + Quoted(fresh) + ": " + why);
    }
    Step(2);
    std::string why;
    bool reordered = false;
    if (!FinishFile(fresh, mode_, added_, &reordered, &why)) {
        ::unlink(fresh.c_str());
        return fail("cannot sync " + Quoted(fresh) + ": " + why);
    }
    Step(3);
    if (::rename(fresh.c_str(), path_.c_str()) != 0) {
        why = std::strerror(errno);
        ::unlink(fresh.c_str());
        return fail("cannot rename the new hive over it: " + why);
    }
    Step(4);
    // The rename itself is durable only once the folder is.
    if (::fsync(folder_) != 0 && errno != EINVAL) {
        *reason = Quoted(path_) + ": cannot sync its folder: " + std::strerror(errno);
        Remember();
        return false;
    }
    Step(5);
    added_.clear();
    // The file now differs from libhivex's copy in the order of some keys: read it again.
    if (reordered && !Load(reason)) {
        *reason = Quoted(path_) + ": cannot read it again: " + *reason;
        return false;
    }
    Remember();
    return true;
}

}  // namespace platform
