// One hive file of an XP installation, held in memory by the hive engine (hive_keys.h) and
// written back whole: each commit writes the hive to a new file beside it, syncs that, renames
// it over the hive and syncs the folder, so that a kill or a power cut at any moment leaves the
// old hive or the new one, never part of one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "registry/hive/hive_keys.h"

namespace platform {

class HiveFile {
  public:
    // Opens a hive, reading its header first: a file that is no hive, a hive whose last write
    // was not completed (Windows was not shut down cleanly) or a damaged one gives nullptr and
    // a message naming the file and what to do; such a file is not touched. writable: held for
    // changes.
    static std::unique_ptr<HiveFile> Open(const std::string& path, bool writable,
                                          std::string* error);
    ~HiveFile();
    HiveFile(const HiveFile&) = delete;
    HiveFile& operator=(const HiveFile&) = delete;

    // The hive in memory; null after a reload failed.
    hive::Hive* hive() const { return hive_.get(); }
    const std::string& path() const { return path_; }

    // Writes the hive as it is in memory to the disk, durably. On a failure the reason is
    // set, the file is left as it was, and the hive in memory is read again from it (what
    // could not be written is not kept).
    bool Commit(std::string* reason);
    // Removes the new file a commit killed before its rename left behind (it never was the
    // hive); called once every check on opening has passed.
    void RemoveLeftovers();
    // Drops every change not committed by reading the file again.
    bool Reload(std::string* reason);

    // The name of the new file a commit writes before renaming it over the hive.
    static std::string NewFileName(const std::string& path) { return path + ".calvenor-new"; }
    // For fault tests: called at each step of a commit (1 before writing the new file, 2 after
    // writing it, 3 after syncing it, 4 after the rename, 5 after syncing the folder).
    static void (*fault_hook)(int step);

  private:
    HiveFile(std::string path, bool writable) : path_(std::move(path)), writable_(writable) {}
    bool Load(std::string* reason);
    // Whether the file at path_ is still the one read or last written.
    bool Unchanged() const;
    void Remember();

    std::string path_;
    bool writable_ = false;
    std::unique_ptr<hive::Hive> hive_;
    int folder_ = -1;
    unsigned mode_ = 0644;
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
    std::int64_t size_ = 0;
    std::int64_t mtimeNs_ = 0;
};

}  // namespace platform
