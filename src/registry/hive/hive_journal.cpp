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
#include "registry/hive/hive_journal_detail.h"

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

constexpr const char* kNotClosed =
    " was not closed cleanly: its last write was not completed (Windows was not shut down, or "
    "was hibernated)";
constexpr const char* kShutDown =
    ". Start that Windows once and shut it down normally, then try again; nothing was changed";

}  // namespace

namespace journal {

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

std::string WithNumbers(std::string header, std::uint32_t sequence1, std::uint32_t sequence2,
                        std::uint64_t time) {
    PutLe32(Bytes(header) + field::kSequence1, sequence1);
    PutLe32(Bytes(header) + field::kSequence2, sequence2);
    PutLe64(Bytes(header) + field::kTimeStamp, time);
    SetHeaderChecksum(Bytes(header));
    return header;
}

// FNV-1a.
std::uint64_t Digest(std::string_view bytes) {
    std::uint64_t hash = 0xCBF29CE484222325ULL;
    for (const char c : bytes) {
        hash ^= static_cast<std::uint8_t>(c);
        hash *= 0x100000001B3ULL;
    }
    return hash;
}

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

}  // namespace journal

using namespace journal;

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

// What opening completes: the group record's entries, the logs that may be needed and what
// each says, and where each hive a group names stands.
class Journal::Recovery {
  public:
    explicit Recovery(Journal& journal)
        : journal_(journal),
          hives_(journal.hives_),
          logs_(hives_.size()),
          parsed_(hives_.size()),
          logProblems_(hives_.size()) {}

    // The group record, if a group was cut short (or its record outlived it).
    std::string ReadRecord();
    // The logs that may be needed: those of hives not completed, and all where a group was.
    std::string ReadLogs();
    // A group: every hive it names finished from its log, as long as nothing but this program
    // has written them since.
    std::string FinishGroup();
    // Each hive left with its last write not completed, by the rule Windows applies at boot.
    std::string FinishInterrupted();

  private:
    enum class State { kDone, kPending, kUntouched, kOther };

    // The header of a hive's image as it stands in memory (completed ones included).
    Header HeaderOf(std::size_t i) const;
    // The hive's log applied in memory, and what Complete is to write kept.
    std::string Finish(std::size_t i, std::string raised, std::string done);
    // Where each hive the record names stands; whether the whole group can be finished.
    bool FindGroup();
    // Each hive of the group not yet done finished from its log, and the user told.
    std::string FinishWholeGroup();
    // Windows has written a hive of the group since: a hive whose header the group had
    // raised it completed, the others it never knew of.
    void NoteGroupMissed();
    // Said after a notice of something completed when nothing is written.
    std::string Finished() const {
        return journal_.writable_ ? "" : " (in what is read here; nothing was written)";
    }

    Journal& journal_;
    std::vector<Hive>& hives_;
    std::vector<RecordEntry> entries_;
    std::vector<std::string> logs_;
    std::vector<Log> parsed_;
    std::vector<std::string> logProblems_;
    std::vector<std::pair<std::size_t, State>> group_;
};

std::string Journal::Recovery::ReadRecord() {
    std::string recordText;
    const int record =
        ::openat(journal_.folderFd_, kGroupRecord, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (record < 0 && errno != ENOENT) {
        return "cannot read " + Quoted(journal_.folder_ + "/" + kGroupRecord) + ": " + Why();
    }
    if (record >= 0) {
        const std::string problem = ReadAll(record, &recordText);
        ::close(record);
        if (!problem.empty()) {
            return "cannot read " + Quoted(journal_.folder_ + "/" + kGroupRecord) + ": " + problem;
        }
        journal_.removeRecord_ = true;
        if (!ParseRecord(recordText, &entries_)) entries_.clear();
    }
    return "";
}

std::string Journal::Recovery::ReadLogs() {
    for (std::size_t i = 0; i < hives_.size(); ++i) {
        Hive& hive = hives_[i];
        const bool dirty = Le32(Bytes(hive.header) + field::kSequence1) !=
                           Le32(Bytes(hive.header) + field::kSequence2);
        if (!dirty && entries_.empty()) continue;
        if (hive.logMissing) {
            logProblems_[i] = "there is no log beside it";
            continue;
        }
        if (const std::string problem = journal_.ReadLogFile(hive, &logs_[i]); !problem.empty()) {
            return "cannot read " + Quoted(hive.logPath) + ": " + problem;
        }
        logProblems_[i] = ReadLog(logs_[i], &parsed_[i]);
        if (!logProblems_[i].empty()) {
            logProblems_[i] =
                "its log " + Quoted(hive.logPath) + " cannot complete it (" + logProblems_[i] + ")";
        }
    }
    return "";
}

Header Journal::Recovery::HeaderOf(std::size_t i) const {
    Header header;
    ReadHeader(hives_[i].image, hives_[i].image.size(), &header);
    return header;
}

std::string Journal::Recovery::Finish(std::size_t i, std::string raised, std::string done) {
    Hive& hive = hives_[i];
    if (const std::string problem = ApplyLog(parsed_[i], &hive.image); !problem.empty()) {
        return Quoted(hive.path) + kNotClosed + ", and its log " + Quoted(hive.logPath) +
               " cannot complete it (" + problem + ")" + kShutDown;
    }
    std::memcpy(hive.image.data(), done.data(), kSectorSize);
    CheckBins(Bytes(hive.image) + kBaseBlockSize, parsed_[i].header.binsSize, &hive.bins);
    hive.finish = true;
    hive.raisedHeader = std::move(raised);
    hive.finishHeader = std::move(done);
    hive.finishRuns = RunsOf(parsed_[i]);
    hive.finishBytes = std::string(parsed_[i].data);
    return "";
}

std::string Journal::Recovery::FinishGroup() {
    if (FindGroup()) return FinishWholeGroup();
    if (!entries_.empty()) NoteGroupMissed();
    return "";
}

bool Journal::Recovery::FindGroup() {
    bool whole = !entries_.empty();
    for (const RecordEntry& entry : entries_) {
        std::size_t i = 0;
        while (i < hives_.size() && hives_[i].name != entry.name) ++i;
        const bool recorded =
            i < hives_.size() && logProblems_[i].empty() &&
            parsed_[i].header.sequence1 == entry.sequence &&
            parsed_[i].header.timeStamp == entry.time && logs_[i].size() >= entry.logSize &&
            Digest(std::string_view(logs_[i]).substr(0, entry.logSize)) == entry.digest;
        if (!recorded) {
            whole = false;
            continue;
        }
        const Header header = HeaderOf(i);
        State state = State::kOther;
        if (header.sequence1 == header.sequence2) {
            if (header.sequence1 == entry.sequence && header.timeStamp == entry.time) {
                state = State::kDone;
            } else if (header.sequence1 == entry.oldSequence && header.timeStamp == entry.oldTime) {
                state = State::kUntouched;
            }
        } else if (LogFinishes(parsed_[i], header).empty()) {
            state = State::kPending;
        }
        whole = whole && state != State::kOther;
        group_.push_back({i, state});
    }
    return whole;
}

std::string Journal::Recovery::FinishWholeGroup() {
    bool any = false;
    for (const auto& [i, state] : group_) {
        if (state == State::kDone) continue;
        any = true;
        const Header header = HeaderOf(i);
        std::string logHeader = logs_[i].substr(0, kSectorSize);
        PutLe32(Bytes(logHeader) + field::kFileType, kPrimaryFile);
        const std::uint32_t sequence = parsed_[i].header.sequence1;
        const std::uint64_t time = parsed_[i].header.timeStamp;
        std::string problem;
        if (state == State::kUntouched) {
            problem = Finish(i, WithNumbers(logHeader, sequence, header.sequence2, time),
                             WithNumbers(logHeader, sequence, sequence, time));
        } else {
            problem = Finish(i, "",
                             WithNumbers(hives_[i].header, header.sequence1, header.sequence1,
                                         header.timeStamp));
        }
        if (!problem.empty()) return problem;
    }
    if (any) {
        std::string names;
        for (std::size_t k = 0; k < group_.size(); ++k) {
            names += (k == 0                   ? ""
                      : k + 1 == group_.size() ? " and "
                                               : ", ") +
                     Quoted(hives_[group_[k].first].path);
        }
        journal_.notices_.push_back("a group of changes to " + names +
                                    " (Reset All or an import) was cut short; it was completed in "
                                    "each from its log" +
                                    Finished());
    }
    return "";
}

void Journal::Recovery::NoteGroupMissed() {
    bool reached = false, missed = false;
    for (const auto& [i, state] : group_) {
        reached = reached || state == State::kDone || state == State::kPending;
        missed = missed || state == State::kUntouched;
    }
    if (!reached || !missed) return;
    std::string names;
    for (const auto& [i, state] : group_) {
        if (state == State::kUntouched) {
            names += (names.empty() ? "" : " and ") + Quoted(hives_[i].path);
        }
    }
    journal_.notices_.push_back(
        "a group of changes (Reset All or an import) was cut short and "
        "Windows has used the installation since: " +
        names + " did not get its part of it");
}

std::string Journal::Recovery::FinishInterrupted() {
    for (std::size_t i = 0; i < hives_.size(); ++i) {
        Hive& hive = hives_[i];
        const Header header = HeaderOf(i);
        if (hive.finish || header.sequence1 == header.sequence2) continue;
        std::string problem = logProblems_[i];
        if (problem.empty()) {
            problem = LogFinishes(parsed_[i], header);
            if (!problem.empty()) {
                problem =
                    "its log " + Quoted(hive.logPath) + " cannot complete it (" + problem + ")";
            }
        }
        if (!problem.empty())
            return Quoted(hive.path) + kNotClosed + ", and " + problem + kShutDown;
        problem = Finish(
            i, "", WithNumbers(hive.header, header.sequence1, header.sequence1, header.timeStamp));
        if (!problem.empty()) return problem;
        journal_.notices_.push_back("the last write to " + Quoted(hive.path) +
                                    " had not been completed (Windows or a program writing it "
                                    "was stopped during it); it was completed from its log " +
                                    Quoted(hive.logPath) + ", as Windows completes it at boot" +
                                    Finished());
    }
    return "";
}

std::string Journal::Recover() {
    Recovery recovery(*this);
    if (const std::string problem = recovery.ReadRecord(); !problem.empty()) return problem;
    if (const std::string problem = recovery.ReadLogs(); !problem.empty()) return problem;
    if (const std::string problem = recovery.FinishGroup(); !problem.empty()) return problem;
    return recovery.FinishInterrupted();
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

}  // namespace platform::hive
