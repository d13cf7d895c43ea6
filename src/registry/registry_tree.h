// A registry that can also be walked and changed by key path, as regedit files need: the
// embedded store and an XP installation's hives both are one. Paths are under
// HKEY_LOCAL_MACHINE ("" is the root itself), names and data as the ANSI registry functions
// see them (Windows-1252).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "registry/registry_backend.h"

namespace platform {

namespace winerr {
// Codes only the Linux registries produce: a handle whose key another caller deleted, a
// registry that failed underneath (disk full, I/O error, a lock held too long), and a key
// that cannot be written without damaging what it holds.
constexpr long kKeyDeleted = 1018;
constexpr long kRegistryIoFailed = 1016;
constexpr long kCantWrite = 1013;
}  // namespace winerr

// One value as enumerated from a key.
struct StoredValue {
    std::string name;
    std::uint32_t type = REG_NONE;
    std::vector<std::uint8_t> data;
    bool operator==(const StoredValue&) const = default;
};

class RegistryTree : public RegistryBackend {
  public:
    // Whether nothing can be written.
    virtual bool read_only() const = 0;
    // The stored spelling of a key's path, "" when missing.
    virtual std::string StoredKeyPath(const std::string& path) = 0;
    // Names of the direct subkeys, as stored, in case-insensitive order.
    virtual long SubKeys(const std::string& path, std::vector<std::string>* names) = 0;
    // The values of a key, in case-insensitive order of their names.
    virtual long Values(const std::string& path, std::vector<StoredValue>* values) = 0;
    // Creates the key and any missing parents.
    virtual long CreateKeyPath(const std::string& path) = 0;
    // Deletes the key with all its subkeys and values; a missing key is kFileNotFound.
    virtual long DeleteKeyTree(const std::string& path) = 0;
    // Whether Windows needs the key to start (an installation's control sets and what is
    // directly in them, Select, a hive's top-level keys): DeleteKeyTree refuses it, and an
    // import skips deleting it.
    virtual bool NeededToStart(const std::string& path) {
        (void)path;
        return false;
    }
    // Writes a value under an existing key.
    virtual long PutValue(const std::string& path, const std::string& name, std::uint32_t type,
                          const std::vector<std::uint8_t>& data) = 0;
    virtual long RemoveValue(const std::string& path, const std::string& name) = 0;
    // Runs body so that everything it writes lands together when it returns kSuccess, and
    // nothing when it returns anything else (which AllOrNone returns).
    virtual long AllOrNone(const std::function<long()>& body) = 0;
    // Told, with the reason, when writes start failing underneath: once, and again only after
    // a write has succeeded in between. Refusals (access denied, a missing key) are not told.
    virtual void OnWriteFailure(std::function<void(const std::string& reason)> listener) = 0;
};

}  // namespace platform
