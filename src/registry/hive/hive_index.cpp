// Subkey lists: a leaf ("li" cells only, "lf" with name hints, "lh" with name hashes) or an
// index root ("ri") of leaves, the entries in Windows' order of the names as a whole. Windows
// finds a key by a binary search (li, lf; for lh by the hash), so a key filed out of order or
// with a wrong hash is one Windows cannot open.
#include <algorithm>

#include "registry/hive/hive_keys.h"
#include "registry/hive/hive_layout.h"
#include "text/windows_names.h"

namespace platform::hive {

using namespace layout;

namespace {

// How full Windows lets a leaf grow (ReactOS's reading of Windows' limits, which the format
// itself does not set): an lf leaf becomes an li leaf past kMaxFastLeaf entries (hives of
// format 1.3 and 1.4), an li or lh leaf becomes the first leaf of an index root past
// kMaxLeaf, and a leaf of an index root that is full is split in two halves.
constexpr std::uint32_t kMaxFastLeaf = 507;
constexpr std::uint32_t kMaxLeaf = 1013;

std::uint32_t EntrySize(std::uint16_t signature) {
    return signature == kFastLeaf || signature == kHashLeaf ? 8 : 4;
}

std::uint32_t EntryAt(std::uint32_t index, std::uint32_t entrySize) {
    return list::kEntries + index * entrySize;
}

}  // namespace

Cell Hive::EntryOf(Cell leaf, std::uint32_t index) const {
    return cells_.U32(leaf, EntryAt(index, EntrySize(cells_.U16(leaf, 0))));
}

std::uint32_t Hive::LeafCount(Cell leaf) const {
    const std::uint16_t count = cells_.U16(leaf, list::kCount);
    cells_.Data(leaf, EntryAt(count, EntrySize(cells_.U16(leaf, 0))));
    return count;
}

std::uint32_t Hive::LowerBound(Cell leaf, std::u16string_view name, bool* found) const {
    std::uint32_t low = 0;
    std::uint32_t high = LeafCount(leaf);
    *found = false;
    while (low < high) {
        const std::uint32_t middle = low + (high - low) / 2;
        const int order = CompareKeyName(name, EntryOf(leaf, middle));
        if (order == 0) {
            *found = true;
            return middle;
        }
        if (order < 0) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return low;
}

std::uint32_t Hive::LeafFor(Cell root, std::u16string_view name) const {
    // The first leaf whose last name is not below name; the count of leaves past them all.
    std::uint32_t low = 0;
    std::uint32_t high = LeafCount(root);
    while (low < high) {
        const std::uint32_t middle = low + (high - low) / 2;
        const Cell leaf = EntryOf(root, middle);
        if (CompareKeyName(name, EntryOf(leaf, LeafCount(leaf) - 1)) <= 0) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return low;
}

std::vector<Cell> Hive::Subkeys(Cell key) const {
    std::vector<Cell> keys;
    if (cells_.U32(key, key::kSubkeyCount) == 0) return keys;
    const Cell list = cells_.U32(key, key::kSubkeyList);
    const auto add = [&](Cell leaf) {
        const std::uint32_t count = LeafCount(leaf);
        for (std::uint32_t i = 0; i < count; ++i) keys.push_back(EntryOf(leaf, i));
    };
    if (cells_.U16(list, 0) != kIndexRoot) {
        add(list);
        return keys;
    }
    const std::uint32_t leaves = LeafCount(list);
    for (std::uint32_t i = 0; i < leaves; ++i) add(EntryOf(list, i));
    return keys;
}

Cell Hive::FindInList(Cell parent, std::u16string_view name) const {
    if (cells_.U32(parent, key::kSubkeyCount) == 0) return kNil;
    if (disordered_.count(parent)) {
        for (const Cell key : Subkeys(parent)) {
            if (CompareKeyName(name, key) == 0) return key;
        }
        return kNil;
    }
    Cell leaf = cells_.U32(parent, key::kSubkeyList);
    if (cells_.U16(leaf, 0) == kIndexRoot) {
        const std::uint32_t index = LeafFor(leaf, name);
        if (index == LeafCount(leaf)) return kNil;
        leaf = EntryOf(leaf, index);
    }
    bool found = false;
    const std::uint32_t at = LowerBound(leaf, name, &found);
    return found ? EntryOf(leaf, at) : kNil;
}

Cell Hive::NewLeaf(std::uint16_t signature, std::uint32_t entries) {
    const Cell leaf = cells_.Allocate(EntryAt(entries, EntrySize(signature)));
    cells_.Put16(leaf, 0, signature);
    return leaf;
}

Cell Hive::AddToLeaf(Cell leaf, Cell child, std::u16string_view name) {
    const std::uint16_t signature = cells_.U16(leaf, 0);
    const std::uint32_t size = EntrySize(signature);
    const std::uint32_t count = LeafCount(leaf);
    if (count >= 0xFFFF) throw Error("a subkey list is full");
    // A leaf without room grows by half, as Windows grows it.
    const std::uint32_t capacity = cells_.Capacity(leaf);
    if (EntryAt(count + 1, size) > capacity) {
        leaf = cells_.Reallocate(leaf, std::max(capacity + capacity / 2, EntryAt(count + 1, size)));
    }
    bool found = false;
    const std::uint32_t at = LowerBound(leaf, name, &found);
    if (found) throw Error("a key of that name is already in the list");
    cells_.Move(leaf, EntryAt(at + 1, size), EntryAt(at, size), (count - at) * size);
    cells_.Put32(leaf, EntryAt(at, size), child);
    if (signature == kHashLeaf) cells_.Put32(leaf, EntryAt(at, size) + 4, names::LhHash(name));
    if (signature == kFastLeaf) cells_.Put32(leaf, EntryAt(at, size) + 4, names::LfHint(name));
    cells_.Put16(leaf, list::kCount, static_cast<std::uint16_t>(count + 1));
    return leaf;
}

Cell Hive::SplitLeaf(Cell root, std::uint32_t index) {
    const Cell leaf = EntryOf(root, index);
    const std::uint16_t signature = cells_.U16(leaf, 0);
    const std::uint32_t size = EntrySize(signature);
    const std::uint32_t count = LeafCount(leaf);
    const std::uint32_t first = count / 2;
    const std::uint32_t last = count - first;
    const Cell upper = NewLeaf(signature, last);
    cells_.PutBytes(upper, list::kEntries,
                    cells_.Data(leaf, EntryAt(count, size)) + EntryAt(first, size), last * size);
    cells_.Put16(upper, list::kCount, static_cast<std::uint16_t>(last));
    cells_.Put16(leaf, list::kCount, static_cast<std::uint16_t>(first));
    const std::uint32_t leaves = LeafCount(root);
    if (leaves >= 0xFFFF) throw Error("a subkey index is full");
    root = cells_.Reallocate(root, EntryAt(leaves + 1, 4));
    cells_.Move(root, EntryAt(index + 2, 4), EntryAt(index + 1, 4), (leaves - index - 1) * 4);
    cells_.Put32(root, EntryAt(index + 1, 4), upper);
    cells_.Put16(root, list::kCount, static_cast<std::uint16_t>(leaves + 1));
    return root;
}

void Hive::AddToList(Cell parent, Cell child, std::u16string_view name) {
    if (cells_.U32(parent, key::kSubkeyCount) == 0) {
        // The first subkey: the leaf of the hive's format (XP's 1.5 hashes, 1.3 and 1.4 hints).
        const Cell leaf = NewLeaf(minor_ >= 5 ? kHashLeaf : kFastLeaf, 1);
        cells_.Put32(parent, key::kSubkeyList, AddToLeaf(leaf, child, name));
        return;
    }
    if (disordered_.count(parent)) PutInOrder(parent);
    Cell list = cells_.U32(parent, key::kSubkeyList);
    const std::uint16_t signature = cells_.U16(list, 0);
    if (signature == kFastLeaf && LeafCount(list) >= kMaxFastLeaf) {
        // A full lf leaf becomes an li leaf in its own cell, its hints dropped.
        const std::uint32_t count = LeafCount(list);
        for (std::uint32_t i = 0; i < count; ++i) {
            cells_.Put32(list, EntryAt(i, 4), cells_.U32(list, EntryAt(i, 8)));
        }
        cells_.Put16(list, 0, kIndexLeaf);
    } else if (signature != kIndexRoot && LeafCount(list) >= kMaxLeaf) {
        // A full leaf becomes the first leaf of an index root.
        const Cell root = cells_.Allocate(EntryAt(1, 4));
        cells_.Put16(root, 0, kIndexRoot);
        cells_.Put16(root, list::kCount, 1);
        cells_.Put32(root, EntryAt(0, 4), list);
        list = root;
    }
    if (cells_.U16(list, 0) != kIndexRoot) {
        cells_.Put32(parent, key::kSubkeyList, AddToLeaf(list, child, name));
        return;
    }
    while (true) {
        // The leaf whose names surround name; between two leaves the one before if it has
        // room, else the one after; a full one is split and the choice made again.
        const std::uint32_t leaves = LeafCount(list);
        std::uint32_t index = std::min(LeafFor(list, name), leaves - 1);
        if (index > 0 && CompareKeyName(name, EntryOf(EntryOf(list, index), 0)) < 0 &&
            LeafCount(EntryOf(list, index - 1)) < kMaxLeaf) {
            --index;
        }
        const Cell leaf = EntryOf(list, index);
        if (LeafCount(leaf) < kMaxLeaf) {
            const Cell grown = AddToLeaf(leaf, child, name);
            if (grown != leaf) cells_.Put32(list, EntryAt(index, 4), grown);
            cells_.Put32(parent, key::kSubkeyList, list);
            return;
        }
        list = SplitLeaf(list, index);
        cells_.Put32(parent, key::kSubkeyList, list);
    }
}

void Hive::RemoveFromList(Cell parent, Cell child) {
    const Cell list = cells_.U32(parent, key::kSubkeyList);
    const bool rooted = cells_.U16(list, 0) == kIndexRoot;
    const std::uint32_t leaves = rooted ? LeafCount(list) : 1;
    for (std::uint32_t l = 0; l < leaves; ++l) {
        const Cell leaf = rooted ? EntryOf(list, l) : list;
        const std::uint32_t size = EntrySize(cells_.U16(leaf, 0));
        const std::uint32_t count = LeafCount(leaf);
        for (std::uint32_t i = 0; i < count; ++i) {
            if (EntryOf(leaf, i) != child) continue;
            if (count > 1) {
                cells_.Move(leaf, EntryAt(i, size), EntryAt(i + 1, size), (count - 1 - i) * size);
                cells_.Put16(leaf, list::kCount, static_cast<std::uint16_t>(count - 1));
                return;
            }
            // The leaf's last entry: the leaf goes, and an index root left without leaves.
            cells_.Free(leaf);
            if (rooted && leaves > 1) {
                cells_.Move(list, EntryAt(l, 4), EntryAt(l + 1, 4), (leaves - 1 - l) * 4);
                cells_.Put16(list, list::kCount, static_cast<std::uint16_t>(leaves - 1));
                return;
            }
            if (rooted) cells_.Free(list);
            cells_.Put32(parent, key::kSubkeyList, kNil);
            return;
        }
    }
    throw Error("a key is missing from its parent's subkey list");
}

void Hive::FreeList(Cell list) {
    if (cells_.U16(list, 0) == kIndexRoot) {
        const std::uint32_t leaves = LeafCount(list);
        for (std::uint32_t i = 0; i < leaves; ++i) cells_.Free(EntryOf(list, i));
    }
    cells_.Free(list);
}

bool Hive::InOrder(Cell parent) const {
    std::u16string previous;
    bool first = true;
    const Cell list = cells_.U32(parent, key::kSubkeyList);
    const bool rooted = cells_.U16(list, 0) == kIndexRoot;
    const std::uint32_t leaves = rooted ? LeafCount(list) : 1;
    for (std::uint32_t l = 0; l < leaves; ++l) {
        const Cell leaf = rooted ? EntryOf(list, l) : list;
        const std::uint16_t signature = cells_.U16(leaf, 0);
        const std::uint32_t count = LeafCount(leaf);
        for (std::uint32_t i = 0; i < count; ++i) {
            std::u16string name = KeyName(EntryOf(leaf, i));
            // Strictly ascending: two names Windows holds equal are as bad as a wrong order.
            if (!first && names::Compare(previous, name) >= 0) return false;
            if (signature == kHashLeaf &&
                cells_.U32(leaf, EntryAt(i, 8) + 4) != names::LhHash(name)) {
                return false;
            }
            if (signature == kFastLeaf) {
                // Windows compares a hint's characters up to its first 0 byte with the name's.
                const std::uint32_t hint = cells_.U32(leaf, EntryAt(i, 8) + 4);
                for (std::size_t c = 0; c < 4 && c < name.size(); ++c) {
                    const auto byte = static_cast<char16_t>((hint >> (8 * c)) & 0xFF);
                    if (byte == 0) break;
                    if (names::Upcase(byte) != names::Upcase(name[c])) return false;
                }
            }
            previous = std::move(name);
            first = false;
        }
    }
    return true;
}

void Hive::PutInOrder(Cell parent) {
    // Every entry stays in its leaf's slots; the keys are dealt out to them in Windows' order,
    // with the hashes and hints of their names.
    struct Slot {
        Cell leaf;
        std::uint32_t index;
    };
    std::vector<Slot> slots;
    std::vector<std::pair<std::u16string, Cell>> keys;
    const Cell list = cells_.U32(parent, key::kSubkeyList);
    const bool rooted = cells_.U16(list, 0) == kIndexRoot;
    const std::uint32_t leaves = rooted ? LeafCount(list) : 1;
    for (std::uint32_t l = 0; l < leaves; ++l) {
        const Cell leaf = rooted ? EntryOf(list, l) : list;
        const std::uint32_t count = LeafCount(leaf);
        for (std::uint32_t i = 0; i < count; ++i) {
            slots.push_back(Slot{leaf, i});
            keys.emplace_back(KeyName(EntryOf(leaf, i)), EntryOf(leaf, i));
        }
    }
    std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
        return names::Compare(a.first, b.first) < 0;
    });
    for (std::size_t k = 0; k < keys.size(); ++k) {
        const Slot& slot = slots[k];
        const std::uint16_t signature = cells_.U16(slot.leaf, 0);
        const std::uint32_t at = EntryAt(slot.index, EntrySize(signature));
        cells_.Put32(slot.leaf, at, keys[k].second);
        if (signature == kHashLeaf) cells_.Put32(slot.leaf, at + 4, names::LhHash(keys[k].first));
        if (signature == kFastLeaf) cells_.Put32(slot.leaf, at + 4, names::LfHint(keys[k].first));
    }
    disordered_.erase(parent);
}

}  // namespace platform::hive
