#include "registry/hive/hive_order.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <set>

namespace platform::hive {

namespace {

constexpr std::uint64_t kBins = 0x1000;
constexpr std::uint32_t kNone = 0xFFFFFFFF;
// Subkeys of one key in libhivex's lists; more means the file is not what it should be.
constexpr std::uint32_t kMaxEntries = 1u << 20;

char16_t Upper(char16_t unit) {
    if (unit >= u'a' && unit <= u'z') return static_cast<char16_t>(unit - 32);
    if (unit >= 0xE0 && unit <= 0xFE && unit != 0xF7) return static_cast<char16_t>(unit - 32);
    if (unit == 0xFF) return 0x178;
    return unit;
}

class File {
  public:
    explicit File(int fd) : fd_(fd) {}
    bool Read(std::uint64_t at, void* out, std::size_t size) {
        return ::pread(fd_, out, size, static_cast<off_t>(at)) == static_cast<ssize_t>(size);
    }
    bool Write(std::uint64_t at, const void* data, std::size_t size) {
        return ::pwrite(fd_, data, size, static_cast<off_t>(at)) == static_cast<ssize_t>(size);
    }
    bool U16(std::uint64_t at, std::uint16_t* out) {
        unsigned char b[2];
        if (!Read(at, b, 2)) return false;
        *out = static_cast<std::uint16_t>(b[0] | (b[1] << 8));
        return true;
    }
    bool U32(std::uint64_t at, std::uint32_t* out) {
        unsigned char b[4];
        if (!Read(at, b, 4)) return false;
        *out = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
        return true;
    }
    bool Put32(std::uint64_t at, std::uint32_t value) {
        const unsigned char b[4] = {
            static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
            static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
        return Write(at, b, 4);
    }
    // The name of the key whose nk cell is at this file offset, as UTF-16 units.
    bool Name(std::uint64_t nk, std::u16string* name) {
        char id[2];
        std::uint16_t flags = 0;
        std::uint16_t length = 0;
        if (!Read(nk + 4, id, 2) || id[0] != 'n' || id[1] != 'k' || !U16(nk + 6, &flags) ||
            !U16(nk + 76, &length)) {
            return false;
        }
        std::string bytes(length, '\0');
        if (length && !Read(nk + 80, bytes.data(), length)) return false;
        name->clear();
        if (flags & 0x20) {  // one byte a character, Latin-1
            for (const char c : bytes) name->push_back(static_cast<unsigned char>(c));
        } else {
            for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
                name->push_back(
                    static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8)));
            }
        }
        return true;
    }

  private:
    int fd_;
};

// One entry of a subkey list: where it is in the file and which kind of list holds it.
struct Slot {
    std::uint64_t at = 0;
    char kind = 'i';  // 'f' lf, 'h' lh, 'i' li
};

// The entries of a subkey list (an ri list's leaves in order) and the keys they name.
bool Entries(File& file, std::uint64_t list, bool top, std::vector<Slot>* slots,
             std::vector<std::uint64_t>* keys) {
    char id[2];
    std::uint16_t count = 0;
    if (!file.Read(list + 4, id, 2) || !file.U16(list + 6, &count) || id[0] == 0) return false;
    const std::string kind(id, 2);
    for (std::uint16_t i = 0; i < count; ++i) {
        const bool pairs = kind == "lf" || kind == "lh";
        const std::uint64_t at = list + 8 + i * (pairs ? 8u : 4u);
        std::uint32_t offset = 0;
        if (!file.U32(at, &offset) || offset == kNone) return false;
        if (kind == "ri") {
            if (!top || !Entries(file, kBins + offset, false, slots, keys)) return false;
        } else if (pairs || kind == "li") {
            slots->push_back({at, kind == "lf" ? 'f' : kind == "lh" ? 'h' : 'i'});
            keys->push_back(kBins + offset);
        } else {
            return false;
        }
        if (keys->size() > kMaxEntries) return false;
    }
    return true;
}

bool Place(File& file, std::uint64_t parent, const std::set<std::uint64_t>& added, bool* changed) {
    // A parent deleted after its child was added is gone from the hive: nothing to place.
    std::uint32_t cell = 0;
    if (!file.U32(parent, &cell)) return false;
    if (static_cast<std::int32_t>(cell) >= 0) return true;
    std::uint32_t list = 0;
    if (!file.U32(parent + 32, &list) || list == kNone) return false;
    std::vector<Slot> slots;
    std::vector<std::uint64_t> keys;
    if (!Entries(file, kBins + list, true, &slots, &keys)) return false;
    std::map<std::uint64_t, std::u16string> names;
    for (const std::uint64_t key : keys) {
        if (!file.Name(key, &names[key])) return false;
    }
    // The keys that were there keep their order; each new one goes before the first that
    // Windows sorts after it.
    std::vector<std::uint64_t> order;
    for (const std::uint64_t key : keys) {
        if (!added.count(key)) order.push_back(key);
    }
    for (const std::uint64_t key : keys) {
        if (!added.count(key)) continue;
        auto at = order.begin();
        while (at != order.end() && CompareKeyNames(names[*at], names[key]) < 0) ++at;
        order.insert(at, key);
    }
    if (order == keys) return true;
    *changed = true;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const std::u16string& name = names[order[i]];
        if (!file.Put32(slots[i].at, static_cast<std::uint32_t>(order[i] - kBins))) return false;
        std::uint32_t hash = 0;
        if (slots[i].kind == 'h') {
            hash = NameHash(name);
        } else if (slots[i].kind == 'f') {
            for (std::size_t c = 0; c < 4 && c < name.size(); ++c) {
                hash |= static_cast<std::uint32_t>(name[c] & 0xFF) << (8 * c);
            }
        }
        if (slots[i].kind != 'i' && !file.Put32(slots[i].at + 4, hash)) return false;
    }
    return true;
}

}  // namespace

int CompareKeyNames(const std::u16string& a, const std::u16string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t x = Upper(a[i]);
        const char16_t y = Upper(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::uint32_t NameHash(const std::u16string& name) {
    std::uint32_t hash = 0;
    for (const char16_t unit : name) hash = hash * 37 + Upper(unit);
    return hash;
}

bool PlaceAddedKeys(int fd, const std::vector<AddedKey>& added, bool* changed,
                    std::string* reason) {
    *changed = false;
    std::map<std::uint64_t, std::set<std::uint64_t>> byParent;
    for (const auto& key : added) byParent[key.parent].insert(key.child);
    File file(fd);
    for (const auto& [parent, children] : byParent) {
        errno = 0;
        if (!Place(file, parent, children, changed)) {
            *reason = errno ? std::strerror(errno) : "a subkey list is not as libhivex writes it";
            return false;
        }
    }
    return true;
}

}  // namespace platform::hive
