#include "registry/hive/hive_check.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <unordered_map>

#include "text/windows_names.h"

namespace platform::hive {

namespace {

namespace names = platform::names;

constexpr std::uint64_t kBase = 0x1000;  // the base block; cell offsets count from its end
constexpr std::uint32_t kBinHeader = 0x20;
constexpr std::uint32_t kNil = 0xFFFFFFFF;
constexpr std::uint32_t kSegment = 16344;  // the most a big data segment holds
constexpr std::uint32_t kInline = 0x80000000;
constexpr std::size_t kMaxKeyName = 255;
constexpr std::size_t kMaxValueName = 16383;

constexpr std::uint16_t kKeyVolatile = 0x0001;
constexpr std::uint16_t kKeyHiveExit = 0x0002;
constexpr std::uint16_t kKeyHiveEntry = 0x0004;
constexpr std::uint16_t kKeyCompressed = 0x0020;
constexpr std::uint16_t kValueCompressed = 0x0001;

// Fixed parts of the records, from the start of the cell's data (after its size).
constexpr std::uint32_t kNkFixed = 76;
constexpr std::uint32_t kVkFixed = 20;
constexpr std::uint32_t kSkFixed = 20;

std::string Hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

std::string Utf8(std::u16string_view units) {
    std::string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string Quoted(std::u16string_view name) {
    return "\"" + Utf8(name) + "\"";
}

std::uint64_t Fnv(std::uint64_t hash, const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 0x100000001B3ull;
    return hash;
}
constexpr std::uint64_t kFnvStart = 0xCBF29CE484222325ull;

std::u16string Upper(std::u16string_view name) {
    std::u16string out(name);
    for (char16_t& unit : out) unit = names::Upcase(unit);
    return out;
}

// What a cell was found to hold, to tell two structures sharing one.
enum class Use : std::uint8_t {
    kNone,
    kKey,
    kSubkeyList,
    kValueList,
    kValue,
    kData,
    kBigData,
    kSegmentList,
    kSecurity,
    kClass,
};

const char* UseName(Use use) {
    switch (use) {
        case Use::kNone:
            return "nothing";
        case Use::kKey:
            return "a key node";
        case Use::kSubkeyList:
            return "a subkey list";
        case Use::kValueList:
            return "a value list";
        case Use::kValue:
            return "a value";
        case Use::kData:
            return "value data";
        case Use::kBigData:
            return "a big data record";
        case Use::kSegmentList:
            return "a big data segment list";
        case Use::kSecurity:
            return "a security cell";
        case Use::kClass:
            return "a class name";
    }
    return "?";
}

struct Cell {
    std::uint32_t offset = 0;  // from the start of the bins data
    std::uint32_t size = 0;    // with its size field
    bool allocated = false;
    Use use = Use::kNone;
};

// The cell's data: its bytes after the size field.
struct Data {
    const std::uint8_t* p = nullptr;
    std::uint32_t size = 0;
    std::uint32_t offset = 0;  // the cell's, from the start of the bins data

    std::uint16_t U16(std::uint32_t at) const {
        return static_cast<std::uint16_t>(p[at] | (p[at + 1] << 8));
    }
    std::uint32_t U32(std::uint32_t at) const {
        return p[at] | (p[at + 1] << 8) | (p[at + 2] << 16) |
               (static_cast<std::uint32_t>(p[at + 3]) << 24);
    }
    std::uint64_t U64(std::uint32_t at) const {
        return U32(at) | (static_cast<std::uint64_t>(U32(at + 4)) << 32);
    }
    bool Is(const char* signature) const {
        return size >= 2 && p[0] == signature[0] && p[1] == signature[1];
    }
};

std::u16string DecodeName(const std::uint8_t* p, std::size_t length, bool compressed) {
    std::u16string name;
    if (compressed) {
        name.assign(p, p + length);
    } else {
        for (std::size_t i = 0; i + 1 < length; i += 2) {
            name.push_back(static_cast<char16_t>(p[i] | (p[i + 1] << 8)));
        }
    }
    return name;
}

// One key as read, for comparing two hives (CheckChange).
struct KeyRecord {
    std::string path;
    std::uint64_t time = 0;
    std::uint64_t values = 0;   // hash of the values, in Windows' order of their names
    std::uint64_t subkeys = 0;  // hash of the subkeys' names, in order
};

struct Entry {
    std::uint32_t child = 0;
    std::uint32_t hint = 0;
    char kind = 'i';  // 'i' li, 'f' lf, 'h' lh
};

struct Pending {
    std::uint32_t nk = 0;
    std::uint32_t parent = kNil;  // kNil for the root
    std::string path;
};

class Checker {
  public:
    Checker(std::string_view bytes, std::string* contents, std::vector<KeyRecord>* records)
        : bytes_(reinterpret_cast<const std::uint8_t*>(bytes.data())),
          size_(bytes.size()),
          contents_(contents),
          records_(records) {}

    CheckResult Run() {
        if (contents_) contents_->clear();
        if (BaseBlock()) {
            Bins();
            Keys();
            Security();
            Unreached();
        }
        result_.bins = bins_;
        result_.cells = cells_.size();
        return std::move(result_);
    }

    std::uint64_t header_time() const { return headerTime_; }

  private:
    void Find(Rule rule, Severity severity, std::uint64_t offset, const std::string& key,
              std::string text) {
        ++result_.total;
        if (severity == Severity::kDamage) ++result_.damage;
        if (result_.findings.size() < CheckResult::kMaxKept) {
            result_.findings.push_back({rule, severity, offset, key, std::move(text)});
        }
    }
    void Damage(Rule rule, std::uint64_t offset, const std::string& key, std::string text) {
        Find(rule, Severity::kDamage, offset, key, std::move(text));
    }
    void Deviation(Rule rule, std::uint64_t offset, const std::string& key, std::string text) {
        Find(rule, Severity::kDeviation, offset, key, std::move(text));
    }

    std::uint32_t Get32(std::uint64_t at) const {
        const std::uint8_t* p = bytes_ + at;
        return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }

    // --- the base block ---

    // False when nothing past it can be read.
    bool BaseBlock() {
        if (size_ < 4 || bytes_[0] != 'r' || bytes_[1] != 'e' || bytes_[2] != 'g' ||
            bytes_[3] != 'f') {
            Damage(Rule::kBaseBlock, 0, "", "the file does not start with \"regf\"");
            return false;
        }
        if (size_ < kBase) {
            Damage(Rule::kBaseBlock, 0, "",
                   "the file is " + std::to_string(size_) + " bytes, shorter than a base block");
            return false;
        }
        const std::uint32_t sequence1 = Get32(4);
        const std::uint32_t sequence2 = Get32(8);
        headerTime_ = Get32(12) | (static_cast<std::uint64_t>(Get32(16)) << 32);
        const std::uint32_t major = Get32(20);
        minor_ = Get32(24);
        const std::uint32_t type = Get32(28);
        const std::uint32_t format = Get32(32);
        root_ = Get32(36);
        binsSize_ = Get32(40);
        const std::uint32_t stored = Get32(0x1FC);
        const std::uint32_t wanted = WindowsHeaderChecksum(bytes_);
        if (stored != wanted) {
            std::uint32_t raw = 0;
            for (std::uint64_t at = 0; at < 0x1FC; at += 4) raw ^= Get32(at);
            Damage(Rule::kChecksum, 0x1FC, "",
                   stored == raw ? "the header checksum is stored as " + Hex(stored) +
                                       ", without Windows' rule (a sum of 0 is stored as 1, "
                                       "0xFFFFFFFF as 0xFFFFFFFE): Windows stores " +
                                       Hex(wanted)
                                 : "the header checksum is " + Hex(stored) +
                                       " where Windows computes " + Hex(wanted));
        }
        if (sequence1 != sequence2) {
            Damage(Rule::kSequence, 4, "",
                   "the sequence numbers differ (" + std::to_string(sequence1) + " and " +
                       std::to_string(sequence2) + "): a write was begun and not completed");
        }
        if (headerTime_ == 0) {
            Deviation(Rule::kTimestamp, 12, "",
                      "the last-written time is 0: Windows sets it at every write");
        }
        if (major != 1 || minor_ < 3 || minor_ > 5) {
            Damage(Rule::kBaseBlock, 20, "",
                   "the format version is " + std::to_string(major) + "." + std::to_string(minor_) +
                       ": Windows XP reads 1.3 to 1.5");
        }
        if (type != 0) {
            Damage(Rule::kBaseBlock, 28, "",
                   "the file type is " + std::to_string(type) + ", not 0 (a hive)");
        }
        if (format != 1) {
            Damage(Rule::kBaseBlock, 32, "",
                   "the file format is " + std::to_string(format) + ", not 1 (memory image)");
        }
        if (binsSize_ == 0 || binsSize_ % 0x1000 != 0) {
            Damage(Rule::kBaseBlock, 40, "",
                   "the bins size " + Hex(binsSize_) + " is not a positive multiple of 4096");
        }
        if (kBase + binsSize_ > size_) {
            Damage(Rule::kBaseBlock, 40, "",
                   "the bins size " + Hex(binsSize_) + " runs past the end of the file (" +
                       std::to_string(size_) + " bytes)");
        }
        // What can be read: the bins as far as both the header and the file go.
        binsEnd_ = std::min<std::uint64_t>(binsSize_, size_ - kBase) & ~std::uint64_t{0xFFF};
        if (root_ >= binsSize_ || root_ % 8 != 0) {
            Damage(Rule::kBaseBlock, 36, "",
                   "the root cell " + Hex(root_) + " is not a cell of the bins");
        }
        return true;
    }

    // --- the bins and their cells ---

    void Bins() {
        std::uint64_t at = 0;
        while (at < binsEnd_) {
            const std::uint64_t file = kBase + at;
            const std::uint32_t offset = Get32(file + 4);
            const std::uint32_t size = Get32(file + 8);
            const bool signature = bytes_[file] == 'h' && bytes_[file + 1] == 'b' &&
                                   bytes_[file + 2] == 'i' && bytes_[file + 3] == 'n';
            std::string problem;
            if (!signature) {
                problem = "has no \"hbin\" signature";
            } else if (offset != at) {
                problem = "gives its offset as " + Hex(offset);
            } else if (size < 0x1000 || size % 0x1000 != 0) {
                problem = "has the size " + Hex(size) + ", not a multiple of 4096";
            } else if (at + size > binsSize_) {
                problem = "has the size " + Hex(size) + ", past the bins size " + Hex(binsSize_);
            } else if (at + size > binsEnd_) {
                problem = "has the size " + Hex(size) + ", past the end of the file";
            }
            if (!problem.empty()) {
                // Its cells are unknown; the next 4 KB may start a sound bin.
                Damage(Rule::kBins, file, "", "the hbin at " + Hex(file) + " " + problem);
                at += 0x1000;
                continue;
            }
            ++bins_;
            BinCells(static_cast<std::uint32_t>(at), size);
            at += size;
        }
    }

    void BinCells(std::uint32_t bin, std::uint32_t binSize) {
        std::uint32_t at = bin + kBinHeader;
        const std::uint32_t end = bin + binSize;
        while (at < end) {
            const auto raw = static_cast<std::int32_t>(Get32(kBase + at));
            const std::int64_t size = raw < 0 ? -static_cast<std::int64_t>(raw) : raw;
            if (size < 8 || size % 8 != 0 || at + size > end) {
                Damage(Rule::kCells, kBase + at, "",
                       "the cell at " + Hex(kBase + at) + " has the size " + std::to_string(raw) +
                           (size % 8 != 0 ? ", not a multiple of 8"
                            : size < 8    ? ", too small for any cell"
                                          : ", past the end of its bin at " + Hex(kBase + end)));
                return;  // the rest of the bin cannot be walked
            }
            cells_.push_back({at, static_cast<std::uint32_t>(size), raw < 0, Use::kNone});
            at += static_cast<std::uint32_t>(size);
        }
    }

    // The cell that starts at offset, or nullptr (the cells are in the order of their offsets).
    const Cell* CellAt(std::uint32_t offset) const {
        const auto it =
            std::lower_bound(cells_.begin(), cells_.end(), offset,
                             [](const Cell& cell, std::uint32_t at) { return cell.offset < at; });
        return it == cells_.end() || it->offset != offset ? nullptr : &*it;
    }
    Cell* CellAt(std::uint32_t offset) {
        return const_cast<Cell*>(static_cast<const Checker*>(this)->CellAt(offset));
    }

    // The allocated cell at offset, claimed for use; nullptr (and a finding) when there is none
    // or another structure has it already (security cells are shared by design).
    Cell* Claim(std::uint32_t offset, Use use, const std::string& key, const std::string& what) {
        Cell* it = CellAt(offset);
        if (!it) {
            Damage(Rule::kCells, kBase + offset, key,
                   what + " points to " + Hex(offset) + ", which is not the start of a cell");
            return nullptr;
        }
        if (!it->allocated) {
            Damage(Rule::kCells, kBase + offset, key,
                   what + " points to the free cell at " + Hex(kBase + offset));
            return nullptr;
        }
        if (it->use != Use::kNone && !(use == Use::kSecurity && it->use == Use::kSecurity)) {
            Damage(Rule::kCells, kBase + offset, key,
                   what + " points to the cell at " + Hex(kBase + offset) +
                       ", which already holds " + UseName(it->use));
            return nullptr;
        }
        it->use = use;
        return it;
    }

    Data DataOf(const Cell& cell) const {
        return {bytes_ + kBase + cell.offset + 4, cell.size - 4, cell.offset};
    }

    // --- keys ---

    // The name and class length of the key node at offset, read without claiming it (for its
    // parent's list).
    bool PeekNode(std::uint32_t offset, std::u16string* name, std::uint32_t* classLength) const {
        const Cell* it = CellAt(offset);
        if (!it || !it->allocated) return false;
        const Data nk = DataOf(*it);
        if (nk.size < kNkFixed || !nk.Is("nk")) return false;
        const std::uint16_t length = nk.U16(72);
        if (length > nk.size - kNkFixed) return false;
        *name = DecodeName(nk.p + kNkFixed, length, (nk.U16(2) & kKeyCompressed) != 0);
        *classLength = nk.U16(74);
        return true;
    }

    void Keys() {
        if (root_ >= binsSize_ || root_ % 8 != 0) return;
        std::vector<Pending> stack{{root_, kNil, "\\"}};
        while (!stack.empty()) {
            Pending key = std::move(stack.back());
            stack.pop_back();
            Key(key, &stack);
        }
    }

    void Key(const Pending& key, std::vector<Pending>* stack) {
        const bool root = key.parent == kNil;
        const std::string& path = key.path;
        Cell* cell = Claim(key.nk, Use::kKey, path,
                           root ? std::string("the header's root cell")
                                : "the subkey list of " + ParentPath(path));
        if (!cell) return;
        const Data nk = DataOf(*cell);
        const std::uint64_t at = kBase + key.nk;
        if (!nk.Is("nk") || nk.size < kNkFixed) {
            Damage(Rule::kKey, at, path,
                   "the key's cell at " + Hex(at) + " holds no key node (" +
                       (nk.size >= 2 ? "signature \"" + std::string(1, static_cast<char>(nk.p[0])) +
                                           std::string(1, static_cast<char>(nk.p[1])) + "\""
                                     : "too small") +
                       ")");
            return;
        }
        ++result_.keys;
        const std::uint16_t flags = nk.U16(2);
        const std::uint64_t time = nk.U64(4);
        const std::uint32_t parent = nk.U32(16);
        const std::uint32_t subkeyCount = nk.U32(20);
        const std::uint32_t subkeyList = nk.U32(28);
        const std::uint32_t valueCount = nk.U32(36);
        const std::uint32_t valueList = nk.U32(40);
        const std::uint32_t security = nk.U32(44);
        const std::uint32_t classCell = nk.U32(48);
        const std::uint32_t maxName = nk.U32(52) & 0xFFFF;  // XP SP3 keeps flags above
        const std::uint32_t maxClass = nk.U32(56);
        const std::uint32_t maxValueName = nk.U32(60);
        const std::uint32_t maxValueData = nk.U32(64);
        const std::uint16_t nameLength = nk.U16(72);
        const std::uint16_t classLength = nk.U16(74);

        // Flags and place.
        if (root && !(flags & kKeyHiveEntry)) {
            Damage(Rule::kKey, at, path, "the root key lacks the hive-entry flag (0x4)");
        }
        if (!root && (flags & kKeyHiveEntry)) {
            Damage(Rule::kKey, at, path, "a key other than the root has the hive-entry flag (0x4)");
        }
        if (flags & (kKeyVolatile | kKeyHiveExit)) {
            Deviation(Rule::kKey, at, path,
                      "the key is marked volatile or a mount point (flags " + Hex(flags) +
                          "), which Windows keeps in memory only");
        }
        if (!root && parent != key.parent) {
            Damage(Rule::kKey, at, path,
                   "the parent field is " + Hex(parent) + " where its parent's node is at " +
                       Hex(key.parent));
        }
        // The name.
        std::u16string name;
        if (nameLength > nk.size - kNkFixed) {
            Damage(Rule::kKey, at, path,
                   "the name's length " + std::to_string(nameLength) + " runs past its cell");
        } else {
            const bool compressed = (flags & kKeyCompressed) != 0;
            if (!compressed && nameLength % 2 != 0) {
                Damage(Rule::kKey, at, path,
                       "the UTF-16 name has an odd length " + std::to_string(nameLength));
            }
            name = DecodeName(nk.p + kNkFixed, nameLength, compressed);
            CheckKeyName(name, compressed, root, at, path);
        }
        // Times.
        if (time == 0) {
            Deviation(Rule::kTimestamp, at + 8, path,
                      "the key's last-written time is 0: Windows sets it when it writes a key");
        } else if (headerTime_ != 0 && time > headerTime_) {
            Deviation(Rule::kTimestamp, at + 8, path,
                      "the key's last-written time is later than the hive's last write");
        }
        // Security.
        if (security == kNil) {
            Damage(Rule::kSecurity, at + 48, path, "the key has no security cell");
        } else if (Cell* sk = Claim(security, Use::kSecurity, path, "the key's security field")) {
            SecurityCell(*sk, path);
            ++securityUses_[security];
        }
        // Class name.
        if (classLength > 0) {
            if (Cell* c = Claim(classCell, Use::kClass, path, "the key's class name")) {
                if (c->size - 4 < classLength) {
                    Damage(Rule::kKey, at, path,
                           "the class name of " + std::to_string(classLength) +
                               " bytes is longer than its cell");
                }
            }
        }

        // Values.
        std::uint32_t longestValueName = 0;
        std::uint32_t longestData = 0;
        const std::uint64_t valuesHash =
            Values(valueCount, valueList, at, path, &longestValueName, &longestData);
        if (longestValueName > maxValueName) {
            Damage(Rule::kLargest, at + 64, path,
                   "the largest value name field says " + std::to_string(maxValueName) +
                       " bytes; a value's name has " + std::to_string(longestValueName));
        }
        if (longestData > maxValueData) {
            Damage(Rule::kLargest, at + 68, path,
                   "the largest value data field says " + std::to_string(maxValueData) +
                       " bytes; a value holds " + std::to_string(longestData));
        }

        // Subkeys.
        std::vector<Entry> entries;
        if (subkeyList != kNil) {
            SubkeyList(subkeyList, path, true, &entries);
        }
        if (subkeyCount != entries.size()) {
            Damage(Rule::kSubkeyList, at + 24, path,
                   "the key counts " + std::to_string(subkeyCount) + " subkeys; its list holds " +
                       std::to_string(entries.size()));
        }
        std::uint64_t subkeysHash = kFnvStart;
        std::vector<std::u16string> seen;
        std::uint32_t longestName = 0;
        std::uint32_t longestClass = 0;
        std::vector<Pending> children;
        for (const Entry& entry : entries) {
            std::u16string child;
            std::uint32_t childClass = 0;
            if (!PeekNode(entry.child, &child, &childClass)) {
                // Visiting it reports what is wrong.
                children.push_back({entry.child, key.nk, path + (root ? "" : "\\") + "?"});
                continue;
            }
            const std::string childPath = path + (root ? "" : "\\") + Utf8(child);
            longestName = std::max<std::uint32_t>(longestName, 2 * child.size());
            longestClass = std::max(longestClass, childClass);
            if (entry.kind == 'h' && entry.hint != names::LhHash(child)) {
                Damage(Rule::kHash, kBase + entry.child, childPath,
                       "the lh list keeps the hash " + Hex(entry.hint) + " for " + Quoted(child) +
                           " where Windows computes " + Hex(names::LhHash(child)) +
                           ": Windows cannot find the key by its name");
            }
            if (entry.kind == 'f' && entry.hint != names::LfHint(child)) {
                Damage(Rule::kHash, kBase + entry.child, childPath,
                       "the lf list keeps the hint " + Hex(entry.hint) + " for " + Quoted(child) +
                           " where Windows writes " + Hex(names::LfHint(child)));
            }
            if (!seen.empty() && names::Compare(seen.back(), child) > 0) {
                Damage(Rule::kOrder, kBase + entry.child, childPath,
                       "the subkey " + Quoted(child) + " stands after " + Quoted(seen.back()) +
                           ", out of Windows' order: Windows' search can miss it");
            }
            const std::u16string upper = Upper(child);
            subkeysHash = Fnv(subkeysHash, reinterpret_cast<const std::uint8_t*>(upper.data()),
                              2 * upper.size() + 2);
            seen.push_back(std::move(child));
            children.push_back({entry.child, key.nk, childPath});
        }
        std::sort(seen.begin(), seen.end(), [](const std::u16string& a, const std::u16string& b) {
            return names::Compare(a, b) < 0;
        });
        for (std::size_t i = 1; i < seen.size(); ++i) {
            if (names::Equal(seen[i - 1], seen[i])) {
                Damage(Rule::kDuplicate, at, path,
                       "the subkeys " + Quoted(seen[i - 1]) + " and " + Quoted(seen[i]) +
                           " are one name to Windows: one of them cannot be reached");
            }
        }
        if (longestName > maxName) {
            Damage(Rule::kLargest, at + 56, path,
                   "the largest subkey name field says " + std::to_string(maxName) +
                       " bytes; a subkey's name has " + std::to_string(longestName));
        }
        if (longestClass > maxClass) {
            Damage(Rule::kLargest, at + 60, path,
                   "the largest subkey class field says " + std::to_string(maxClass) +
                       " bytes; a subkey's class name has " + std::to_string(longestClass));
        }

        if (records_) records_->push_back({path, time, valuesHash, subkeysHash});
        if (contents_) contents_->append(path).append("\n").append(valueLines_);
        // Children in reverse so that the walk (and the contents) goes in the list's order.
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            stack->push_back(std::move(*it));
        }
    }

    static std::string ParentPath(const std::string& path) {
        const std::size_t slash = path.rfind('\\');
        return slash == 0 || slash == std::string::npos ? "\\" : path.substr(0, slash);
    }

    void CheckKeyName(const std::u16string& name, bool compressed, bool root, std::uint64_t at,
                      const std::string& path) {
        if (!root && name.empty()) Damage(Rule::kKey, at, path, "the key's name is empty");
        if (name.size() > kMaxKeyName) {
            Damage(Rule::kKey, at, path,
                   "the key's name has " + std::to_string(name.size()) +
                       " characters; Windows allows 255");
        }
        if (!root && name.find(u'\\') != std::u16string::npos) {
            Damage(Rule::kKey, at, path,
                   "the key's name " + Quoted(name) + " holds a backslash: no path reaches it");
        }
        if (!compressed && !name.empty() &&
            std::all_of(name.begin(), name.end(), [](char16_t unit) { return unit <= 0xFF; })) {
            Deviation(Rule::kNameForm, at, path,
                      "the key's name " + Quoted(name) +
                          " is stored in UTF-16; Windows stores it one byte a character "
                          "(flag 0x20)");
        }
    }

    // The subkey list at offset: its entries in order, an ri's leaves one after the other.
    void SubkeyList(std::uint32_t offset, const std::string& path, bool top,
                    std::vector<Entry>* entries) {
        Cell* cell = Claim(offset, Use::kSubkeyList, path,
                           top ? "the key's subkey list" : "an entry of the key's ri list");
        if (!cell) return;
        const Data list = DataOf(*cell);
        const std::uint64_t at = kBase + offset;
        if (list.size < 4) {
            Damage(Rule::kSubkeyList, at, path, "the subkey list's cell is too small");
            return;
        }
        const std::uint16_t count = list.U16(2);
        const bool ri = list.Is("ri");
        const bool li = list.Is("li");
        const bool lf = list.Is("lf");
        const bool lh = list.Is("lh");
        if (!ri && !li && !lf && !lh) {
            Damage(Rule::kSubkeyList, at, path,
                   "the subkey list at " + Hex(at) + " is none of li, lf, lh, ri");
            return;
        }
        if (ri && !top) {
            Damage(Rule::kSubkeyList, at, path,
                   "an ri list points to the ri list at " + Hex(at) + "; an ri holds leaves only");
            return;
        }
        if (lh && minor_ < 5) {
            Damage(Rule::kSubkeyList, at, path,
                   "an lh list in a hive of version 1." + std::to_string(minor_) +
                       ": lh lists came with 1.5, earlier Windows cannot read them");
        }
        const std::uint32_t width = (lf || lh) ? 8 : 4;
        if (4 + std::uint64_t{count} * width > list.size) {
            Damage(Rule::kSubkeyList, at, path,
                   "the subkey list counts " + std::to_string(count) +
                       " entries, more than its cell holds");
            return;
        }
        if (count == 0) {
            Damage(Rule::kSubkeyList, at, path,
                   top ? "the subkey list is empty; a key without subkeys has none"
                       : "an ri list points to an empty leaf");
            return;
        }
        for (std::uint16_t i = 0; i < count; ++i) {
            const std::uint32_t target = list.U32(4 + i * width);
            if (ri) {
                SubkeyList(target, path, false, entries);
            } else {
                entries->push_back({target, width == 8 ? list.U32(8 + i * width) : 0,
                                    lh   ? 'h'
                                    : lf ? 'f'
                                         : 'i'});
            }
        }
    }

    // --- values ---

    // Reads the key's values; returns a hash of them for CheckChange, leaves their lines for
    // the contents in valueLines_.
    std::uint64_t Values(std::uint32_t count, std::uint32_t offset, std::uint64_t keyAt,
                         const std::string& path, std::uint32_t* longestName,
                         std::uint32_t* longestData) {
        valueLines_.clear();
        if (count == 0) {
            if (offset != kNil) {
                Deviation(Rule::kValue, keyAt + 44, path,
                          "the key has a value list but counts no values");
            }
            return kFnvStart;
        }
        Cell* cell = Claim(offset, Use::kValueList, path, "the key's value list");
        if (!cell) return kFnvStart;
        const Data list = DataOf(*cell);
        if (std::uint64_t{count} * 4 > list.size) {
            Damage(Rule::kValue, kBase + offset, path,
                   "the key counts " + std::to_string(count) +
                       " values, more than its value list holds");
            return kFnvStart;
        }
        struct Read {
            std::u16string name;
            std::uint32_t type;
            std::string data;
            std::uint64_t at;
        };
        std::vector<Read> values;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t vk = list.U32(i * 4);
            Read value;
            if (Value(vk, path, &value.name, &value.type, &value.data)) {
                value.at = kBase + vk;
                *longestName = std::max<std::uint32_t>(*longestName, 2 * value.name.size());
                *longestData = std::max<std::uint32_t>(*longestData, value.data.size());
                values.push_back(std::move(value));
            }
        }
        std::stable_sort(values.begin(), values.end(), [](const Read& a, const Read& b) {
            return names::Compare(a.name, b.name) < 0;
        });
        std::uint64_t hash = kFnvStart;
        for (std::size_t i = 0; i < values.size(); ++i) {
            const Read& value = values[i];
            if (i > 0 && names::Equal(values[i - 1].name, value.name)) {
                Damage(Rule::kDuplicate, value.at, path,
                       "the values " + Quoted(values[i - 1].name) + " and " + Quoted(value.name) +
                           " are one name to Windows: one of them cannot be read");
            }
            const std::u16string upper = Upper(value.name);
            hash = Fnv(hash, reinterpret_cast<const std::uint8_t*>(upper.data()),
                       2 * upper.size() + 2);
            hash = Fnv(hash, reinterpret_cast<const std::uint8_t*>(&value.type), 4);
            const std::uint64_t length = value.data.size();
            hash = Fnv(hash, reinterpret_cast<const std::uint8_t*>(&length), 8);
            hash = Fnv(hash, reinterpret_cast<const std::uint8_t*>(value.data.data()),
                       value.data.size());
            if (contents_) ValueLine(path, value.name, value.type, value.data);
        }
        return hash;
    }

    void ValueLine(const std::string& path, const std::u16string& name, std::uint32_t type,
                   const std::string& data) {
        char head[48];
        std::snprintf(head, sizeof head, "\" type %u, %zu bytes: ", type, data.size());
        valueLines_ += path + ":\"" + Utf8(name) + head;
        if (data.size() <= 32) {
            static const char* const kDigits = "0123456789abcdef";
            for (const char c : data) {
                valueLines_ += kDigits[static_cast<std::uint8_t>(c) >> 4];
                valueLines_ += kDigits[static_cast<std::uint8_t>(c) & 15];
            }
        } else {
            valueLines_ +=
                "hash " + Hex(Fnv(kFnvStart, reinterpret_cast<const std::uint8_t*>(data.data()),
                                  data.size()));
        }
        valueLines_ += "\n";
    }

    // Reads one value; false when it cannot be read at all.
    bool Value(std::uint32_t offset, const std::string& path, std::u16string* name,
               std::uint32_t* type, std::string* data) {
        Cell* cell = Claim(offset, Use::kValue, path, "the key's value list");
        if (!cell) return false;
        const Data vk = DataOf(*cell);
        const std::uint64_t at = kBase + offset;
        if (!vk.Is("vk") || vk.size < kVkFixed) {
            Damage(Rule::kValue, at, path,
                   "the value list points to the cell at " + Hex(at) + ", which holds no value");
            return false;
        }
        ++result_.values;
        const std::uint16_t nameLength = vk.U16(2);
        const std::uint32_t length = vk.U32(4);
        const std::uint32_t dataCell = vk.U32(8);
        *type = vk.U32(12);
        const bool compressed = (vk.U16(16) & kValueCompressed) != 0;
        if (nameLength > vk.size - kVkFixed) {
            Damage(Rule::kValue, at, path,
                   "the value's name length " + std::to_string(nameLength) + " runs past its cell");
            return false;
        }
        if (!compressed && nameLength % 2 != 0) {
            Damage(Rule::kValue, at, path,
                   "the value's UTF-16 name has an odd length " + std::to_string(nameLength));
        }
        *name = DecodeName(vk.p + kVkFixed, nameLength, compressed);
        const std::string what = "the value " + Quoted(*name);
        if (name->size() > kMaxValueName) {
            Damage(Rule::kValue, at, path,
                   what + " has a name longer than Windows allows (16383 characters)");
        }
        if (!compressed && !name->empty() &&
            std::all_of(name->begin(), name->end(), [](char16_t unit) { return unit <= 0xFF; })) {
            Deviation(Rule::kNameForm, at, path,
                      what +
                          " has its name in UTF-16; Windows stores it one byte a character "
                          "(flag 1)");
        }
        if (length & kInline) {
            const std::uint32_t size = length & ~kInline;
            if (size > 4) {
                Damage(Rule::kValue, at + 12, path,
                       what + " says its " + std::to_string(size) +
                           " bytes are in the value itself, where 4 fit");
                return false;
            }
            data->assign(reinterpret_cast<const char*>(vk.p + 8), size);
            return true;
        }
        if (length == 0) {
            data->clear();
            return true;
        }
        if (length <= 4) {
            Deviation(Rule::kValue, at + 12, path,
                      what + " keeps its " + std::to_string(length) +
                          " bytes in a cell of their own; Windows keeps up to 4 in the value");
        }
        if (length > kSegment && minor_ >= 4) return BigData(dataCell, length, path, what, data);
        Cell* dc = Claim(dataCell, Use::kData, path, what + "'s data");
        if (!dc) return false;
        if (dc->size - 4 < length) {
            Damage(Rule::kValue, kBase + dataCell, path,
                   what + " has " + std::to_string(length) + " bytes of data in a cell of " +
                       std::to_string(dc->size - 4));
            return false;
        }
        data->assign(reinterpret_cast<const char*>(DataOf(*dc).p), length);
        return true;
    }

    bool BigData(std::uint32_t offset, std::uint32_t length, const std::string& path,
                 const std::string& what, std::string* data) {
        Cell* cell = Claim(offset, Use::kBigData, path, what + "'s data");
        if (!cell) return false;
        const Data db = DataOf(*cell);
        const std::uint64_t at = kBase + offset;
        if (!db.Is("db") || db.size < 8) {
            Damage(Rule::kValue, at, path,
                   what + " has " + std::to_string(length) +
                       " bytes, more than one cell takes in a hive of version 1." +
                       std::to_string(minor_) +
                       ", but no big data record (\"db\"): Windows misreads it");
            return false;
        }
        const std::uint16_t count = db.U16(2);
        const std::uint32_t wanted = (length + kSegment - 1) / kSegment;
        if (count != wanted) {
            Damage(Rule::kValue, at, path,
                   what + "'s big data record has " + std::to_string(count) + " segments for " +
                       std::to_string(length) + " bytes, where " + std::to_string(wanted) +
                       " hold them");
            return false;
        }
        Cell* segments = Claim(db.U32(4), Use::kSegmentList, path, what + "'s big data record");
        if (!segments) return false;
        const Data list = DataOf(*segments);
        if (std::uint64_t{count} * 4 > list.size) {
            Damage(Rule::kValue, kBase + segments->offset, path,
                   what + "'s segment list is shorter than its " + std::to_string(count) +
                       " segments");
            return false;
        }
        data->clear();
        for (std::uint16_t i = 0; i < count; ++i) {
            const std::uint32_t part = std::min(kSegment, length - i * kSegment);
            Cell* segment = Claim(list.U32(i * 4), Use::kData, path,
                                  what + "'s segment " + std::to_string(i + 1));
            if (!segment) return false;
            if (segment->size - 4 < part) {
                Damage(Rule::kValue, kBase + segment->offset, path,
                       what + "'s segment " + std::to_string(i + 1) + " holds " +
                           std::to_string(segment->size - 4) + " bytes where " +
                           std::to_string(part) + " belong");
                return false;
            }
            data->append(reinterpret_cast<const char*>(DataOf(*segment).p), part);
        }
        return true;
    }

    // --- security ---

    void SecurityCell(Cell& cell, const std::string& path) {
        if (!checkedSecurity_.insert({cell.offset, true}).second) return;
        const Data sk = DataOf(cell);
        const std::uint64_t at = kBase + cell.offset;
        if (!sk.Is("sk") || sk.size < kSkFixed) {
            Damage(Rule::kSecurity, at, path,
                   "the key's security field points to " + Hex(at) + ", which holds no \"sk\"");
            badSecurity_.insert({cell.offset, true});
            return;
        }
        const std::uint32_t length = sk.U32(16);
        if (length > sk.size - kSkFixed || length < 20) {
            Damage(Rule::kSecurity, at, path,
                   "the security cell at " + Hex(at) + " gives its descriptor " +
                       std::to_string(length) + " bytes in a cell of " +
                       std::to_string(sk.size - kSkFixed));
            return;
        }
        const std::uint8_t* sd = sk.p + kSkFixed;
        const std::uint16_t control = static_cast<std::uint16_t>(sd[2] | (sd[3] << 8));
        bool valid = sd[0] == 1 && (control & 0x8000) != 0;
        for (int field = 0; field < 4 && valid; ++field) {
            const std::uint32_t part = sd[4 + 4 * field] | (sd[5 + 4 * field] << 8) |
                                       (sd[6 + 4 * field] << 16) |
                                       (static_cast<std::uint32_t>(sd[7 + 4 * field]) << 24);
            valid = part == 0 || (part >= 20 && part < length);
        }
        if (!valid) {
            Damage(Rule::kSecurity, at, path,
                   "the security cell at " + Hex(at) +
                       " holds no valid self-relative security descriptor");
        }
    }

    void Security() {
        if (securityUses_.empty()) return;
        // The cells form one ring through flink and blink; every key's cell must be in it.
        std::map<std::uint32_t, bool> ring;
        const std::uint32_t start = securityUses_.begin()->first;
        std::uint32_t current = start;
        const std::size_t limit = cells_.size() + 1;
        for (std::size_t steps = 0; steps < limit; ++steps) {
            ring[current] = true;
            const Cell* cell = CellAt(current);
            if (!cell || badSecurity_.count(current)) break;
            const Data sk = DataOf(*cell);
            const std::uint32_t next = sk.U32(4);
            Cell* nextCell = CellAt(next);
            if (!nextCell || !nextCell->allocated || !DataOf(*nextCell).Is("sk") ||
                DataOf(*nextCell).size < kSkFixed) {
                Damage(Rule::kSecurity, kBase + current, "",
                       "the security cell at " + Hex(kBase + current) + " links forward to " +
                           Hex(next) + ", which is no security cell");
                break;
            }
            if (DataOf(*nextCell).U32(8) != current) {
                Damage(Rule::kSecurity, kBase + next, "",
                       "the security cell at " + Hex(kBase + next) + " links back to " +
                           Hex(DataOf(*nextCell).U32(8)) + ", not to " + Hex(kBase + current) +
                           " that links to it");
            }
            if (next == start) break;
            if (ring.count(next)) {
                Damage(Rule::kSecurity, kBase + next, "",
                       "the security cells' links loop without coming back to the first");
                break;
            }
            if (nextCell->use == Use::kNone) {
                // In the ring but used by no key: Windows frees a cell whose count falls to 0.
                nextCell->use = Use::kSecurity;
                if (!securityUses_.count(next)) securityUses_[next] = 0;
            }
            current = next;
        }
        for (const auto& [offset, uses] : securityUses_) {
            const Cell* cell = CellAt(offset);
            if (!cell || badSecurity_.count(offset)) continue;
            const std::uint64_t at = kBase + offset;
            if (!ring.count(offset)) {
                Damage(Rule::kSecurity, at, "",
                       "the security cell at " + Hex(at) + " is not in the security cells' list");
            }
            const std::uint32_t count = DataOf(*cell).U32(12);
            if (count < uses) {
                Damage(Rule::kSecurity, at, "",
                       "the security cell at " + Hex(at) + " counts " + std::to_string(count) +
                           " references; " + std::to_string(uses) +
                           " keys use it: removing one would free it under the others");
            } else if (count > uses) {
                Deviation(Rule::kSecurity, at, "",
                          "the security cell at " + Hex(at) + " counts " + std::to_string(count) +
                              " references; " + std::to_string(uses) + " keys use it" +
                              (uses == 0 ? ": Windows frees a cell no key uses" : ""));
            }
        }
    }

    void Unreached() {
        std::size_t count = 0;
        std::uint64_t bytes = 0;
        std::uint32_t first = 0;
        for (const Cell& cell : cells_) {
            if (!cell.allocated || cell.use != Use::kNone) continue;
            if (count++ == 0) first = cell.offset;
            bytes += cell.size;
        }
        if (count > 0) {
            Deviation(Rule::kCells, kBase + first, "",
                      std::to_string(count) + " allocated cells (" + std::to_string(bytes) +
                          " bytes) are reached from no key, the first at " + Hex(kBase + first) +
                          ": space lost");
        }
    }

  private:
    const std::uint8_t* bytes_;
    std::size_t size_;
    std::string* contents_;
    std::vector<KeyRecord>* records_;
    CheckResult result_;
    std::uint64_t headerTime_ = 0;
    std::uint32_t minor_ = 0;
    std::uint32_t root_ = kNil;
    std::uint32_t binsSize_ = 0;
    std::uint64_t binsEnd_ = 0;
    std::size_t bins_ = 0;
    std::vector<Cell> cells_;
    std::map<std::uint32_t, std::uint32_t> securityUses_;
    std::unordered_map<std::uint32_t, bool> checkedSecurity_;
    std::unordered_map<std::uint32_t, bool> badSecurity_;
    std::string valueLines_;
};

}  // namespace

std::uint32_t WindowsHeaderChecksum(const std::uint8_t* base) {
    std::uint32_t sum = 0;
    for (std::size_t at = 0; at < 0x1FC; at += 4) {
        sum ^= base[at] | (base[at + 1] << 8) | (base[at + 2] << 16) |
               (static_cast<std::uint32_t>(base[at + 3]) << 24);
    }
    if (sum == 0) return 1;
    if (sum == 0xFFFFFFFF) return 0xFFFFFFFE;
    return sum;
}

bool CheckResult::Has(Rule rule, std::string_view key) const {
    return std::any_of(findings.begin(), findings.end(), [&](const Finding& finding) {
        return finding.rule == rule && (key.empty() || finding.key == key);
    });
}

std::string CheckResult::Text(std::size_t maxLines) const {
    std::string out;
    const std::size_t shown = std::min(maxLines, findings.size());
    for (std::size_t i = 0; i < shown; ++i) {
        const Finding& finding = findings[i];
        char at[24];
        std::snprintf(at, sizeof at, "0x%06llX ", static_cast<unsigned long long>(finding.offset));
        out += at;
        if (!finding.key.empty()) out += finding.key + ": ";
        out += finding.text;
        out += finding.severity == Severity::kDeviation ? " (not as Windows writes it)\n" : "\n";
    }
    if (total > shown) out += "... and " + std::to_string(total - shown) + " more\n";
    return out;
}

CheckResult CheckHive(std::string_view bytes, std::string* contents) {
    return Checker(bytes, contents, nullptr).Run();
}

std::vector<Finding> CheckChange(std::string_view before, std::string_view after) {
    std::vector<KeyRecord> old;
    std::vector<KeyRecord> now;
    Checker first(before, nullptr, &old);
    first.Run();
    Checker second(after, nullptr, &now);
    second.Run();
    std::unordered_map<std::string, const KeyRecord*> byPath;
    for (const KeyRecord& record : old) byPath[record.path] = &record;
    std::vector<Finding> findings;
    bool changed = old.size() != now.size();
    for (const KeyRecord& record : now) {
        const auto it = byPath.find(record.path);
        if (it == byPath.end()) continue;
        const KeyRecord& was = *it->second;
        if (was.values == record.values && was.subkeys == record.subkeys) continue;
        changed = true;
        if (record.time <= was.time) {
            findings.push_back({Rule::kTimestamp, Severity::kDeviation, 0, record.path,
                                std::string("the key's ") +
                                    (was.values != record.values ? "values" : "subkeys") +
                                    " changed but its last-written time did not advance"});
        }
    }
    if (changed && second.header_time() <= first.header_time()) {
        findings.push_back({Rule::kTimestamp, Severity::kDeviation, 12, "",
                            "the hive changed but its last-written time did not advance"});
    }
    return findings;
}

}  // namespace platform::hive
