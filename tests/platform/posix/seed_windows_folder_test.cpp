// The seed machine's Windows folder: what the Linux platform finds in it, and how the default
// store's copy is made once, whole, and left alone afterwards.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "detect/file_version.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/seed_windows_folder.h"
#include "platform/seed_windows.h"
#include "registry/nt_version.h"
#include "support/memory_registry.h"

namespace {

namespace fs = std::filesystem;

class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "calvenor-seed-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

// Every file below a folder, by its path relative to it.
std::set<std::string> Listing(const fs::path& root) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) files.insert(fs::relative(entry.path(), root).string());
    }
    return files;
}

const std::set<std::string> kSeedFiles = {"system32/a3d.dll", "system32/a3dapi.dll",
                                          "system32/drivers/adm8830.sys"};

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(SeedWindowsFolder, ThePlatformFindsTheInBoxDriverAndTheA3DFiles) {
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const fs::path windows = dir.path() / "WINDOWS";
    ASSERT_EQ(platform::WriteWindowsFiles(windows.string(), platform::SeedWindowsFiles()), "");

    testing_support::MemoryRegistry registry;
    platform::PosixPlatform machine(platform::NtVersionQuery(registry), windows.string(),
                                    dir.path().string());
    EXPECT_EQ(detect::FileVersionText(machine, "a3d.dll"), "2.0.1.230");
    EXPECT_EQ(detect::FileVersionText(machine, "a3dapi.dll"), "2.0.2.230");
    EXPECT_EQ(detect::FileVersionText(machine, "drivers\\adm8830.sys"), "5.12.1.2560");
    EXPECT_EQ(detect::FileVersionText(machine, "drivers\\admaud30.sys"), "N/A");
    const std::string driver = machine.LocateFile("drivers\\adm8830.sys");
    EXPECT_EQ(driver, (windows / "system32" / "drivers" / "adm8830.sys").string());
    const platform::FileSize size = machine.SizeOfFile(driver);
    ASSERT_TRUE(size.bytes.has_value());
    EXPECT_EQ(*size.bytes, 747392u);
    // The fixed fallback path of the size step names the same file from the drive's root.
    const auto rooted = machine.SizeOfFile("c:\\windows\\system32\\drivers\\adm8830.sys");
    ASSERT_TRUE(rooted.bytes.has_value());
    EXPECT_EQ(*rooted.bytes, 747392u);
    EXPECT_EQ(Listing(windows), kSeedFiles);
}

TEST(SeedWindowsFolder, MadeOnceWholeThenLeftAlone) {
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const fs::path windows = dir.path() / "xdg" / "calvenor" / "windows";
    ASSERT_EQ(platform::EnsureSeedWindowsFolder(windows.string()), "");
    EXPECT_EQ(Listing(windows), kSeedFiles);
    EXPECT_FALSE(fs::exists(windows.string() + ".new"));
    const auto a3d = platform::ReadPeFileVersionFile((windows / "system32" / "a3d.dll").string());
    ASSERT_TRUE(a3d.has_value());
    EXPECT_EQ(a3d->fileVersionMS, 0x00020000u);
    EXPECT_EQ(a3d->fileVersionLS, 0x000100E6u);

    // What is there is the user's: a changed file stays changed, a removed one stays away.
    const fs::path driver = windows / "system32" / "drivers" / "adm8830.sys";
    fs::resize_file(driver, 702080);
    fs::remove(windows / "system32" / "a3dapi.dll");
    ASSERT_EQ(platform::EnsureSeedWindowsFolder(windows.string() + "/"), "");
    EXPECT_EQ(fs::file_size(driver), 702080u);
    EXPECT_FALSE(fs::exists(windows / "system32" / "a3dapi.dll"));
}

TEST(SeedWindowsFolder, WhatAKilledStartLeftIsReplaced) {
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const fs::path windows = dir.path() / "windows";
    const fs::path side = dir.path() / "windows.new";
    fs::create_directories(side / "system32" / "drivers");
    std::ofstream(side / "system32" / "drivers" / "adm8830.sys") << "half a file";
    std::ofstream(side / "stray.txt") << "left over";
    ASSERT_EQ(platform::EnsureSeedWindowsFolder(windows.string()), "");
    EXPECT_FALSE(fs::exists(side));
    EXPECT_FALSE(fs::exists(windows / "stray.txt"));
    EXPECT_EQ(fs::file_size(windows / "system32" / "drivers" / "adm8830.sys"), 747392u);
    EXPECT_EQ(Listing(windows), kSeedFiles);
}

TEST(SeedWindowsFolder, AFolderThatCannotBeMadeIsToldAndNothingIsLeft) {
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    // Its parent is a file.
    std::ofstream(dir.path() / "calvenor") << "not a folder";
    const fs::path windows = dir.path() / "calvenor" / "windows";
    const std::string problem = platform::EnsureSeedWindowsFolder(windows.string());
    EXPECT_NE(problem.find((dir.path() / "calvenor").string()), std::string::npos) << problem;
    EXPECT_EQ(Slurp(dir.path() / "calvenor"), "not a folder");
}

TEST(SeedWindowsFolder, FirstStartsAtOnceAllFindOneWholeFolder) {
    for (int round = 0; round < 5; ++round) {
        TempDir dir;
        ASSERT_FALSE(dir.path().empty());
        const fs::path windows = dir.path() / "windows";
        std::vector<pid_t> children;
        for (int i = 0; i < 6; ++i) {
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                const bool made =
                    platform::EnsureSeedWindowsFolder(windows.string()).empty() &&
                    platform::ReadPeFileVersionFile((windows / "system32" / "a3d.dll").string());
                _exit(made ? 0 : 1);
            }
            children.push_back(child);
        }
        for (const pid_t child : children) {
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round;
        }
        EXPECT_EQ(Listing(windows), kSeedFiles);
        EXPECT_FALSE(fs::exists(dir.path() / "windows.new"));
    }
}

}  // namespace
