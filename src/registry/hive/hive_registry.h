// The registry of a real Windows XP installation, from Linux: its SYSTEM and SOFTWARE hives
// opened with the hive engine (hive_keys.h) behind the same operations as the embedded store.
// HKLM\SYSTEM\... is the SYSTEM hive, HKLM\SOFTWARE\... the SOFTWARE hive;
// SYSTEM\CurrentControlSet is the control set that SYSTEM\Select's value Current names, as
// Windows links it at boot. Key and value names compare as Windows compares them (its
// upper-case table). Texts are held in the hives as UTF-16LE and seen here as the ANSI registry
// functions of a Western European XP see them (Windows-1252): a REG_SZ of N bytes is stored as
// N UTF-16 units, with exactly the terminator the caller passed, or none. Every change is
// committed in place after its log, as Windows XP writes a hive (hive_journal.h): the bins the
// engine marked dirty, nothing else; a group of writes (Together, AllOrNone) commits once, all
// or none across both hives.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "registry/hive/hive_file.h"
#include "registry/path_registry.h"

namespace platform {

class HiveRegistry : public PathRegistry {
  public:
    enum class Access {
        ReadWrite,  // the hives are changed: their folder must be writable
        ReadOnly,   // nothing is written (an export): a read-only mount is fine
    };

    // Opens the hives of the installation whose Windows folder is windowsFolder (names inside
    // in any letter case). Every refusal (no hives there, a hive that is no hive or of the
    // wrong kind, one not closed cleanly, a folder that cannot be written, hives in use by
    // another calvenor) gives nullptr and a message naming the file and what to do; nothing
    // is written then. The hives are locked against other calvenors while open.
    static std::unique_ptr<HiveRegistry> Open(const std::string& windowsFolder, Access access,
                                              std::string* error);
    // What opening found and did that the user should know (a hive completed from its log, a
    // control set Windows boots that is not the one changed here), each a sentence.
    const std::vector<std::string>& notices() const { return notices_; }
    // Whether a commit could neither be written nor put back: the installation then holds it
    // or not, as its next open finds, and nothing more is written.
    bool in_doubt() const { return doubt_; }
    ~HiveRegistry() override;
    HiveRegistry(const HiveRegistry&) = delete;
    HiveRegistry& operator=(const HiveRegistry&) = delete;

    const std::string& system_path() const { return files_[kSystem]->path(); }
    const std::string& software_path() const { return files_[kSoftware]->path(); }
    // The control set CurrentControlSet stands for, as "ControlSet002".
    const std::string& current_control_set() const { return controlSet_; }

    bool read_only() const override { return readOnly_; }
    void Together(const std::function<void()>& body) override;
    long SubKeys(const std::string& path, std::vector<std::string>* names) override;
    long Values(const std::string& path, std::vector<StoredValue>* values) override;
    long AllOrNone(const std::function<long()>& body) override;
    // The hives' roots and top-level keys (the control sets, Select, ...) and what is directly
    // in a control set (Control, Enum, Services, Hardware Profiles).
    bool NeededToStart(const std::string& path) override;

  private:
    static constexpr int kSystem = 0;
    static constexpr int kSoftware = 1;
    static constexpr int kRootOnly = -1;

    // A key: which hive (kRootOnly for HKEY_LOCAL_MACHINE itself) and its names inside it
    // (CurrentControlSet already replaced by the set it stands for, link set then).
    struct Location {
        int hive = kRootOnly;
        std::vector<std::u16string> names;
        bool link = false;
    };
    // Where an installation's hives are: its Windows folder (without a trailing slash), the
    // system32/config folder in it, and each hive's path and entry name there.
    struct Place {
        std::string folder;
        std::string configFolder;
        std::string paths[2];
        std::string entries[2];
    };
    HiveRegistry() = default;
    // The steps of Open, each "" or the message it fails with.
    static std::string FindHives(const std::string& windowsFolder, Place* place);
    std::string Lock(const Place& place);
    // Why the hives may not be written here (a read-only mount or file, a hibernated Windows).
    static std::string WriteProblem(const Place& place);
    // The journal and both hives read, and checked to be an installation's SYSTEM and SOFTWARE.
    std::string LoadHives(const Place& place);
    std::string CheckKinds(const std::string& configFolder);
    // A warning when Windows boots another control set than the one changed here.
    void CheckBootedSet();
    long Locate(const std::string& path, Location* location) const;
    // The key of a location (kNil for HKEY_LOCAL_MACHINE itself); kFileNotFound when a key on
    // the way is missing.
    long Find(const Location& location, hive::Cell* key) const;
    long FindKey(const std::string& path, std::string* stored) override;
    long MakeKeyPath(const std::string& path, std::string* stored) override;
    long RemoveKeyTree(const std::string& path) override;
    long ReadValue(const std::string& path, const std::string& name, std::uint32_t* type,
                   std::vector<std::uint8_t>* data) override;
    long WriteValue(const std::string& path, const std::string& name, std::uint32_t type,
                    const std::uint8_t* data, std::uint32_t size) override;
    long EraseValue(const std::string& path, const std::string& name) override;
    // Makes a change to a hive in memory (change tells whether it changed anything) and ends
    // the write with Finish.
    long Change(int hive, const std::function<bool(hive::Hive&)>& change);
    // Ends a write to a hive: commits it, unless a group is open (then the group's end does).
    // A failure (the engine's reason) drops the hive's changes instead, and the group's.
    long Finish(int hive, const std::string& failure);
    long CommitDirty();
    void DropDirty();

    std::unique_ptr<hive::Journal> journal_;
    std::unique_ptr<HiveFile> files_[2];
    std::vector<std::string> notices_;
    bool doubt_ = false;
    bool dirty_[2] = {false, false};
    std::string controlSet_;
    bool readOnly_ = false;
    int lock_ = -1;
    int groupDepth_ = 0;
    bool broken_ = false;  // a write of the open group failed: the group is dropped
};

}  // namespace platform
