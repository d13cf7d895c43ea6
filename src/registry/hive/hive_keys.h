// The keys and values of one hive, read and changed in its bytes in memory as Windows XP's
// configuration manager does it:
// - names compared, ordered and hashed by Windows' rules (text/windows_names.h): a key is
//   found by a binary search of its parent's subkey list, and a new one is filed where
//   Windows files it, with its lh hash or lf hint; a name equal by those rules to an existing
//   one is that one, never a second key;
// - what Windows keeps up to date is kept: the LastWriteTime of a key whose values or subkeys
//   changed, its subkey and value counts, the largest name and data lengths of its subkeys and
//   values, the security descriptor a new key shares with its parent (and its count of users),
//   subkey lists that grow into an index root and split as Windows splits them;
// - names are stored one byte a character where every character is Latin-1, UTF-16 otherwise;
//   data longer than 16344 bytes in a hive of format 1.4 or later goes into big-data
//   segments, as Windows stores it.
// A hive is loaded only when its whole structure is sound (every reference inside the bins,
// to a cell of the right kind, no cell used twice, counts that agree with the lists); a list
// that is not in Windows' order (written by another program) is searched from end to end, and
// put in order when a key is added to it. Changes may throw Error; the hive in memory must
// then be dropped.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "registry/hive/hive_cells.h"

namespace platform::hive {

// Data longer than this goes into big-data segments of at most this size (format 1.4 on).
constexpr std::uint32_t kBigDataSegment = 16344;
// A key name's longest length, in UTF-16 units; a value name's.
constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::size_t kMaxValueNameLength = 16383;

// Now as a Windows FILETIME (100 ns units since 1601, UTC).
std::uint64_t FileTimeNow();

class Hive {
  public:
    // Loads a hive file's bytes: nullptr and what is wrong when they are not a sound hive of
    // a format Windows XP writes (1.3 to 1.5).
    static std::unique_ptr<Hive> Load(std::vector<std::uint8_t> file, std::string* problem);

    // The file's bytes: the base block, then the bins.
    const std::vector<std::uint8_t>& bytes() const { return cells_.bytes(); }
    std::uint8_t* base_block() { return cells_.base_block(); }
    std::uint32_t minor_version() const { return minor_; }
    Cell root() const { return root_; }

    // Keys.
    Cell FindSubkey(Cell parent, std::u16string_view name) const;  // kNil when there is none
    std::vector<Cell> Subkeys(Cell key) const;                     // in list order
    std::uint32_t SubkeyCount(Cell key) const;
    std::u16string KeyName(Cell key) const;
    std::uint64_t KeyTime(Cell key) const;
    Cell Parent(Cell key) const;

    // Values.
    Cell FindValue(Cell key, std::u16string_view name) const;  // kNil when there is none
    std::vector<Cell> Values(Cell key) const;                  // in list order
    std::u16string ValueName(Cell value) const;
    std::uint32_t ValueType(Cell value) const;
    std::vector<std::uint8_t> ValueData(Cell value) const;

    // Changes. A key name is 1 to 255 units without a backslash; a value name up to 16383.
    // Creates the subkey, or finds the one of that name.
    Cell CreateKey(Cell parent, std::u16string_view name);
    void SetValue(Cell key, std::u16string_view name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size);
    // False when there is no such value.
    bool DeleteValue(Cell key, std::u16string_view name);
    // Deletes the key with everything under it (never the root).
    void DeleteKey(Cell key);

    // The bins changed since ClearDirty, whole, in file order.
    std::vector<Range> DirtyBins() const { return cells_.DirtyBins(); }
    void ClearDirty() { cells_.ClearDirty(); }
    // The time of the latest change (FILETIME), 0 before any: the header's last-written time.
    std::uint64_t last_change() const { return lastChange_; }
    const Cells& cells() const { return cells_; }
    // How many subkey lists read from the file are out of Windows' order (or have a wrong
    // hash or hint): searched from end to end until a key is added to them.
    std::size_t disordered_lists() const { return disordered_.size(); }

    // The clock changes are stamped with (FileTimeNow unless a test sets another).
    static std::uint64_t (*clock)();

  private:
    Hive() = default;
    std::string Check();
    class Checker;  // the walk Check makes (hive_load.cpp)

    // Names.
    int CompareKeyName(std::u16string_view name, Cell key) const;
    bool ValueNamed(Cell value, std::u16string_view name) const;

    // Subkey lists (hive_index.cpp).
    Cell EntryOf(Cell list, std::uint32_t index) const;
    // A leaf's or index root's count of entries, its cell checked to hold them.
    std::uint32_t LeafCount(Cell list) const;
    // Where name is in a leaf, or would go.
    std::uint32_t LowerBound(Cell leaf, std::u16string_view name, bool* found) const;
    // The first leaf of an index root whose last name is not below name.
    std::uint32_t LeafFor(Cell root, std::u16string_view name) const;
    Cell FindInList(Cell parent, std::u16string_view name) const;
    void AddToList(Cell parent, Cell child, std::u16string_view name);
    void RemoveFromList(Cell parent, Cell child);
    // Whether a key's subkey list is in Windows' order, every hash and hint right.
    bool InOrder(Cell parent) const;
    void PutInOrder(Cell parent);
    Cell AddToLeaf(Cell leaf, Cell child, std::u16string_view name);
    Cell SplitLeaf(Cell root, std::uint32_t index);
    Cell NewLeaf(std::uint16_t signature, std::uint32_t entries);
    void FreeList(Cell list);

    // Values and keys freed.
    void FreeData(Cell value);
    void StoreData(Cell value, const std::uint8_t* data, std::uint32_t size);
    void ReleaseSecurity(Cell security);
    void FreeKeyCells(Cell key);
    void Touch(Cell key);

    Cells cells_;
    std::uint32_t minor_ = 0;
    Cell root_ = kNil;
    std::uint64_t lastChange_ = 0;
    // Parents whose subkey list is not in Windows' order, or whose hashes or hints do not
    // match the names: searched from end to end until put in order.
    std::unordered_set<Cell> disordered_;
};

}  // namespace platform::hive
