#include "registry/hive/hive_keys.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "registry/hive/hive_format.h"
#include "registry/hive/hive_layout.h"
#include "text/windows_names.h"

namespace platform::hive {

using namespace layout;

namespace {

// FILETIME of the Unix epoch.
constexpr std::uint64_t kUnixEpoch = 116444736000000000ull;

bool IsLatin1(std::u16string_view name) {
    return std::all_of(name.begin(), name.end(), [](char16_t unit) { return unit <= 0xFF; });
}

// A name as the hive stores it: one byte a unit where all are Latin-1, else UTF-16LE.
std::vector<std::uint8_t> StoredName(std::u16string_view name, bool compressed) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(name.size() * (compressed ? 1 : 2));
    for (const char16_t unit : name) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        if (!compressed) bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

std::u16string DecodeName(const std::uint8_t* bytes, std::uint32_t length, bool compressed) {
    std::u16string name;
    if (compressed) {
        name.assign(bytes, bytes + length);
    } else {
        name.reserve(length / 2);
        for (std::uint32_t i = 0; i + 1 < length; i += 2) {
            name.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
        }
    }
    return name;
}

// Windows' comparison of name with a stored one, unit by unit in upper case, without copying.
int CompareStored(std::u16string_view name, const std::uint8_t* bytes, std::uint32_t length,
                  bool compressed) {
    const std::size_t units = compressed ? length : length / 2;
    const std::size_t n = std::min(name.size(), units);
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t stored =
            compressed ? bytes[i] : static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        const char16_t a = names::Upcase(name[i]);
        const char16_t b = names::Upcase(stored);
        if (a != b) return a < b ? -1 : 1;
    }
    return name.size() == units ? 0 : (name.size() < units ? -1 : 1);
}

}  // namespace

std::uint64_t FileTimeNow() {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    return kUnixEpoch +
           static_cast<std::uint64_t>(
               std::chrono::duration_cast<std::chrono::nanoseconds>(since).count() / 100);
}

std::uint64_t (*Hive::clock)() = FileTimeNow;

std::unique_ptr<Hive> Hive::Load(std::vector<std::uint8_t> file, std::string* problem) {
    const auto fail = [&](const std::string& why) {
        if (problem) *problem = why;
        return std::unique_ptr<Hive>();
    };
    Header header;
    const std::string head(reinterpret_cast<const char*>(file.data()),
                           std::min<std::size_t>(file.size(), kBaseBlockSize));
    std::string why = ReadHeader(head, file.size(), &header);
    if (!why.empty()) return fail(why);
    if (header.minor < 3 || header.minor > 5) {
        return fail("its format version 1." + std::to_string(header.minor) +
                    " is not one Windows XP writes (1.3 to 1.5)");
    }
    std::unique_ptr<Hive> hive(new Hive());
    hive->minor_ = header.minor;
    hive->root_ = header.rootCell;
    why = hive->cells_.Load(std::move(file));
    if (why.empty()) why = hive->Check();
    if (!why.empty()) return fail(why);
    return hive;
}

// --- names ---

std::u16string Hive::KeyName(Cell key) const {
    const std::uint16_t length = cells_.U16(key, key::kNameLength);
    const bool compressed = (cells_.U16(key, key::kFlags) & key::kCompressedName) != 0;
    return DecodeName(cells_.Data(key, key::kName + length) + key::kName, length, compressed);
}

int Hive::CompareKeyName(std::u16string_view name, Cell key) const {
    const std::uint16_t length = cells_.U16(key, key::kNameLength);
    const bool compressed = (cells_.U16(key, key::kFlags) & key::kCompressedName) != 0;
    return CompareStored(name, cells_.Data(key, key::kName + length) + key::kName, length,
                         compressed);
}

std::u16string Hive::ValueName(Cell value) const {
    const std::uint16_t length = cells_.U16(value, value::kNameLength);
    const bool compressed = (cells_.U16(value, value::kFlags) & value::kCompressedName) != 0;
    return DecodeName(cells_.Data(value, value::kName + length) + value::kName, length, compressed);
}

bool Hive::ValueNamed(Cell value, std::u16string_view name) const {
    const std::uint16_t length = cells_.U16(value, value::kNameLength);
    const bool compressed = (cells_.U16(value, value::kFlags) & value::kCompressedName) != 0;
    return CompareStored(name, cells_.Data(value, value::kName + length) + value::kName, length,
                         compressed) == 0;
}

// --- keys ---

std::uint32_t Hive::SubkeyCount(Cell key) const {
    return cells_.U32(key, key::kSubkeyCount);
}

std::uint64_t Hive::KeyTime(Cell key) const {
    return cells_.U64(key, key::kTime);
}

Cell Hive::Parent(Cell key) const {
    return key == root_ ? kNil : cells_.U32(key, key::kParent);
}

Cell Hive::FindSubkey(Cell parent, std::u16string_view name) const {
    return FindInList(parent, name);
}

void Hive::Touch(Cell key) {
    lastChange_ = clock();
    cells_.Put64(key, key::kTime, lastChange_);
}

Cell Hive::CreateKey(Cell parent, std::u16string_view name) {
    if (name.empty() || name.size() > kMaxKeyNameLength ||
        name.find(u'\\') != std::u16string_view::npos ||
        name.find(u'\0') != std::u16string_view::npos) {
        throw Error("a key name must be 1 to 255 characters without a backslash");
    }
    const Cell existing = FindInList(parent, name);
    if (existing != kNil) return existing;
    const bool compressed = IsLatin1(name);
    const std::vector<std::uint8_t> stored = StoredName(name, compressed);
    const auto length = static_cast<std::uint32_t>(stored.size());
    const Cell security = cells_.U32(parent, key::kSecurity);
    const std::uint32_t users = cells_.U32(security, security::kUsers);

    const Cell key = cells_.Allocate(key::kName + length);
    cells_.Put16(key, 0, kKeySignature);
    cells_.Put16(key, key::kFlags, compressed ? key::kCompressedName : 0);
    cells_.Put32(key, key::kParent, parent);
    cells_.Put32(key, key::kSubkeyList, kNil);
    cells_.Put32(key, key::kVolatileSubkeyList, kNil);
    cells_.Put32(key, key::kValueList, kNil);
    cells_.Put32(key, key::kClass, kNil);
    // A new key shares its parent's security descriptor, one more key using it.
    cells_.Put32(key, key::kSecurity, security);
    cells_.Put32(security, security::kUsers, users + 1);
    cells_.Put16(key, key::kNameLength, static_cast<std::uint16_t>(length));
    cells_.PutBytes(key, key::kName, stored.data(), length);
    Touch(key);

    AddToList(parent, key, name);
    cells_.Put32(parent, key::kSubkeyCount, cells_.U32(parent, key::kSubkeyCount) + 1);
    const std::uint32_t largest = cells_.U32(parent, key::kMaxNameLength);
    const auto bytes = static_cast<std::uint32_t>(name.size() * 2);
    if ((largest & 0xFFFF) < bytes) {
        cells_.Put32(parent, key::kMaxNameLength, (largest & 0xFFFF0000u) | bytes);
    }
    Touch(parent);
    return key;
}

void Hive::ReleaseSecurity(Cell security) {
    const std::uint32_t users = cells_.U32(security, security::kUsers);
    if (users > 1) {
        cells_.Put32(security, security::kUsers, users - 1);
        return;
    }
    // No key uses it any more: out of the hive's list of descriptors, and freed.
    const Cell next = cells_.U32(security, security::kNext);
    const Cell previous = cells_.U32(security, security::kPrevious);
    if (next != security) {
        cells_.Put32(previous, security::kNext, next);
        cells_.Put32(next, security::kPrevious, previous);
    }
    cells_.Free(security);
}

void Hive::FreeKeyCells(Cell key) {
    const std::uint32_t values = cells_.U32(key, key::kValueCount);
    if (values > 0) {
        const Cell list = cells_.U32(key, key::kValueList);
        cells_.Data(list, std::uint64_t{values} * 4);
        for (std::uint32_t i = 0; i < values; ++i) {
            const Cell value = cells_.U32(list, 4 * i);
            FreeData(value);
            cells_.Free(value);
        }
        cells_.Free(list);
    }
    if (cells_.U32(key, key::kSubkeyCount) > 0) FreeList(cells_.U32(key, key::kSubkeyList));
    const Cell className = cells_.U32(key, key::kClass);
    if (className != kNil) cells_.Free(className);
    ReleaseSecurity(cells_.U32(key, key::kSecurity));
    disordered_.erase(key);
    cells_.Free(key);
}

void Hive::DeleteKey(Cell key) {
    if (key == root_) throw Error("the root key of a hive cannot be deleted");
    const Cell parent = cells_.U32(key, key::kParent);
    RemoveFromList(parent, key);
    const std::uint32_t count = cells_.U32(parent, key::kSubkeyCount) - 1;
    cells_.Put32(parent, key::kSubkeyCount, count);
    if (count == 0) {
        // As Windows does when a key's last subkey goes: the largest lengths start again.
        cells_.Put32(parent, key::kMaxNameLength,
                     cells_.U32(parent, key::kMaxNameLength) & 0xFFFF0000u);
        cells_.Put32(parent, key::kMaxClassLength, 0);
    }
    Touch(parent);
    // Every key of the tree: its subkeys are read before its own cells go.
    std::vector<Cell> pending{key};
    while (!pending.empty()) {
        const Cell current = pending.back();
        pending.pop_back();
        const std::vector<Cell> children = Subkeys(current);
        pending.insert(pending.end(), children.begin(), children.end());
        FreeKeyCells(current);
    }
}

// --- values ---

std::vector<Cell> Hive::Values(Cell key) const {
    const std::uint32_t count = cells_.U32(key, key::kValueCount);
    std::vector<Cell> values;
    if (count == 0) return values;
    const Cell list = cells_.U32(key, key::kValueList);
    cells_.Data(list, std::uint64_t{count} * 4);
    values.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) values.push_back(cells_.U32(list, 4 * i));
    return values;
}

Cell Hive::FindValue(Cell key, std::u16string_view name) const {
    const std::uint32_t count = cells_.U32(key, key::kValueCount);
    if (count == 0) return kNil;
    const Cell list = cells_.U32(key, key::kValueList);
    cells_.Data(list, std::uint64_t{count} * 4);
    for (std::uint32_t i = 0; i < count; ++i) {
        const Cell value = cells_.U32(list, 4 * i);
        if (ValueNamed(value, name)) return value;
    }
    return kNil;
}

std::uint32_t Hive::ValueType(Cell value) const {
    return cells_.U32(value, value::kType);
}

namespace {

// Whether a value's data is held in big-data segments: as Windows decides it, by its size in a
// hive of format 1.4 or later, where the cell is one ("db"; a longer value another program
// wrote in one cell is read as that cell).
bool IsBigData(const Cells& cells, std::uint32_t minor, Cell data, std::uint32_t size) {
    return minor >= 4 && size > kBigDataSegment && cells.Capacity(data) >= big::kSize &&
           cells.U16(data, 0) == kBigData;
}

}  // namespace

std::vector<std::uint8_t> Hive::ValueData(Cell value) const {
    const std::uint32_t field = cells_.U32(value, value::kDataSize);
    std::vector<std::uint8_t> data;
    if (field & value::kInline) {
        const std::uint32_t size = field & ~value::kInline;
        if (size > 4) throw Error("a value's data is longer than its inline field");
        const std::uint8_t* bytes = cells_.Data(value, value::kData + 4) + value::kData;
        return std::vector<std::uint8_t>(bytes, bytes + size);
    }
    if (field == 0) return data;
    const Cell cell = cells_.U32(value, value::kData);
    if (!IsBigData(cells_, minor_, cell, field)) {
        const std::uint8_t* bytes = cells_.Data(cell, field);
        return std::vector<std::uint8_t>(bytes, bytes + field);
    }
    const std::uint16_t segments = cells_.U16(cell, big::kCount);
    const Cell list = cells_.U32(cell, big::kList);
    cells_.Data(list, std::uint64_t{segments} * 4);
    data.reserve(field);
    for (std::uint16_t i = 0; i < segments && data.size() < field; ++i) {
        const auto take = std::min<std::uint32_t>(kBigDataSegment,
                                                  field - static_cast<std::uint32_t>(data.size()));
        const std::uint8_t* bytes = cells_.Data(cells_.U32(list, 4u * i), take);
        data.insert(data.end(), bytes, bytes + take);
    }
    if (data.size() != field) throw Error("a value's big data has fewer segments than it needs");
    return data;
}

void Hive::FreeData(Cell value) {
    const std::uint32_t field = cells_.U32(value, value::kDataSize);
    if ((field & value::kInline) || field == 0) return;
    const Cell cell = cells_.U32(value, value::kData);
    if (IsBigData(cells_, minor_, cell, field)) {
        const std::uint16_t segments = cells_.U16(cell, big::kCount);
        const Cell list = cells_.U32(cell, big::kList);
        for (std::uint16_t i = 0; i < segments; ++i) cells_.Free(cells_.U32(list, 4u * i));
        cells_.Free(list);
    }
    cells_.Free(cell);
    cells_.Put32(value, value::kDataSize, value::kInline);
    cells_.Put32(value, value::kData, 0);
}

void Hive::StoreData(Cell value, const std::uint8_t* data, std::uint32_t size) {
    if (size <= 4) {
        FreeData(value);
        cells_.Put32(value, value::kData, 0);
        cells_.PutBytes(value, value::kData, data, size);
        cells_.Put32(value, value::kDataSize, size | value::kInline);
        return;
    }
    if (minor_ >= 4 && size > kBigDataSegment) {
        const std::uint32_t segments = (size + kBigDataSegment - 1) / kBigDataSegment;
        if (segments > 0xFFFF) throw Error("a value too large for a hive");
        const Cell list = cells_.Allocate(segments * 4);
        for (std::uint32_t i = 0; i < segments; ++i) {
            const std::uint32_t offset = i * kBigDataSegment;
            const std::uint32_t take = std::min(kBigDataSegment, size - offset);
            // Each segment's cell 4 bytes longer than its data, as a full one is (16344 bytes
            // in 16348): readers such as libhivex take a segment's data to end there.
            const Cell segment = cells_.Allocate(take + 4);
            cells_.PutBytes(segment, 0, data + offset, take);
            cells_.Put32(list, 4 * i, segment);
        }
        const Cell big = cells_.Allocate(big::kSize);
        cells_.Put16(big, 0, kBigData);
        cells_.Put16(big, big::kCount, static_cast<std::uint16_t>(segments));
        cells_.Put32(big, big::kList, list);
        FreeData(value);
        cells_.Put32(value, value::kData, big);
        cells_.Put32(value, value::kDataSize, size);
        return;
    }
    // The data cell is kept where the new data fits it (every same-size write): only its
    // bytes change, in place.
    const std::uint32_t field = cells_.U32(value, value::kDataSize);
    const Cell cell = cells_.U32(value, value::kData);
    if (!(field & value::kInline) && field != 0 && !IsBigData(cells_, minor_, cell, field) &&
        cells_.Capacity(cell) >= size) {
        cells_.PutBytes(cell, 0, data, size);
        if (field != size) cells_.Put32(value, value::kDataSize, size);
        return;
    }
    const Cell fresh = cells_.Allocate(size);
    cells_.PutBytes(fresh, 0, data, size);
    FreeData(value);
    cells_.Put32(value, value::kData, fresh);
    cells_.Put32(value, value::kDataSize, size);
}

void Hive::SetValue(Cell key, std::u16string_view name, std::uint32_t type,
                    const std::uint8_t* data, std::uint32_t size) {
    if (name.size() > kMaxValueNameLength) throw Error("a value name longer than 16383");
    Cell value = FindValue(key, name);
    if (value == kNil) {
        const bool compressed = IsLatin1(name);
        const std::vector<std::uint8_t> stored = StoredName(name, compressed);
        const auto length = static_cast<std::uint32_t>(stored.size());
        value = cells_.Allocate(value::kName + length);
        cells_.Put16(value, 0, kValueSignature);
        cells_.Put16(value, value::kNameLength, static_cast<std::uint16_t>(length));
        cells_.Put32(value, value::kDataSize, value::kInline);
        cells_.Put16(value, value::kFlags, compressed ? value::kCompressedName : 0);
        cells_.PutBytes(value, value::kName, stored.data(), length);
        // Appended to the key's list, as Windows adds values.
        const std::uint32_t count = cells_.U32(key, key::kValueCount);
        const Cell list =
            count == 0 ? cells_.Allocate(4)
                       : cells_.Reallocate(cells_.U32(key, key::kValueList), (count + 1) * 4);
        cells_.Put32(list, count * 4, value);
        cells_.Put32(key, key::kValueList, list);
        cells_.Put32(key, key::kValueCount, count + 1);
    }
    cells_.Put32(value, value::kType, type);
    StoreData(value, data, size);
    const auto nameBytes = static_cast<std::uint32_t>(name.size() * 2);
    if (cells_.U32(key, key::kMaxValueNameLength) < nameBytes) {
        cells_.Put32(key, key::kMaxValueNameLength, nameBytes);
    }
    if (cells_.U32(key, key::kMaxValueDataLength) < size) {
        cells_.Put32(key, key::kMaxValueDataLength, size);
    }
    Touch(key);
}

bool Hive::DeleteValue(Cell key, std::u16string_view name) {
    const std::uint32_t count = cells_.U32(key, key::kValueCount);
    if (count == 0) return false;
    const Cell list = cells_.U32(key, key::kValueList);
    cells_.Data(list, std::uint64_t{count} * 4);
    std::uint32_t index = 0;
    while (index < count && !ValueNamed(cells_.U32(list, 4 * index), name)) ++index;
    if (index == count) return false;
    const Cell value = cells_.U32(list, 4 * index);
    FreeData(value);
    cells_.Free(value);
    if (count == 1) {
        // As Windows does when a key's last value goes: no list, the largest lengths reset.
        cells_.Free(list);
        cells_.Put32(key, key::kValueList, kNil);
        cells_.Put32(key, key::kMaxValueNameLength, 0);
        cells_.Put32(key, key::kMaxValueDataLength, 0);
    } else {
        cells_.Move(list, 4 * index, 4 * (index + 1), 4 * (count - 1 - index));
    }
    cells_.Put32(key, key::kValueCount, count - 1);
    Touch(key);
    return true;
}

}  // namespace platform::hive
