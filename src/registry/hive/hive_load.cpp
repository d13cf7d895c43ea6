// The check a hive passes before anything is read from it or written to it: every key reached
// from the root, each reference leading to a cell in use of the kind it should be, big enough
// for what it holds, and used once (security descriptors excepted, which keys share and
// count); subkey counts that agree with the lists; the security descriptors' list linked both
// ways. What the engine later relies on is thereby true of the whole hive, so a damaged or
// hostile file is refused here with the first thing found wrong, and a hive that passes can be
// walked and changed without loops or reads out of place.
#include <unordered_map>

#include "registry/hive/hive_keys.h"
#include "registry/hive/hive_layout.h"

namespace platform::hive {

using namespace layout;

namespace {

std::string What(const char* what, Cell cell) {
    return std::string(what) + " at file offset " + FileOffset(cell);
}

}  // namespace

// Walks every key from the root, each cell claimed as it is reached: throws Error with the
// first thing found wrong.
class Hive::Checker {
  public:
    explicit Checker(const Hive& hive)
        : hive_(hive), cells_(hive.cells_), used_(cells_.bins_size() / 8, false) {}

    // Every key under the root, with its class name, values and subkey lists.
    void Keys();
    // Each security descriptor the keys use: counting them all, linked both ways.
    void SecurityDescriptors() const;
    // The keys that have subkeys, in the order they were reached.
    const std::vector<Cell>& parents() const { return parents_; }

  private:
    // A cell in use, reached by no other reference.
    void Claim(Cell cell, const char* what);
    // A name inside its cell; UTF-16 unless compressed, so of an even length.
    void CheckName(Cell cell, std::uint32_t at, std::uint16_t length, bool compressed,
                   const char* what) const;
    // One key: its own cell, parent, name, security descriptor and class, then what it holds.
    void Key(Cell key, Cell parent);
    // The key's value list and every value in it.
    void Values(Cell key);
    // One value, and its data where that is not kept inline.
    void Value(Cell value);
    // Data in segments: as many as its size needs, each inside its cell.
    void BigData(Cell value, Cell data, std::uint32_t size);
    // The key's subkey list, its entries queued to be walked.
    void Subkeys(Cell key);

    const Hive& hive_;
    const Cells& cells_;
    std::vector<bool> used_;
    std::unordered_map<Cell, std::uint32_t> securityUsers_;
    std::vector<Cell> parents_;
    std::vector<std::pair<Cell, Cell>> pending_;  // key, its parent
};

void Hive::Checker::Claim(Cell cell, const char* what) {
    if (!cells_.IsAllocated(cell)) throw Error(What(what, cell) + " is no cell in use");
    if (used_[cell / 8]) throw Error(What(what, cell) + " is used twice");
    used_[cell / 8] = true;
}

void Hive::Checker::CheckName(Cell cell, std::uint32_t at, std::uint16_t length, bool compressed,
                              const char* what) const {
    cells_.Data(cell, at + length);
    if (!compressed && length % 2 != 0) throw Error(What(what, cell) + " has a broken name");
}

void Hive::Checker::Keys() {
    pending_.push_back({hive_.root_, kNil});
    while (!pending_.empty()) {
        const auto [key, parent] = pending_.back();
        pending_.pop_back();
        Key(key, parent);
    }
}

void Hive::Checker::Key(Cell key, Cell parent) {
    Claim(key, "a key");
    if (cells_.U16(key, 0) != kKeySignature) throw Error(What("a key", key) + " is no key");
    if (parent != kNil && cells_.U32(key, key::kParent) != parent) {
        throw Error(What("the key", key) + " names another parent than the key it is under");
    }
    CheckName(key, key::kName, cells_.U16(key, key::kNameLength),
              (cells_.U16(key, key::kFlags) & key::kCompressedName) != 0, "the key");

    const Cell security = cells_.U32(key, key::kSecurity);
    if (!cells_.IsAllocated(security) || cells_.U16(security, 0) != kSecuritySignature) {
        throw Error(What("the key", key) + " has no security descriptor");
    }
    cells_.Data(security, std::uint64_t{security::kDescriptor} +
                              cells_.U32(security, security::kDescriptorSize));
    ++securityUsers_[security];

    const Cell className = cells_.U32(key, key::kClass);
    if (className != kNil) {
        Claim(className, "a class name");
        cells_.Data(className, cells_.U16(key, key::kClassLength));
    }
    Values(key);
    Subkeys(key);
}

void Hive::Checker::Values(Cell key) {
    const std::uint32_t values = cells_.U32(key, key::kValueCount);
    if (values == 0) return;
    const Cell list = cells_.U32(key, key::kValueList);
    Claim(list, "a value list");
    cells_.Data(list, std::uint64_t{values} * 4);
    for (std::uint32_t i = 0; i < values; ++i) Value(cells_.U32(list, 4 * i));
}

void Hive::Checker::Value(Cell value) {
    Claim(value, "a value");
    if (cells_.U16(value, 0) != kValueSignature)
        throw Error(What("a value", value) + " is no value");
    CheckName(value, value::kName, cells_.U16(value, value::kNameLength),
              (cells_.U16(value, value::kFlags) & value::kCompressedName) != 0, "the value");
    const std::uint32_t size = cells_.U32(value, value::kDataSize);
    if (size & value::kInline) {
        if ((size & ~value::kInline) > 4) {
            throw Error(What("the value", value) + " gives a wrong data size");
        }
        return;
    }
    if (size == 0) return;
    const Cell data = cells_.U32(value, value::kData);
    Claim(data, "a value's data");
    if (hive_.minor_ >= 4 && size > kBigDataSegment && cells_.Capacity(data) >= big::kSize &&
        cells_.U16(data, 0) == kBigData) {
        BigData(value, data, size);
    } else {
        cells_.Data(data, size);
    }
}

void Hive::Checker::BigData(Cell value, Cell data, std::uint32_t size) {
    const std::uint16_t segments = cells_.U16(data, big::kCount);
    const Cell segmentList = cells_.U32(data, big::kList);
    Claim(segmentList, "a big data list");
    cells_.Data(segmentList, std::uint64_t{segments} * 4);
    std::uint32_t left = size;
    for (std::uint16_t s = 0; s < segments; ++s) {
        const Cell segment = cells_.U32(segmentList, 4u * s);
        Claim(segment, "a big data segment");
        const std::uint32_t take = std::min(left, kBigDataSegment);
        cells_.Data(segment, take);
        left -= take;
    }
    if (left > 0) throw Error(What("the value", value) + " has too few data segments");
}

void Hive::Checker::Subkeys(Cell key) {
    const std::uint32_t subkeys = cells_.U32(key, key::kSubkeyCount);
    if (subkeys == 0) return;
    const Cell list = cells_.U32(key, key::kSubkeyList);
    Claim(list, "a subkey list");
    std::vector<Cell> leaves;
    if (cells_.U16(list, 0) == kIndexRoot) {
        const std::uint32_t count = hive_.LeafCount(list);
        for (std::uint32_t i = 0; i < count; ++i) {
            leaves.push_back(hive_.EntryOf(list, i));
            Claim(leaves.back(), "a subkey list");
        }
    } else {
        leaves.push_back(list);
    }
    std::uint64_t total = 0;
    for (const Cell leaf : leaves) {
        const std::uint16_t signature = cells_.U16(leaf, 0);
        if (signature != kIndexLeaf && signature != kFastLeaf && signature != kHashLeaf) {
            throw Error(What("a subkey list", leaf) + " is none");
        }
        const std::uint32_t count = hive_.LeafCount(leaf);
        if (count == 0) throw Error(What("a subkey list", leaf) + " is empty");
        for (std::uint32_t i = 0; i < count; ++i) pending_.push_back({hive_.EntryOf(leaf, i), key});
        total += count;
    }
    if (total != subkeys) {
        throw Error(What("the key", key) + " counts other subkeys than its list holds");
    }
    parents_.push_back(key);
}

void Hive::Checker::SecurityDescriptors() const {
    for (const auto& [security, users] : securityUsers_) {
        // Freed when its count falls to 0, so it must count every key that uses it.
        if (cells_.U32(security, security::kUsers) < users) {
            throw Error(What("the security descriptor", security) +
                        " counts fewer keys than use it");
        }
        const Cell next = cells_.U32(security, security::kNext);
        const Cell previous = cells_.U32(security, security::kPrevious);
        for (const Cell other : {next, previous}) {
            if (!cells_.IsAllocated(other) || cells_.U16(other, 0) != kSecuritySignature) {
                throw Error(What("the security descriptor", security) +
                            " is linked to no other one");
            }
        }
        if (cells_.U32(next, security::kPrevious) != security ||
            cells_.U32(previous, security::kNext) != security) {
            throw Error(What("the security descriptor", security) +
                        " is linked to others that are not linked to it");
        }
    }
}

std::string Hive::Check() {
    try {
        Checker checker(*this);
        checker.Keys();
        checker.SecurityDescriptors();
        for (const Cell parent : checker.parents()) {
            if (!InOrder(parent)) disordered_.insert(parent);
        }
        return "";
    } catch (const Error& error) {
        return error.what();
    }
}

}  // namespace platform::hive
