// One hive file of an XP installation, held in memory by libhivex and written back whole:
// each commit writes the hive to a new file beside it, syncs that, renames it over the hive
// and syncs the folder, so that a kill or a power cut at any moment leaves the old hive or
// the new one, never part of one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "registry/hive/hive_order.h"

typedef struct hive_h hive_h;

namespace platform {

class HiveFile {
  public:
    // Opens a hive, reading its header first: a file that is no hive, or a hive whose last
    // write was not completed (Windows was not shut down cleanly), gives nullptr and a message
    // naming the file and what to do; such a file is not touched. writable: held for
    // changes.
    static std::unique_ptr<HiveFile> Open(const std::string& path, bool writable,
                                          std::string* error);
    ~HiveFile();
    HiveFile(const HiveFile&) = delete;
    HiveFile& operator=(const HiveFile&) = delete;

    // The libhivex handle; null after a reload failed.
    hive_h* handle() const { return hive_; }
    const std::string& path() const { return path_; }
    std::uint32_t minor_version() const { return minor_; }

    // Writes the hive as it is in memory to the disk, durably. On a failure the reason is
    // set, the file is left as it was, and the hive in memory is read again from it (what
    // could not be written is not kept).
    bool Commit(std::string* reason);
    // A key libhivex added (file offsets of the parent's and the key's cells): the commit puts
    // it into Windows' order among its siblings.
    void NoteAddedKey(std::uint64_t parent, std::uint64_t child) {
        added_.push_back({parent, child});
    }
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
    hive_h* hive_ = nullptr;
    std::uint32_t minor_ = 0;
    int folder_ = -1;
    unsigned mode_ = 0644;
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
    std::int64_t size_ = 0;
    std::int64_t mtimeNs_ = 0;
    std::vector<hive::AddedKey> added_;
};

}  // namespace platform
