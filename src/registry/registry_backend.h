// The handful of Windows registry operations the system needs, as a backend interface.
// The Win32 build puts advapi32 behind it; the Linux build an embedded store with the same
// semantics. Status codes are Windows error codes, so callers behave alike on both.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

using HKey = std::uintptr_t;

// The only root the system uses. Not named HKEY_LOCAL_MACHINE: windows.h owns that name.
constexpr HKey kHKLM = 0x80000002u;

namespace winerr {
constexpr long kSuccess = 0;
constexpr long kFileNotFound = 2;
constexpr long kAccessDenied = 5;
constexpr long kInvalidHandle = 6;
constexpr long kInvalidParameter = 87;
constexpr long kMoreData = 234;
constexpr long kBadPathname = 161;
}  // namespace winerr

// Value types, Windows numbering.
constexpr std::uint32_t REG_NONE = 0;
constexpr std::uint32_t REG_SZ = 1;
constexpr std::uint32_t REG_EXPAND_SZ = 2;
constexpr std::uint32_t REG_BINARY = 3;
constexpr std::uint32_t REG_DWORD = 4;
constexpr std::uint32_t REG_MULTI_SZ = 7;

// Access rights: query 1, set 2, create subkey 4, enumerate 8, notify 16, create link 32.
constexpr std::uint32_t kKeyQueryValue = 0x1;
constexpr std::uint32_t kKeySetValue = 0x2;
constexpr std::uint32_t kKeyCreateSubKey = 0x4;
// All six rights together: how a key made by CreateKey, which takes no mask, is opened.
constexpr std::uint32_t kKeyAllAccess = 63;

class RegistryBackend {
  public:
    virtual ~RegistryBackend() = default;

    // RegOpenKeyExA: fails with kFileNotFound for a missing key, kAccessDenied when write
    // access is asked of a store that cannot be written.
    virtual long OpenKey(HKey root, const std::string& path, std::uint32_t access, HKey* out) = 0;
    // RegCreateKeyExA with its options (0 = non-volatile): creates missing keys on the way.
    virtual long CreateKeyEx(HKey root, const std::string& path, std::uint32_t options,
                             std::uint32_t access, HKey* out) = 0;
    // RegCreateKeyA: as CreateKeyEx with all access.
    virtual long CreateKey(HKey root, const std::string& path, HKey* out) = 0;
    // RegQueryValueExA: data == nullptr asks for type and size only. With a buffer too small,
    // *size is set to the size needed and kMoreData is returned.
    virtual long QueryValue(HKey key, const std::string& name, std::uint32_t* type,
                            std::uint8_t* data, std::uint32_t* size) = 0;
    // RegSetValueExA: replaces type and data of the value.
    virtual long SetValue(HKey key, const std::string& name, std::uint32_t type,
                          const std::uint8_t* data, std::uint32_t size) = 0;
    // RegDeleteValueA.
    virtual long DeleteValue(HKey key, const std::string& name) = 0;
    // RegCloseKey; closing the null handle does nothing.
    virtual long CloseKey(HKey key) = 0;

    // Runs body so that the writes in it land together where the backend can: one commit
    // instead of one for each write. The Windows registry has no such thing and just runs it.
    // (Import uses the stricter AllOrNone of the stores that have it: nothing lands unless
    // every write did.)
    virtual void Together(const std::function<void()>& body) { body(); }
};

}  // namespace platform
