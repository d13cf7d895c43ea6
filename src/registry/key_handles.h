// The open keys of a registry kept by path (the store, an installation's hives): the handles
// given out, each with the path it was opened at and the access asked for, as Windows hands
// out HKEYs. HKEY_LOCAL_MACHINE is always open, at the root.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "registry/registry_backend.h"

namespace platform {

class KeyHandles {
  public:
    // A new handle for the key at path (under HKEY_LOCAL_MACHINE, "" is the root).
    HKey Open(const std::string& path, std::uint32_t access) {
        HKey handle = next_;
        next_ += 4;
        if (handle == kHKLM) {
            handle = next_;
            next_ += 4;
        }
        open_[handle] = Entry{path, access};
        return handle;
    }

    // The path of an open key; false for a handle that is not open.
    bool PathOf(HKey key, std::string* path) const {
        if (key == kHKLM) {
            path->clear();
            return true;
        }
        const auto it = open_.find(key);
        if (it == open_.end()) return false;
        *path = it->second.path;
        return true;
    }

    // The path of an open key for reading or writing through it: kInvalidHandle for a handle
    // that is not open, kAccessDenied when it was not opened for that or nothing may be
    // written.
    long PathFor(HKey key, bool write, bool readOnly, std::string* path) const {
        if (key == kHKLM) {
            if (write && readOnly) return winerr::kAccessDenied;
            path->clear();
            return winerr::kSuccess;
        }
        const auto it = open_.find(key);
        if (it == open_.end()) return winerr::kInvalidHandle;
        const std::uint32_t needed = write ? kKeySetValue : kKeyQueryValue;
        if ((it->second.access & needed) == 0 || (write && readOnly)) {
            return winerr::kAccessDenied;
        }
        *path = it->second.path;
        return winerr::kSuccess;
    }

    long Close(HKey key) { return open_.erase(key) ? winerr::kSuccess : winerr::kInvalidHandle; }

    // How many handles are open.
    std::size_t count() const { return open_.size(); }

  private:
    struct Entry {
        std::string path;
        std::uint32_t access = 0;
    };
    std::map<HKey, Entry> open_;
    HKey next_ = 0x100;
};

}  // namespace platform
