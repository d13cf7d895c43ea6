// libFuzzer target for the hive engine and for opening an XP installation's hives (--windows):
// any bytes are loaded by the engine, which refuses them or reads every key and value, makes a
// few changes and must then load its own result; and the same bytes, written as the SYSTEM or
// the SOFTWARE hive beside a sound other one, and (when the first byte's second bit is set)
// bytes written as that hive's log, are opened as the program opens them (its own checks, its
// journal, then the engine) read-only and read-write, and every key and value that opens is
// read through. Nothing may crash; a log is never changed by opening; a hive that is refused,
// or opened only to be read, must come out byte for byte as it went in, and one that a
// read-write open completes from its log must then hold what the read-only open read. The
// index checker reads every hive so opened too, and where it finds one sound, a key and a
// value are written into it: a written hive the checker finds damaged is a crash.
//
// Input: a byte (bit 0: SOFTWARE, else SYSTEM; bit 1: a log follows), then with a log a
// four-byte length and that many bytes of hive, then the log; else the hive.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "registry/hive/hive_check.h"
#include "registry/hive/hive_keys.h"
#include "registry/hive/hive_registry.h"
#include "support/xp_installation_posix.h"

namespace {

namespace fs = std::filesystem;
using platform::HiveRegistry;

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

struct Installation {
    Installation() : folder(fuzz_support::ScratchFolder()), windows(folder + "/WINDOWS") {
        const std::string error = testing_support::MakeXpInstallation(
            windows.string(), std::string(CALVENOR_SOURCE_DIR) + "/data/seed.reg");
        if (!error.empty()) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::abort();
        }
        config = windows / "system32" / "config";
        system = Read(config / "SYSTEM");
        software = Read(config / "SOFTWARE");
        systemLog = Read(config / "SYSTEM.LOG");
        softwareLog = Read(config / "SOFTWARE.LOG");
    }
    ~Installation() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    std::string folder;
    fs::path windows;
    fs::path config;
    std::string system;
    std::string software;
    std::string systemLog;
    std::string softwareLog;
};

// Every key and value read (up to a budget), as one text.
std::string ReadThrough(HiveRegistry& hives) {
    std::string seen;
    std::vector<std::string> pending{""};
    int budget = 300;
    while (!pending.empty() && budget-- > 0) {
        const std::string path = pending.back();
        pending.pop_back();
        seen += "[" + hives.StoredKeyPath(path) + "]\n";
        std::vector<platform::StoredValue> values;
        (void)hives.Values(path, &values);
        for (const auto& value : values) {
            seen += value.name + "=" + std::to_string(value.type) + ":" +
                    std::string(value.data.begin(), value.data.end()) + "\n";
        }
        std::vector<std::string> children;
        if (hives.SubKeys(path, &children) != 0) continue;
        for (const auto& child : children) {
            if (path.size() < 400) pending.push_back(path.empty() ? child : path + "\\" + child);
        }
    }
    return seen;
}

bool Completed(const HiveRegistry& hives) {
    for (const auto& notice : hives.notices()) {
        if (notice.find("completed from its log") != std::string::npos) return true;
    }
    return false;
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// The engine alone: what it loads it reads through (a bounded walk), changes a little, and
// must load again; an Error on the way is a refusal, as at loading.
void ThroughTheEngine(const std::string& bytes) {
    std::string problem;
    auto hive =
        platform::hive::Hive::Load(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), &problem);
    if (!hive) return;
    try {
        std::vector<platform::hive::Cell> pending{hive->root()};
        int budget = 300;
        int changes = 0;
        while (!pending.empty() && budget-- > 0) {
            const platform::hive::Cell key = pending.back();
            pending.pop_back();
            (void)hive->KeyName(key);
            for (const platform::hive::Cell value : hive->Values(key)) {
                (void)hive->ValueName(value);
                (void)hive->ValueData(value);
            }
            for (const platform::hive::Cell child : hive->Subkeys(key)) pending.push_back(child);
            if (changes < 3 && hive->SubkeyCount(key) > 0) {
                ++changes;
                const std::uint8_t data[6] = {1, 2, 3, 4, 5, 6};
                hive->SetValue(key, u"fuzz", 3, data, sizeof data);
                hive->CreateKey(key, u"Fuzz\u00C4\u03A9");
                hive->DeleteValue(key, u"fuzz");
                const platform::hive::Cell first = hive->Subkeys(key).front();
                hive->DeleteKey(first);
                pending.clear();
                pending.push_back(hive->root());
            }
        }
    } catch (const platform::hive::Error&) {
        return;
    }
    if (!platform::hive::Hive::Load(hive->bytes(), &problem)) {
        std::fprintf(stderr, "the engine's own changes made a hive it refuses: %s\n",
                     problem.c_str());
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Installation installation;
    if (size < 1) return 0;
    const bool asSystem = (data[0] & 1) == 0;
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const bool withLog = (data[0] & 2) != 0;
    std::string log = asSystem ? installation.systemLog : installation.softwareLog;
    if (withLog) {
        if (bytes.size() < 4) return 0;
        std::size_t length = static_cast<unsigned char>(bytes[0]) |
                             static_cast<unsigned char>(bytes[1]) << 8 |
                             static_cast<unsigned char>(bytes[2]) << 16 |
                             static_cast<std::size_t>(static_cast<unsigned char>(bytes[3])) << 24;
        length = std::min(length, bytes.size() - 4);
        log = bytes.substr(4 + length);
        bytes = bytes.substr(4, length);
    }
    ThroughTheEngine(bytes);
    const fs::path fuzzed = installation.config / (asSystem ? "SYSTEM" : "SOFTWARE");
    const fs::path fuzzedLog = installation.config / (asSystem ? "SYSTEM.LOG" : "SOFTWARE.LOG");
    Write(installation.config / "SYSTEM", asSystem ? bytes : installation.system);
    Write(installation.config / "SOFTWARE", asSystem ? installation.software : bytes);
    Write(installation.config / "SYSTEM.LOG", asSystem ? log : installation.systemLog);
    Write(installation.config / "SOFTWARE.LOG", asSystem ? installation.softwareLog : log);

    std::string error;
    std::string readOnly;
    auto reader =
        HiveRegistry::Open(installation.windows.string(), HiveRegistry::Access::ReadOnly, &error);
    if (reader) readOnly = ReadThrough(*reader);
    reader.reset();
    if (Read(fuzzed) != bytes || Read(fuzzedLog) != log) {
        Fail("a read-only open changed the hive or its log");
    }
    auto writer =
        HiveRegistry::Open(installation.windows.string(), HiveRegistry::Access::ReadWrite, &error);
    const bool completed = writer && Completed(*writer);
    if (writer) ReadThrough(*writer);
    writer.reset();
    if (Read(fuzzedLog) != log) Fail("opening changed a log");
    if (!completed) {
        if (Read(fuzzed) != bytes) Fail("the hive was changed by opening and reading it");
    } else {
        // Completed from its log: the hive now holds, with no log needed, what was read before.
        auto again = HiveRegistry::Open(installation.windows.string(),
                                        HiveRegistry::Access::ReadOnly, &error);
        if (!again || Completed(*again)) Fail("a completed hive did not open as completed");
        if (ReadThrough(*again) != readOnly) Fail("the completed hive holds what was not read");
    }
    // A hive the checker finds sound takes a key and a value, and must stay sound.
    if (!platform::hive::CheckHive(Read(fuzzed)).sound()) return 0;
    {
        auto hives = HiveRegistry::Open(installation.windows.string(),
                                        HiveRegistry::Access::ReadWrite, &error);
        if (!hives) return 0;
        const std::string key =
            asSystem ? "SYSTEM\\CurrentControlSet\\Services\\Fuzz" : "SOFTWARE\\Fuzz";
        if (hives->CreateKeyPath(key) == 0) {
            (void)hives->PutValue(key, "Written", platform::REG_DWORD, {1, 0, 0, 0});
        }
    }
    const platform::hive::CheckResult written = platform::hive::CheckHive(Read(fuzzed));
    if (!written.sound()) {
        std::fprintf(stderr, "a sound hive was written damaged:\n%s", written.Text().c_str());
        std::abort();
    }
    return 0;
}
