#include "registry/hive/hive_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "registry/hive/hive_format.h"
#include "registry/hive/hive_keys.h"

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

void Put32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t Get32(const std::uint8_t* at) {
    return at[0] | (at[1] << 8) | (at[2] << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

// The whole file; false with errno set when it cannot be read.
bool ReadAll(const std::string& path, std::vector<std::uint8_t>* bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0;
    if (ok) {
        bytes->reserve(hive::SpareRoom(static_cast<std::size_t>(info.st_size)));
        bytes->resize(static_cast<std::size_t>(info.st_size));
    }
    for (std::size_t done = 0; ok && done < bytes->size();) {
        const ssize_t got =
            ::pread(fd, bytes->data() + done, bytes->size() - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (got == 0) errno = EIO;  // shorter than it said
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return ok;
}

bool WriteAll(int fd, const std::vector<std::uint8_t>& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
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
    if (header.minor < 3 || header.minor > 5) {
        return fail(Quoted(path) + " is a hive of format 1." + std::to_string(header.minor) +
                    ", which Windows XP does not use: give the Windows folder of an XP "
                    "installation");
    }
    std::unique_ptr<HiveFile> file(new HiveFile(path, writable));
    file->mode_ = info.st_mode & 07777;
    if (writable) {
        file->folder_ = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (file->folder_ < 0) {
            return fail("cannot open the folder of " + Quoted(path) + ": " + std::strerror(errno));
        }
    }
    std::string reason;
    if (!file->Load(&reason)) return fail(reason);
    return file;
}

HiveFile::~HiveFile() {
    if (folder_ >= 0) ::close(folder_);
}

bool HiveFile::Load(std::string* reason) {
    hive_.reset();
    std::vector<std::uint8_t> bytes;
    if (!ReadAll(path_, &bytes)) {
        *reason = "cannot read " + Quoted(path_) + ": " + std::strerror(errno);
        return false;
    }
    std::string problem;
    hive_ = hive::Hive::Load(std::move(bytes), &problem);
    if (!hive_) {
        *reason = Quoted(path_) + " is a damaged hive (" + problem +
                  "): nothing was changed; start that Windows once so that it checks its "
                  "registry, or put back a copy of the hive from a backup";
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
    // The header as Windows leaves it after a completed write: both sequence numbers one
    // further, the time of the last change, the checksum.
    std::uint8_t* base = hive_->base_block();
    const std::uint32_t sequence = Get32(base + 4) + 1;
    Put32(base + 4, sequence);
    Put32(base + 8, sequence);
    const std::uint64_t time = hive_->last_change() ? hive_->last_change() : hive::FileTimeNow();
    Put32(base + 12, static_cast<std::uint32_t>(time));
    Put32(base + 16, static_cast<std::uint32_t>(time >> 32));
    Put32(base + 0x1FC, hive::HeaderChecksum(base));

    const std::string fresh = NewFileName(path_);
    Step(1);
    const int fd =
        ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return fail("cannot create " + Quoted(fresh) + ": " + std::strerror(errno));
    bool ok = WriteAll(fd, hive_->bytes());
    std::string why = ok ? "" : "cannot write " + Quoted(fresh) + ": " + std::strerror(errno);
    if (ok) Step(2);
    // The new file takes the hive's permissions.
    if (ok && ::fchmod(fd, mode_) != 0 && errno != EPERM && errno != ENOTSUP) {
        ok = false;
        why = "cannot set the permissions of " + Quoted(fresh) + ": " + std::strerror(errno);
    }
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        why = "cannot sync " + Quoted(fresh) + ": " + std::strerror(errno);
    }
    ::close(fd);
    if (!ok) {
        ::unlink(fresh.c_str());
        return fail(why);
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
        hive_->ClearDirty();
        Remember();
        return false;
    }
    Step(5);
    hive_->ClearDirty();
    Remember();
    return true;
}

}  // namespace platform
