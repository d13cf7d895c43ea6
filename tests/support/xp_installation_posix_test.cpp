// The generated XP installations the hive tests, the fault runs and the benchmarks use: hives
// as XP writes them (the index checker finds nothing), holding what they are said to hold.
#include "support/xp_installation_posix.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "registry/hive/hive_check.h"

namespace {

namespace fs = std::filesystem;
using platform::hive::CheckHive;
using platform::hive::CheckResult;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(XpInstallation, HivesAreAsXpWritesThemWithWhatTheyAreSaidToHold) {
    char pattern[] = "/tmp/calvenor-installation-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path dir = pattern;
    for (const std::uint32_t minor : {5u, 3u}) {
        testing_support::XpOptions options;
        options.minor = minor;
        options.unusualNames = true;
        options.bigData = true;
        options.fillerKeys = 300;
        const fs::path windows = dir / ("WINDOWS" + std::to_string(minor));
        ASSERT_EQ(testing_support::MakeXpInstallation(windows.string(), testing_support::SeedFile(),
                                                      options),
                  "");
        const fs::path config = windows / "system32" / "config";
        std::string system;
        std::string software;
        const std::string systemBytes = ReadFile(config / "SYSTEM");
        const CheckResult systemCheck = CheckHive(systemBytes, &system);
        const CheckResult softwareCheck = CheckHive(ReadFile(config / "SOFTWARE"), &software);
        EXPECT_TRUE(systemCheck.clean()) << systemCheck.Text();
        EXPECT_TRUE(softwareCheck.clean()) << softwareCheck.Text();
        EXPECT_EQ(systemBytes[0x18], static_cast<char>(minor));
        // The header's time is the last shutdown's, not 0.
        EXPECT_NE(systemBytes.substr(12, 8), std::string(8, '\0'));
        const std::string driver = "\\ControlSet002\\Services\\wdm_au8830";
        EXPECT_NE(system.find(driver + "\\ControlPanel:\"PrimaryXtalk\" type 4, 4 bytes: 02000000"),
                  std::string::npos)
            << system;
        EXPECT_NE(
            system.find("\\ControlSet001\\Services\\wdm_au8830\\ControlPanel:\"PrimaryXtalk\" "
                        "type 4, 4 bytes: 04000000"),
            std::string::npos);
        EXPECT_EQ(system.find("\\ControlSet001\\Services\\WPCRSET"), std::string::npos);
        EXPECT_NE(system.find(driver + "\\Grüße:\"Жара\""), std::string::npos);
        EXPECT_NE(system.find("\\Control\\BigData:\"Blob\" type 3, 40000 bytes"),
                  std::string::npos);
        EXPECT_NE(software.find("\\Names\\Grüße\n"), std::string::npos) << software;
        EXPECT_NE(software.find("\\Names\\GRÜSSE\n"), std::string::npos);
        EXPECT_NE(software.find("\\Names\\日本\n"), std::string::npos);
        EXPECT_EQ(softwareCheck.keys, 16 + 1 + 15 + 1 + 200 + 300u);
    }
    fs::remove_all(dir);
}

}  // namespace
