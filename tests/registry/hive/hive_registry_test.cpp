// The registry of a real XP installation's hives, on installations generated here.
#include "registry/hive/hive_registry.h"

#include <gtest/gtest.h>
#include <hivex.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "formats/regedit/regedit.h"
#include "platform/platform.h"
#include "registry/hive/hive_file.h"
#include "registry/hive/hive_format.h"
#include "registry/hive/hive_journal.h"
#include "registry/hive/hive_keys.h"
#include "registry/hive/hive_log.h"
#include "registry/hive/hive_registry.h"
#include "registry/nt_version.h"
#include "registry/regedit_io.h"
#include "settings/registry.h"
#include "settings/schema.h"
#include "support/file_calls_posix.h"
#include "support/files.h"
#include "support/xp_boot_posix.h"
#include "support/xp_installation_posix.h"
#include "text/windows_names.h"

namespace {

using namespace platform;
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Every key and value of a hive file as libhivex reads it, raw: "path\" for a key,
// "path\name" for a value with its type and bytes.
using Dump = std::map<std::string, std::pair<int, std::string>>;

void Walk(hive_h* hive, hive_node_h node, const std::string& path, Dump* out) {
    (*out)[path + "\\"] = {-1, ""};
    hive_value_h* values = hivex_node_values(hive, node);
    for (std::size_t i = 0; values && values[i]; ++i) {
        char* key = hivex_value_key(hive, values[i]);
        hive_type type{};
        std::size_t length = 0;
        char* data = hivex_value_value(hive, values[i], &type, &length);
        (*out)[path + "\\" + key] = {static_cast<int>(type), std::string(data, length)};
        std::free(key);
        std::free(data);
    }
    std::free(values);
    hive_node_h* children = hivex_node_children(hive, node);
    for (std::size_t i = 0; children && children[i]; ++i) {
        char* name = hivex_node_name(hive, children[i]);
        Walk(hive, children[i], path + "\\" + name, out);
        std::free(name);
    }
    std::free(children);
}

Dump DumpHive(const fs::path& path) {
    Dump dump;
    hive_h* hive = hivex_open(path.c_str(), 0);
    EXPECT_NE(hive, nullptr) << path;
    if (!hive) return dump;
    Walk(hive, hivex_root(hive), "", &dump);
    hivex_close(hive);
    return dump;
}

std::string Utf16(const std::string& ascii) {
    std::string out;
    for (const char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

class HiveRegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.empty());
        windows_ = dir_ / "WINDOWS";
        ASSERT_EQ(
            testing_support::MakeXpInstallation(windows_.string(), testing_support::SeedFile()),
            "");
        system_ = windows_ / "system32" / "config" / "SYSTEM";
        software_ = windows_ / "system32" / "config" / "SOFTWARE";
    }

    std::unique_ptr<HiveRegistry> Open(
        HiveRegistry::Access access = HiveRegistry::Access::ReadWrite,
        std::string* error = nullptr) {
        std::string problem;
        auto hives = HiveRegistry::Open(windows_.string(), access, &problem);
        if (error) *error = problem;
        if (!error) {
            EXPECT_NE(hives, nullptr) << problem;
        }
        return hives;
    }
    void CheckNamesByWindowsRules(std::uint32_t minor);

    testing_support::ScratchFolder scratch_{"hives"};
    const fs::path dir_ = scratch_.path();
    fs::path windows_, system_, software_;
};

TEST_F(HiveRegistryTest, CurrentControlSetIsTheSetSelectCurrentNames) {
    auto hives = Open();
    ASSERT_TRUE(hives);
    EXPECT_EQ(hives->current_control_set(), "ControlSet002");
    settings::Registry registry(*hives);
    EXPECT_EQ(registry.FetchValue(kHKLM, schema::kControlPanel, schema::kPrimaryXtalk).str(), "2");
    EXPECT_EQ(registry
                  .FetchValue(kHKLM, "SYSTEM\\ControlSet001\\Services\\wdm_au8830\\ControlPanel",
                              schema::kPrimaryXtalk)
                  .str(),
              "4");
    // Names in any ASCII case; the link by any spelling; SOFTWARE from the other hive.
    EXPECT_EQ(
        registry
            .FetchValue(kHKLM, "system\\currentcontrolset\\SERVICES\\WDM_AU8830\\controlpanel",
                        "primaryxtalk")
            .str(),
        "2");
    EXPECT_EQ(
        registry
            .FetchValue(kHKLM, platform::nt_version::kKey, platform::nt_version::kCurrentVersion)
            .str(),
        std::string("5.1\0", 4));
    EXPECT_EQ(hives->StoredKeyPath("system\\currentcontrolset\\services\\wdm_au8830"),
              "SYSTEM\\CurrentControlSet\\Services\\wdm_au8830");
    std::vector<std::string> names;
    ASSERT_EQ(hives->SubKeys("SYSTEM", &names), 0);
    EXPECT_EQ(names,
              (std::vector<std::string>{"ControlSet001", "ControlSet002", "CurrentControlSet",
                                        "MountedDevices", "Select", "Setup"}));
    ASSERT_EQ(hives->SubKeys("", &names), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"SOFTWARE", "SYSTEM"}));
    // HKEY_LOCAL_MACHINE takes no keys of its own.
    EXPECT_EQ(hives->CreateKeyPath("HARDWARE\\X"), winerr::kAccessDenied);
}

TEST_F(HiveRegistryTest, TextsAreStoredAsTheAnsiFunctionsStoreThem) {
    {
        auto hives = Open();
        ASSERT_TRUE(hives);
        settings::Registry registry(*hives);
        // StoreValue's REG_SZ has no terminator; regedit's quoted texts have one.
        registry.StoreValue(kHKLM, schema::kControlPanel, schema::kAC97MixerLocation,
                            std::string("c:\\mix\x80.exe"), REG_SZ);
        ASSERT_EQ(hives->PutValue(schema::kControlPanel, "WithNul", REG_SZ, Bytes{'a', 'b', 0}), 0);
        ASSERT_EQ(hives->PutValue(schema::kControlPanel, "Empty", REG_SZ, Bytes{}), 0);
        ASSERT_EQ(hives->PutValue(schema::kControlPanel, "Raw", REG_BINARY, Bytes{'a', 'b'}), 0);
        EXPECT_EQ(
            registry.FetchValue(kHKLM, schema::kControlPanel, schema::kAC97MixerLocation).str(),
            "c:\\mix\x80.exe");
        EXPECT_EQ(registry.FetchValue(kHKLM, schema::kControlPanel, "WithNul").str(),
                  std::string("ab\0", 3));
    }
    const Dump dump = DumpHive(system_);
    const std::string key = "\\ControlSet002\\Services\\wdm_au8830\\ControlPanel\\";
    // N bytes of Windows-1252 are N UTF-16 units, the euro sign U+20AC.
    EXPECT_EQ(dump.at(key + "AC97MixerLocation"),
              (std::pair<int, std::string>{1, Utf16("c:\\mix") + "\xAC\x20" + Utf16(".exe")}));
    EXPECT_EQ(dump.at(key + "WithNul"),
              (std::pair<int, std::string>{1, Utf16(std::string("ab\0", 3))}));
    EXPECT_EQ(dump.at(key + "Empty"), (std::pair<int, std::string>{1, ""}));
    EXPECT_EQ(dump.at(key + "Raw"), (std::pair<int, std::string>{3, "ab"}));
}

// A text a Unicode program stored reads as the ANSI functions read it: a unit without a
// Windows-1252 form is '?', and the text keeps its length.
TEST_F(HiveRegistryTest, UnitsWithoutAnAnsiFormReadAsQuestionMarks) {
    {
        hive_h* hive = hivex_open(software_.c_str(), HIVEX_OPEN_WRITE);
        ASSERT_NE(hive, nullptr);
        hive_node_h node = hivex_root(hive);
        for (const char* name : {"Microsoft", "Windows NT", "CurrentVersion"}) {
            node = hivex_node_get_child(hive, node, name);
        }
        ASSERT_NE(node, 0u);
        char data[] = {'A', 0, 0x00, 0x01, static_cast<char>(0xAC), 0x20, 0, 0};
        hive_set_value value{const_cast<char*>("Unicode"), hive_t_REG_SZ, sizeof data, data};
        ASSERT_EQ(hivex_node_set_value(hive, node, &value, 0), 0);
        ASSERT_EQ(hivex_commit(hive, nullptr, 0), 0);
        hivex_close(hive);
    }
    auto hives = Open();
    ASSERT_TRUE(hives);
    settings::Registry registry(*hives);
    EXPECT_EQ(registry.FetchValue(kHKLM, platform::nt_version::kKey, "Unicode").str(),
              std::string("A?\x80\0", 4));
}

// Counts the logs written: one for each hive each commit changes.
class LogWrites : public hive::FileCalls {
  public:
    ssize_t Write(int fd, const void* data, std::size_t size, off_t offset) override {
        char link[PATH_MAX] = {};
        ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), link, sizeof link - 1);
        const std::string path = link;
        if (offset == 0 && path.size() > 4 && path.substr(path.size() - 4) == ".LOG") ++logs;
        return FileCalls::Write(fd, data, size, offset);
    }
    int logs = 0;
};

TEST_F(HiveRegistryTest, EachWriteIsCommittedAndAGroupOnce) {
    LogWrites counted;
    {
        auto hives = Open();
        ASSERT_TRUE(hives);
        hive::UseFileCalls(&counted);
        settings::Registry registry(*hives);
        registry.StoreValue(kHKLM, schema::kCustomization, schema::kST9704ATTEN, 1, REG_DWORD);
        EXPECT_EQ(counted.logs, 1);
        // Durable at once: another reader of the file sees it.
        EXPECT_EQ(DumpHive(system_)
                      .at("\\ControlSet002\\Services\\wdm_au8830\\Customization\\"
                          "ST9704ATTEN")
                      .second,
                  std::string("\1\0\0\0", 4));
        registry.Together([&] {
            for (int i = 0; i < 5; ++i) {
                registry.StoreValue(kHKLM, schema::kCustomization, schema::kAC97PCMOutVol, i,
                                    REG_DWORD);
            }
            registry.StoreValue(kHKLM, schema::kAU8830Equalizer, schema::kPresetNumber, 3,
                                REG_DWORD);
        });
        EXPECT_EQ(counted.logs, 3);  // one for each hive the group changed
        // Writing back what is there commits nothing.
        registry.StoreValue(kHKLM, schema::kCustomization, schema::kST9704ATTEN, 1, REG_DWORD);
        EXPECT_EQ(counted.logs, 3);
        hive::UseFileCalls(nullptr);
    }
    EXPECT_FALSE(fs::exists(HiveFile::NewFileName(system_.string())));
}

// An import changing both hives, each call of its commit failing in turn (no space, an I/O
// error): the import fails with the reason told, both hives as they were; where no call that
// matters fails, both hold it.
TEST_F(HiveRegistryTest, AnImportIntoBothHivesIsWrittenWholeOrNotAtAll) {
    const std::string text =
        "REGEDIT4\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\wdm_au8830\\Customization]"
        "\r\n\"ST9704ATTEN\"=dword:00000007\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Aureal\\A3D]\r\n\"SplashScreen\"=dword:00000003\r\n";
    {
        auto hives = Open();  // makes the logs
        ASSERT_TRUE(hives);
    }
    const Dump system = DumpHive(system_);
    const Dump software = DumpHive(software_);
    std::map<fs::path, std::string> files;
    for (const auto& entry : fs::directory_iterator(system_.parent_path())) {
        files[entry.path()] = testing_support::ReadWholeFile(entry.path());
    }
    int failed = 0;
    for (int failAt = 1;; ++failAt) {
        SCOPED_TRACE("call " + std::to_string(failAt));
        for (const auto& [path, bytes] : files) {
            std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        }
        auto hives = Open();
        ASSERT_TRUE(hives);
        std::vector<std::string> told;
        hives->OnWriteFailure([&](const std::string& reason) { told.push_back(reason); });
        const int error = failAt % 2 ? ENOSPC : EIO;
        testing_support::FailingCalls failing(failAt, false, error);
        hive::UseFileCalls(&failing);
        std::vector<std::string> warnings;
        const std::string problem = ImportRegText(*hives, text, "test", &warnings);
        hive::UseFileCalls(nullptr);
        hives.reset();
        if (problem.empty()) {
            EXPECT_TRUE(told.empty());
            EXPECT_EQ(DumpHive(system_)
                          .at("\\ControlSet002\\Services\\wdm_au8830\\Customization\\"
                              "ST9704ATTEN")
                          .second,
                      std::string("\7\0\0\0", 4));
            EXPECT_EQ(DumpHive(software_).at("\\Aureal\\A3D\\SplashScreen").second,
                      std::string("\3\0\0\0", 4));
            if (failing.calls < failAt) break;  // no call failed: every one was tried
            continue;
        }
        ++failed;
        ASSERT_EQ(told.size(), 1u) << problem;
        EXPECT_NE(told[0].find(std::strerror(error)), std::string::npos) << told[0];
        EXPECT_NE(told[0].find("nothing was changed"), std::string::npos) << told[0];
        EXPECT_EQ(DumpHive(system_), system);
        EXPECT_EQ(DumpHive(software_), software);
    }
    EXPECT_GT(failed, 10);
}

// A click and an import changing both hives, cut by a power failure after every call of
// their commits (and with unsynced writes lost, one lost, the last torn): the next open reads
// each as before or after (an import all or none), and Windows XP's rules, applied apart,
// read each hive the same way but for a group's hive its record completes.
TEST_F(HiveRegistryTest, APowerCutAfterAnyCallOfACommitLeavesItDoneOrNot) {
    const std::string customization = "SYSTEM\\ControlSet002\\Services\\wdm_au8830\\Customization";
    const std::string a3d = "SOFTWARE\\Aureal\\A3D";
    {
        auto hives = Open();  // makes the logs
        ASSERT_TRUE(hives);
    }
    const fs::path config = system_.parent_path();
    const fs::path snapshot = dir_ / "snapshot";
    fs::copy(config, snapshot);
    const auto value = [](HiveRegistry& hives, const std::string& key, const char* name) {
        std::vector<StoredValue> values;
        hives.Values(key, &values);
        for (const auto& v : values) {
            if (v.name == name) return std::string(v.data.begin(), v.data.end());
        }
        return std::string();
    };
    struct Commit {
        const char* name;
        std::function<void(HiveRegistry&)> write;
        bool group;
    };
    const std::vector<Commit> commits = {
        {"a click",
         [&](HiveRegistry& hives) {
             settings::Registry(hives).StoreValue(kHKLM, schema::kCustomization,
                                                  schema::kST9704ATTEN, 1, REG_DWORD);
         },
         false},
        {"an import into both hives",
         [&](HiveRegistry& hives) {
             std::vector<std::string> warnings;
             EXPECT_EQ(ImportRegText(
                           hives,
                           "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\" + customization +
                               "]\r\n\"ST9704ATTEN\"=dword:00000001\r\n\r\n[HKEY_LOCAL_MACHINE\\" +
                               a3d + "]\r\n\"Splash\"=dword:00000009\r\n",
                           "test", &warnings),
                       "");
         },
         true},
    };
    int windowsAlone = 0;
    for (const Commit& commit : commits) {
        SCOPED_TRACE(commit.name);
        fs::remove_all(config);
        fs::copy(snapshot, config);
        std::string before[2];
        {
            auto hives = Open();
            before[0] = value(*hives, customization, "ST9704ATTEN");
            before[1] = value(*hives, a3d, "Splash");
        }
        testing_support::RecordingCalls recorder;
        {
            auto hives = Open();
            hive::UseFileCalls(&recorder);
            commit.write(*hives);
            hive::UseFileCalls(nullptr);
        }
        const std::string after[2] = {std::string("\1\0\0\0", 4),
                                      commit.group ? std::string("\x9\0\0\0", 4) : before[1]};
        for (const auto& cut : testing_support::PowerCuts(recorder.ops)) {
            SCOPED_TRACE("after " + std::to_string(cut.calls) + " calls, kind " +
                         std::to_string(cut.kind));
            fs::remove_all(config);
            fs::copy(snapshot, config);
            ASSERT_EQ(testing_support::Replay(recorder.ops, cut, config.string(), config.string()),
                      "");
            const bool record = fs::exists(config / hive::kGroupRecord);
            testing_support::XpLoad xp[2];
            for (int i = 0; i < 2; ++i) {
                const fs::path file = i == 0 ? system_ : software_;
                xp[i] = testing_support::XpLoadsHive(
                    testing_support::ReadWholeFile(file),
                    testing_support::ReadWholeFile(file.string() + ".LOG"));
                ASSERT_TRUE(xp[i].loaded) << file << ": " << xp[i].why;
            }
            std::string error;
            auto hives = Open(HiveRegistry::Access::ReadWrite, &error);
            ASSERT_TRUE(hives) << error;
            const std::string found[2] = {value(*hives, customization, "ST9704ATTEN"),
                                          value(*hives, a3d, "Splash")};
            hives.reset();
            for (int i = 0; i < 2; ++i) {
                EXPECT_TRUE(found[i] == before[i] || found[i] == after[i]) << i;
                const fs::path file = i == 0 ? system_ : software_;
                const std::string bytes = testing_support::ReadWholeFile(file);
                const std::string bins = bytes.substr(4096, xp[i].bins.size());
                if (bins != xp[i].bins || bytes.size() < 4096 + xp[i].bins.size()) {
                    EXPECT_TRUE(commit.group && record) << file;
                    ++windowsAlone;
                }
            }
            if (commit.group) {
                EXPECT_EQ(found[0] == after[0], found[1] == after[1]) << "half an import";
            }
        }
    }
    EXPECT_GT(windowsAlone, 0);
}

TEST_F(HiveRegistryTest, EverythingNotWrittenIsKeptByteForByte) {
    const Dump system = DumpHive(system_);
    const Dump software = DumpHive(software_);
    {
        auto hives = Open();
        ASSERT_TRUE(hives);
        settings::Registry registry(*hives);
        registry.StoreValue(kHKLM, schema::kControlPanel, schema::kReverbAmount, 99, REG_DWORD);
        registry.EnsureKey(kHKLM, schema::kA3D);
        ASSERT_EQ(hives->RemoveValue(schema::kCustomization, schema::kSetGPIO0InQuad), 0);
    }
    Dump expected = system;
    const std::string cp = "\\ControlSet002\\Services\\wdm_au8830\\";
    expected[cp + "ControlPanel\\ReverbAmount"].second = std::string("\x63\0\0\0", 4);
    expected.erase(cp + "Customization\\SetGPIO0InQuad");
    EXPECT_EQ(DumpHive(system_), expected);
    expected = software;
    expected["\\Aureal\\A3D\\"] = {-1, ""};
    EXPECT_EQ(DumpHive(software_), expected);
}

TEST_F(HiveRegistryTest, NewKeysStandInWindowsOrder) {
    auto hives = Open();
    ASSERT_TRUE(hives);
    // libhivex alone would file "wdm_au8830" after "wdmaud"'s neighbours the C library's way.
    for (const char* name : {"wdmaud", "WDM_X", "wdm", "wdm_au8830b", "Wdm[1]", "zzz", "aaa"}) {
        ASSERT_EQ(hives->CreateKeyPath(std::string("SYSTEM\\CurrentControlSet\\Services\\") + name),
                  0)
            << name;
    }
    hive_h* hive = hivex_open(system_.c_str(), 0);
    ASSERT_NE(hive, nullptr);
    hive_node_h node = hivex_root(hive);
    for (const char* name : {"ControlSet002", "Services"})
        node = hivex_node_get_child(hive, node, name);
    hive_node_h* children = hivex_node_children(hive, node);
    std::vector<std::u16string> names;
    for (std::size_t i = 0; children[i]; ++i) {
        char* name = hivex_node_name(hive, children[i]);
        names.emplace_back(name, name + std::strlen(name));
        std::free(name);
    }
    std::free(children);
    hivex_close(hive);
    ASSERT_EQ(names.size(), 9u);
    for (std::size_t i = 1; i < names.size(); ++i) {
        EXPECT_LT(names::Compare(names[i - 1], names[i]), 0) << i;
    }
    // And every one is found again.
    EXPECT_EQ(hives->StoredKeyPath("SYSTEM\\CurrentControlSet\\Services\\WDMAUD"),
              "SYSTEM\\CurrentControlSet\\Services\\wdmaud");
}

// The engine's view of a hive file, and what a subkey list keeps beside a key: its lh hash or
// lf hint (0 in an li list).
std::unique_ptr<hive::Hive> Engine(const fs::path& path) {
    const std::string bytes = testing_support::ReadWholeFile(path);
    std::string problem;
    auto hive = hive::Hive::Load(Bytes(bytes.begin(), bytes.end()), &problem);
    EXPECT_TRUE(hive) << problem;
    return hive;
}

std::uint32_t HashBeside(const hive::Hive& hive, hive::Cell parent, hive::Cell child) {
    const auto u32 = [&](hive::Cell cell, std::uint32_t at) {
        std::uint32_t value = 0;
        std::memcpy(&value, &hive.bytes()[0x1000 + cell + 4 + at], 4);
        return value;
    };
    std::vector<hive::Cell> leaves{u32(parent, 28)};
    if ((u32(leaves[0], 0) & 0xFFFF) == ('r' | ('i' << 8))) {
        const std::uint32_t count = u32(leaves[0], 0) >> 16;
        leaves.clear();
        for (std::uint32_t i = 0; i < count; ++i) leaves.push_back(u32(u32(parent, 28), 4 + 4 * i));
    }
    for (const hive::Cell leaf : leaves) {
        const bool pairs = (u32(leaf, 0) & 0xFFFF) != ('l' | ('i' << 8));
        for (std::uint32_t i = 0; i < (u32(leaf, 0) >> 16); ++i) {
            if (u32(leaf, 4 + i * (pairs ? 8 : 4)) == child)
                return pairs ? u32(leaf, 8 + 8 * i) : 0;
        }
    }
    ADD_FAILURE() << "no entry for the key";
    return 0;
}

// Keys and values are one where Windows' upper-case table makes their names equal, and new keys
// are filed where Windows looks for them, with the hint or hash Windows computes.
TEST_F(HiveRegistryTest, NamesAreComparedOrderedAndHashedByWindowsRules) {
    // Format 1.3 files keys in lf lists with hints, 1.5 in lh lists with hashes.
    for (const std::uint32_t minor : {3u, 5u}) {
        SCOPED_TRACE("format 1." + std::to_string(minor));
        fs::remove_all(windows_);
        testing_support::XpOptions options;
        options.minor = minor;
        ASSERT_EQ(testing_support::MakeXpInstallation(windows_.string(),
                                                      testing_support::SeedFile(), options),
                  "");
        CheckNamesByWindowsRules(minor);
    }
}

void HiveRegistryTest::CheckNamesByWindowsRules(std::uint32_t minor) {
    {
        auto hives = Open();
        ASSERT_TRUE(hives);
        const std::string test = "SOFTWARE\\Test";
        for (const char* name : {"\xC4pfel", "\xE4PFEL",
                                 "\x9A"
                                 "apek",
                                 "\xD6l", "Mix", "\xE9",
                                 "Gr\xFC\xDF"
                                 "e",
                                 "\x80uro", "wdmaud", "wdm_au8830"}) {
            ASSERT_EQ(hives->CreateKeyPath(test + "\\" + name), 0) << name;
        }
        std::vector<std::string> names;
        ASSERT_EQ(hives->SubKeys(test, &names), 0);
        EXPECT_EQ(names.size(), 9u);  // äPFEL is Äpfel
        EXPECT_EQ(hives->StoredKeyPath("software\\TEST\\\xC4PFEL"), test + "\\\xC4pfel");
        EXPECT_EQ(hives->StoredKeyPath(test + "\\GR\xDC\xDF"
                                              "E"),
                  test +
                      "\\Gr\xFC\xDF"
                      "e");
        EXPECT_EQ(hives->StoredKeyPath(test + "\\\x80URO"), test + "\\\x80uro");
        ASSERT_EQ(hives->PutValue(test + "\\\xC4pfel", "\xC4rger", REG_DWORD, {1, 0, 0, 0}), 0);
        ASSERT_EQ(hives->PutValue(test + "\\\xC4pfel", "\xE4RGER", REG_DWORD, {2, 0, 0, 0}), 0);
        std::vector<StoredValue> values;
        ASSERT_EQ(hives->Values(test + "\\\xE4pfel", &values), 0);
        EXPECT_EQ(values, (std::vector<StoredValue>{{"\xC4rger", REG_DWORD, {2, 0, 0, 0}}}));
        // A name Windows takes: up to 255 characters.
        EXPECT_EQ(hives->CreateKeyPath(test + "\\" + std::string(255, 'n')), 0);
        EXPECT_EQ(hives->CreateKeyPath(test + "\\" + std::string(256, 'n')),
                  winerr::kInvalidParameter);
    }
    // In the file: Windows' order, every hint or hash right, the euro sign's key named in
    // UTF-16; Äpfel's hint its Latin-1 letters as they are, its hash over them upper-cased.
    auto hive = Engine(software_);
    ASSERT_TRUE(hive);
    EXPECT_EQ(hive->minor_version(), minor);
    EXPECT_EQ(hive->disordered_lists(), 0u);
    const hive::Cell test = hive->FindSubkey(hive->root(), u"Test");
    const std::vector<hive::Cell> keys = hive->Subkeys(test);
    for (std::size_t i = 1; i < keys.size(); ++i) {
        EXPECT_LT(names::Compare(hive->KeyName(keys[i - 1]), hive->KeyName(keys[i])), 0);
    }
    for (const hive::Cell key : keys) {
        const std::u16string name = hive->KeyName(key);
        EXPECT_EQ(HashBeside(*hive, test, key),
                  minor >= 5 ? names::LhHash(name) : names::LfHint(name));
    }
    EXPECT_EQ(HashBeside(*hive, test, hive->FindSubkey(test, u"\u00C4pfel")),
              minor >= 5 ? 0x16246E2Fu : 0x656670C4u);
    EXPECT_EQ(hive->KeyName(hive->FindSubkey(test, u"\u20ACuro")), u"\u20ACuro");
    EXPECT_EQ(DumpHive(software_).count("\\Test\\\xE2\x82\xAC"
                                        "uro\\"),
              1u);  // libhivex
}

// A value written stamps its key; a commit stamps the header with the time of the write (not
// before the key's), both sequence numbers one further and the checksum by Windows' rule.
TEST_F(HiveRegistryTest, WritesStampTheKeyAndTheHeader) {
    const std::string before = testing_support::ReadWholeFile(system_);
    std::uint32_t sequence = 0;
    std::memcpy(&sequence, &before[4], 4);
    const std::uint64_t start = hive::FileTimeNow();
    {
        auto hives = Open();
        ASSERT_TRUE(hives);
        settings::Registry registry(*hives);
        registry.StoreValue(kHKLM, schema::kControlPanel, schema::kReverbAmount, 99, REG_DWORD);
    }
    const std::string after = testing_support::ReadWholeFile(system_);
    auto hive = Engine(system_);
    ASSERT_TRUE(hive);
    hive::Cell key = hive->root();
    for (const char16_t* name : {u"ControlSet002", u"Services", u"wdm_au8830", u"ControlPanel"}) {
        key = hive->FindSubkey(key, name);
    }
    const std::uint64_t stamped = hive->KeyTime(key);
    EXPECT_GE(stamped, start);
    EXPECT_LE(stamped, hive::FileTimeNow());
    std::uint32_t header[2] = {};
    std::memcpy(header, &after[4], 8);
    EXPECT_EQ(header[0], sequence + 1);
    EXPECT_EQ(header[1], sequence + 1);
    std::uint64_t time = 0;
    std::memcpy(&time, &after[12], 8);
    EXPECT_GE(time, stamped);
    EXPECT_LE(time, hive::FileTimeNow());
    std::uint32_t checksum = 0;
    std::memcpy(&checksum, &after[0x1FC], 4);
    EXPECT_EQ(checksum, hive::HeaderChecksum(reinterpret_cast<const std::uint8_t*>(after.data())));
}

// A click writes the bins the engine changed and nothing else: the log's pages are whole bins,
// each of which the click changed (the first among them: it keeps the write's time), and every
// byte of the hive that differs afterwards lies in them.
TEST_F(HiveRegistryTest, AClickWritesOnlyTheBinsItChanged) {
    { ASSERT_TRUE(Open()); }  // makes the logs
    const std::string before = testing_support::ReadWholeFile(system_);
    {
        auto hives = Open();
        ASSERT_TRUE(hives);
        settings::Registry registry(*hives);
        registry.StoreValue(kHKLM, schema::kCustomization, schema::kST9704ATTEN, 1, REG_DWORD);
    }
    const std::string after = testing_support::ReadWholeFile(system_);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(DumpHive(system_)
                  .at("\\ControlSet002\\Services\\wdm_au8830\\Customization\\ST9704ATTEN")
                  .second,
              std::string("\1\0\0\0", 4));
    const std::string logBytes = testing_support::ReadWholeFile(system_.string() + ".LOG");
    hive::Log log;
    ASSERT_EQ(hive::ReadLog(logBytes, &log), "");
    const auto bins = reinterpret_cast<const std::uint8_t*>(after.data()) + hive::kBaseBlockSize;
    const std::size_t binsSize = after.size() - hive::kBaseBlockSize;
    std::vector<bool> logged(binsSize / hive::kSectorSize, false);
    int loggedBins = 0;
    const std::vector<hive::PageRun> runs = hive::RunsOf(log);
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(runs.front().offset, 0u);
    for (const hive::PageRun& run : runs) {
        // Whole bins, one after another: a run starts at a bin's header and ends at a bin's end.
        std::uint32_t at = run.offset;
        while (at < run.offset + run.size) {
            ASSERT_EQ(std::memcmp(bins + at, "hbin", 4), 0) << at;
            std::uint32_t size = 0;
            std::memcpy(&size, bins + at + 8, 4);
            EXPECT_NE(std::memcmp(before.data() + hive::kBaseBlockSize + at,
                                  after.data() + hive::kBaseBlockSize + at, size),
                      0)
                << "the bin at " << at << " was written unchanged";
            for (std::uint32_t page = at; page < at + size; page += hive::kSectorSize) {
                logged[page / hive::kSectorSize] = true;
            }
            ++loggedBins;
            at += size;
        }
        EXPECT_EQ(at, run.offset + run.size);
    }
    for (std::size_t page = 0; page < logged.size(); ++page) {
        const std::size_t at = hive::kBaseBlockSize + page * hive::kSectorSize;
        if (before.compare(at, hive::kSectorSize, after, at, hive::kSectorSize) != 0) {
            EXPECT_TRUE(logged[page]) << "a page changed outside the log: " << at;
        }
    }
    // A DWORD and its key's time: the first bin and at most two others.
    EXPECT_LE(loggedBins, 3);
}

// Clicks and texts that change their length reuse the space they free: the hive does not grow
// (the 100 clicks grew it by 64 KB with libhivex).
TEST_F(HiveRegistryTest, RepeatedWritesDoNotGrowTheHive) {
    {
        auto hives = Open();
        ASSERT_TRUE(hives);
        settings::Registry registry(*hives);
        registry.StoreValue(kHKLM, schema::kControlPanel, schema::kAC97MixerLocation,
                            std::string(300, 'm'), REG_SZ);
        ASSERT_EQ(hives->PutValue(schema::kControlPanel, "Scratch", REG_BINARY, Bytes(500, 's')),
                  0);
    }
    const auto size = fs::file_size(system_);
    auto hives = Open();
    ASSERT_TRUE(hives);
    settings::Registry registry(*hives);
    for (int i = 0; i < 100; ++i) {
        registry.StoreValue(kHKLM, schema::kCustomization, schema::kST9704ATTEN, i % 2, REG_DWORD);
        registry.StoreValue(kHKLM, schema::kControlPanel, schema::kAC97MixerLocation,
                            std::string(1 + (i * 37) % 300, 'm'), REG_SZ);
        // A value deleted and written anew in another size: new cells each time.
        hives->RemoveValue(schema::kControlPanel, "Scratch");
        ASSERT_EQ(hives->PutValue(schema::kControlPanel, "Scratch", REG_BINARY,
                                  Bytes(1 + (i * 53) % 500, 's')),
                  0);
    }
    EXPECT_EQ(fs::file_size(system_), size);
}

// Data past 16344 bytes is written (in big-data segments where the hive's format has them) and
// reads back whole, here and with libhivex.
TEST_F(HiveRegistryTest, LongValuesAreWrittenAndReadWhole) {
    Bytes big(40000);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i % 251);
    {
        auto hives = Open();
        ASSERT_TRUE(hives);
        ASSERT_EQ(hives->PutValue(schema::kControlPanel, "Long", REG_BINARY, big), 0);
        ASSERT_EQ(hives->PutValue(schema::kControlPanel, "Long", REG_BINARY, big), 0);
        std::vector<StoredValue> values;
        ASSERT_EQ(hives->Values(schema::kControlPanel, &values), 0);
        EXPECT_EQ(std::count(values.begin(), values.end(), StoredValue{"Long", REG_BINARY, big}),
                  1);
    }
    EXPECT_EQ(DumpHive(system_).at("\\ControlSet002\\Services\\wdm_au8830\\ControlPanel\\Long"),
              (std::pair<int, std::string>{REG_BINARY, std::string(big.begin(), big.end())}));
}

// What Windows needs to start is never deleted: an import skips each such deletion by name
// (the rest is imported), and DeleteKeyTree refuses it.
TEST_F(HiveRegistryTest, WhatWindowsNeedsToStartIsNeverDeleted) {
    const Dump system = DumpHive(system_);
    {
        auto hives = Open();
        ASSERT_TRUE(hives);
        const char* const kNeeded[] = {"SYSTEM",
                                       "SYSTEM\\CurrentControlSet",
                                       "SYSTEM\\ControlSet001",
                                       "system\\SELECT",
                                       "SYSTEM\\MountedDevices",
                                       "SYSTEM\\CurrentControlSet\\Services",
                                       "SYSTEM\\ControlSet001\\Services",
                                       "SOFTWARE\\Microsoft",
                                       "SOFTWARE\\Aureal",
                                       "SOFTWARE"};
        for (const char* key : kNeeded) {
            EXPECT_TRUE(hives->NeededToStart(key)) << key;
            EXPECT_EQ(hives->DeleteKeyTree(key), winerr::kAccessDenied) << key;
        }
        for (const char* key : {"SYSTEM\\CurrentControlSet\\Services\\wdm_au8830",
                                "SOFTWARE\\Aureal\\Vortex", "SYSTEM\\Setup\\Anything"}) {
            EXPECT_FALSE(hives->NeededToStart(key)) << key;
        }
        std::vector<std::string> warnings;
        const std::string text =
            "REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet]\r\n\r\n"
            "[-HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\r\n\r\n"
            "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Aureal\\Vortex]\r\n";
        EXPECT_EQ(ImportRegText(*hives, text, "t.reg", &warnings), "");
        EXPECT_EQ(warnings, (std::vector<std::string>{
                                "t.reg:3: skipped deleting a key Windows needs to start: "
                                "[-HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet]",
                                "t.reg:5: skipped deleting a key Windows needs to start: "
                                "[-HKEY_LOCAL_MACHINE\\SYSTEM\\Select]"}));
        EXPECT_EQ(hives->StoredKeyPath("SOFTWARE\\Aureal\\Vortex"), "");
        EXPECT_EQ(hives->StoredKeyPath("SOFTWARE\\Aureal"), "SOFTWARE\\Aureal");
    }
    EXPECT_EQ(DumpHive(system_), system);
}

// Each refusal names the file, says what to do, and writes nothing.
TEST_F(HiveRegistryTest, HivesThatMustNotBeWrittenAreRefusedUntouched) {
    // A click first, so that the log beside SYSTEM is the one of its last write.
    {
        auto hives = Open();
        ASSERT_TRUE(hives);
        settings::Registry registry(*hives);
        registry.StoreValue(kHKLM, schema::kControlPanel, schema::kReverbAmount, 98, REG_DWORD);
    }
    const std::string originalSystem = testing_support::ReadWholeFile(system_);
    const std::string originalSoftware = testing_support::ReadWholeFile(software_);
    const auto refused = [&](const std::string& why, const std::string& needle) {
        const std::string system = testing_support::ReadWholeFile(system_);
        const std::string software = testing_support::ReadWholeFile(software_);
        std::string error;
        EXPECT_EQ(Open(HiveRegistry::Access::ReadWrite, &error), nullptr) << why;
        EXPECT_NE(error.find(needle), std::string::npos) << why << ": " << error;
        EXPECT_EQ(testing_support::ReadWholeFile(system_), system) << why;
        EXPECT_EQ(testing_support::ReadWholeFile(software_), software) << why;
    };
    // Not shut down cleanly: the sequence numbers differ, and no log completes the write.
    {
        const Dump before = DumpHive(system_);
        std::string dirty = originalSystem;
        dirty[4] = static_cast<char>(dirty[4] + 1);
        const std::uint32_t sum =
            hive::HeaderChecksum(reinterpret_cast<const std::uint8_t*>(dirty.data()));
        for (int i = 0; i < 4; ++i) dirty[0x1FC + i] = static_cast<char>(sum >> (8 * i));
        std::ofstream(system_, std::ios::binary | std::ios::trunc) << dirty;
        const fs::path log = system_.string() + ".LOG";
        const std::string logBytes = testing_support::ReadWholeFile(log);
        fs::remove(log);
        refused("dirty", "\"" + system_.string() + "\" was not closed cleanly");
        refused("dirty", "shut it down normally");
        // Beside the log of its last write, as Windows XP numbers one (a write cut short just
        // after its header was raised), it is completed, and said.
        std::ofstream(log, std::ios::binary | std::ios::trunc) << logBytes;
        auto hives = Open();
        ASSERT_TRUE(hives);
        ASSERT_EQ(hives->notices().size(), 1u);
        EXPECT_NE(hives->notices()[0].find("completed from its log"), std::string::npos);
        hives.reset();
        EXPECT_EQ(DumpHive(system_), before);
        std::ofstream(system_, std::ios::binary | std::ios::trunc) << originalSystem;
    }
    // The hives swapped.
    std::ofstream(system_, std::ios::binary | std::ios::trunc) << originalSoftware;
    std::ofstream(software_, std::ios::binary | std::ios::trunc) << originalSystem;
    refused("swapped", "\"" + system_.string() + "\" is a SOFTWARE hive, not the SYSTEM hive");
    std::ofstream(system_, std::ios::binary | std::ios::trunc) << originalSystem;
    refused("two SYSTEMs",
            "\"" + software_.string() + "\" is a SYSTEM hive, not the SOFTWARE hive");
    // Not a hive at all.
    std::ofstream(software_, std::ios::binary | std::ios::trunc) << "REGEDIT4\r\n"
                                                                 << std::string(9000, 'x');
    refused("text", "\"" + software_.string() + "\" is not a registry hive");
    std::ofstream(software_, std::ios::binary | std::ios::trunc) << originalSoftware;
    // Held by another calvenor.
    {
        auto first = Open();
        ASSERT_TRUE(first);
        refused("locked", "\"" + system_.string() + "\" is in use by another calvenor");
        std::string error;
        EXPECT_EQ(Open(HiveRegistry::Access::ReadOnly, &error), nullptr);
    }
    // No installation there.
    std::string error;
    EXPECT_EQ(HiveRegistry::Open(dir_.string(), HiveRegistry::Access::ReadWrite, &error), nullptr);
    EXPECT_NE(error.find("has no system32/config folder"), std::string::npos) << error;
    // Two readers may share the hives.
    auto reader = Open(HiveRegistry::Access::ReadOnly);
    EXPECT_TRUE(Open(HiveRegistry::Access::ReadOnly));
}

// Windows hibernated: it would write the registry it holds in memory over any change made
// here when it resumes. hiberfil.sys at the volume's root (the Windows folder's parent) tells.
TEST_F(HiveRegistryTest, AHibernatedInstallationIsNotWritten) {
    const std::string system = testing_support::ReadWholeFile(system_);
    const fs::path hiberfil = dir_ / "HiberFil.sys";
    for (const char* head : {"hibr", "HIBR", "Hibr"}) {
        std::ofstream(hiberfil, std::ios::binary | std::ios::trunc) << head << std::string(60, 'x');
        std::string error;
        EXPECT_EQ(Open(HiveRegistry::Access::ReadWrite, &error), nullptr) << head;
        EXPECT_NE(error.find("\"" + hiberfil.string() +
                             "\" begins with \"hibr\": that Windows "
                             "is hibernated"),
                  std::string::npos)
            << error;
        EXPECT_NE(error.find("shut it down (not hibernate)"), std::string::npos) << error;
        EXPECT_EQ(testing_support::ReadWholeFile(system_), system);
        // An export only reads.
        EXPECT_TRUE(Open(HiveRegistry::Access::ReadOnly));
    }
    // Resumed (Windows wipes the signature) or never hibernated: written as usual.
    for (const std::string& head : {std::string(4, '\0'), std::string("wake"), std::string("hi")}) {
        std::ofstream(hiberfil, std::ios::binary | std::ios::trunc) << head;
        EXPECT_TRUE(Open());
    }
    // One that cannot be read leaves the question open: refused.
    fs::remove(hiberfil);
    fs::create_directory(hiberfil);
    std::string error;
    EXPECT_EQ(Open(HiveRegistry::Access::ReadWrite, &error), nullptr);
    EXPECT_NE(error.find("to tell whether that Windows is hibernated"), std::string::npos) << error;
}

// Windows boots the control set Select\Default names; CurrentControlSet here is the one
// Select\Current names: when they differ, both are named.
TEST_F(HiveRegistryTest, AnotherBootedControlSetIsToldByName) {
    {
        auto hives = Open();
        ASSERT_TRUE(hives);
        EXPECT_TRUE(hives->notices().empty());
        ASSERT_EQ(hives->PutValue("SYSTEM\\Select", "Default", REG_DWORD, Bytes{1, 0, 0, 0}), 0);
    }
    auto hives = Open();
    ASSERT_TRUE(hives);
    ASSERT_EQ(hives->notices().size(), 1u);
    const std::string& notice = hives->notices()[0];
    EXPECT_NE(notice.find("\"" + system_.string() + "\""), std::string::npos) << notice;
    EXPECT_NE(notice.find("Select\\Default names, ControlSet001"), std::string::npos) << notice;
    EXPECT_NE(notice.find("CurrentControlSet here is ControlSet002 (Select\\Current)"),
              std::string::npos)
        << notice;
    EXPECT_EQ(hives->current_control_set(), "ControlSet002");
}

TEST(HiveFormat, AnEmptyHiveIsOneLibhivexOpens) {
    const std::string hive = hive::MakeEmptyHive("ROOT");
    hive::Header header;
    EXPECT_EQ(hive::ReadHeader(hive, hive.size(), &header), "");
    EXPECT_EQ(header.sequence1, header.sequence2);
    EXPECT_EQ(header.checksum, header.computedChecksum);
    char pattern[] = "/tmp/calvenor-empty-hive-XXXXXX";
    const int fd = ::mkstemp(pattern);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, hive.data(), hive.size()), static_cast<ssize_t>(hive.size()));
    ::close(fd);
    hive_h* h = hivex_open(pattern, HIVEX_OPEN_WRITE);
    ASSERT_NE(h, nullptr);
    EXPECT_NE(hivex_node_add_child(h, hivex_root(h), "Child"), 0u);
    EXPECT_EQ(hivex_commit(h, nullptr, 0), 0);
    hivex_close(h);
    ::unlink(pattern);
}

}  // namespace
