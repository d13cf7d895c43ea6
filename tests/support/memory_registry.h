// A registry held in memory with the semantics of the real one: keys compared without regard
// to ASCII case, missing parents created by the create calls. For tests and benchmarks, and
// for machines made up on the spot.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "registry/registry_backend.h"

namespace testing_support {

using platform::HKey;
using platform::RegistryBackend;

class MemoryRegistry : public RegistryBackend {
  public:
    struct Value {
        std::uint32_t type = platform::REG_NONE;
        std::vector<std::uint8_t> data;
    };

    long OpenKey(HKey root, const std::string& path, std::uint32_t access, HKey* out) override;
    long CreateKeyEx(HKey root, const std::string& path, std::uint32_t options,
                     std::uint32_t access, HKey* out) override;
    long CreateKey(HKey root, const std::string& path, HKey* out) override;
    long QueryValue(HKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override;
    long SetValue(HKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override;
    long DeleteValue(HKey key, const std::string& name) override;
    long CloseKey(HKey key) override;

    // Refuses every open that asks for write access, as a registry the user may not write.
    bool readOnly = false;
    // Makes the create calls fail, as for a key the user may not create.
    bool refuseCreate = false;

    bool KeyExists(const std::string& path) const;
    const Value* Find(const std::string& path, const std::string& name) const;
    // Every value as "path\name", in key order: for comparing whole machines.
    std::map<std::string, Value> Snapshot() const;
    std::size_t OpenHandles() const { return handles_.size(); }

  private:
    static std::string Fold(const std::string& text);
    struct Key {
        std::string path;
        std::map<std::string, std::pair<std::string, Value>>
            values;  // folded name -> (name, value)
    };
    std::map<std::string, Key> keys_;  // folded path -> key
    std::map<HKey, std::string> handles_;
    HKey next_ = 1;
};

}  // namespace testing_support
