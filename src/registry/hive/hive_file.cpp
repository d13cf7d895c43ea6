#include "registry/hive/hive_file.h"

#include <hivex.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "registry/hive/hive_format.h"

namespace platform {

namespace {

// A file in memory, named for libhivex (which reads and writes hives by file name only).
class MemoryFile {
  public:
    MemoryFile() : fd_(::memfd_create("calvenor-hive", MFD_CLOEXEC)) {}
    ~MemoryFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    std::string name() const { return "/proc/self/fd/" + std::to_string(fd_); }
    bool Write(const std::string& bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    bool Read(std::string* bytes) const {
        const off_t size = ::lseek(fd_, 0, SEEK_END);
        if (size < 0) return false;
        bytes->assign(static_cast<std::size_t>(size), '\0');
        std::size_t done = 0;
        while (done < bytes->size()) {
            const ssize_t n =
                ::pread(fd_, bytes->data() + done, bytes->size() - done, static_cast<off_t>(done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

  private:
    int fd_;
};

}  // namespace

std::unique_ptr<HiveFile> HiveFile::Load(std::string path, std::string image, bool writable,
                                         std::string* error) {
    std::unique_ptr<HiveFile> file(new HiveFile(std::move(path), writable));
    hive::Header header;
    hive::ReadHeader(image, image.size(), &header);
    file->minor_ = header.minor;
    std::string reason;
    if (!file->Read(image, &reason)) {
        if (error) *error = "\"" + file->path_ + "\": libhivex cannot read it: " + reason;
        return nullptr;
    }
    file->disk_ = std::move(image);
    return file;
}

HiveFile::~HiveFile() {
    if (hive_) hivex_close(hive_);
}

bool HiveFile::Read(const std::string& bytes, std::string* reason) {
    added_.clear();
    if (hive_) hivex_close(hive_);
    hive_ = nullptr;
    MemoryFile memory;
    if (!memory.ok() || !memory.Write(bytes)) {
        *reason = std::strerror(errno);
        return false;
    }
    hive_ = hivex_open(memory.name().c_str(), writable_ ? HIVEX_OPEN_WRITE : 0);
    if (!hive_) {
        *reason = std::strerror(errno);
        return false;
    }
    return true;
}

bool HiveFile::Reload(std::string* reason) {
    return Read(disk_, reason);
}

bool HiveFile::Prepare(std::size_t index, hive::Journal::Change* change, std::string* reason) {
    if (!hive_ || !writable_) {
        *reason = "\"" + path_ + "\": the hive is not open for writing";
        return false;
    }
    MemoryFile memory;
    reordered_ = false;
    if (!memory.ok() || hivex_commit(hive_, memory.name().c_str(), 0) != 0) {
        *reason = "\"" + path_ + "\": libhivex cannot write it: " + std::strerror(errno);
        return false;
    }
    if (!added_.empty() && !hive::PlaceAddedKeys(memory.fd(), added_, &reordered_, reason)) {
        *reason = "\"" + path_ + "\": " + *reason;
        return false;
    }
    if (!memory.Read(&next_)) {
        *reason = "\"" + path_ + "\": " + std::strerror(errno);
        return false;
    }
    // The pages that differ from the disk's, and every page the hive grew by.
    change->hive = index;
    change->runs.clear();
    const std::size_t bins =
        next_.size() < hive::kBaseBlockSize ? 0 : next_.size() - hive::kBaseBlockSize;
    for (std::size_t page = 0; page < bins; page += hive::kSectorSize) {
        const std::size_t at = hive::kBaseBlockSize + page;
        if (at + hive::kSectorSize <= disk_.size() &&
            std::memcmp(next_.data() + at, disk_.data() + at, hive::kSectorSize) == 0) {
            continue;
        }
        auto& runs = change->runs;
        if (!runs.empty() && runs.back().offset + runs.back().size == page) {
            runs.back().size += hive::kSectorSize;
        } else {
            runs.push_back(
                {static_cast<std::uint32_t>(page), static_cast<std::uint32_t>(hive::kSectorSize)});
        }
    }
    change->image = {reinterpret_cast<std::uint8_t*>(next_.data()), next_.size()};
    return true;
}

bool HiveFile::Finish(bool written, std::string* reason) {
    if (written) {
        disk_ = std::move(next_);
        added_.clear();
        // libhivex's copy lacks the order the commit gave new keys: it reads the hive again.
        if (reordered_) return Read(disk_, reason);
        return true;
    }
    next_.clear();
    return Read(disk_, reason);
}

}  // namespace platform
