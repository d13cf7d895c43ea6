#include "support/memory_registry.h"

#include <algorithm>
#include <cstring>

#include "text/ascii.h"

namespace testing_support {

using namespace platform;

using namespace winerr;

std::string MemoryRegistry::Fold(const std::string& text) {
    return ascii::Fold(text);
}

long MemoryRegistry::OpenKey(HKey root, const std::string& path, std::uint32_t access, HKey* out) {
    *out = 0;
    if (root != kHKLM) return kInvalidHandle;
    if (readOnly && (access & (kKeySetValue | kKeyCreateSubKey))) return kAccessDenied;
    const std::string folded = Fold(path);
    if (!keys_.count(folded)) return kFileNotFound;
    *out = next_++;
    handles_[*out] = folded;
    return kSuccess;
}

long MemoryRegistry::CreateKeyEx(HKey root, const std::string& path, std::uint32_t,
                                 std::uint32_t access, HKey* out) {
    *out = 0;
    if (root != kHKLM) return kInvalidHandle;
    if (refuseCreate || (readOnly && (access & (kKeySetValue | kKeyCreateSubKey)))) {
        return kAccessDenied;
    }
    if (path.empty() || path.front() == '\\') return kBadPathname;
    // Every missing key on the way is created, as the registry does.
    std::size_t end = 0;
    do {
        end = path.find('\\', end + 1);
        const std::string part = path.substr(0, end);
        Key& key = keys_[Fold(part)];
        if (key.path.empty()) key.path = part;
    } while (end != std::string::npos);
    *out = next_++;
    handles_[*out] = Fold(path);
    return kSuccess;
}

long MemoryRegistry::CreateKey(HKey root, const std::string& path, HKey* out) {
    return CreateKeyEx(root, path, 0, kKeyAllAccess, out);
}

long MemoryRegistry::QueryValue(HKey key, const std::string& name, std::uint32_t* type,
                                std::uint8_t* data, std::uint32_t* size) {
    const auto handle = handles_.find(key);
    if (handle == handles_.end()) return kInvalidHandle;
    const auto& values = keys_[handle->second].values;
    const auto it = values.find(Fold(name));
    if (it == values.end()) return kFileNotFound;
    const Value& value = it->second.second;
    if (type) *type = value.type;
    const auto needed = static_cast<std::uint32_t>(value.data.size());
    if (data == nullptr) {
        if (size) *size = needed;
        return kSuccess;
    }
    if (size == nullptr) return kInvalidParameter;
    if (*size < needed) {
        *size = needed;
        return kMoreData;
    }
    std::copy(value.data.begin(), value.data.end(), data);
    *size = needed;
    return kSuccess;
}

long MemoryRegistry::SetValue(HKey key, const std::string& name, std::uint32_t type,
                              const std::uint8_t* data, std::uint32_t size) {
    const auto handle = handles_.find(key);
    if (handle == handles_.end()) return kInvalidHandle;
    if (readOnly) return kAccessDenied;
    auto& entry = keys_[handle->second].values[Fold(name)];
    if (entry.first.empty()) entry.first = name;
    entry.second.type = type;
    entry.second.data.assign(data, data + size);
    return kSuccess;
}

long MemoryRegistry::DeleteValue(HKey key, const std::string& name) {
    const auto handle = handles_.find(key);
    if (handle == handles_.end()) return kInvalidHandle;
    if (readOnly) return kAccessDenied;
    return keys_[handle->second].values.erase(Fold(name)) ? kSuccess : kFileNotFound;
}

long MemoryRegistry::CloseKey(HKey key) {
    if (key == 0) return kSuccess;
    return handles_.erase(key) ? kSuccess : kInvalidHandle;
}

bool MemoryRegistry::KeyExists(const std::string& path) const {
    return keys_.count(Fold(path)) != 0;
}

const MemoryRegistry::Value* MemoryRegistry::Find(const std::string& path,
                                                  const std::string& name) const {
    const auto key = keys_.find(Fold(path));
    if (key == keys_.end()) return nullptr;
    const auto value = key->second.values.find(Fold(name));
    return value == key->second.values.end() ? nullptr : &value->second.second;
}

std::map<std::string, MemoryRegistry::Value> MemoryRegistry::Snapshot() const {
    std::map<std::string, Value> all;
    for (const auto& [folded, key] : keys_) {
        for (const auto& [name, value] : key.values) all[folded + "\\" + name] = value.second;
    }
    return all;
}

}  // namespace testing_support
