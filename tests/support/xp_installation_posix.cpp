#include "support/xp_installation_posix.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "formats/regedit/regedit.h"
#include "registry/registry_backend.h"
#include "support/hive_writer.h"
#include "text/cp1252.h"

namespace testing_support {

namespace {

namespace fs = std::filesystem;
using platform::regedit::Entry;

// Setup's day, and the last shutdown: every key was last written between them.
const std::uint64_t kInstalled = FileTime(2008, 4, 21, 9, 12, 5);
const std::uint64_t kShutDown = FileTime(2010, 6, 1, 18, 30, 41);

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
        text.replace(at, from.size(), to);
    }
}

std::u16string Ansi(std::string_view text) {
    return platform::cp1252::ToUtf16(text);
}

HiveValue Number(const char* name, std::uint32_t value) {
    return {Utf16(name), platform::REG_DWORD, Dword(value)};
}
HiveValue Text(const char* name, std::u16string_view text, std::uint32_t type = platform::REG_SZ) {
    return {Utf16(name), type, Utf16Bytes(std::u16string(text) + u'\0')};
}

// The seed's operations on the two trees, the ANSI texts as a hive holds them (UTF-16LE, a
// unit for each byte, as RegSetValueExA stores them).
std::string Apply(const std::string& text, const std::string& source, HiveKey* system,
                  HiveKey* software) {
    const platform::regedit::RegFile file = platform::regedit::ParseRegText(text);
    if (!file.error.empty()) return source + ": " + file.error;
    for (const Entry& op : file.entries) {
        if (op.kind == Entry::Kind::Skipped) return source + ": " + op.reason;
        std::string path = op.key;
        HiveKey* root = nullptr;
        if (path.rfind("SYSTEM\\", 0) == 0) {
            root = system;
            path = path.substr(7);
            if (path.rfind("CurrentControlSet", 0) == 0) path = "ControlSet002" + path.substr(17);
        } else if (path.rfind("SOFTWARE\\", 0) == 0) {
            root = software;
            path = path.substr(9);
        } else {
            return source + ": a key outside SYSTEM and SOFTWARE: " + op.key;
        }
        HiveKey& key = root->Path(Ansi(path));
        if (op.kind == Entry::Kind::SetValue) {
            const bool text = op.type == platform::REG_SZ || op.type == platform::REG_EXPAND_SZ ||
                              op.type == platform::REG_MULTI_SZ;
            const std::string data(op.data.begin(), op.data.end());
            key.Value(Ansi(op.name)) = {Ansi(op.name), op.type,
                                        text ? Utf16Bytes(Ansi(data)) : data};
        } else if (op.kind != Entry::Kind::CreateKey) {
            return source + ": the seed deletes, which this maker does not do";
        }
    }
    return "";
}

// Device keys in a control set, as Enum\PCI holds them on a used machine: each device with a
// class and two instances of 7 values.
void Devices(HiveKey& set, int devices) {
    HiveKey& pci = set.Path(u"Enum\\PCI");
    for (int device = 0; device < devices; ++device) {
        char name[64];
        std::snprintf(name, sizeof name, "VEN_%04X&DEV_%04X&SUBSYS_%08X", 0x1000 + device % 97,
                      device, 0x10000 * device + 0x1043);
        pci.subkeys.push_back(HiveKey{});
        HiveKey& id = pci.subkeys.back();
        id.name = Utf16(name);
        id.values = {Text("Class", u"MEDIA")};
        for (int instance = 0; instance < 2; ++instance) {
            char instanceName[32];
            std::snprintf(instanceName, sizeof instanceName, "4&%x&0&%02X", 0x2A2B0000 + device,
                          instance * 8);
            id.subkeys.push_back(HiveKey{});
            HiveKey& key = id.subkeys.back();
            key.name = Utf16(instanceName);
            const std::u16string hardware = Utf16(std::string("PCI\\") + name + "&REV_01") + u'\0' +
                                            Utf16(std::string("PCI\\") + name) + u'\0' +
                                            u"PCI\\CC_040100" + u'\0';
            key.values = {
                Text("DeviceDesc", Utf16("Standard device number " + std::to_string(device) +
                                         " on the PCI bus of this machine")),
                Text("HardwareID", hardware, platform::REG_MULTI_SZ),
                Number("Capabilities", 0x14 + device % 3),
                Text("Driver", Utf16("{4D36E96C-E325-11CE-BFC1-08002BE10318}\\" +
                                     std::to_string(1000 + device))),
                {u"ConfigFlags", platform::REG_BINARY,
                 std::string(340 + device % 240, static_cast<char>(device))},
                Text("Mfg", u"(Standard system devices)"),
                Text("Service", Utf16("svc" + std::to_string(device % 50))),
            };
        }
    }
}

void Names(HiveKey& driver, HiveKey& software) {
    HiveKey& grusse = driver.Child(Utf16("Grüße"));
    grusse.values = {Number("Ärger", 1), Number("Жара", 2)};
    HiveKey& names = software.Child(u"Names");
    for (const char* name : {"Äpfel", "Grüße", "GRÜSSE", "čapek", "Öl", "Mix", "Ωmega", "Жук", "µ",
                             "Μ", "ı", "ſ", "wdmaud", "wdm_au8830", "日本"}) {
        names.Child(Utf16(name));
    }
    names.values = {Number("Ärger", 1), Number("Жара", 2),  Number("µ", 3),
                    Number("Μ", 4),     Number("Grüße", 5), Number("GRÜSSE", 6)};
}

void BigData(HiveKey& key) {
    key.values = {{u"Blob", platform::REG_BINARY, std::string(40000, '\x5A')},
                  {u"Edge16344", platform::REG_BINARY, std::string(16344, '\x01')},
                  {u"Edge16345", platform::REG_BINARY, std::string(16345, '\x02')},
                  Text("Text", std::u16string(20000, u'T'))};
}

// Each key's last-written time, somewhere between setup and the last shutdown.
void Times(HiveKey& key, std::uint64_t* counter) {
    if (key.time == 0) {
        key.time = kInstalled + (*counter * 7919 % 60000) * 10000000ULL * 300;
        if (key.time > kShutDown) key.time = kShutDown;
    }
    ++*counter;
    for (HiveKey& subkey : key.subkeys) Times(subkey, counter);
}

std::string Write(const fs::path& path, HiveKey& root, const XpOptions& options) {
    std::uint64_t counter = 0;
    Times(root, &counter);
    HiveLayout layout;
    layout.minor = options.minor;
    layout.time = kShutDown;
    layout.fileName = u"\\SystemRoot\\System32\\Config\\" + Utf16(path.filename().string());
    const std::string bytes = WriteHive(root, layout);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    return out ? "" : "cannot write " + path.string();
}

}  // namespace

std::string SeedFile() {
    return CALVENOR_SOURCE_DIR "/data/seed.reg";
}

std::string MakeXpInstallation(const std::string& windowsFolder, const std::string& seedFile,
                               int fillerKeys) {
    XpOptions options;
    options.fillerKeys = fillerKeys;
    return MakeXpInstallation(windowsFolder, seedFile, options);
}

std::string MakeXpInstallation(const std::string& windowsFolder, const std::string& seedFile,
                               const XpOptions& options) {
    const fs::path config = fs::path(windowsFolder) / "system32" / "config";
    std::error_code error;
    fs::create_directories(config, error);
    if (error) return "cannot create " + config.string() + ": " + error.message();
    fs::create_directories(fs::path(windowsFolder) / "system32" / "drivers", error);

    HiveKey system;
    system.name = u"$$$PROTO.HIV";
    system.Child(u"Select").values = {Number("Current", 2), Number("Default", 2),
                                      Number("Failed", 0), Number("LastKnownGood", 3)};
    for (const char16_t* name : {u"ControlSet001", u"ControlSet002", u"MountedDevices", u"Setup"}) {
        system.Child(name);
    }
    HiveKey software;
    software.name = u"$$$PROTO.HIV";
    for (const char16_t* name : {u"Classes", u"Microsoft", u"Policies"}) software.Child(name);

    if (!seedFile.empty()) {
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
            const std::string problem = Apply(text, name, &system, &software);
            if (!problem.empty()) return problem;
        }
    }
    if (options.devices > 0) {
        Devices(system.Child(u"ControlSet001"), options.devices);
        Devices(system.Child(u"ControlSet002"), options.devices);
    }
    if (options.unusualNames) {
        Names(system.Path(u"ControlSet002\\Services\\wdm_au8830"), software);
    }
    if (options.bigData) {
        BigData(system.Path(u"ControlSet002\\Control\\BigData"));
        BigData(software.Child(u"BigData"));
    }
    if (options.fillerKeys > 0) {
        // Spread over 200 keys, as registered classes are.
        HiveKey& classes = software.Child(u"Classes");
        std::vector<HiveKey*> parents;
        for (int i = 0; i < 200 && i < options.fillerKeys; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "Filler%03d", i);
            classes.subkeys.push_back(HiveKey{});
            classes.subkeys.back().name = Utf16(name);
        }
        for (std::size_t i = classes.subkeys.size() - std::min(options.fillerKeys, 200);
             i < classes.subkeys.size(); ++i) {
            parents.push_back(&classes.subkeys[i]);
        }
        for (int i = 0; i < options.fillerKeys; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "{%08X-0000}", static_cast<unsigned>(i) * 2654435761u);
            HiveKey& parent = *parents[i % parents.size()];
            parent.subkeys.push_back(HiveKey{});
            HiveKey& key = parent.subkeys.back();
            key.name = Utf16(name);
            std::string data(256, '\0');
            for (std::size_t b = 0; b < data.size(); ++b) data[b] = static_cast<char>(i + b);
            key.values = {
                {u"", platform::REG_BINARY, data},
                {u"InprocServer32", platform::REG_SZ, Utf16Bytes(std::u16string(40, u'x'))}};
        }
    }
    for (const auto& [tree, name] :
         {std::pair{&system, "SYSTEM"}, std::pair{&software, "SOFTWARE"}}) {
        const std::string problem = Write(config / name, *tree, options);
        if (!problem.empty()) return problem;
    }
    return "";
}

}  // namespace testing_support
