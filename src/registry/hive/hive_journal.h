// The hive files of an installation on the disk, written as Windows XP's configuration manager
// writes them: each change in place, by the changed bins, logged first.
//
// A write of one hive: its log (hive_log.h) written and flushed; the hive's header written
// with its first sequence number raised and the write's time (the log's), flushed; the bins
// written in place, flushed; the second sequence number set equal, flushed. A cut at any point
// leaves the hive as it was (its header not yet raised: Windows ignores the log) or a hive that
// Windows at boot, and Open here, complete from the log. A write of several hives (a group) is
// all or none across them: every log is written before any hive is touched, then a group record
// in the folder names the logs, then the hives are written as above; Open finishes every hive
// from its log while the record is there, and Windows alone completes each hive whose header
// was raised. A failed call puts the hives back as they were, or says that it could not.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "registry/hive/hive_log.h"

namespace platform::hive {

// Every call by which the journal changes a file, in one place, so that tests can record a
// write to cut it short after any call, and make any call fail.
class FileCalls {
  public:
    virtual ~FileCalls() = default;
    // As the system calls, returning -1 with errno set on a failure.
    virtual ssize_t Write(int fd, const void* data, std::size_t size, off_t offset);
    virtual int Sync(int fd);      // fsync: a file's data and size, or a folder's entries
    virtual int SyncData(int fd);  // fdatasync: a file's data, its size unchanged
    virtual int Truncate(int fd, off_t size);
    virtual int Allocate(int fd, off_t offset, off_t size);  // grows a file, its space reserved
    // A new file in a folder, never one already there nor through a symbolic link, mode 0600,
    // open for reading and writing.
    virtual int Create(int folder, const char* name);
    virtual int Remove(int folder, const char* name);
    virtual int Own(int fd, uid_t owner, gid_t group, mode_t mode);  // chown, then chmod
};
// The calls in use; tests put their own (nullptr: the system's again).
FileCalls& Files();
void UseFileCalls(FileCalls* calls);

// What a write did.
enum class Written {
    kAll,   // on the disk, every hive of it
    kNone,  // not written: every hive holds what it held (the reason says why)
    kDoubt  // not written, and the hives could not be put back: the next open of the
            // installation (this program's, or Windows' at boot) finds the write done or not
};

// The record of a group in the hives' folder, there while a group is written.
constexpr const char* kGroupRecord = "calvenor-group";

class Journal {
  public:
    // Opens the hives of folder (names: entries of it), each with its log beside it (the
    // entry named as the hive with ".LOG" added, in any letter case), and reads each whole.
    // Refused with a message naming the file (nullptr): a file that is no hive or whose bins
    // are broken; a hive whose last write was not completed and that no log completes;
    // writable, a hive or log that is a symbolic link. What an interrupted write left is
    // completed in memory, by the rules Windows applies at boot and by the group record;
    // notices() says what was done. Nothing is written before Complete().
    static std::unique_ptr<Journal> Open(const std::string& folder,
                                         const std::vector<std::string>& names, bool writable,
                                         std::string* error);
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Writable: writes what Open completed in memory to the hives, makes the logs that were
    // missing (mode 0600, then the hive's owner and mode), and removes a group record that is
    // done with. "" or why not, the files then left for the next open to complete.
    std::string Complete();

    // What Open found and did that the user should know, each a sentence naming the files.
    const std::vector<std::string>& notices() const { return notices_; }
    std::size_t size() const { return hives_.size(); }
    const std::string& path(std::size_t hive) const { return hives_[hive].path; }
    const std::string& log_path(std::size_t hive) const { return hives_[hive].logPath; }
    // A hive's bytes as opened (base block and bins data), taken by its reader (before or after
    // Complete).
    std::string TakeImage(std::size_t hive) { return std::move(hives_[hive].image); }

    // One hive's change: its bytes as they are to be (base block and bins data, as many as the
    // base block's bins size says; the bins only ever grow), and the runs of the bins data that
    // changed. Each bin a run touches is written whole, and the first bin too (its header
    // keeps the time of the write); the journal sets the sequence numbers, time and checksum
    // of the base block and the first bin's time in image, which then is what the disk holds.
    struct Change {
        std::size_t hive = 0;
        std::span<std::uint8_t> image;
        std::vector<PageRun> runs;
    };
    // Writes the changes of one hive or several, all or none. On kNone the disk holds what it
    // held and the images are to be read again (ReadImage); on kDoubt the journal takes no
    // more writes. reason says why, naming the file and the failed call.
    Written Write(const std::vector<Change>& changes, std::string* reason);
    // A hive's bytes as the disk holds them now; "" and the reason on a failure.
    std::string ReadImage(std::size_t hive, std::string* reason);

  private:
    struct Hive {
        std::string name;
        std::string path;
        std::string logName;
        std::string logPath;
        int fd = -1;
        int logFd = -1;
        bool logMissing = false;
        std::string image;
        std::string header;               // the base block's first sector as on the disk
        std::vector<std::uint32_t> bins;  // where each bin starts in the bins data
        std::uint64_t device = 0, inode = 0, logDevice = 0, logInode = 0;
        std::int64_t size = 0, mtime = 0;
        std::uint32_t uid = 0, gid = 0, mode = 0;
        // What Complete writes: the runs of a log and their bytes, after raising the header
        // when a group did not reach the hive, then the header that ends the write.
        bool finish = false;
        std::string raisedHeader;
        std::string finishHeader;
        std::vector<PageRun> finishRuns;
        std::string finishBytes;
    };
    struct Plan;
    Journal() = default;
    std::string ReadHive(Hive& hive);
    std::string ReadLogFile(const Hive& hive, std::string* bytes) const;
    std::string Recover();
    class Recovery;  // what Recover reads and decides (hive_journal.cpp)
    void Remember(Hive& hive);
    bool Unchanged(const Hive& hive) const;
    std::string Prepare(const Change& change, std::uint64_t time, Plan* plan) const;
    // The steps of Write. First its checks and each hive's plan: false and the reason when
    // nothing is to be written.
    bool PlanWrite(const std::vector<Change>& changes, std::vector<Plan>* plans,
                   std::string* reason);
    // Then the calls on the disk, each step "" or why it failed, naming the file.
    std::string WriteLogs(const std::vector<Plan>& plans) const;
    // made: whether the record's file was created (and so is to be removed on a failure).
    std::string WriteRecord(const std::vector<Plan>& plans, bool* made) const;
    std::string RaiseHeaders(const std::vector<Plan>& plans) const;
    std::string WriteBins(const std::vector<Plan>& plans) const;
    std::string CompleteHeaders(const std::vector<Plan>& plans) const;
    Written Undo(std::vector<Plan>& plans, bool touched, bool record, const std::string& why,
                 std::string* reason);

    std::string folder_;
    int folderFd_ = -1;
    bool writable_ = false;
    bool broken_ = false;
    bool removeRecord_ = false;
    std::string brokenReason_;
    std::vector<Hive> hives_;
    std::vector<std::string> notices_;
};

}  // namespace platform::hive
