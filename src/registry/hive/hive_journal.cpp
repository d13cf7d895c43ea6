#include "registry/hive/hive_journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>

#include "platform/posix/posix_platform.h"

namespace platform::hive {

ssize_t FileCalls::Write(int fd, const void* data, std::size_t size, off_t offset) {
    return ::pwrite(fd, data, size, offset);
}
int FileCalls::Sync(int fd) {
    return ::fsync(fd);
}
int FileCalls::SyncData(int fd) {
    return ::fdatasync(fd);
}
int FileCalls::Truncate(int fd, off_t size) {
    return ::ftruncate(fd, size);
}
int FileCalls::Allocate(int fd, off_t offset, off_t size) {
    const int error = ::posix_fallocate(fd, offset, size);
    if (error == 0) return 0;
    errno = error;
    return -1;
}
int FileCalls::Create(int folder, const char* name) {
    return ::openat(folder, name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}
int FileCalls::Remove(int folder, const char* name) {
    return ::unlinkat(folder, name, 0);
}
int FileCalls::Own(int fd, uid_t owner, gid_t group, mode_t mode) {
    if (::fchown(fd, owner, group) != 0) return -1;
    return ::fchmod(fd, mode);
}

namespace {

FileCalls gSystemCalls;
FileCalls* gCalls = &gSystemCalls;

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

std::string Why() {
    return std::strerror(errno);
}

std::string WriteAll(int fd, const void* data, std::size_t size, off_t offset) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = Files().Write(fd, p, size, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n == 0 ? std::strerror(ENOSPC) : Why();
        p += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return "";
}

std::string ReadAll(int fd, std::string* bytes) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return Why();
    bytes->assign(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t done = 0;
    while (done < bytes->size()) {
        const ssize_t n =
            ::pread(fd, bytes->data() + done, bytes->size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Why();
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    bytes->resize(done);
    return "";
}

// A folder's entries made durable; file systems that cannot sync a folder say EINVAL.
bool SyncFolder(int fd) {
    return Files().Sync(fd) == 0 || errno == EINVAL;
}

// The owner and mode of a file made here are the hive's; a file system that keeps neither
// (FAT, ntfs-3g without a user mapping) refuses, which is no failure.
bool OwnLike(int fd, std::uint32_t uid, std::uint32_t gid, std::uint32_t mode) {
    if (Files().Own(fd, uid, gid, mode) == 0) return true;
    return errno == EPERM || errno == ENOTSUP || errno == EOPNOTSUPP || errno == EINVAL ||
           errno == ENOSYS;
}

std::uint64_t Now() {
    timespec t{};
    ::clock_gettime(CLOCK_REALTIME, &t);
    return FileTime(static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec);
}

std::uint8_t* Bytes(std::string& s) {
    return reinterpret_cast<std::uint8_t*>(s.data());
}
const std::uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

// A header sector with its sequence numbers and time set, checksum updated.
std::string WithNumbers(std::string header, std::uint32_t sequence1, std::uint32_t sequence2,
                        std::uint64_t time) {
    PutLe32(Bytes(header) + field::kSequence1, sequence1);
    PutLe32(Bytes(header) + field::kSequence2, sequence2);
    PutLe64(Bytes(header) + field::kTimeStamp, time);
    SetHeaderChecksum(Bytes(header));
    return header;
}

// FNV-1a: tells the log a group record names from any other.
std::uint64_t Digest(std::string_view bytes) {
    std::uint64_t hash = 0xCBF29CE484222325ULL;
    for (const char c : bytes) {
        hash ^= static_cast<std::uint8_t>(c);
        hash *= 0x100000001B3ULL;
    }
    return hash;
}

// One hive of a group record: its header before the group, the log's numbers, the log itself.
struct RecordEntry {
    std::string name;
    std::uint32_t oldSequence = 0;
    std::uint64_t oldTime = 0;
    std::uint32_t sequence = 0;
    std::uint64_t time = 0;
    std::uint64_t logSize = 0;
    std::uint64_t digest = 0;
};

constexpr const char* kRecordFirstLine = "calvenor group 1";

std::string RecordText(const std::vector<RecordEntry>& entries) {
    std::ostringstream out;
    out << kRecordFirstLine << "\n";
    for (const RecordEntry& e : entries) {
        out << e.name << ' ' << e.oldSequence << ' ' << e.oldTime << ' ' << e.sequence << ' '
            << e.time << ' ' << e.logSize << ' ' << e.digest << "\n";
    }
    out << "end\n";
    return out.str();
}

// A record as RecordText writes it, whole ("end" last), or false.
bool ParseRecord(const std::string& text, std::vector<RecordEntry>* entries) {
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kRecordFirstLine) return false;
    entries->clear();
    while (std::getline(in, line)) {
        if (line == "end") return entries->size() >= 2 && in.peek() == EOF;
        std::istringstream fields(line);
        RecordEntry e;
        std::string rest;
        if (!(fields >> e.name >> e.oldSequence >> e.oldTime >> e.sequence >> e.time >> e.logSize >>
              e.digest) ||
            (fields >> rest)) {
            return false;
        }
        entries->push_back(e);
    }
    return false;
}

constexpr const char* kNotClosed =
    " was not closed cleanly: its last write was not completed (Windows was not shut down, or "
    "was hibernated)";
constexpr const char* kShutDown =
    ". Start that Windows once and shut it down normally, then try again; nothing was changed";

}  // namespace

FileCalls& Files() {
    return *gCalls;
}

void UseFileCalls(FileCalls* calls) {
    gCalls = calls ? calls : &gSystemCalls;
}

// --- opening ---

std::unique_ptr<Journal> Journal::Open(const std::string& folder,
                                       const std::vector<std::string>& names, bool writable,
                                       std::string* error) {
    const auto fail = [&](const std::string& message) {
        if (error) *error = message;
        return std::unique_ptr<Journal>();
    };
    std::unique_ptr<Journal> journal(new Journal());
    journal->folder_ = folder;
    journal->writable_ = writable;
    journal->folderFd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (journal->folderFd_ < 0) return fail("cannot open " + Quoted(folder) + ": " + Why());
    for (const std::string& name : names) {
        Hive hive;
        hive.name = name;
        hive.path = folder + "/" + name;
        const std::string log = FindEntryNoCase(folder, name + ".LOG");
        hive.logName = log.empty() ? name + ".LOG" : log;
        hive.logPath = folder + "/" + hive.logName;
        hive.logMissing = log.empty();
        journal->hives_.push_back(std::move(hive));
        if (const std::string problem = journal->ReadHive(journal->hives_.back());
            !problem.empty()) {
            return fail(problem);
        }
    }
    if (const std::string problem = journal->Recover(); !problem.empty()) return fail(problem);
    return journal;
}

Journal::~Journal() {
    for (const Hive& hive : hives_) {
        if (hive.fd >= 0) ::close(hive.fd);
        if (hive.logFd >= 0) ::close(hive.logFd);
    }
    if (folderFd_ >= 0) ::close(folderFd_);
}

std::string Journal::ReadHive(Hive& hive) {
    // A hive is written in place: through a link it would be another file than the one this
    // folder holds, maybe one that is no hive at all. Reading through one is harmless.
    const int noFollow = writable_ ? O_NOFOLLOW : 0;
    const int access = writable_ ? O_RDWR : O_RDONLY;
    const auto open = [&](const std::string& path, int* fd) -> std::string {
        *fd = ::open(path.c_str(), access | noFollow | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (*fd < 0 && errno == ELOOP) {
            return Quoted(path) +
                   " is a symbolic link: hives and their logs are written in place, so "
                   "calvenor writes only the files themselves (put the file there, or use "
                   "--export, which only reads); nothing was changed";
        }
        if (*fd < 0) return "cannot open " + Quoted(path) + ": " + Why();
        struct stat info {};
        if (::fstat(*fd, &info) != 0) return "cannot read " + Quoted(path) + ": " + Why();
        if (!S_ISREG(info.st_mode)) return Quoted(path) + " is not a file";
        return "";
    };
    if (std::string problem = open(hive.path, &hive.fd); !problem.empty()) return problem;
    if (!hive.logMissing) {
        if (std::string problem = open(hive.logPath, &hive.logFd); !problem.empty()) {
            return problem;
        }
    }
    struct stat info {};
    ::fstat(hive.fd, &info);
    hive.uid = info.st_uid;
    hive.gid = info.st_gid;
    hive.mode = info.st_mode & 07777;
    std::string bytes;
    if (const std::string problem = ReadAll(hive.fd, &bytes); !problem.empty()) {
        return "cannot read " + Quoted(hive.path) + ": " + problem;
    }
    Header header;
    if (const std::string problem = ReadHeader(bytes, bytes.size(), &header); !problem.empty()) {
        return Quoted(hive.path) + " is not a registry hive (" + problem +
               "): check that the folder given is an XP installation's Windows folder";
    }
    bytes.resize(kBaseBlockSize + header.binsSize);
    hive.image = std::move(bytes);
    hive.header = hive.image.substr(0, kSectorSize);
    // A hive whose last write was not completed is checked once its log is applied.
    if (header.sequence1 == header.sequence2) {
        const std::string problem =
            CheckBins(Bytes(hive.image) + kBaseBlockSize, header.binsSize, &hive.bins);
        if (!problem.empty()) return Quoted(hive.path) + " is damaged: " + problem;
    }
    Remember(hive);
    return "";
}

std::string Journal::ReadLogFile(const Hive& hive, std::string* bytes) const {
    bytes->clear();
    if (hive.logFd < 0) return "";
    return ReadAll(hive.logFd, bytes);
}

std::string Journal::Recover() {
    // The group record, if a group was cut short (or its record outlived it).
    std::string recordText;
    const int record = ::openat(folderFd_, kGroupRecord, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (record < 0 && errno != ENOENT) {
        return "cannot read " + Quoted(folder_ + "/" + kGroupRecord) + ": " + Why();
    }
    std::vector<RecordEntry> entries;
    if (record >= 0) {
        const std::string problem = ReadAll(record, &recordText);
        ::close(record);
        if (!problem.empty()) {
            return "cannot read " + Quoted(folder_ + "/" + kGroupRecord) + ": " + problem;
        }
        removeRecord_ = true;
        if (!ParseRecord(recordText, &entries)) entries.clear();
    }
    // The logs that may be needed: those of hives not completed, and all where a group was.
    std::vector<std::string> logs(hives_.size());
    std::vector<Log> parsed(hives_.size());
    std::vector<std::string> logProblems(hives_.size());
    for (std::size_t i = 0; i < hives_.size(); ++i) {
        Hive& hive = hives_[i];
        const bool dirty = Le32(Bytes(hive.header) + field::kSequence1) !=
                           Le32(Bytes(hive.header) + field::kSequence2);
        if (!dirty && entries.empty()) continue;
        if (hive.logMissing) {
            logProblems[i] = "there is no log beside it";
            continue;
        }
        if (const std::string problem = ReadLogFile(hive, &logs[i]); !problem.empty()) {
            return "cannot read " + Quoted(hive.logPath) + ": " + problem;
        }
        logProblems[i] = ReadLog(logs[i], &parsed[i]);
        if (!logProblems[i].empty()) {
            logProblems[i] =
                "its log " + Quoted(hive.logPath) + " cannot complete it (" + logProblems[i] + ")";
        }
    }
    const auto headerOf = [&](std::size_t i) {
        Header header;
        ReadHeader(hives_[i].image, hives_[i].image.size(), &header);
        return header;
    };
    const auto finish = [&](std::size_t i, std::string raised, std::string done) -> std::string {
        Hive& hive = hives_[i];
        if (const std::string problem = ApplyLog(parsed[i], &hive.image); !problem.empty()) {
            return Quoted(hive.path) + kNotClosed + ", and its log " + Quoted(hive.logPath) +
                   " cannot complete it (" + problem + ")" + kShutDown;
        }
        std::memcpy(hive.image.data(), done.data(), kSectorSize);
        CheckBins(Bytes(hive.image) + kBaseBlockSize, parsed[i].header.binsSize, &hive.bins);
        hive.finish = true;
        hive.raisedHeader = std::move(raised);
        hive.finishHeader = std::move(done);
        hive.finishRuns = RunsOf(parsed[i]);
        hive.finishBytes = std::string(parsed[i].data);
        return "";
    };
    const std::string finished = writable_ ? "" : " (in what is read here; nothing was written)";

    // A group: every hive it names finished from its log, as long as nothing but this program
    // has written them since.
    enum class State { kDone, kPending, kUntouched, kOther };
    std::vector<std::pair<std::size_t, State>> group;
    bool whole = !entries.empty();
    for (const RecordEntry& entry : entries) {
        std::size_t i = 0;
        while (i < hives_.size() && hives_[i].name != entry.name) ++i;
        const bool recorded =
            i < hives_.size() && logProblems[i].empty() &&
            parsed[i].header.sequence1 == entry.sequence &&
            parsed[i].header.timeStamp == entry.time && logs[i].size() >= entry.logSize &&
            Digest(std::string_view(logs[i]).substr(0, entry.logSize)) == entry.digest;
        if (!recorded) {
            whole = false;
            continue;
        }
        const Header header = headerOf(i);
        State state = State::kOther;
        if (header.sequence1 == header.sequence2) {
            if (header.sequence1 == entry.sequence && header.timeStamp == entry.time) {
                state = State::kDone;
            } else if (header.sequence1 == entry.oldSequence && header.timeStamp == entry.oldTime) {
                state = State::kUntouched;
            }
        } else if (LogFinishes(parsed[i], header).empty()) {
            state = State::kPending;
        }
        whole = whole && state != State::kOther;
        group.push_back({i, state});
    }
    if (whole) {
        bool any = false;
        for (const auto& [i, state] : group) {
            if (state == State::kDone) continue;
            any = true;
            const Header header = headerOf(i);
            std::string logHeader = logs[i].substr(0, kSectorSize);
            PutLe32(Bytes(logHeader) + field::kFileType, kPrimaryFile);
            const std::uint32_t sequence = parsed[i].header.sequence1;
            const std::uint64_t time = parsed[i].header.timeStamp;
            std::string problem;
            if (state == State::kUntouched) {
                problem = finish(i, WithNumbers(logHeader, sequence, header.sequence2, time),
                                 WithNumbers(logHeader, sequence, sequence, time));
            } else {
                problem = finish(i, "",
                                 WithNumbers(hives_[i].header, header.sequence1, header.sequence1,
                                             header.timeStamp));
            }
            if (!problem.empty()) return problem;
        }
        if (any) {
            std::string names;
            for (std::size_t k = 0; k < group.size(); ++k) {
                names += (k == 0                  ? ""
                          : k + 1 == group.size() ? " and "
                                                  : ", ") +
                         Quoted(hives_[group[k].first].path);
            }
            notices_.push_back("a group of changes to " + names +
                               " (Reset All or an import) was cut short; it was completed in "
                               "each from its log" +
                               finished);
        }
    } else if (!entries.empty()) {
        // Windows has written a hive of the group since: a hive whose header the group had
        // raised it completed, the others it never knew of.
        bool reached = false, missed = false;
        for (const auto& [i, state] : group) {
            reached = reached || state == State::kDone || state == State::kPending;
            missed = missed || state == State::kUntouched;
        }
        if (reached && missed) {
            std::string names;
            for (const auto& [i, state] : group) {
                if (state == State::kUntouched) {
                    names += (names.empty() ? "" : " and ") + Quoted(hives_[i].path);
                }
            }
            notices_.push_back(
                "a group of changes (Reset All or an import) was cut short and "
                "Windows has used the installation since: " +
                names + " did not get its part of it");
        }
    }

    // Each hive left with its last write not completed, by the rule Windows applies at boot.
    for (std::size_t i = 0; i < hives_.size(); ++i) {
        Hive& hive = hives_[i];
        const Header header = headerOf(i);
        if (hive.finish || header.sequence1 == header.sequence2) continue;
        std::string problem = logProblems[i];
        if (problem.empty()) {
            problem = LogFinishes(parsed[i], header);
            if (!problem.empty()) {
                problem =
                    "its log " + Quoted(hive.logPath) + " cannot complete it (" + problem + ")";
            }
        }
        if (!problem.empty())
            return Quoted(hive.path) + kNotClosed + ", and " + problem + kShutDown;
        problem = finish(
            i, "", WithNumbers(hive.header, header.sequence1, header.sequence1, header.timeStamp));
        if (!problem.empty()) return problem;
        notices_.push_back("the last write to " + Quoted(hive.path) +
                           " had not been completed (Windows or a program writing it was "
                           "stopped during it); it was completed from its log " +
                           Quoted(hive.logPath) + ", as Windows completes it at boot" + finished);
    }
    return "";
}

std::string Journal::Complete() {
    if (!writable_) return "";
    bool made = false;
    for (Hive& hive : hives_) {
        if (!hive.logMissing) continue;
        hive.logFd = Files().Create(folderFd_, hive.logName.c_str());
        if (hive.logFd < 0 || !OwnLike(hive.logFd, hive.uid, hive.gid, hive.mode)) {
            return "cannot make the log " + Quoted(hive.logPath) + ": " + Why();
        }
        hive.logMissing = false;
        made = true;
        Remember(hive);
    }
    if (made && !SyncFolder(folderFd_)) {
        return "cannot make the logs in " + Quoted(folder_) + " durable: " + Why();
    }
    // As a write: every raised header before any bins, so that a cut leaves what this open
    // found.
    const auto failed = [&](const Hive& hive) {
        return "cannot complete " + Quoted(hive.path) + " from its log: " + Why() +
               " (it is left for the next open to complete)";
    };
    for (Hive& hive : hives_) {
        if (!hive.finish || hive.raisedHeader.empty()) continue;
        if (!WriteAll(hive.fd, hive.raisedHeader.data(), kSectorSize, 0).empty() ||
            Files().SyncData(hive.fd) != 0) {
            return failed(hive);
        }
    }
    for (Hive& hive : hives_) {
        if (!hive.finish) continue;
        struct stat info {};
        const off_t size =
            static_cast<off_t>(kBaseBlockSize + Le32(Bytes(hive.finishHeader) + field::kBinsSize));
        const bool grows = ::fstat(hive.fd, &info) == 0 && info.st_size < size;
        if (grows && Files().Allocate(hive.fd, info.st_size, size - info.st_size) != 0) {
            return failed(hive);
        }
        std::size_t from = 0;
        for (const PageRun& run : hive.finishRuns) {
            const off_t at = static_cast<off_t>(kBaseBlockSize + run.offset);
            if (!WriteAll(hive.fd, hive.finishBytes.data() + from, run.size, at).empty()) {
                return failed(hive);
            }
            from += run.size;
        }
        if ((grows ? Files().Sync(hive.fd) : Files().SyncData(hive.fd)) != 0) {
            return failed(hive);
        }
    }
    for (Hive& hive : hives_) {
        if (!hive.finish) continue;
        if (!WriteAll(hive.fd, hive.finishHeader.data(), kSectorSize, 0).empty() ||
            Files().SyncData(hive.fd) != 0) {
            return failed(hive);
        }
        hive.header = hive.finishHeader;
        hive.finish = false;
        hive.finishBytes.clear();
        Remember(hive);
    }
    // Once every hive of a group is complete its record says nothing more.
    if (removeRecord_) {
        if (Files().Remove(folderFd_, kGroupRecord) == 0 || errno == ENOENT) {
            removeRecord_ = false;
            SyncFolder(folderFd_);
        }
    }
    return "";
}

void Journal::Remember(Hive& hive) {
    struct stat info {};
    if (::fstat(hive.fd, &info) == 0) {
        hive.device = info.st_dev;
        hive.inode = info.st_ino;
        hive.size = info.st_size;
        hive.mtime =
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    }
    if (hive.logFd >= 0 && ::fstat(hive.logFd, &info) == 0) {
        hive.logDevice = info.st_dev;
        hive.logInode = info.st_ino;
    }
}

bool Journal::Unchanged(const Hive& hive) const {
    struct stat info {};
    if (::fstat(hive.fd, &info) != 0 || info.st_size != hive.size ||
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec !=
            hive.mtime) {
        return false;
    }
    // The names still the files this journal holds: neither moved nor replaced.
    if (::stat(hive.path.c_str(), &info) != 0 || info.st_dev != hive.device ||
        info.st_ino != hive.inode) {
        return false;
    }
    return hive.logFd < 0 || (::stat(hive.logPath.c_str(), &info) == 0 &&
                              info.st_dev == hive.logDevice && info.st_ino == hive.logInode);
}

std::string Journal::ReadImage(std::size_t index, std::string* reason) {
    Hive& hive = hives_[index];
    std::string bytes;
    Header header;
    std::string problem = ReadAll(hive.fd, &bytes);
    if (problem.empty()) problem = ReadHeader(bytes, bytes.size(), &header);
    if (problem.empty() && header.sequence1 != header.sequence2) {
        problem = "its last write was not completed";
    }
    if (!problem.empty()) {
        *reason = "cannot read " + Quoted(hive.path) + " again: " + problem;
        return "";
    }
    bytes.resize(kBaseBlockSize + header.binsSize);
    return bytes;
}

// --- writing ---

struct Journal::Plan {
    Hive* hive = nullptr;
    std::uint8_t* image = nullptr;
    std::uint32_t oldBins = 0;
    std::uint32_t newBins = 0;
    off_t oldFileSize = 0;
    std::vector<std::uint32_t> bins;  // where each bin starts, appended ones included
    std::vector<PageRun> runs;        // whole bins
    std::vector<std::string> old;     // each run's bytes as the disk holds them (to oldBins)
    std::string log;
    std::string raised, complete, undone;  // header sectors
    std::uint32_t oldSequence = 0;
    std::uint64_t oldTime = 0;
};

std::string Journal::Prepare(const Change& change, std::uint64_t time, Plan* plan) const {
    const Hive& hive = hives_[change.hive];
    const std::string name = Quoted(hive.path);
    std::uint8_t* image = change.image.data();
    if (change.image.size() < kBaseBlockSize) return name + ": the hive given has no base block";
    const std::uint32_t newBins = Le32(image + field::kBinsSize);
    const std::uint32_t oldBins = Le32(Bytes(hive.header) + field::kBinsSize);
    if (newBins % kBinAlignment != 0 || newBins < oldBins ||
        kBaseBlockSize + std::uint64_t{newBins} > change.image.size()) {
        return name + ": the hive given has a bins size of " + std::to_string(newBins) +
               " bytes, which this program does not write";
    }
    // The log's dirty vector is laid out for one sector a cluster.
    if (Le32(Bytes(hive.header) + field::kCluster) != 1) {
        return name +
               ": its header gives sectors of more than 512 bytes, for which this "
               "program does not write logs";
    }
    plan->image = image;
    plan->oldBins = oldBins;
    plan->newBins = newBins;
    plan->oldSequence = Le32(Bytes(hive.header) + field::kSequence1);
    plan->oldTime = Le64(Bytes(hive.header) + field::kTimeStamp);
    const std::uint8_t* bins = image + kBaseBlockSize;
    // Bins appended since the last write must be sound; the others were checked then.
    plan->bins = hive.bins;
    for (std::uint64_t at = oldBins; at < newBins;) {
        const std::uint32_t size = Le32(bins + at + field::kBinSize);
        if (std::memcmp(bins + at, "hbin", 4) != 0 || Le32(bins + at + field::kBinOffset) != at ||
            size == 0 || size % kBinAlignment != 0 || size > newBins - at) {
            return name + ": the hive given has a broken bin at " + std::to_string(at);
        }
        plan->bins.push_back(static_cast<std::uint32_t>(at));
        at += size;
    }
    if (plan->bins.empty()) return name + ": the hive given has no bins";
    // Each bin a run touches, whole, the first, and every bin appended.
    std::vector<std::size_t> touched{0};
    for (std::size_t index = hive.bins.size(); index < plan->bins.size(); ++index) {
        touched.push_back(index);
    }
    for (const PageRun& run : change.runs) {
        if (run.size == 0 || run.offset % kSectorSize != 0 || run.size % kSectorSize != 0 ||
            std::uint64_t{run.offset} + run.size > newBins) {
            return name + ": a change given lies outside the hive's bins";
        }
        const auto first = std::upper_bound(plan->bins.begin(), plan->bins.end(), run.offset);
        const auto last =
            std::upper_bound(plan->bins.begin(), plan->bins.end(), run.offset + run.size - 1);
        for (auto it = first - 1; it != last; ++it) {
            touched.push_back(static_cast<std::size_t>(it - plan->bins.begin()));
        }
    }
    std::sort(touched.begin(), touched.end());
    touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
    for (const std::size_t index : touched) {
        const std::uint32_t start = plan->bins[index];
        const std::uint32_t end = index + 1 < plan->bins.size() ? plan->bins[index + 1] : newBins;
        const std::uint8_t* bin = bins + start;
        if (std::memcmp(bin, "hbin", 4) != 0 || Le32(bin + field::kBinOffset) != start ||
            Le32(bin + field::kBinSize) != end - start) {
            return name + ": the hive given has a broken bin at " + std::to_string(start);
        }
        if (!plan->runs.empty() && plan->runs.back().offset + plan->runs.back().size == start) {
            plan->runs.back().size += end - start;
        } else {
            plan->runs.push_back({start, end - start});
        }
    }

    // The headers: the disk's, with the bins size and root the hive given has.
    std::string header = hive.header;
    std::memcpy(Bytes(header) + field::kRootCell, image + field::kRootCell, 4);
    std::memcpy(Bytes(header) + field::kBinsSize, image + field::kBinsSize, 4);
    PutLe32(Bytes(header) + field::kFileType, kPrimaryFile);
    const std::uint32_t sequence = plan->oldSequence + 1;
    plan->complete = WithNumbers(header, sequence, sequence, time);
    plan->raised = WithNumbers(header, sequence, plan->oldSequence, time);
    // Put back, a hive is the old one with a header of its own: neither the log of this write
    // nor a group record naming it completes it again.
    plan->undone = WithNumbers(hive.header, sequence, sequence, time + 1);
    std::memcpy(image, plan->complete.data(), kSectorSize);
    PutLe64(image + kBaseBlockSize + field::kBinTimeStamp, time);

    for (const PageRun& run : plan->runs) {
        std::string old;
        if (run.offset < oldBins) {
            old.assign(std::min(run.size, oldBins - run.offset), '\0');
            const off_t at = static_cast<off_t>(kBaseBlockSize + run.offset);
            std::size_t done = 0;
            while (done < old.size()) {
                const ssize_t n = ::pread(hive.fd, old.data() + done, old.size() - done,
                                          at + static_cast<off_t>(done));
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) return "cannot read " + name + ": " + (n < 0 ? Why() : "too short");
                done += static_cast<std::size_t>(n);
            }
        }
        plan->old.push_back(std::move(old));
    }
    plan->oldFileSize = static_cast<off_t>(hive.size);
    plan->log = MakeLog(Bytes(plan->complete), bins, newBins, plan->runs);
    return "";
}

Written Journal::Write(const std::vector<Change>& changes, std::string* reason) {
    if (!writable_) {
        *reason = "the hives are open for reading only";
        return Written::kNone;
    }
    if (broken_) {
        *reason = brokenReason_;
        return Written::kNone;
    }
    std::uint64_t time = Now();
    for (const Change& change : changes) {
        if (change.hive >= hives_.size()) {
            *reason = "no such hive";
            return Written::kNone;
        }
        // The put-back header takes the time after the write's: both after the last write's.
        time = std::max(time, Le64(Bytes(hives_[change.hive].header) + field::kTimeStamp) + 2);
    }
    std::vector<Plan> plans;
    for (const Change& change : changes) {
        if (change.runs.empty()) continue;
        Hive& hive = hives_[change.hive];
        for (const Plan& other : plans) {
            if (other.hive == &hive) {
                *reason = Quoted(hive.path) + ": given twice in one write";
                return Written::kNone;
            }
        }
        if (!Unchanged(hive)) {
            *reason = Quoted(hive.path) +
                      ": the hive or its log was changed or moved by another "
                      "program since it was read";
            return Written::kNone;
        }
        Plan plan;
        plan.hive = &hive;
        if (const std::string problem = Prepare(change, time, &plan); !problem.empty()) {
            *reason = problem;
            return Written::kNone;
        }
        plans.push_back(std::move(plan));
    }
    if (plans.empty()) return Written::kAll;

    // 1. The logs, whole, before any hive is touched.
    for (Plan& plan : plans) {
        Hive& hive = *plan.hive;
        struct stat info {};
        std::string problem = ::fstat(hive.logFd, &info) == 0 ? "" : Why();
        const bool resized = info.st_size != static_cast<off_t>(plan.log.size());
        if (problem.empty()) problem = WriteAll(hive.logFd, plan.log.data(), plan.log.size(), 0);
        if (problem.empty() && info.st_size > static_cast<off_t>(plan.log.size()) &&
            Files().Truncate(hive.logFd, static_cast<off_t>(plan.log.size())) != 0) {
            problem = Why();
        }
        if (problem.empty() &&
            (resized ? Files().Sync(hive.logFd) : Files().SyncData(hive.logFd)) != 0) {
            problem = Why();
        }
        if (!problem.empty()) {
            return Undo(plans, false, false,
                        "cannot write the log " + Quoted(hive.logPath) + ": " + problem, reason);
        }
    }
    // 2. A group's record, naming each log, before any hive is touched.
    const bool group = plans.size() > 1;
    if (group) {
        std::vector<RecordEntry> entries;
        for (const Plan& plan : plans) {
            entries.push_back({plan.hive->name, plan.oldSequence, plan.oldTime,
                               plan.oldSequence + 1, Le64(Bytes(plan.complete) + field::kTimeStamp),
                               plan.log.size(), Digest(plan.log)});
        }
        const std::string text = RecordText(entries);
        const std::string path = Quoted(folder_ + "/" + kGroupRecord);
        // One left by a write the next open found done with.
        if (Files().Remove(folderFd_, kGroupRecord) == 0) SyncFolder(folderFd_);
        const int fd = Files().Create(folderFd_, kGroupRecord);
        std::string problem = fd < 0 ? Why() : WriteAll(fd, text.data(), text.size(), 0);
        if (problem.empty() &&
            (!OwnLike(fd, plans[0].hive->uid, plans[0].hive->gid, plans[0].hive->mode) ||
             Files().Sync(fd) != 0 || !SyncFolder(folderFd_))) {
            problem = Why();
        }
        if (fd >= 0) ::close(fd);
        if (!problem.empty()) {
            return Undo(plans, false, fd >= 0, "cannot write " + path + ": " + problem, reason);
        }
    }
    // 3. Each hive marked as being written: from here a cut leaves it for its log to complete.
    for (Plan& plan : plans) {
        Hive& hive = *plan.hive;
        const off_t size = static_cast<off_t>(kBaseBlockSize + plan.newBins);
        std::string problem;
        if (size > plan.oldFileSize &&
            Files().Allocate(hive.fd, plan.oldFileSize, size - plan.oldFileSize) != 0) {
            problem = Why();
        }
        if (problem.empty()) problem = WriteAll(hive.fd, plan.raised.data(), kSectorSize, 0);
        if (!problem.empty()) {
            return Undo(plans, true, group, "cannot write " + Quoted(hive.path) + ": " + problem,
                        reason);
        }
    }
    for (Plan& plan : plans) {
        const bool grown =
            kBaseBlockSize + plan.newBins > static_cast<std::uint64_t>(plan.oldFileSize);
        if ((grown ? Files().Sync(plan.hive->fd) : Files().SyncData(plan.hive->fd)) != 0) {
            return Undo(plans, true, group,
                        "cannot write " + Quoted(plan.hive->path) + ": " + Why(), reason);
        }
    }
    // 4. The bins in place.
    for (Plan& plan : plans) {
        for (const PageRun& run : plan.runs) {
            const off_t at = static_cast<off_t>(kBaseBlockSize + run.offset);
            const std::string problem = WriteAll(plan.hive->fd, plan.image + at, run.size, at);
            if (!problem.empty()) {
                return Undo(plans, true, group,
                            "cannot write " + Quoted(plan.hive->path) + ": " + problem, reason);
            }
        }
    }
    for (Plan& plan : plans) {
        if (Files().SyncData(plan.hive->fd) != 0) {
            return Undo(plans, true, group,
                        "cannot write " + Quoted(plan.hive->path) + ": " + Why(), reason);
        }
    }
    // 5. Each hive's write completed.
    for (Plan& plan : plans) {
        const std::string problem = WriteAll(plan.hive->fd, plan.complete.data(), kSectorSize, 0);
        if (!problem.empty()) {
            return Undo(plans, true, group,
                        "cannot write " + Quoted(plan.hive->path) + ": " + problem, reason);
        }
    }
    for (Plan& plan : plans) {
        if (Files().SyncData(plan.hive->fd) != 0) {
            return Undo(plans, true, group,
                        "cannot write " + Quoted(plan.hive->path) + ": " + Why(), reason);
        }
    }
    for (Plan& plan : plans) {
        plan.hive->header = plan.complete;
        plan.hive->bins = std::move(plan.bins);
        Remember(*plan.hive);
    }
    // A record left behind names hives that are done: the next open removes it.
    if (group && Files().Remove(folderFd_, kGroupRecord) == 0) SyncFolder(folderFd_);
    return Written::kAll;
}

Written Journal::Undo(std::vector<Plan>& plans, bool touched, bool record, const std::string& why,
                      std::string* reason) {
    if (!touched && !record) {
        *reason = why;
        return Written::kNone;
    }
    std::string failed;
    const auto note = [&](const Plan& plan, const std::string& problem) {
        if (failed.empty() && !problem.empty()) failed = Quoted(plan.hive->path) + ": " + problem;
    };
    for (Plan& plan : plans) {
        if (touched) {
            for (std::size_t i = 0; i < plan.runs.size(); ++i) {
                const off_t at = static_cast<off_t>(kBaseBlockSize + plan.runs[i].offset);
                note(plan, WriteAll(plan.hive->fd, plan.old[i].data(), plan.old[i].size(), at));
            }
        }
        note(plan, WriteAll(plan.hive->fd, plan.undone.data(), kSectorSize, 0));
    }
    for (Plan& plan : plans) {
        if (Files().Sync(plan.hive->fd) != 0) note(plan, Why());
    }
    if (failed.empty()) {
        for (Plan& plan : plans) {
            // The space a grown hive took is given back; if it stays, it is only padding.
            if (kBaseBlockSize + plan.newBins > static_cast<std::uint64_t>(plan.oldFileSize)) {
                Files().Truncate(plan.hive->fd, plan.oldFileSize);
            }
            plan.hive->header = plan.undone;
            Remember(*plan.hive);
        }
    }
    if (record && Files().Remove(folderFd_, kGroupRecord) == 0) SyncFolder(folderFd_);
    if (failed.empty()) {
        *reason = why;
        return Written::kNone;
    }
    broken_ = true;
    brokenReason_ = "an earlier write could not be put back; open the installation again";
    *reason = why + "; putting it back as it was failed too (" + failed +
              "): calvenor and Windows find it written or as it was when they next open it";
    return Written::kDoubt;
}

}  // namespace platform::hive
