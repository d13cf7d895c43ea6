#include "support/memory_registry.h"

#include "text/ascii.h"

namespace testing_support {

using namespace platform;
using namespace winerr;

std::string MemoryRegistry::Fold(const std::string& text) {
    return ascii::Fold(text);
}

long MemoryRegistry::FindKey(const std::string& path, std::string* stored) {
    if (path.empty()) {
        stored->clear();
        return kSuccess;
    }
    const auto key = keys_.find(Fold(path));
    if (key == keys_.end()) return kFileNotFound;
    *stored = key->second.path;
    return kSuccess;
}

long MemoryRegistry::MakeKeyPath(const std::string& path, std::string* stored) {
    if (refuseCreate) return kAccessDenied;
    // Every missing key on the way is created, as the registry does, under its parent's
    // spelling.
    std::vector<std::string> names;
    SplitPath(path, &names);
    std::string folded;
    std::string spelled;
    for (const auto& name : names) {
        folded += (folded.empty() ? "" : "\\") + Fold(name);
        Key& key = keys_[folded];
        if (key.path.empty()) key.path = spelled.empty() ? name : spelled + "\\" + name;
        spelled = key.path;
    }
    *stored = spelled;
    return kSuccess;
}

long MemoryRegistry::RemoveKeyTree(const std::string& path) {
    const std::string folded = Fold(path);
    if (!keys_.count(folded)) return kFileNotFound;
    const std::string below = folded + "\\";
    for (auto it = keys_.begin(); it != keys_.end();) {
        const bool inTree = it->first == folded || it->first.compare(0, below.size(), below) == 0;
        it = inTree ? keys_.erase(it) : std::next(it);
    }
    return kSuccess;
}

long MemoryRegistry::ReadValue(const std::string& path, const std::string& name,
                               std::uint32_t* type, std::vector<std::uint8_t>* data) {
    const auto key = keys_.find(Fold(path));
    if (key == keys_.end()) return path.empty() ? kFileNotFound : kKeyDeleted;
    const auto it = key->second.values.find(Fold(name));
    if (it == key->second.values.end()) return kFileNotFound;
    *type = it->second.second.type;
    *data = it->second.second.data;
    return kSuccess;
}

long MemoryRegistry::WriteValue(const std::string& path, const std::string& name,
                                std::uint32_t type, const std::uint8_t* data, std::uint32_t size) {
    if (!path.empty() && !keys_.count(Fold(path))) return kKeyDeleted;
    auto& entry = keys_[Fold(path)].values[Fold(name)];
    if (entry.first.empty()) entry.first = name;
    entry.second.type = type;
    entry.second.data.assign(data, data + size);
    return kSuccess;
}

long MemoryRegistry::EraseValue(const std::string& path, const std::string& name) {
    const auto key = keys_.find(Fold(path));
    if (key == keys_.end()) return path.empty() ? kFileNotFound : kKeyDeleted;
    return key->second.values.erase(Fold(name)) ? kSuccess : kFileNotFound;
}

long MemoryRegistry::SubKeys(const std::string& path, std::vector<std::string>* names) {
    names->clear();
    std::string full;
    std::string stored;
    long status = Resolve(kHKLM, path, &full);
    if (status == kSuccess) status = FindKey(full, &stored);
    if (status != kSuccess) return status;
    const std::string prefix = full.empty() ? "" : Fold(full) + "\\";
    for (const auto& [folded, key] : keys_) {
        if (folded.empty() || folded.compare(0, prefix.size(), prefix) != 0) continue;
        if (folded.find('\\', prefix.size()) != std::string::npos) continue;
        names->push_back(key.path.substr(prefix.size()));
    }
    return kSuccess;
}

long MemoryRegistry::Values(const std::string& path, std::vector<StoredValue>* values) {
    values->clear();
    std::string full;
    std::string stored;
    long status = Resolve(kHKLM, path, &full);
    if (status == kSuccess) status = FindKey(full, &stored);
    if (status != kSuccess) return status;
    const auto key = keys_.find(Fold(full));
    if (key == keys_.end()) return kSuccess;
    for (const auto& [folded, value] : key->second.values) {
        values->push_back(StoredValue{value.first, value.second.type, value.second.data});
    }
    return kSuccess;
}

long MemoryRegistry::AllOrNone(const std::function<long()>& body) {
    const auto before = keys_;
    long status;
    try {
        status = body();
    } catch (...) {
        keys_ = before;
        throw;
    }
    if (status != kSuccess) keys_ = before;
    return status;
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
