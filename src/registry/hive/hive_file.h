// One hive of an XP installation, held in memory by the hive engine (hive_keys.h) from the bytes
// the journal read (hive_journal.h). A commit hands the journal the bins the engine marked
// dirty, whole, which it writes in place after their log; nothing is compared or written anew.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "registry/hive/hive_journal.h"
#include "registry/hive/hive_keys.h"

namespace platform {

class HiveFile {
  public:
    // The hive at path, number index in journal, whose bytes as the disk holds them are image.
    // A hive of a format XP does not write or a damaged one gives nullptr and a message naming
    // the file and what to do.
    static std::unique_ptr<HiveFile> Load(std::string path, hive::Journal* journal,
                                          std::size_t index, std::string image, bool writable,
                                          std::string* error);

    // The hive in memory; null after reading it again failed.
    hive::Hive* hive() const { return hive_.get(); }
    const std::string& path() const { return path_; }

    // The change a commit of the hive in memory makes (no runs when nothing is dirty). False,
    // with the reason, when it cannot be written.
    bool Prepare(hive::Journal::Change* change, std::string* reason);
    // Ends a commit: written, the disk now holds what Prepare gave (as the journal finished
    // it); else the disk holds what it held, which is read again.
    bool Finish(bool written, std::string* reason);
    // Drops every change not committed by reading what the disk holds again.
    bool Reload(std::string* reason);

    // The name of the new file older versions wrote before renaming it over the hive; one a
    // killed commit left behind is removed when the installation is opened for writing.
    static std::string NewFileName(const std::string& path) { return path + ".calvenor-new"; }

  private:
    HiveFile(std::string path, hive::Journal* journal, std::size_t index, bool writable)
        : path_(std::move(path)), journal_(journal), index_(index), writable_(writable) {}
    bool Read(std::string image, std::string* reason);

    std::string path_;
    hive::Journal* journal_;
    std::size_t index_;
    bool writable_ = false;
    std::unique_ptr<hive::Hive> hive_;
};

}  // namespace platform
