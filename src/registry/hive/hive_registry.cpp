#include "registry/hive/hive_registry.h"

#include <fcntl.h>
#include <hivex.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/posix/posix_platform.h"
#include "registry/hive/hive_format.h"
#include "text/ascii.h"
#include "text/cp1252.h"

namespace platform {

namespace {

using namespace winerr;

constexpr const char* kCurrentControlSet = "CurrentControlSet";
// The longest key name Windows accepts.
constexpr std::size_t kMaxKeyName = 255;

bool IsStringType(std::uint32_t type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// What the hive stores for data the ANSI functions were given: texts as UTF-16LE, one unit
// for each byte, with exactly the terminator given (RegSetValueExA); the rest as it is.
std::vector<std::uint8_t> ToHive(std::uint32_t type, const std::uint8_t* data, std::size_t size) {
    if (!IsStringType(type)) return std::vector<std::uint8_t>(data, data + size);
    const std::u16string units =
        cp1252::ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
    std::vector<std::uint8_t> out;
    out.reserve(units.size() * 2);
    for (const char16_t unit : units) {
        out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return out;
}

// What the ANSI functions return for stored data (RegQueryValueExA): a text's units in
// Windows-1252, as many bytes as whole units (a unit without a 1252 form becomes '?').
std::vector<std::uint8_t> FromHive(std::uint32_t type, const char* raw, std::size_t size) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(raw);
    if (!IsStringType(type)) return std::vector<std::uint8_t>(bytes, bytes + size);
    std::u16string units;
    units.reserve(size / 2);
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        units.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    const std::string ansi = cp1252::FromUtf16(units);
    return std::vector<std::uint8_t>(ansi.begin(), ansi.end());
}

// libhivex gives and takes value types as its enum hive_type, which a hive may hold any number
// in: they are moved as the four bytes they are, never held in the enum in C++.
static_assert(sizeof(hive_type) == sizeof(std::uint32_t));
std::uint32_t TypeOf(const hive_set_value& value) {
    std::uint32_t type = 0;
    std::memcpy(&type, &value.t, sizeof type);
    return type;
}
void SetType(hive_set_value& value, std::uint32_t type) {
    std::memcpy(&value.t, &type, sizeof type);
}

// A string libhivex returns, freed when done.
std::string Take(char* text) {
    if (!text) return "";
    std::string out(text);
    std::free(text);
    return out;
}

// A name this program may give a new key in a hive (UTF-8): printable ASCII and Latin-1,
// whose upper case and order this program knows as Windows does (hive_order_posix.h).
bool IsNewKeyName(const std::string& utf8) {
    bool exact = false;
    const std::string ansi = cp1252::FromUtf8(utf8, &exact);
    if (!exact || ansi.empty() || ansi.size() > kMaxKeyName) return false;
    return std::all_of(ansi.begin(), ansi.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte >= 0x20 && byte < 0x7F) || byte >= 0xA0;
    });
}

bool LessFolded(const std::string& a, const std::string& b) {
    return ascii::Fold(a) < ascii::Fold(b);
}

// The values of a node, copied as libhivex writes them back, freed when done.
class ValueList {
  public:
    ValueList(hive_h* hive, hive_node_h node) {
        hive_value_h* values = hivex_node_values(hive, node);
        if (!values) return;
        for (std::size_t i = 0; values[i] != 0; ++i) {
            std::uint32_t type = 0;
            std::size_t length = 0;
            char* data =
                hivex_value_value(hive, values[i], reinterpret_cast<hive_type*>(&type), &length);
            char* key = hivex_value_key(hive, values[i]);
            if (!data || !key) {
                std::free(data);
                std::free(key);
                std::free(values);
                return;
            }
            list_.push_back(hive_set_value{key, {}, length, data});
            SetType(list_.back(), type);
        }
        std::free(values);
        ok_ = true;
    }
    ~ValueList() {
        for (auto& value : list_) {
            std::free(value.key);
            std::free(value.value);
        }
    }
    ValueList(const ValueList&) = delete;
    ValueList& operator=(const ValueList&) = delete;

    bool ok() const { return ok_; }
    std::vector<hive_set_value>& list() { return list_; }
    // The index of the value with this name (Windows-1252, any ASCII case), or -1.
    long Find(const std::string& name) const {
        for (std::size_t i = 0; i < list_.size(); ++i) {
            if (ascii::EqualNoCase(cp1252::FromUtf8(list_[i].key), name)) {
                return static_cast<long>(i);
            }
        }
        return -1;
    }
    // Whether writing the list back would turn big data (kept in pieces in hives of version
    // 1.4 on) into one cell, which libhivex does and Windows would misread.
    bool HasBigData() const {
        return std::any_of(list_.begin(), list_.end(), [](const hive_set_value& value) {
            return value.len > hive::kBigDataThreshold;
        });
    }

  private:
    std::vector<hive_set_value> list_;
    bool ok_ = false;
};

}  // namespace

HiveRegistry::~HiveRegistry() {
    files_[kSystem].reset();
    files_[kSoftware].reset();
    if (lock_ >= 0) ::close(lock_);
}

long HiveRegistry::Locate(const std::string& path, Location* location) const {
    std::vector<std::string> names;
    if (!SplitPath(path, &names)) return kBadPathname;
    location->hive = kRootOnly;
    location->names.clear();
    if (names.empty()) return kSuccess;
    if (ascii::EqualNoCase(names[0], "SYSTEM")) {
        location->hive = kSystem;
    } else if (ascii::EqualNoCase(names[0], "SOFTWARE")) {
        location->hive = kSoftware;
    } else {
        return kFileNotFound;  // the installation's other hives are not opened
    }
    for (std::size_t i = 1; i < names.size(); ++i) {
        const bool current =
            location->hive == kSystem && i == 1 && ascii::EqualNoCase(names[i], kCurrentControlSet);
        location->names.push_back(current ? controlSet_ : cp1252::ToUtf8(names[i]));
    }
    return kSuccess;
}

long HiveRegistry::Find(const Location& location, std::size_t* node) const {
    if (location.hive == kRootOnly) {
        *node = 0;
        return kSuccess;
    }
    hive_h* hive = files_[location.hive]->handle();
    if (!hive) return kRegistryIoFailed;
    hive_node_h current = hivex_root(hive);
    for (const auto& name : location.names) {
        errno = 0;
        const hive_node_h child = hivex_node_get_child(hive, current, name.c_str());
        if (child == 0) return errno == 0 ? kFileNotFound : kRegistryIoFailed;
        current = child;
    }
    *node = current;
    return kSuccess;
}

long HiveRegistry::MakeKeyPath(const std::string& path, std::string* stored) {
    Location location;
    long status = Locate(path, &location);
    // Only the two hives' own keys can be made: HKEY_LOCAL_MACHINE takes no new keys.
    if (status == kFileNotFound) return kAccessDenied;
    if (status != kSuccess) return status;
    if (location.hive == kRootOnly) {
        stored->clear();
        return kSuccess;
    }
    hive_h* hive = files_[location.hive]->handle();
    if (!hive) return kRegistryIoFailed;
    hive_node_h current = hivex_root(hive);
    bool created = false;
    for (const auto& name : location.names) {
        errno = 0;
        hive_node_h child = hivex_node_get_child(hive, current, name.c_str());
        if (child == 0 && errno != 0) return Finish(location.hive, false);
        if (child == 0) {
            if (!IsNewKeyName(name)) {
                if (created) Discard(location.hive);
                return kInvalidParameter;
            }
            child = hivex_node_add_child(hive, current, name.c_str());
            if (child == 0) return Finish(location.hive, false);
            created = true;
            // libhivex files it by an order of its own; the commit puts it into Windows'.
            files_[location.hive]->NoteAddedKey(current, child);
        }
        current = child;
    }
    status = created ? Finish(location.hive, true) : kSuccess;
    return status == kSuccess ? FindKey(path, stored) : status;
}

long HiveRegistry::ReadValue(const std::string& path, const std::string& name, std::uint32_t* type,
                             std::vector<std::uint8_t>* data) {
    Location location;
    std::size_t node = 0;
    long status = Locate(path, &location);
    if (status == kSuccess) status = Find(location, &node);
    if (status == kFileNotFound) return kKeyDeleted;
    if (status != kSuccess) return status;
    if (location.hive == kRootOnly) return kFileNotFound;
    hive_h* hive = files_[location.hive]->handle();
    errno = 0;
    const hive_value_h value = hivex_node_get_value(hive, node, cp1252::ToUtf8(name).c_str());
    if (value == 0) return errno == 0 ? kFileNotFound : kRegistryIoFailed;
    std::uint32_t valueType = 0;
    std::size_t length = 0;
    char* raw = hivex_value_value(hive, value, reinterpret_cast<hive_type*>(&valueType), &length);
    if (!raw) return kRegistryIoFailed;
    *data = FromHive(valueType, raw, length);
    std::free(raw);
    *type = valueType;
    return kSuccess;
}

long HiveRegistry::WriteValue(const std::string& path, const std::string& name, std::uint32_t type,
                              const std::uint8_t* data, std::uint32_t size) {
    Location location;
    std::size_t node = 0;
    long status = Locate(path, &location);
    if (status == kSuccess) status = Find(location, &node);
    if (status == kFileNotFound) return kKeyDeleted;
    if (status != kSuccess) return status;
    if (location.hive == kRootOnly) return kAccessDenied;
    hive_h* hive = files_[location.hive]->handle();
    ValueList values(hive, node);
    if (!values.ok()) return Finish(location.hive, false);
    std::vector<std::uint8_t> stored = ToHive(type, data, size);
    if (files_[location.hive]->minor_version() >= 4 &&
        (values.HasBigData() || stored.size() > hive::kBigDataThreshold)) {
        return kCantWrite;
    }
    // A value keeps the spelling of its name from when it was first written, as in Windows.
    const long at = values.Find(name);
    // Writing back what is there (as the load sequences do) changes nothing: no commit.
    if (at >= 0) {
        const hive_set_value& old = values.list()[static_cast<std::size_t>(at)];
        if (TypeOf(old) == type && old.len == stored.size() &&
            std::equal(stored.begin(), stored.end(), reinterpret_cast<std::uint8_t*>(old.value))) {
            return kSuccess;
        }
    }
    const std::string utf8Name = cp1252::ToUtf8(name);
    hive_set_value replacement{const_cast<char*>(utf8Name.c_str()),
                               {},
                               stored.size(),
                               reinterpret_cast<char*>(stored.data())};
    SetType(replacement, type);
    std::vector<hive_set_value> list = values.list();
    if (at < 0) {
        list.push_back(replacement);
    } else {
        SetType(list[static_cast<std::size_t>(at)], type);
        list[static_cast<std::size_t>(at)].len = replacement.len;
        list[static_cast<std::size_t>(at)].value = replacement.value;
    }
    return Finish(location.hive,
                  hivex_node_set_values(hive, node, list.size(), list.data(), 0) == 0);
}

long HiveRegistry::EraseValue(const std::string& path, const std::string& name) {
    Location location;
    std::size_t node = 0;
    long status = Locate(path, &location);
    if (status == kSuccess) status = Find(location, &node);
    if (status == kFileNotFound) return kKeyDeleted;
    if (status != kSuccess) return status;
    if (location.hive == kRootOnly) return kFileNotFound;
    hive_h* hive = files_[location.hive]->handle();
    ValueList values(hive, node);
    if (!values.ok()) return Finish(location.hive, false);
    const long at = values.Find(name);
    if (at < 0) return kFileNotFound;
    if (files_[location.hive]->minor_version() >= 4 && values.HasBigData()) return kCantWrite;
    std::vector<hive_set_value> list = values.list();
    list.erase(list.begin() + at);
    return Finish(location.hive,
                  hivex_node_set_values(hive, node, list.size(), list.data(), 0) == 0);
}

// --- by path ---

long HiveRegistry::FindKey(const std::string& path, std::string* stored) {
    Location location;
    long status = Locate(path, &location);
    if (status != kSuccess) return status;
    stored->clear();
    if (location.hive == kRootOnly) return kSuccess;
    hive_h* hive = files_[location.hive]->handle();
    if (!hive) return kRegistryIoFailed;
    std::vector<std::string> names;
    SplitPath(path, &names);
    std::string spelled = location.hive == kSystem ? "SYSTEM" : "SOFTWARE";
    hive_node_h current = hivex_root(hive);
    for (std::size_t i = 0; i < location.names.size(); ++i) {
        errno = 0;
        const hive_node_h child = hivex_node_get_child(hive, current, location.names[i].c_str());
        if (child == 0) return errno == 0 ? kFileNotFound : kRegistryIoFailed;
        const bool link =
            location.hive == kSystem && i == 0 && ascii::EqualNoCase(names[1], kCurrentControlSet);
        spelled += "\\" + (link ? std::string(kCurrentControlSet)
                                : cp1252::FromUtf8(Take(hivex_node_name(hive, child))));
        current = child;
    }
    *stored = spelled;
    return kSuccess;
}

long HiveRegistry::SubKeys(const std::string& path, std::vector<std::string>* names) {
    names->clear();
    Location location;
    std::size_t node = 0;
    long status = Locate(path, &location);
    if (status == kSuccess) status = Find(location, &node);
    if (status != kSuccess) return status;
    if (location.hive == kRootOnly) {
        *names = {"SOFTWARE", "SYSTEM"};
        return kSuccess;
    }
    hive_h* hive = files_[location.hive]->handle();
    hive_node_h* children = hivex_node_children(hive, node);
    if (!children) return kRegistryIoFailed;
    bool link = false;
    for (std::size_t i = 0; children[i] != 0; ++i) {
        names->push_back(cp1252::FromUtf8(Take(hivex_node_name(hive, children[i]))));
        link = link || ascii::EqualNoCase(names->back(), kCurrentControlSet);
    }
    std::free(children);
    // CurrentControlSet is a link Windows makes at boot, not a key in the file.
    if (location.hive == kSystem && location.names.empty() && !link) {
        names->push_back(kCurrentControlSet);
    }
    std::stable_sort(names->begin(), names->end(), LessFolded);
    return kSuccess;
}

long HiveRegistry::Values(const std::string& path, std::vector<StoredValue>* values) {
    values->clear();
    Location location;
    std::size_t node = 0;
    long status = Locate(path, &location);
    if (status == kSuccess) status = Find(location, &node);
    if (status != kSuccess || location.hive == kRootOnly) return status;
    ValueList list(files_[location.hive]->handle(), node);
    if (!list.ok()) return kRegistryIoFailed;
    for (const auto& value : list.list()) {
        values->push_back(StoredValue{cp1252::FromUtf8(value.key), TypeOf(value),
                                      FromHive(TypeOf(value), value.value, value.len)});
    }
    std::stable_sort(
        values->begin(), values->end(),
        [](const StoredValue& a, const StoredValue& b) { return LessFolded(a.name, b.name); });
    return kSuccess;
}

long HiveRegistry::RemoveKeyTree(const std::string& path) {
    Location location;
    std::size_t node = 0;
    long status = Locate(path, &location);
    if (status == kSuccess && (location.hive == kRootOnly || location.names.empty())) {
        return kAccessDenied;  // neither the root nor a hive's own root can go
    }
    if (status == kSuccess) status = Find(location, &node);
    if (status != kSuccess) return status;
    return Finish(location.hive,
                  hivex_node_delete_child(files_[location.hive]->handle(), node) == 0);
}

}  // namespace platform
