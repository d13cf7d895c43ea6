#include "support/file_calls_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace testing_support {

namespace {

std::string PathOf(int fd) {
    char link[PATH_MAX];
    const ssize_t n =
        ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), link, sizeof link);
    return n > 0 ? std::string(link, static_cast<std::size_t>(n)) : "?";
}

using Calls = platform::hive::FileCalls;

}  // namespace

ssize_t RecordingCalls::Write(int fd, const void* data, std::size_t size, off_t offset) {
    const ssize_t n = Calls::Write(fd, data, size, offset);
    if (n > 0) {
        ops.push_back({FileOp::kWrite, PathOf(fd), offset, n,
                       std::string(static_cast<const char*>(data), static_cast<std::size_t>(n))});
    }
    return n;
}
int RecordingCalls::Sync(int fd) {
    return Record(Calls::Sync(fd), {FileOp::kSync, PathOf(fd), 0, 0, {}});
}
int RecordingCalls::SyncData(int fd) {
    return Record(Calls::SyncData(fd), {FileOp::kSync, PathOf(fd), 0, 0, {}});
}
int RecordingCalls::Truncate(int fd, off_t size) {
    return Record(Calls::Truncate(fd, size), {FileOp::kTruncate, PathOf(fd), 0, size, {}});
}
int RecordingCalls::Allocate(int fd, off_t offset, off_t size) {
    return Record(Calls::Allocate(fd, offset, size),
                  {FileOp::kAllocate, PathOf(fd), offset, size, {}});
}
int RecordingCalls::Create(int folder, const char* name) {
    const int fd = Calls::Create(folder, name);
    if (fd >= 0) ops.push_back({FileOp::kCreate, PathOf(folder) + "/" + name, 0, 0, {}});
    return fd;
}
int RecordingCalls::Remove(int folder, const char* name) {
    return Record(Calls::Remove(folder, name),
                  {FileOp::kRemove, PathOf(folder) + "/" + name, 0, 0, {}});
}
int RecordingCalls::Record(int result, FileOp op) {
    if (result == 0) ops.push_back(std::move(op));
    return result;
}

bool FailingCalls::Fails() {
    ++calls;
    if (calls == failAt_ || (failAfter_ && calls > failAt_)) {
        errno = error_;
        return true;
    }
    return false;
}
ssize_t FailingCalls::Write(int fd, const void* data, std::size_t size, off_t offset) {
    return Fails() ? -1 : Calls::Write(fd, data, size, offset);
}
int FailingCalls::Sync(int fd) {
    return Fails() ? -1 : Calls::Sync(fd);
}
int FailingCalls::SyncData(int fd) {
    return Fails() ? -1 : Calls::SyncData(fd);
}
int FailingCalls::Truncate(int fd, off_t size) {
    return Fails() ? -1 : Calls::Truncate(fd, size);
}
int FailingCalls::Allocate(int fd, off_t offset, off_t size) {
    return Fails() ? -1 : Calls::Allocate(fd, offset, size);
}
int FailingCalls::Create(int folder, const char* name) {
    return Fails() ? -1 : Calls::Create(folder, name);
}
int FailingCalls::Remove(int folder, const char* name) {
    return Fails() ? -1 : Calls::Remove(folder, name);
}
int FailingCalls::Own(int fd, uid_t owner, gid_t group, mode_t mode) {
    return Fails() ? -1 : Calls::Own(fd, owner, group, mode);
}

std::vector<PowerCut> PowerCuts(const std::vector<FileOp>& ops) {
    std::vector<PowerCut> cuts;
    for (std::size_t calls = 0; calls <= ops.size(); ++calls) {
        cuts.push_back({calls, PowerCut::kAllLanded});
        cuts.push_back({calls, PowerCut::kUnsyncedLost});
        if (calls > 0 && ops[calls - 1].kind == FileOp::kWrite &&
            ops[calls - 1].data.size() >= 1024) {
            cuts.push_back({calls, PowerCut::kLastTorn});
        }
        for (std::size_t i = 0; i < calls; ++i) {
            if (ops[i].kind != FileOp::kWrite) continue;
            bool synced = false;
            for (std::size_t j = i + 1; j < calls; ++j) {
                synced = synced || (ops[j].kind == FileOp::kSync && ops[j].path == ops[i].path);
            }
            if (!synced) cuts.push_back({calls, PowerCut::kOneLost, i});
        }
    }
    return cuts;
}

std::string Replay(const std::vector<FileOp>& ops, const PowerCut& cut, const std::string& from,
                   const std::string& to) {
    const auto map = [&](const std::string& path) { return to + path.substr(from.size()); };
    const auto syncedLater = [&](std::size_t i, const std::string& path) {
        for (std::size_t j = i + 1; j < cut.calls; ++j) {
            if (ops[j].kind == FileOp::kSync && ops[j].path == path) return true;
        }
        return false;
    };
    const auto folderOf = [](const std::string& path) { return path.substr(0, path.rfind('/')); };
    std::vector<std::string> dropped;  // files whose making was lost
    for (std::size_t i = 0; i < cut.calls; ++i) {
        const FileOp& op = ops[i];
        const bool entry = op.kind == FileOp::kCreate || op.kind == FileOp::kRemove;
        const bool durable = syncedLater(i, entry ? folderOf(op.path) : op.path);
        if (cut.kind == PowerCut::kUnsyncedLost && !durable) {
            if (op.kind == FileOp::kCreate) dropped.push_back(op.path);
            continue;
        }
        if (cut.kind == PowerCut::kOneLost && i == cut.lost) continue;
        if (std::find(dropped.begin(), dropped.end(), op.path) != dropped.end()) continue;
        const std::string path = map(op.path);
        const auto failed = [&](const char* what) {
            return std::string(what) + " " + path + ": " + std::strerror(errno);
        };
        switch (op.kind) {
            case FileOp::kWrite: {
                std::string data = op.data;
                if (cut.kind == PowerCut::kLastTorn && i + 1 == cut.calls) {
                    data.resize(data.size() / 2 / 512 * 512);
                }
                const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
                if (fd < 0) return failed("open");
                const bool wrote = ::pwrite(fd, data.data(), data.size(), op.offset) ==
                                   static_cast<ssize_t>(data.size());
                ::close(fd);
                if (!wrote) return failed("write");
                break;
            }
            case FileOp::kTruncate:
                if (::truncate(path.c_str(), op.size) != 0) return failed("truncate");
                break;
            case FileOp::kAllocate: {
                struct stat info {};
                if (::stat(path.c_str(), &info) != 0) return failed("stat");
                if (info.st_size < op.offset + op.size &&
                    ::truncate(path.c_str(), op.offset + op.size) != 0) {
                    return failed("truncate");
                }
                break;
            }
            case FileOp::kCreate: {
                const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
                if (fd < 0) return failed("create");
                ::close(fd);
                break;
            }
            case FileOp::kRemove:
                if (::unlink(path.c_str()) != 0 && errno != ENOENT) return failed("remove");
                break;
            case FileOp::kSync:
                break;
        }
    }
    return "";
}

}  // namespace testing_support
