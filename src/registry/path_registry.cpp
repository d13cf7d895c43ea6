#include "registry/path_registry.h"

#include <cstring>

namespace platform {

using namespace winerr;

namespace {

constexpr std::uint32_t kWriteAccess = kKeySetValue | kKeyCreateSubKey;

}  // namespace

bool PathRegistry::SplitPath(const std::string& path, std::vector<std::string>* names) {
    names->clear();
    if (path.find('\0') != std::string::npos) return false;
    std::string_view text(path);
    if (!text.empty() && text.back() == '\\') text.remove_suffix(1);
    if (text.empty()) return path.empty();
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find('\\', start);
        const std::string_view name = text.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (name.empty()) return false;
        names->emplace_back(name);
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
}

std::string PathRegistry::JoinPath(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& name : names) {
        if (!out.empty()) out += '\\';
        out += name;
    }
    return out;
}

long PathRegistry::Resolve(HKey root, const std::string& subPath, std::string* full) const {
    std::string base;
    if (!handles_.PathOf(root, &base)) return kInvalidHandle;
    std::vector<std::string> names;
    if (!SplitPath(subPath, &names)) return kBadPathname;
    const std::string rest = JoinPath(names);
    *full = rest.empty() ? base : base.empty() ? rest : base + "\\" + rest;
    return kSuccess;
}

long PathRegistry::OpenKey(HKey root, const std::string& path, std::uint32_t access, HKey* out) {
    if (!out) return kInvalidParameter;
    *out = 0;
    std::string full;
    long status = Resolve(root, path, &full);
    std::string stored;
    if (status == kSuccess) status = FindKey(full, &stored);
    if (status != kSuccess) return status;
    // Windows grants or refuses the access asked for as a whole: a registry that cannot be
    // written refuses every open that asks to write, reads included.
    if (read_only() && (access & kWriteAccess) != 0) return kAccessDenied;
    return NewHandle(stored, access, out);
}

long PathRegistry::CreateKeyEx(HKey root, const std::string& path, std::uint32_t options,
                               std::uint32_t access, HKey* out) {
    if (!out) return kInvalidParameter;
    *out = 0;
    if (options != 0) return kInvalidParameter;  // volatile keys are not kept
    std::string full;
    long status = Resolve(root, path, &full);
    if (status != kSuccess) return status;
    std::string stored;
    if (read_only()) {
        // Nothing can be made: an existing key opens for reading, as RegCreateKeyEx opens it.
        status = FindKey(full, &stored);
        if (status == kFileNotFound || (status == kSuccess && (access & kWriteAccess) != 0)) {
            return kAccessDenied;
        }
        if (status != kSuccess) return status;
        return NewHandle(stored, access, out);
    }
    status = MakeKeyPath(full, &stored);
    if (status != kSuccess) return status;
    return NewHandle(stored, access, out);
}

long PathRegistry::CreateKey(HKey root, const std::string& path, HKey* out) {
    return CreateKeyEx(root, path, 0, kKeyAllAccess, out);
}

long PathRegistry::QueryValue(HKey key, const std::string& name, std::uint32_t* type,
                              std::uint8_t* data, std::uint32_t* size) {
    std::string path;
    long status = handles_.PathFor(key, false, read_only(), &path);
    if (status != kSuccess) return status;
    if (data && !size) return kInvalidParameter;
    std::uint32_t storedType = REG_NONE;
    std::vector<std::uint8_t> bytes;
    status = ReadValue(path, name, &storedType, &bytes);
    if (status != kSuccess) return status;
    const auto needed = static_cast<std::uint32_t>(bytes.size());
    if (type) *type = storedType;
    if (!data) {
        if (size) *size = needed;
        return kSuccess;
    }
    if (*size < needed) {
        *size = needed;
        return kMoreData;
    }
    if (needed) std::memcpy(data, bytes.data(), needed);
    *size = needed;
    return kSuccess;
}

long PathRegistry::Put(const std::string& path, const std::string& name, std::uint32_t type,
                       const std::uint8_t* data, std::uint32_t size) {
    if (read_only()) return kAccessDenied;
    if (name.find('\0') != std::string::npos || (!data && size)) return kInvalidParameter;
    return WriteValue(path, name, type, data, size);
}

long PathRegistry::SetValue(HKey key, const std::string& name, std::uint32_t type,
                            const std::uint8_t* data, std::uint32_t size) {
    std::string path;
    const long status = handles_.PathFor(key, true, read_only(), &path);
    if (status != kSuccess) return status;
    return Put(path, name, type, data, size);
}

long PathRegistry::DeleteValue(HKey key, const std::string& name) {
    std::string path;
    const long status = handles_.PathFor(key, true, read_only(), &path);
    if (status != kSuccess) return status;
    return EraseValue(path, name);
}

long PathRegistry::CloseKey(HKey key) {
    if (key == 0 || key == kHKLM) return kSuccess;
    return handles_.Close(key);
}

std::string PathRegistry::StoredKeyPath(const std::string& path) {
    std::string full;
    std::string stored;
    if (Resolve(kHKLM, path, &full) != kSuccess || full.empty()) return "";
    return FindKey(full, &stored) == kSuccess ? stored : "";
}

long PathRegistry::CreateKeyPath(const std::string& path) {
    if (read_only()) return kAccessDenied;
    std::string full;
    const long status = Resolve(kHKLM, path, &full);
    if (status != kSuccess) return status;
    std::string stored;
    return MakeKeyPath(full, &stored);
}

long PathRegistry::DeleteKeyTree(const std::string& path) {
    if (read_only()) return kAccessDenied;
    std::string full;
    const long status = Resolve(kHKLM, path, &full);
    if (status != kSuccess) return status;
    if (full.empty()) return kAccessDenied;  // the root cannot go
    return RemoveKeyTree(full);
}

long PathRegistry::PutValue(const std::string& path, const std::string& name, std::uint32_t type,
                            const std::vector<std::uint8_t>& data) {
    std::string full;
    const long status = Resolve(kHKLM, path, &full);
    if (status != kSuccess) return status;
    // By path, a missing key is a missing file, as for every other operation by path.
    const long result = Put(full, name, type, data.data(), static_cast<std::uint32_t>(data.size()));
    return result == kKeyDeleted ? kFileNotFound : result;
}

long PathRegistry::RemoveValue(const std::string& path, const std::string& name) {
    if (read_only()) return kAccessDenied;
    std::string full;
    const long status = Resolve(kHKLM, path, &full);
    if (status != kSuccess) return status;
    const long result = EraseValue(full, name);
    return result == kKeyDeleted ? kFileNotFound : result;
}

void PathRegistry::ReportFailure() {
    if (pendingFailure_.empty()) return;
    if (!failing_ && failureListener_) failureListener_(pendingFailure_);
    failing_ = true;
    pendingFailure_.clear();
}

}  // namespace platform
