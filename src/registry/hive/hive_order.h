// Windows finds a key among its siblings by a binary search in their subkey list, which must
// therefore be in Windows' order: names compared unit by unit in upper case. libhivex files a
// new key by a C library comparison of lower-case UTF-8, which disagrees where a name holds
// one of [ \ ] ^ _ ` (Windows sorts "wdmaud" before "wdm_au8830", libhivex after). This puts
// new keys into Windows' place in a hive file libhivex has written.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace platform::hive {

// A key libhivex added: the file offsets of its parent's and its own nk cells.
struct AddedKey {
    std::uint64_t parent = 0;
    std::uint64_t child = 0;
};

// Windows' comparison of two key names given as UTF-16 units: <0, 0, >0.
int CompareKeyNames(const std::u16string& a, const std::u16string& b);
// The hash an "lh" subkey list keeps for a name.
std::uint32_t NameHash(const std::u16string& name);

// Rewrites the subkey lists of the parents in the hive file fd so that the added keys stand
// where Windows looks for them, every other key keeping its place. *changed tells whether
// anything moved. False, with the reason, when the file cannot be read or written or its
// lists are not what libhivex writes.
bool PlaceAddedKeys(int fd, const std::vector<AddedKey>& added, bool* changed, std::string* reason);

}  // namespace platform::hive
