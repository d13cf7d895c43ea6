// What the fuzz targets and the seed maker share: the seeded XP machine in memory, a platform
// that starts nothing, and a scratch folder in memory-backed storage.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "formats/regedit/regedit.h"
#include "platform/posix/posix_platform.h"
#include "registry/nt_version.h"
#include "support/memory_registry.h"

namespace fuzz_support {

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : 0;
    std::string bytes(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

inline bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

// Applies a regedit file's operations to an in-memory registry; false when it does not parse.
inline bool ApplyRegText(const std::string& text, testing_support::MemoryRegistry& registry) {
    std::vector<platform::regedit::Operation> operations;
    if (!platform::regedit::ParseRegText(text, "seed", &operations, nullptr).empty()) return false;
    using Kind = platform::regedit::Operation::Kind;
    for (const auto& op : operations) {
        platform::HKey key = 0;
        if (op.kind == Kind::DeleteKey) continue;  // the seed deletes no keys
        if (registry.CreateKey(platform::kHKLM, op.key, &key) != 0) continue;
        if (op.kind == Kind::SetValue) {
            registry.SetValue(key, op.name, op.type, op.data.data(),
                              static_cast<std::uint32_t>(op.data.size()));
        } else if (op.kind == Kind::DeleteValue) {
            registry.DeleteValue(key, op.name);
        }
        registry.CloseKey(key);
    }
    return true;
}

// The machine that a first start seeds: Windows XP SP3 with the driver at its defaults.
inline testing_support::MemoryRegistry SeedMachine() {
    testing_support::MemoryRegistry registry;
    const std::string path = std::string(CALVENOR_SOURCE_DIR) + "/data/seed.reg";
    if (!ApplyRegText(ReadFile(path), registry)) {
        std::fprintf(stderr, "cannot read the seed machine %s\n", path.c_str());
        std::abort();
    }
    return registry;
}

// The Linux platform with no Windows folder, whose process starts only pretend: a fuzzer must
// not run programs named by its input.
class QuietPlatform : public platform::PosixPlatform {
  public:
    explicit QuietPlatform(platform::RegistryBackend& registry)
        : PosixPlatform(platform::NtVersionQuery(registry), "", "/opt/calvenor") {}
    bool StartProcess(const std::string& commandLine) override { return !commandLine.empty(); }
};

// A fresh folder in memory-backed storage when there is some (the store syncs every write).
inline std::string ScratchFolder() {
    std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = base + "/calvenor-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    return pattern;
}

}  // namespace fuzz_support
