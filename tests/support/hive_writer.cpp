#include "support/hive_writer.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "text/windows_names.h"

namespace testing_support {

namespace {

namespace names = platform::names;

constexpr std::uint32_t kNil = 0xFFFFFFFF;
constexpr std::size_t kBase = 0x1000;
constexpr std::size_t kBin = 0x1000;
constexpr std::uint32_t kBinHeader = 0x20;
constexpr std::uint32_t kSegment = 16344;

bool Latin1(std::u16string_view name) {
    return std::all_of(name.begin(), name.end(), [](char16_t unit) { return unit <= 0xFF; });
}

class Writer {
  public:
    explicit Writer(const HiveLayout& layout) : layout_(layout), out_(kBase, '\0') {}

    std::string Write(const HiveKey& root) {
        const std::uint32_t rootCell =
            Key(root, kNil, root.security.empty() ? EveryoneDescriptor() : root.security);
        Close();
        LinkSecurity();
        Header(rootCell);
        return std::move(out_);
    }

  private:
    // Names are stored one byte a character where they can be, as Windows stores them.
    bool OneByte(std::u16string_view name) const { return !layout_.wideNames && Latin1(name); }
    std::string NameBytes(std::u16string_view name) const {
        if (OneByte(name)) return std::string(name.begin(), name.end());
        return Utf16Bytes(name);
    }

    void Put16(std::size_t at, std::uint32_t value) {
        out_[at] = static_cast<char>(value & 0xFF);
        out_[at + 1] = static_cast<char>((value >> 8) & 0xFF);
    }
    void Put32(std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) out_[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    void Put64(std::size_t at, std::uint64_t value) {
        Put32(at, static_cast<std::uint32_t>(value));
        Put32(at + 4, static_cast<std::uint32_t>(value >> 32));
    }
    void PutBytes(std::size_t at, std::string_view bytes) {
        std::memcpy(&out_[at], bytes.data(), bytes.size());
    }
    // File offset of a cell's data.
    static std::size_t At(std::uint32_t cell) { return kBase + cell + 4; }

    // A new allocated cell for size bytes of data; its offset from the start of the bins.
    std::uint32_t Alloc(std::size_t size) {
        const std::size_t cell = (size + 4 + 7) & ~std::size_t{7};
        if (cursor_ + cell > binEnd_) {
            Close();
            const std::size_t binSize = (cell + kBinHeader + kBin - 1) & ~(kBin - 1);
            const std::size_t bin = out_.size() - kBase;
            out_.resize(out_.size() + binSize, '\0');
            PutBytes(kBase + bin, "hbin");
            Put32(kBase + bin + 4, static_cast<std::uint32_t>(bin));
            Put32(kBase + bin + 8, static_cast<std::uint32_t>(binSize));
            if (bin == 0) Put64(kBase + 20, layout_.time);
            cursor_ = bin + kBinHeader;
            binEnd_ = bin + binSize;
        }
        const auto offset = static_cast<std::uint32_t>(cursor_);
        Put32(kBase + offset, static_cast<std::uint32_t>(-static_cast<std::int32_t>(cell)));
        cursor_ += cell;
        return offset;
    }
    // The rest of the bin becomes one free cell.
    void Close() {
        if (cursor_ < binEnd_)
            Put32(kBase + cursor_, static_cast<std::uint32_t>(binEnd_ - cursor_));
        cursor_ = binEnd_;
    }

    std::uint32_t Security(const std::string& descriptor) {
        auto it = security_.find(descriptor);
        if (it == security_.end()) {
            const std::uint32_t sk = Alloc(20 + descriptor.size());
            PutBytes(At(sk), "sk");
            Put32(At(sk) + 16, static_cast<std::uint32_t>(descriptor.size()));
            PutBytes(At(sk) + 20, descriptor);
            it = security_.emplace(descriptor, sk).first;
            ring_.push_back(sk);
        }
        ++references_[it->second];
        return it->second;
    }
    void LinkSecurity() {
        for (std::size_t i = 0; i < ring_.size(); ++i) {
            const std::uint32_t sk = ring_[i];
            Put32(At(sk) + 4, ring_[(i + 1) % ring_.size()]);
            Put32(At(sk) + 8, ring_[(i + ring_.size() - 1) % ring_.size()]);
            Put32(At(sk) + 12, references_[sk]);
        }
    }

    std::uint32_t Data(const std::string& data) {
        if (data.size() > kSegment && layout_.minor >= 4) {
            const std::uint32_t db = Alloc(8);
            const auto count = static_cast<std::uint32_t>((data.size() + kSegment - 1) / kSegment);
            const std::uint32_t list = Alloc(4 * count);
            PutBytes(At(db), "db");
            Put16(At(db) + 2, count);
            Put32(At(db) + 4, list);
            for (std::uint32_t i = 0; i < count; ++i) {
                const std::string_view part =
                    std::string_view(data).substr(i * std::size_t{kSegment}, kSegment);
                const std::uint32_t segment = Alloc(part.size());
                PutBytes(At(segment), part);
                Put32(At(list) + 4 * i, segment);
            }
            return db;
        }
        const std::uint32_t cell = Alloc(data.size());
        PutBytes(At(cell), data);
        return cell;
    }

    std::uint32_t Value(const HiveValue& value) {
        const std::string name = NameBytes(value.name);
        const std::uint32_t vk = Alloc(20 + name.size());
        std::uint32_t length = static_cast<std::uint32_t>(value.data.size());
        std::uint32_t data = 0;
        if (length <= 4) {
            length |= 0x80000000;  // in the value itself
        } else {
            data = Data(value.data);
        }
        PutBytes(At(vk), "vk");
        Put16(At(vk) + 2, static_cast<std::uint32_t>(name.size()));
        Put32(At(vk) + 4, length);
        Put32(At(vk) + 8, data);
        if (value.data.size() <= 4) PutBytes(At(vk) + 8, value.data);
        Put32(At(vk) + 12, value.type);
        Put16(At(vk) + 16, OneByte(value.name) ? 1 : 0);
        PutBytes(At(vk) + 20, name);
        return vk;
    }

    std::uint32_t List(const std::vector<std::uint32_t>& nodes,
                       const std::vector<const HiveKey*>& keys, std::size_t from,
                       std::size_t count) {
        const bool hashes = layout_.minor >= 5;
        const std::uint32_t list = Alloc(4 + 8 * count);
        PutBytes(At(list), hashes ? "lh" : "lf");
        Put16(At(list) + 2, static_cast<std::uint32_t>(count));
        for (std::size_t i = 0; i < count; ++i) {
            const std::u16string& name = keys[from + i]->name;
            Put32(At(list) + 4 + 8 * i, nodes[from + i]);
            Put32(At(list) + 8 + 8 * i, hashes ? names::LhHash(name) : names::LfHint(name));
        }
        return list;
    }

    std::uint32_t Key(const HiveKey& key, std::uint32_t parent, const std::string& inherited) {
        const bool root = parent == kNil;
        const std::string name = NameBytes(key.name);
        const std::uint32_t nk = Alloc(76 + name.size());
        const std::string& descriptor = key.security.empty() ? inherited : key.security;
        const std::uint32_t security = Security(descriptor);
        std::uint32_t classCell = kNil;
        if (!key.className.empty()) {
            classCell = Alloc(2 * key.className.size());
            PutBytes(At(classCell), Utf16Bytes(key.className));
        }
        std::uint32_t valueList = kNil;
        std::uint32_t maxValueName = 0;
        std::uint32_t maxValueData = 0;
        if (!key.values.empty()) {
            valueList = Alloc(4 * key.values.size());
            for (std::size_t i = 0; i < key.values.size(); ++i) {
                const HiveValue& value = key.values[i];
                Put32(At(valueList) + 4 * i, Value(value));
                maxValueName = std::max<std::uint32_t>(maxValueName, 2 * value.name.size());
                maxValueData = std::max<std::uint32_t>(maxValueData, value.data.size());
            }
        }
        std::vector<const HiveKey*> subkeys;
        for (const HiveKey& subkey : key.subkeys) subkeys.push_back(&subkey);
        std::sort(subkeys.begin(), subkeys.end(), [](const HiveKey* a, const HiveKey* b) {
            return names::Compare(a->name, b->name) < 0;
        });
        std::vector<std::uint32_t> nodes;
        std::uint32_t maxName = 0;
        std::uint32_t maxClass = 0;
        for (const HiveKey* subkey : subkeys) {
            nodes.push_back(Key(*subkey, nk, descriptor));
            maxName = std::max<std::uint32_t>(maxName, 2 * subkey->name.size());
            maxClass = std::max<std::uint32_t>(maxClass, 2 * subkey->className.size());
        }
        std::uint32_t subkeyList = kNil;
        if (subkeys.size() > layout_.leafSize) {
            const std::size_t leaves = (subkeys.size() + layout_.leafSize - 1) / layout_.leafSize;
            std::vector<std::uint32_t> lists;
            for (std::size_t i = 0; i < leaves; ++i) {
                const std::size_t from = i * layout_.leafSize;
                lists.push_back(
                    List(nodes, subkeys, from, std::min(layout_.leafSize, subkeys.size() - from)));
            }
            subkeyList = Alloc(4 + 4 * leaves);
            PutBytes(At(subkeyList), "ri");
            Put16(At(subkeyList) + 2, static_cast<std::uint32_t>(leaves));
            for (std::size_t i = 0; i < leaves; ++i) Put32(At(subkeyList) + 4 + 4 * i, lists[i]);
        } else if (!subkeys.empty()) {
            subkeyList = List(nodes, subkeys, 0, subkeys.size());
        }

        const std::size_t at = At(nk);
        PutBytes(at, "nk");
        // Root: the hive's entry, not deletable; every key: its name's form.
        Put16(at + 2, (root ? 0x0C : 0) | (OneByte(key.name) ? 0x20 : 0));
        Put64(at + 4, key.time ? key.time : layout_.time);
        Put32(at + 16, parent);
        Put32(at + 20, static_cast<std::uint32_t>(subkeys.size()));
        Put32(at + 28, subkeyList);
        Put32(at + 32, kNil);
        Put32(at + 36, static_cast<std::uint32_t>(key.values.size()));
        Put32(at + 40, valueList);
        Put32(at + 44, security);
        Put32(at + 48, classCell);
        Put32(at + 52, maxName);
        Put32(at + 56, maxClass);
        Put32(at + 60, maxValueName);
        Put32(at + 64, maxValueData);
        Put16(at + 72, static_cast<std::uint32_t>(name.size()));
        Put16(at + 74, static_cast<std::uint32_t>(2 * key.className.size()));
        PutBytes(at + 76, name);
        return nk;
    }

    void Header(std::uint32_t rootCell) {
        PutBytes(0, "regf");
        Put32(4, 1);
        Put32(8, 1);
        Put64(12, layout_.time);
        Put32(20, 1);
        Put32(24, layout_.minor);
        Put32(28, 0);
        Put32(32, 1);
        Put32(36, rootCell);
        Put32(40, static_cast<std::uint32_t>(out_.size() - kBase));
        Put32(44, 1);
        const std::u16string& file = layout_.fileName;
        const std::size_t keep = std::min<std::size_t>(file.size(), 31);
        PutBytes(48, Utf16Bytes(std::u16string_view(file).substr(file.size() - keep)));
        std::uint32_t sum = 0;
        for (std::size_t at = 0; at < 0x1FC; at += 4) {
            sum ^= static_cast<std::uint8_t>(out_[at]) |
                   (static_cast<std::uint8_t>(out_[at + 1]) << 8) |
                   (static_cast<std::uint8_t>(out_[at + 2]) << 16) |
                   (static_cast<std::uint32_t>(static_cast<std::uint8_t>(out_[at + 3])) << 24);
        }
        // Windows' rule: a checksum of 0 is stored as 1, one of 0xFFFFFFFF as 0xFFFFFFFE.
        Put32(0x1FC, sum == 0 ? 1 : sum == 0xFFFFFFFF ? 0xFFFFFFFE : sum);
    }

    const HiveLayout& layout_;
    std::string out_;
    std::size_t cursor_ = 0;
    std::size_t binEnd_ = 0;
    std::map<std::string, std::uint32_t> security_;
    std::map<std::uint32_t, std::uint32_t> references_;
    std::vector<std::uint32_t> ring_;
};

}  // namespace

HiveKey& HiveKey::Child(std::u16string_view name) {
    for (HiveKey& key : subkeys) {
        if (names::Equal(key.name, name)) return key;
    }
    subkeys.push_back(HiveKey{});
    subkeys.back().name = name;
    return subkeys.back();
}

HiveValue& HiveKey::Value(std::u16string_view name) {
    for (HiveValue& value : values) {
        if (names::Equal(value.name, name)) return value;
    }
    values.push_back(HiveValue{});
    values.back().name = name;
    return values.back();
}

HiveKey& HiveKey::Path(std::u16string_view path) {
    HiveKey* key = this;
    while (!path.empty()) {
        const std::size_t slash = path.find(u'\\');
        key = &key->Child(path.substr(0, slash));
        path = slash == std::u16string_view::npos ? std::u16string_view() : path.substr(slash + 1);
    }
    return *key;
}

std::string WriteHive(const HiveKey& root, const HiveLayout& layout) {
    return Writer(layout).Write(root);
}

std::uint64_t FileTime(int year, int month, int day, int hour, int minute, int second) {
    // Days since 1970-01-01 in the proleptic Gregorian calendar, counted here rather than by
    // timegm, which the Windows build's C library lacks.
    const std::int64_t y = month <= 2 ? year - 1 : year;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const std::int64_t days = era * 146097 + dayOfEra - 719468;
    const std::int64_t seconds = days * 86400 + hour * 3600 + minute * 60 + second;
    return static_cast<std::uint64_t>(seconds + 11644473600LL) * 10000000ULL;
}

std::string Utf16Bytes(std::u16string_view text) {
    std::string out;
    out.reserve(2 * text.size());
    for (const char16_t unit : text) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    }
    return out;
}

std::u16string Utf16(std::string_view utf8) {
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        char32_t c = byte;
        std::size_t extra = 0;
        if (byte >= 0xF0) {
            c = byte & 0x07;
            extra = 3;
        } else if (byte >= 0xE0) {
            c = byte & 0x0F;
            extra = 2;
        } else if (byte >= 0xC0) {
            c = byte & 0x1F;
            extra = 1;
        }
        for (std::size_t k = 1; k <= extra && i + k < utf8.size(); ++k) {
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        i += 1 + extra;
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::string Dword(std::uint32_t value) {
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

std::string EveryoneDescriptor() {
    std::string sd(76, '\0');
    const auto put16 = [&](std::size_t at, std::uint16_t v) {
        sd[at] = static_cast<char>(v & 0xFF);
        sd[at + 1] = static_cast<char>(v >> 8);
    };
    const auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) sd[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    sd[0] = 1;              // revision
    put16(2, 0x8004);       // self-relative, a DACL
    put32(4, 48);           // owner
    put32(8, 64);           // group
    put32(16, 20);          // the DACL
    sd[20] = 2;             // ACL revision
    put16(22, 28);          // ACL size
    put16(24, 1);           // one ACE
    sd[29] = 0x02;          // allowed, inherited by subkeys
    put16(30, 20);          // ACE size
    put32(32, 0x000F003F);  // KEY_ALL_ACCESS
    const unsigned char everyone[12] = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
    std::memcpy(&sd[36], everyone, sizeof everyone);
    const unsigned char admins[16] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
    std::memcpy(&sd[48], admins, sizeof admins);
    const unsigned char system[12] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
    std::memcpy(&sd[64], system, sizeof system);
    return sd;
}

}  // namespace testing_support
