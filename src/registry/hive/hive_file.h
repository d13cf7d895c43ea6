// One hive of an XP installation as libhivex reads and changes it, from the bytes the journal
// read (hive_journal.h). A commit takes libhivex's whole new image, puts the keys it added into
// Windows' order, and hands the journal the pages that differ from what the disk holds, which
// it writes in place after their log. Until the project's own hive engine replaces libhivex,
// that comparison stands in for the engine's record of the bins it changed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "registry/hive/hive_journal.h"
#include "registry/hive/hive_order.h"

typedef struct hive_h hive_h;

namespace platform {

class HiveFile {
  public:
    // The hive at path whose bytes, as the disk holds them, are image. nullptr and the reason
    // when libhivex cannot read it.
    static std::unique_ptr<HiveFile> Load(std::string path, std::string image, bool writable,
                                          std::string* error);
    ~HiveFile();
    HiveFile(const HiveFile&) = delete;
    HiveFile& operator=(const HiveFile&) = delete;

    // The libhivex handle; null after reading failed.
    hive_h* handle() const { return hive_; }
    const std::string& path() const { return path_; }
    std::uint32_t minor_version() const { return minor_; }

    // The change a commit of what libhivex holds makes (hive: its number in the journal; no
    // runs when nothing differs). False, with the reason, when libhivex cannot write it.
    bool Prepare(std::size_t hive, hive::Journal::Change* change, std::string* reason);
    // Ends a commit: written, the disk now holds what Prepare made (as the journal finished
    // it); else the disk holds the bins it held, which libhivex reads again.
    bool Finish(bool written, std::string* reason);
    // A key libhivex added (file offsets of the parent's and the key's cells): the commit puts
    // it into Windows' order among its siblings.
    void NoteAddedKey(std::uint64_t parent, std::uint64_t child) {
        added_.push_back({parent, child});
    }
    // Drops every change not committed: libhivex reads what the disk holds again.
    bool Reload(std::string* reason);

    // The name of the new file older versions wrote before renaming it over the hive; one a
    // killed commit left behind is removed when the installation is opened for writing.
    static std::string NewFileName(const std::string& path) { return path + ".calvenor-new"; }

  private:
    HiveFile(std::string path, bool writable) : path_(std::move(path)), writable_(writable) {}
    bool Read(const std::string& bytes, std::string* reason);

    std::string path_;
    bool writable_ = false;
    hive_h* hive_ = nullptr;
    std::uint32_t minor_ = 0;
    std::string disk_;  // the bytes the disk holds
    std::string next_;  // the bytes a commit writes
    bool reordered_ = false;
    std::vector<hive::AddedKey> added_;
};

}  // namespace platform
