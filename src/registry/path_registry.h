// The Windows key-handle semantics, written once for the registries kept by key path (the
// embedded store, an installation's hives, the tests' registry in memory): handles opened at a
// path with the access asked for, creation of missing keys on the way, the value query with
// its buffer protocol, and a write failure told to the listener once. Each registry supplies a
// few operations on normalized paths (the hooks below); everything a caller can get wrong
// (unknown handles, bad paths, access, a NUL in a name) is decided here, the same for all.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "registry/key_handles.h"
#include "registry/registry_tree.h"

namespace platform {

class PathRegistry : public RegistryTree {
  public:
    long OpenKey(HKey root, const std::string& path, std::uint32_t access, HKey* out) final;
    long CreateKeyEx(HKey root, const std::string& path, std::uint32_t options,
                     std::uint32_t access, HKey* out) final;
    long CreateKey(HKey root, const std::string& path, HKey* out) final;
    long QueryValue(HKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) final;
    long SetValue(HKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) final;
    long DeleteValue(HKey key, const std::string& name) final;
    long CloseKey(HKey key) final;

    std::string StoredKeyPath(const std::string& path) final;
    long CreateKeyPath(const std::string& path) final;
    long DeleteKeyTree(const std::string& path) final;
    long PutValue(const std::string& path, const std::string& name, std::uint32_t type,
                  const std::vector<std::uint8_t>& data) final;
    long RemoveValue(const std::string& path, const std::string& name) final;
    void OnWriteFailure(std::function<void(const std::string& reason)> listener) final {
        failureListener_ = std::move(listener);
    }

    // How many handles are open (HKEY_LOCAL_MACHINE is not one).
    std::size_t open_handles() const { return handles_.count(); }

    // A key path's names; one trailing backslash is allowed, as the registry functions allow
    // it. False for a bad path: an empty name (a leading backslash, two in a row), a NUL.
    static bool SplitPath(const std::string& path, std::vector<std::string>* names);
    static std::string JoinPath(const std::vector<std::string>& names);

  protected:
    // The hooks. Paths are normalized: names joined by single backslashes, "" the root.
    //
    // The key at path: kSuccess with its path as stored (the spelling of its first writer), or
    // kFileNotFound.
    virtual long FindKey(const std::string& path, std::string* stored) = 0;
    // Creates the key and every missing key on the way; kSuccess with its stored path.
    virtual long MakeKeyPath(const std::string& path, std::string* stored) = 0;
    // Removes the key (never the root) with all its subkeys and values; kFileNotFound when
    // there is none.
    virtual long RemoveKeyTree(const std::string& path) = 0;
    // A value's type and data: kFileNotFound when the key has no such value, kKeyDeleted when
    // there is no key at path.
    virtual long ReadValue(const std::string& path, const std::string& name, std::uint32_t* type,
                           std::vector<std::uint8_t>* data) = 0;
    // Writes a value (the name has no NUL), keeping the spelling of an existing one's name;
    // kKeyDeleted when there is no key at path.
    virtual long WriteValue(const std::string& path, const std::string& name, std::uint32_t type,
                            const std::uint8_t* data, std::uint32_t size) = 0;
    // kFileNotFound when the key has no such value, kKeyDeleted when there is no key at path.
    virtual long EraseValue(const std::string& path, const std::string& name) = 0;

    // The normalized path of subPath under an open key: kInvalidHandle for a handle that is
    // not open, kBadPathname for a bad path.
    long Resolve(HKey root, const std::string& subPath, std::string* full) const;

    // Failures underneath (disk full, I/O error, a lock held too long) are noted as they
    // happen, the first cause kept, and told once the operation has ended: to the listener the
    // first time, then again only after a write has succeeded in between.
    void NoteFailure(const std::string& reason) {
        if (pendingFailure_.empty()) pendingFailure_ = reason;
    }
    // A write landed: the next failure is told again (unless one is pending).
    void NoteSuccess() {
        if (pendingFailure_.empty()) failing_ = false;
    }
    void ReportFailure();

  private:
    long NewHandle(const std::string& path, std::uint32_t access, HKey* out) {
        *out = handles_.Open(path, access);
        return winerr::kSuccess;
    }
    long Put(const std::string& path, const std::string& name, std::uint32_t type,
             const std::uint8_t* data, std::uint32_t size);

    KeyHandles handles_;
    bool failing_ = false;
    std::string pendingFailure_;
    std::function<void(const std::string&)> failureListener_;
};

}  // namespace platform
