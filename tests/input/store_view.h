// The machine's settings as the program left them, read apart from the program: the Linux
// build's store file, or the Wine prefix's registry through a small Windows program that runs
// beside the one under test.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace input {

struct Setting {
    std::string key, name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    // "dword:8", "sz:\"au30tray.exe\"", "hex:01,02".
    std::string Text() const;
    bool operator==(const Setting& other) const { return type == other.type && data == other.data; }
};

// Every value under the keys the program writes, by "key\name" in lower case.
using Snapshot = std::map<std::string, Setting>;

// The keys the program writes under HKEY_LOCAL_MACHINE, with their subkeys.
const std::vector<std::string>& WatchedKeys();

std::string SnapshotKey(const std::string& key, const std::string& name);
inline std::string At(const char* key, const char* name) {
    return SnapshotKey(key, name);
}
// A DWORD as a snapshot shows it.
inline std::string Dword(int v) {
    return "dword:" + std::to_string(v);
}

class StoreView {
  public:
    virtual ~StoreView() = default;
    virtual bool Take(Snapshot* out, std::string* error) = 0;
};

// The store file of the Linux build, opened without ever writing it.
std::unique_ptr<StoreView> OpenStoreFile(const std::string& path, std::string* error);

// A helper program that answers "snap" on its standard input with lines
// "value<TAB>key<TAB>name<TAB>type<TAB>hex" and then "end"; other commands it knows are
// answered the same way, their lines up to "end" handed back whole.
class HelperView : public StoreView {
  public:
    // False when the helper is gone or stopped answering.
    virtual bool Ask(const std::string& command, std::string* answer) = 0;
};
std::unique_ptr<HelperView> StartHelper(const std::vector<std::string>& argv, std::string* error);

// One value that differs from one snapshot to the next.
struct Change {
    std::string where;  // "key\name" in lower case
    std::string text;   // "key\name: old -> new"
};
std::vector<Change> Changes(const Snapshot& before, const Snapshot& after);

}  // namespace input
