#include "registry/hive/hive_registry.h"

#include <unistd.h>

#include <algorithm>

#include "text/ascii.h"
#include "text/cp1252.h"
#include "text/windows_names.h"

namespace platform {

namespace {

using namespace winerr;
using hive::Cell;
using hive::kNil;

constexpr const char* kCurrentControlSet = "CurrentControlSet";

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
std::vector<std::uint8_t> FromHive(std::uint32_t type, const std::vector<std::uint8_t>& bytes) {
    if (!IsStringType(type)) return bytes;
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        units.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    const std::string ansi = cp1252::FromUtf16(units);
    return std::vector<std::uint8_t>(ansi.begin(), ansi.end());
}

bool LessFolded(const std::string& a, const std::string& b) {
    return ascii::Fold(a) < ascii::Fold(b);
}

bool NamedAs(const std::string& ansi, std::u16string_view name) {
    return names::Equal(cp1252::ToUtf16(ansi), name);
}

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
    location->link = false;
    if (names.empty()) return kSuccess;
    if (NamedAs(names[0], u"SYSTEM")) {
        location->hive = kSystem;
    } else if (NamedAs(names[0], u"SOFTWARE")) {
        location->hive = kSoftware;
    } else {
        return kFileNotFound;  // the installation's other hives are not opened
    }
    for (std::size_t i = 1; i < names.size(); ++i) {
        // CurrentControlSet is a link Windows makes at boot to the set Select\Current names.
        const bool link =
            location->hive == kSystem && i == 1 && NamedAs(names[i], u"CurrentControlSet");
        location->link = location->link || link;
        location->names.push_back(cp1252::ToUtf16(link ? controlSet_ : names[i]));
    }
    return kSuccess;
}

long HiveRegistry::Find(const Location& location, Cell* key) const {
    *key = kNil;
    if (location.hive == kRootOnly) return kSuccess;
    const hive::Hive* hive = files_[location.hive]->hive();
    if (!hive) return kRegistryIoFailed;
    try {
        Cell current = hive->root();
        for (const auto& name : location.names) {
            current = hive->FindSubkey(current, name);
            if (current == kNil) return kFileNotFound;
        }
        *key = current;
        return kSuccess;
    } catch (const hive::Error&) {
        return kRegistryIoFailed;
    }
}

long HiveRegistry::FindKey(const std::string& path, std::string* stored) {
    Location location;
    long status = Locate(path, &location);
    if (status != kSuccess) return status;
    stored->clear();
    if (location.hive == kRootOnly) return kSuccess;
    const hive::Hive* hive = files_[location.hive]->hive();
    if (!hive) return kRegistryIoFailed;
    std::vector<std::string> given;
    SplitPath(path, &given);
    std::string spelled = location.hive == kSystem ? "SYSTEM" : "SOFTWARE";
    try {
        Cell current = hive->root();
        for (std::size_t i = 0; i < location.names.size(); ++i) {
            current = hive->FindSubkey(current, location.names[i]);
            if (current == kNil) return kFileNotFound;
            // The name as stored, unless it has a character the ANSI view cannot show.
            bool exact = false;
            std::string name = cp1252::FromUtf16(hive->KeyName(current), &exact);
            if (location.link && i == 0) name = kCurrentControlSet;
            spelled += "\\" + (exact || (location.link && i == 0) ? name : given[i + 1]);
        }
    } catch (const hive::Error&) {
        return kRegistryIoFailed;
    }
    *stored = spelled;
    return kSuccess;
}

long HiveRegistry::Change(int hive, const std::function<bool(hive::Hive&)>& change) {
    hive::Hive* target = files_[hive]->hive();
    if (!target) return kRegistryIoFailed;
    bool changed = false;
    try {
        changed = change(*target);
    } catch (const hive::Error& error) {
        return Finish(hive, error.what());
    }
    return changed ? Finish(hive, "") : kSuccess;
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
    for (const auto& name : location.names) {
        if (name.size() > hive::kMaxKeyNameLength) return kInvalidParameter;
    }
    status = Change(location.hive, [&](hive::Hive& hive) {
        Cell key = hive.root();
        bool created = false;
        for (const auto& name : location.names) {
            Cell child = hive.FindSubkey(key, name);
            if (child == kNil) {
                child = hive.CreateKey(key, name);
                created = true;
            }
            key = child;
        }
        return created;
    });
    return status == kSuccess ? FindKey(path, stored) : status;
}

long HiveRegistry::ReadValue(const std::string& path, const std::string& name, std::uint32_t* type,
                             std::vector<std::uint8_t>* data) {
    Location location;
    Cell key = kNil;
    long status = Locate(path, &location);
    if (status == kSuccess) status = Find(location, &key);
    if (status == kFileNotFound) return kKeyDeleted;
    if (status != kSuccess) return status;
    if (location.hive == kRootOnly) return kFileNotFound;
    const hive::Hive& hive = *files_[location.hive]->hive();
    try {
        const Cell value = hive.FindValue(key, cp1252::ToUtf16(name));
        if (value == kNil) return kFileNotFound;
        *type = hive.ValueType(value);
        *data = FromHive(*type, hive.ValueData(value));
        return kSuccess;
    } catch (const hive::Error&) {
        return kRegistryIoFailed;
    }
}

long HiveRegistry::WriteValue(const std::string& path, const std::string& name, std::uint32_t type,
                              const std::uint8_t* data, std::uint32_t size) {
    Location location;
    Cell key = kNil;
    long status = Locate(path, &location);
    if (status == kSuccess) status = Find(location, &key);
    if (status == kFileNotFound) return kKeyDeleted;
    if (status != kSuccess) return status;
    if (location.hive == kRootOnly) return kAccessDenied;
    if (name.size() > hive::kMaxValueNameLength) return kInvalidParameter;
    const std::vector<std::uint8_t> stored = ToHive(type, data, size);
    const std::u16string valueName = cp1252::ToUtf16(name);
    try {
        // Writing back what is there (as the load sequences do) changes nothing: no commit.
        const hive::Hive& hive = *files_[location.hive]->hive();
        const Cell value = hive.FindValue(key, valueName);
        if (value != kNil && hive.ValueType(value) == type && hive.ValueData(value) == stored) {
            return kSuccess;
        }
    } catch (const hive::Error&) {
        return kRegistryIoFailed;
    }
    return Change(location.hive, [&](hive::Hive& hive) {
        // A value keeps the spelling of its name from when it was first written, as in Windows.
        hive.SetValue(key, valueName, type, stored.data(),
                      static_cast<std::uint32_t>(stored.size()));
        return true;
    });
}

long HiveRegistry::EraseValue(const std::string& path, const std::string& name) {
    Location location;
    Cell key = kNil;
    long status = Locate(path, &location);
    if (status == kSuccess) status = Find(location, &key);
    if (status == kFileNotFound) return kKeyDeleted;
    if (status != kSuccess) return status;
    if (location.hive == kRootOnly) return kFileNotFound;
    const std::u16string valueName = cp1252::ToUtf16(name);
    try {
        if (files_[location.hive]->hive()->FindValue(key, valueName) == kNil) return kFileNotFound;
    } catch (const hive::Error&) {
        return kRegistryIoFailed;
    }
    return Change(location.hive,
                  [&](hive::Hive& hive) { return hive.DeleteValue(key, valueName); });
}

bool HiveRegistry::NeededToStart(const std::string& path) {
    Location location;
    if (Locate(path, &location) != kSuccess) return false;
    if (location.hive == kRootOnly || location.names.size() <= 1) return true;
    if (location.hive != kSystem || location.names.size() > 2) return false;
    // ControlSetNNN, as Select's values name the sets (CurrentControlSet is one).
    const std::u16string& set = location.names[0];
    return set.size() == 13 && names::Equal(set.substr(0, 10), u"ControlSet") &&
           std::all_of(set.begin() + 10, set.end(),
                       [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

long HiveRegistry::RemoveKeyTree(const std::string& path) {
    Location location;
    Cell key = kNil;
    long status = Locate(path, &location);
    // Neither the root nor what Windows needs to start can go.
    if (status == kSuccess && NeededToStart(path)) return kAccessDenied;
    if (status == kSuccess) status = Find(location, &key);
    if (status != kSuccess) return status;
    return Change(location.hive, [&](hive::Hive& hive) {
        hive.DeleteKey(key);
        return true;
    });
}

long HiveRegistry::SubKeys(const std::string& path, std::vector<std::string>* names) {
    names->clear();
    Location location;
    Cell key = kNil;
    long status = Locate(path, &location);
    if (status == kSuccess) status = Find(location, &key);
    if (status != kSuccess) return status;
    if (location.hive == kRootOnly) {
        *names = {"SOFTWARE", "SYSTEM"};
        return kSuccess;
    }
    const hive::Hive& hive = *files_[location.hive]->hive();
    bool link = false;
    try {
        for (const Cell child : hive.Subkeys(key)) {
            const std::u16string name = hive.KeyName(child);
            link = link || names::Equal(name, u"CurrentControlSet");
            names->push_back(cp1252::FromUtf16(name));
        }
    } catch (const hive::Error&) {
        names->clear();
        return kRegistryIoFailed;
    }
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
    Cell key = kNil;
    long status = Locate(path, &location);
    if (status == kSuccess) status = Find(location, &key);
    if (status != kSuccess || location.hive == kRootOnly) return status;
    const hive::Hive& hive = *files_[location.hive]->hive();
    try {
        for (const Cell value : hive.Values(key)) {
            const std::uint32_t type = hive.ValueType(value);
            values->push_back(StoredValue{cp1252::FromUtf16(hive.ValueName(value)), type,
                                          FromHive(type, hive.ValueData(value))});
        }
    } catch (const hive::Error&) {
        values->clear();
        return kRegistryIoFailed;
    }
    std::stable_sort(
        values->begin(), values->end(),
        [](const StoredValue& a, const StoredValue& b) { return LessFolded(a.name, b.name); });
    return kSuccess;
}

}  // namespace platform
