// The hive journal's file calls (hive_journal.h) as tests and fault runs take them over:
// recorded, to replay a write into copies of the files up to a power cut after any call, or
// failing from a chosen call on.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

#include "registry/hive/hive_journal.h"

namespace testing_support {

// One call that changed a file or a folder, as the file system received it.
struct FileOp {
    enum Kind { kWrite, kSync, kTruncate, kAllocate, kCreate, kRemove } kind;
    std::string path;  // the file's, or for kSync of a folder and kCreate/kRemove in one,
                       // the folder's and the entry's
    off_t offset = 0;
    off_t size = 0;
    std::string data;
};

// Makes every call for real and records those that succeeded.
class RecordingCalls : public platform::hive::FileCalls {
  public:
    ssize_t Write(int fd, const void* data, std::size_t size, off_t offset) override;
    int Sync(int fd) override;
    int SyncData(int fd) override;
    int Truncate(int fd, off_t size) override;
    int Allocate(int fd, off_t offset, off_t size) override;
    int Create(int folder, const char* name) override;
    int Remove(int folder, const char* name) override;
    std::vector<FileOp> ops;

  private:
    int Record(int result, FileOp op);
};

// Fails call number failAt (from 1) of any kind with error, and when failAfter every call
// after it too (a disk that stopped writing); calls counts them all.
class FailingCalls : public platform::hive::FileCalls {
  public:
    FailingCalls(int failAt, bool failAfter, int error)
        : failAt_(failAt), failAfter_(failAfter), error_(error) {}
    ssize_t Write(int fd, const void* data, std::size_t size, off_t offset) override;
    int Sync(int fd) override;
    int SyncData(int fd) override;
    int Truncate(int fd, off_t size) override;
    int Allocate(int fd, off_t offset, off_t size) override;
    int Create(int folder, const char* name) override;
    int Remove(int folder, const char* name) override;
    int Own(int fd, uid_t owner, gid_t group, mode_t mode) override;
    int calls = 0;

  private:
    bool Fails();
    int failAt_;
    bool failAfter_;
    int error_;
};

// How a power cut after some calls leaves the files: everything done so far on the disk; what
// no later sync of its file (or, for an entry, its folder) covered lost; one write no sync
// covered lost alone; or the last write torn (its first half, in whole sectors).
struct PowerCut {
    std::size_t calls = 0;
    enum Kind { kAllLanded, kUnsyncedLost, kOneLost, kLastTorn } kind = kAllLanded;
    std::size_t lost = 0;  // kOneLost: which op
};

// Every cut of a write that made ops.
std::vector<PowerCut> PowerCuts(const std::vector<FileOp>& ops);

// Replays ops as cut leaves them on files under the folder to that were under from when they
// were recorded (to holds a copy of from as it was before the write). "" or what failed.
std::string Replay(const std::vector<FileOp>& ops, const PowerCut& cut, const std::string& from,
                   const std::string& to);

}  // namespace testing_support
