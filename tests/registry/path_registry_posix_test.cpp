// The key-handle semantics every registry kept by path shares, run on each of them: the tests'
// registry in memory, the embedded store and an installation's hives.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "registry/hive/hive_registry.h"
#include "registry/path_registry.h"
#include "registry/sqlite/sqlite_store.h"
#include "support/memory_registry.h"
#include "support/xp_installation_posix.h"

namespace {

using namespace platform;
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

struct Backend {
    const char* name;
    // Opens the registry in folder; the keys of the tests go under base ("" or a hive's).
    std::function<std::unique_ptr<PathRegistry>(const fs::path& folder)> open;
    std::string base;
};

std::unique_ptr<PathRegistry> OpenMemory(const fs::path&) {
    return std::make_unique<testing_support::MemoryRegistry>();
}

std::unique_ptr<PathRegistry> OpenStore(const fs::path& folder) {
    std::string error;
    auto store = SqliteStore::Open((folder / "registry.db").string(), &error);
    EXPECT_NE(store, nullptr) << error;
    return store;
}

std::unique_ptr<PathRegistry> OpenHives(const fs::path& folder) {
    const std::string windows = (folder / "WINDOWS").string();
    EXPECT_EQ(testing_support::MakeXpInstallation(windows, ""), "");
    std::string error;
    auto hives = HiveRegistry::Open(windows, HiveRegistry::Access::ReadWrite, &error);
    EXPECT_NE(hives, nullptr) << error;
    return hives;
}

class PathRegistryTest : public ::testing::TestWithParam<Backend> {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/calvenor-paths-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        registry_ = GetParam().open(dir_);
        ASSERT_TRUE(registry_);
    }
    void TearDown() override {
        registry_.reset();
        fs::remove_all(dir_);
    }
    std::string Path(const std::string& under) const {
        return GetParam().base.empty() ? under : GetParam().base + "\\" + under;
    }

    fs::path dir_;
    std::unique_ptr<PathRegistry> registry_;
};

TEST_P(PathRegistryTest, HandlesFollowWin32) {
    PathRegistry& r = *registry_;
    HKey key = 12345;
    EXPECT_EQ(r.OpenKey(kHKLM, Path("Missing"), kKeyAllAccess, &key), winerr::kFileNotFound);
    EXPECT_EQ(key, 0u);
    for (const char* bad : {"\\", "\\Leading", "A\\\\B", "A\\\\", "\\\\"}) {
        EXPECT_EQ(r.OpenKey(kHKLM, bad, kKeyAllAccess, &key), winerr::kBadPathname) << bad;
        EXPECT_EQ(r.CreateKeyEx(kHKLM, bad, 0, kKeyAllAccess, &key), winerr::kBadPathname) << bad;
    }
    EXPECT_EQ(r.OpenKey(kHKLM, std::string("A\0", 2), kKeyAllAccess, &key), winerr::kBadPathname);
    EXPECT_EQ(r.CreateKeyEx(kHKLM, Path("X"), 1, kKeyAllAccess, &key), winerr::kInvalidParameter);
    EXPECT_EQ(r.OpenKey(kHKLM, "", kKeyAllAccess, nullptr), winerr::kInvalidParameter);
    EXPECT_EQ(r.CloseKey(0), winerr::kSuccess);
    EXPECT_EQ(r.CloseKey(kHKLM), winerr::kSuccess);
    EXPECT_EQ(r.CloseKey(999), winerr::kInvalidHandle);

    // Missing keys are made on the way; a trailing backslash is allowed; opens are relative.
    HKey top = 0;
    ASSERT_EQ(r.CreateKey(kHKLM, Path("Top\\Middle\\"), &top), 0);
    EXPECT_EQ(r.StoredKeyPath(Path("TOP\\middle")), Path("Top\\Middle"));
    HKey child = 0;
    ASSERT_EQ(r.CreateKeyEx(top, "Leaf", 0, kKeyAllAccess, &child), 0);
    HKey same = 0;
    ASSERT_EQ(r.OpenKey(child, "", kKeyQueryValue, &same), 0);
    EXPECT_EQ(r.open_handles(), 3u);

    // The buffer protocol of RegQueryValueEx.
    const Bytes abc = {'a', 'b', 'c', 0};
    ASSERT_EQ(r.SetValue(child, "Text", REG_SZ, abc.data(), 4), 0);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    EXPECT_EQ(r.QueryValue(same, "TEXT", &type, nullptr, &size), 0);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 4u);
    std::uint8_t small[2] = {};
    size = sizeof small;
    EXPECT_EQ(r.QueryValue(same, "text", &type, small, &size), winerr::kMoreData);
    EXPECT_EQ(size, 4u);
    std::uint8_t exact[4] = {};
    EXPECT_EQ(r.QueryValue(same, "text", &type, exact, &size), 0);
    EXPECT_EQ(Bytes(exact, exact + 4), abc);
    EXPECT_EQ(r.QueryValue(same, "text", &type, exact, nullptr), winerr::kInvalidParameter);
    EXPECT_EQ(r.QueryValue(same, "none", &type, nullptr, &size), winerr::kFileNotFound);
    EXPECT_EQ(r.SetValue(child, std::string("a\0b", 3), REG_SZ, abc.data(), 4),
              winerr::kInvalidParameter);
    EXPECT_EQ(r.SetValue(child, "x", REG_SZ, nullptr, 4), winerr::kInvalidParameter);

    // A handle opened for reading may not write; a closed one is no handle.
    EXPECT_EQ(r.SetValue(same, "x", REG_SZ, abc.data(), 4), winerr::kAccessDenied);
    EXPECT_EQ(r.DeleteValue(same, "Text"), winerr::kAccessDenied);
    EXPECT_EQ(r.DeleteValue(child, "TEXT"), 0);
    EXPECT_EQ(r.DeleteValue(child, "Text"), winerr::kFileNotFound);
    EXPECT_EQ(r.CloseKey(same), 0);
    EXPECT_EQ(r.QueryValue(same, "Text", &type, nullptr, &size), winerr::kInvalidHandle);

    // A handle outliving its key.
    ASSERT_EQ(r.DeleteKeyTree(Path("Top\\Middle")), 0);
    EXPECT_EQ(r.SetValue(child, "x", REG_SZ, abc.data(), 4), winerr::kKeyDeleted);
    EXPECT_EQ(r.QueryValue(child, "x", &type, nullptr, &size), winerr::kKeyDeleted);
    EXPECT_EQ(r.DeleteValue(child, "x"), winerr::kKeyDeleted);
    EXPECT_EQ(r.PutValue(Path("Top\\Middle"), "x", REG_SZ, abc), winerr::kFileNotFound);
    EXPECT_EQ(r.RemoveValue(Path("Top\\Middle"), "x"), winerr::kFileNotFound);
    EXPECT_EQ(r.DeleteKeyTree(Path("Top\\Middle")), winerr::kFileNotFound);
    EXPECT_EQ(r.DeleteKeyTree(""), winerr::kAccessDenied);
    r.CloseKey(child);
    r.CloseKey(top);
    EXPECT_EQ(r.open_handles(), 0u);
}

INSTANTIATE_TEST_SUITE_P(EachRegistry, PathRegistryTest,
                         ::testing::Values(Backend{"Memory", OpenMemory, ""},
                                           Backend{"Store", OpenStore, ""},
                                           Backend{"Hives", OpenHives, "SOFTWARE"}),
                         [](const ::testing::TestParamInfo<Backend>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
