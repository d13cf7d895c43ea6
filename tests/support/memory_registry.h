// A registry held in memory with the semantics of the real one: keys compared without regard
// to ASCII case, missing parents created by the create calls. For tests and benchmarks, and
// for machines made up on the spot.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "registry/path_registry.h"

namespace testing_support {

using platform::HKey;
using platform::RegistryBackend;

class MemoryRegistry : public platform::PathRegistry {
  public:
    struct Value {
        std::uint32_t type = platform::REG_NONE;
        std::vector<std::uint8_t> data;
    };

    bool read_only() const override { return readOnly; }
    long SubKeys(const std::string& path, std::vector<std::string>* names) override;
    long Values(const std::string& path, std::vector<platform::StoredValue>* values) override;
    // Nothing lands unless body returns kSuccess.
    long AllOrNone(const std::function<long()>& body) override;

    // Refuses every open that asks for write access, as a registry the user may not write.
    bool readOnly = false;
    // Makes the create calls fail, as for a key the user may not create.
    bool refuseCreate = false;

    bool KeyExists(const std::string& path) const;
    const Value* Find(const std::string& path, const std::string& name) const;
    // Every value as "path\name", in key order: for comparing whole machines.
    std::map<std::string, Value> Snapshot() const;
    std::size_t OpenHandles() const { return open_handles(); }

  private:
    long FindKey(const std::string& path, std::string* stored) override;
    long MakeKeyPath(const std::string& path, std::string* stored) override;
    long RemoveKeyTree(const std::string& path) override;
    long ReadValue(const std::string& path, const std::string& name, std::uint32_t* type,
                   std::vector<std::uint8_t>* data) override;
    long WriteValue(const std::string& path, const std::string& name, std::uint32_t type,
                    const std::uint8_t* data, std::uint32_t size) override;
    long EraseValue(const std::string& path, const std::string& name) override;

    static std::string Fold(const std::string& text);
    struct Key {
        std::string path;
        std::map<std::string, std::pair<std::string, Value>>
            values;  // folded name -> (name, value)
    };
    std::map<std::string, Key> keys_;  // folded path -> key; the root "" is always there
};

}  // namespace testing_support
