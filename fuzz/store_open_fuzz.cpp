// libFuzzer target for the store file opener: any bytes, written to a file, are opened as a
// store read-only and then read-write, and read through. Nothing may crash; a file that does
// not open, and any file opened read-only, must come out byte for byte as it went in.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "registry/sqlite/sqlite_store.h"

namespace {

using platform::SqliteStore;

struct Scratch {
    Scratch() : folder(fuzz_support::ScratchFolder()), path(folder + "/store.db") {}
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    void Clear() const {
        for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
            unlink((path + suffix).c_str());
        }
    }
    std::string folder;
    std::string path;
};

void Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
    std::abort();
}

// Walks the whole store through the calls the system and the exporter use.
void ReadThrough(SqliteStore& store) {
    std::vector<std::string> pending{""};
    int budget = 200;
    while (!pending.empty() && budget-- > 0) {
        const std::string path = pending.back();
        pending.pop_back();
        (void)store.KeyExists(path);
        (void)store.StoredKeyPath(path);
        std::vector<platform::StoredValue> values;
        store.Values(path, &values);
        platform::HKey key = 0;
        if (!path.empty() &&
            store.OpenKey(platform::kHKLM, path, platform::kKeyQueryValue, &key) == 0) {
            for (const auto& value : values) {
                std::uint32_t type = 0;
                std::uint32_t size = 0;
                if (store.QueryValue(key, value.name, &type, nullptr, &size) != 0) continue;
                std::vector<std::uint8_t> bytes(size + 1);
                // A buffer one byte short must be refused with the size needed.
                std::uint32_t shorter = size > 0 ? size - 1 : 0;
                const long status =
                    store.QueryValue(key, value.name, &type, bytes.data(), &shorter);
                if (size > 0 && status == 0)
                    Fail("short buffer accepted", path + "\\" + value.name);
                store.QueryValue(key, value.name, &type, bytes.data(), &size);
            }
            store.CloseKey(key);
        }
        std::vector<std::string> children;
        if (store.SubKeys(path, &children) != 0) continue;
        for (const auto& child : children)
            pending.push_back(path.empty() ? child : path + "\\" + child);
    }
    (void)store.IntegrityCheck();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Scratch scratch;
    const std::string input(reinterpret_cast<const char*>(data), size);
    scratch.Clear();
    if (!fuzz_support::WriteFile(scratch.path, input)) Fail("cannot write", scratch.path);

    std::string error;
    {
        auto store = SqliteStore::Open(scratch.path, &error, SqliteStore::Access::ReadOnly);
        if (store) {
            if (!store->read_only()) Fail("read-only open can write", scratch.path);
            ReadThrough(*store);
        } else if (error.find(scratch.path) == std::string::npos) {
            Fail("error does not name the file", error);
        }
    }
    if (fuzz_support::ReadFile(scratch.path) != input) {
        Fail("a read-only open changed the file", error.empty() ? "(opened)" : error);
    }

    error.clear();
    auto store = SqliteStore::Open(scratch.path, &error);
    if (!store) {
        if (error.find(scratch.path) == std::string::npos) Fail("error does not name", error);
        // A file that does not open stays exactly as it was.
        if (fuzz_support::ReadFile(scratch.path) != input) Fail("refused file changed", error);
        return 0;
    }
    ReadThrough(*store);
    return 0;
}
