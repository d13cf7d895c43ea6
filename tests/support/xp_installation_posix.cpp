#include "support/xp_installation_posix.h"

#include <hivex.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "formats/regedit/regedit.h"
#include "registry/hive/hive_format.h"
#include "registry/hive/hive_registry.h"

namespace testing_support {

namespace {

namespace fs = std::filesystem;

bool SetDword(hive_h* hive, hive_node_h node, const char* name, std::uint32_t value) {
    char data[4] = {static_cast<char>(value), static_cast<char>(value >> 8),
                    static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
    hive_set_value set{const_cast<char*>(name), hive_t_REG_DWORD, 4, data};
    return hivex_node_set_value(hive, node, &set, 0) == 0;
}

// An empty hive with the keys that tell its kind, written to path.
std::string Base(const std::string& path, bool system) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << platform::hive::MakeEmptyHive(system ? "$$$PROTO.HIV" : "$$$PROTO.HIV");
        if (!out) return "cannot write " + path;
    }
    hive_h* hive = hivex_open(path.c_str(), HIVEX_OPEN_WRITE);
    if (!hive) return "libhivex cannot open the generated " + path;
    const hive_node_h root = hivex_root(hive);
    bool ok = true;
    if (system) {
        const hive_node_h select = hivex_node_add_child(hive, root, "Select");
        ok = select != 0 && SetDword(hive, select, "Current", 2) &&
             SetDword(hive, select, "Default", 2) && SetDword(hive, select, "Failed", 0) &&
             SetDword(hive, select, "LastKnownGood", 3);
        for (const char* name : {"ControlSet001", "ControlSet002", "MountedDevices", "Setup"}) {
            ok = ok && hivex_node_add_child(hive, root, name) != 0;
        }
    } else {
        for (const char* name : {"Classes", "Microsoft", "Policies"}) {
            ok = ok && hivex_node_add_child(hive, root, name) != 0;
        }
    }
    ok = ok && hivex_commit(hive, nullptr, 0) == 0;
    hivex_close(hive);
    return ok ? "" : "libhivex cannot fill " + path;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
        text.replace(at, from.size(), to);
    }
}

}  // namespace

std::string SeedFile() {
    return CALVENOR_SOURCE_DIR "/data/seed.reg";
}

std::string MakeXpInstallation(const std::string& windowsFolder, const std::string& seedFile,
                               int fillerKeys) {
    const fs::path config = fs::path(windowsFolder) / "system32" / "config";
    std::error_code error;
    fs::create_directories(config, error);
    if (error) return "cannot create " + config.string() + ": " + error.message();
    fs::create_directories(fs::path(windowsFolder) / "system32" / "drivers", error);
    for (const bool system : {true, false}) {
        const std::string problem =
            Base((config / (system ? "SYSTEM" : "SOFTWARE")).string(), system);
        if (!problem.empty()) return problem;
    }
    if (seedFile.empty()) return "";
    std::string why;
    auto hives = platform::HiveRegistry::Open(windowsFolder,
                                              platform::HiveRegistry::Access::ReadWrite, &why);
    if (!hives) return why;
    const std::string seed = ReadAll(seedFile);
    if (seed.empty()) return "cannot read " + seedFile;
    // The older control set: the driver's keys with another speaker type, no WPCRSET.
    std::string older = seed.substr(
        0, seed.find("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\WPCRSET]"));
    older = older.substr(older.find("[HKEY_LOCAL_MACHINE\\SYSTEM"));
    ReplaceAll(older, "CurrentControlSet", "ControlSet001");
    ReplaceAll(older, "\"PrimaryXtalk\"=dword:00000002", "\"PrimaryXtalk\"=dword:00000004");
    older = "REGEDIT4\r\n\r\n" + older;
    for (const auto& [text, name] :
         {std::pair{seed, seedFile}, std::pair{older, std::string("older control set")}}) {
        const std::string problem = platform::regedit::ImportRegText(*hives, text, name, nullptr);
        if (!problem.empty()) return problem;
    }
    if (fillerKeys > 0) {
        const long status = hives->AllOrNone([&]() -> long {
            std::vector<std::uint8_t> data(256);
            for (int i = 0; i < fillerKeys; ++i) {
                char path[96];
                std::snprintf(path, sizeof path, "SOFTWARE\\Classes\\Filler%03d\\{%08X-0000}",
                              i % 200, static_cast<unsigned>(i) * 2654435761u);
                for (std::size_t b = 0; b < data.size(); ++b) {
                    data[b] = static_cast<std::uint8_t>(i + b);
                }
                long status = hives->CreateKeyPath(path);
                if (status == 0) status = hives->PutValue(path, "", platform::REG_BINARY, data);
                if (status == 0) {
                    status = hives->PutValue(path, "InprocServer32", platform::REG_SZ,
                                             std::vector<std::uint8_t>(40, 'x'));
                }
                if (status != 0) return status;
            }
            return 0L;
        });
        if (status != 0) return "cannot add filler keys: error " + std::to_string(status);
    }
    return "";
}

}  // namespace testing_support
