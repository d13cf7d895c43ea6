#include "registry/win32/win32_registry.h"

#include <vector>

namespace platform {

HKEY Win32Registry::Resolve(HKey key) const {
    if (key == kHKLM) return hklm_;
    return reinterpret_cast<HKEY>(key);
}

namespace {
HKey Out(HKEY key) {
    return reinterpret_cast<HKey>(key);
}
}  // namespace

long Win32Registry::OpenKey(HKey root, const std::string& path, std::uint32_t access, HKey* out) {
    HKEY key = nullptr;
    const LONG status = RegOpenKeyExA(Resolve(root), path.c_str(), 0, access, &key);
    *out = status == ERROR_SUCCESS ? Out(key) : 0;
    return status;
}

long Win32Registry::CreateKeyEx(HKey root, const std::string& path, std::uint32_t options,
                                std::uint32_t access, HKey* out) {
    HKEY key = nullptr;
    const LONG status = RegCreateKeyExA(Resolve(root), path.c_str(), 0, nullptr, options, access,
                                        nullptr, &key, nullptr);
    *out = status == ERROR_SUCCESS ? Out(key) : 0;
    return status;
}

long Win32Registry::CreateKey(HKey root, const std::string& path, HKey* out) {
    HKEY key = nullptr;
    const LONG status = RegCreateKeyA(Resolve(root), path.c_str(), &key);
    *out = status == ERROR_SUCCESS ? Out(key) : 0;
    return status;
}

long Win32Registry::QueryValue(HKey key, const std::string& name, std::uint32_t* type,
                               std::uint8_t* data, std::uint32_t* size) {
    DWORD t = 0;
    DWORD s = size != nullptr ? *size : 0;
    const LONG status =
        RegQueryValueExA(Resolve(key), name.c_str(), nullptr, &t, data, size ? &s : nullptr);
    if (type != nullptr) *type = t;
    if (size != nullptr) *size = s;
    return status;
}

long Win32Registry::SetValue(HKey key, const std::string& name, std::uint32_t type,
                             const std::uint8_t* data, std::uint32_t size) {
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) {
        return RegSetValueExA(Resolve(key), name.c_str(), 0, type, data, size);
    }
    // For a text whose counted bytes are followed by a NUL, RegSetValueExA stores that NUL as
    // well (NT's allowance for callers that forget the terminator). The layer counts exactly
    // what it means to store, so the byte after the data must not look like a terminator.
    std::vector<std::uint8_t> exact(data, data + size);
    exact.push_back(0xFF);
    return RegSetValueExA(Resolve(key), name.c_str(), 0, type, exact.data(), size);
}

long Win32Registry::DeleteValue(HKey key, const std::string& name) {
    return RegDeleteValueA(Resolve(key), name.c_str());
}

long Win32Registry::CloseKey(HKey key) {
    // Closing the null handle (a failed open) does nothing, as the layer relies on.
    if (key == 0) return ERROR_SUCCESS;
    return RegCloseKey(Resolve(key));
}

}  // namespace platform
