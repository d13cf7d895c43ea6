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

std::string Hive::Check() {
    try {
        std::vector<bool> used(cells_.bins_size() / 8, false);
        const auto claim = [&](Cell cell, const char* what) {
            if (!cells_.IsAllocated(cell)) throw Error(What(what, cell) + " is no cell in use");
            if (used[cell / 8]) throw Error(What(what, cell) + " is used twice");
            used[cell / 8] = true;
        };
        const auto checkName = [&](Cell cell, std::uint32_t at, std::uint16_t length,
                                   bool compressed, const char* what) {
            cells_.Data(cell, at + length);
            if (!compressed && length % 2 != 0)
                throw Error(What(what, cell) + " has a broken name");
        };
        std::unordered_map<Cell, std::uint32_t> securityUsers;
        std::vector<Cell> parents;
        std::vector<std::pair<Cell, Cell>> pending{{root_, kNil}};  // key, its parent
        while (!pending.empty()) {
            const auto [key, parent] = pending.back();
            pending.pop_back();
            claim(key, "a key");
            if (cells_.U16(key, 0) != kKeySignature) throw Error(What("a key", key) + " is no key");
            if (parent != kNil && cells_.U32(key, key::kParent) != parent) {
                throw Error(What("the key", key) +
                            " names another parent than the key it is under");
            }
            checkName(key, key::kName, cells_.U16(key, key::kNameLength),
                      (cells_.U16(key, key::kFlags) & key::kCompressedName) != 0, "the key");

            const Cell security = cells_.U32(key, key::kSecurity);
            if (!cells_.IsAllocated(security) || cells_.U16(security, 0) != kSecuritySignature) {
                throw Error(What("the key", key) + " has no security descriptor");
            }
            cells_.Data(security, std::uint64_t{security::kDescriptor} +
                                      cells_.U32(security, security::kDescriptorSize));
            ++securityUsers[security];

            const Cell className = cells_.U32(key, key::kClass);
            if (className != kNil) {
                claim(className, "a class name");
                cells_.Data(className, cells_.U16(key, key::kClassLength));
            }

            const std::uint32_t values = cells_.U32(key, key::kValueCount);
            if (values > 0) {
                const Cell list = cells_.U32(key, key::kValueList);
                claim(list, "a value list");
                cells_.Data(list, std::uint64_t{values} * 4);
                for (std::uint32_t i = 0; i < values; ++i) {
                    const Cell value = cells_.U32(list, 4 * i);
                    claim(value, "a value");
                    if (cells_.U16(value, 0) != kValueSignature) {
                        throw Error(What("a value", value) + " is no value");
                    }
                    checkName(value, value::kName, cells_.U16(value, value::kNameLength),
                              (cells_.U16(value, value::kFlags) & value::kCompressedName) != 0,
                              "the value");
                    const std::uint32_t size = cells_.U32(value, value::kDataSize);
                    if (size & value::kInline) {
                        if ((size & ~value::kInline) > 4) {
                            throw Error(What("the value", value) + " gives a wrong data size");
                        }
                        continue;
                    }
                    if (size == 0) continue;
                    const Cell data = cells_.U32(value, value::kData);
                    claim(data, "a value's data");
                    if (minor_ >= 4 && size > kBigDataSegment &&
                        cells_.Capacity(data) >= big::kSize && cells_.U16(data, 0) == kBigData) {
                        const std::uint16_t segments = cells_.U16(data, big::kCount);
                        const Cell segmentList = cells_.U32(data, big::kList);
                        claim(segmentList, "a big data list");
                        cells_.Data(segmentList, std::uint64_t{segments} * 4);
                        std::uint32_t left = size;
                        for (std::uint16_t s = 0; s < segments; ++s) {
                            const Cell segment = cells_.U32(segmentList, 4u * s);
                            claim(segment, "a big data segment");
                            const std::uint32_t take = std::min(left, kBigDataSegment);
                            cells_.Data(segment, take);
                            left -= take;
                        }
                        if (left > 0) {
                            throw Error(What("the value", value) + " has too few data segments");
                        }
                    } else {
                        cells_.Data(data, size);
                    }
                }
            }

            const std::uint32_t subkeys = cells_.U32(key, key::kSubkeyCount);
            if (subkeys == 0) continue;
            const Cell list = cells_.U32(key, key::kSubkeyList);
            claim(list, "a subkey list");
            std::vector<Cell> leaves;
            if (cells_.U16(list, 0) == kIndexRoot) {
                const std::uint32_t count = LeafCount(list);
                for (std::uint32_t i = 0; i < count; ++i) {
                    leaves.push_back(EntryOf(list, i));
                    claim(leaves.back(), "a subkey list");
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
                const std::uint32_t count = LeafCount(leaf);
                if (count == 0) throw Error(What("a subkey list", leaf) + " is empty");
                for (std::uint32_t i = 0; i < count; ++i)
                    pending.push_back({EntryOf(leaf, i), key});
                total += count;
            }
            if (total != subkeys) {
                throw Error(What("the key", key) + " counts other subkeys than its list holds");
            }
            parents.push_back(key);
        }

        for (const auto& [security, users] : securityUsers) {
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
        for (const Cell parent : parents) {
            if (!InOrder(parent)) disordered_.insert(parent);
        }
        return "";
    } catch (const Error& error) {
        return error.what();
    }
}

}  // namespace platform::hive
