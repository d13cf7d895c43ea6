// The registry access layer over the Linux build's store.
#include "settings/registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "registry/sqlite/sqlite_store.h"
#include "settings/schema.h"
#include "support/files.h"

namespace {

using namespace platform;
using settings::RegValue;
namespace fs = std::filesystem;

// Passes every call on and keeps count of the handles that are open, of opens and of queries.
class CountingBackend : public RegistryBackend {
  public:
    explicit CountingBackend(RegistryBackend& inner) : inner_(inner) {}

    long OpenKey(HKey root, const std::string& path, std::uint32_t access, HKey* out) override {
        ++opens;
        return Track(inner_.OpenKey(root, path, access, out), out);
    }
    long CreateKeyEx(HKey root, const std::string& path, std::uint32_t options,
                     std::uint32_t access, HKey* out) override {
        return Track(inner_.CreateKeyEx(root, path, options, access, out), out);
    }
    long CreateKey(HKey root, const std::string& path, HKey* out) override {
        return Track(inner_.CreateKey(root, path, out), out);
    }
    long QueryValue(HKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override {
        ++queries;
        return inner_.QueryValue(key, name, type, data, size);
    }
    long SetValue(HKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override {
        ++writes;
        return inner_.SetValue(key, name, type, data, size);
    }
    long DeleteValue(HKey key, const std::string& name) override {
        return inner_.DeleteValue(key, name);
    }
    long CloseKey(HKey key) override {
        open.erase(key);
        return inner_.CloseKey(key);
    }

    std::set<HKey> open;
    int writes = 0;
    int opens = 0;
    int queries = 0;

  private:
    long Track(long status, HKey* out) {
        if (status == winerr::kSuccess) open.insert(*out);
        return status;
    }
    RegistryBackend& inner_;
};

class RegistryLayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.empty());
        std::string error;
        db_ = SqliteStore::Open((dir_ / "registry.db").string(), &error);
        ASSERT_NE(db_, nullptr) << error;
        counting_ = std::make_unique<CountingBackend>(*db_);
        registry_ = std::make_unique<settings::Registry>(*counting_);
    }
    void TearDown() override {
        // No call of the layer may leave a handle open.
        if (counting_) {
            EXPECT_TRUE(counting_->open.empty());
        }
        registry_.reset();
        counting_.reset();
        db_.reset();
    }

    // A store with the same file, opened read-only: a machine the user may not write.
    std::unique_ptr<SqliteStore> ReadOnlyTwin() {
        std::string error;
        auto store = SqliteStore::Open(db_->path(), &error, SqliteStore::Access::ReadOnly);
        EXPECT_NE(store, nullptr) << error;
        return store;
    }

    std::vector<std::uint8_t> Raw(const std::string& path, const std::string& name,
                                  std::uint32_t* type = nullptr) {
        std::vector<StoredValue> values;
        db_->Values(path, &values);
        for (const auto& value : values) {
            if (value.name == name) {
                if (type) *type = value.type;
                return value.data;
            }
        }
        if (type) *type = 0xFFFFFFFF;
        return {};
    }

    testing_support::ScratchFolder scratch_{"layer"};
    const fs::path dir_ = scratch_.path();
    std::unique_ptr<SqliteStore> db_;
    std::unique_ptr<CountingBackend> counting_;
    std::unique_ptr<settings::Registry> registry_;
};

const std::string kKey = schema::kCustomization;

TEST_F(RegistryLayerTest, TextReadsBackEveryStoredByte) {
    ASSERT_EQ(db_->CreateKeyPath(kKey), 0);
    const std::vector<std::uint8_t> terminated = {'a', 'b', 'c', 0};
    ASSERT_EQ(db_->PutValue(kKey, "Terminated", REG_SZ, terminated), 0);
    const RegValue withNul = registry_->FetchValue(kHKLM, kKey, "Terminated");
    ASSERT_EQ(withNul.kind(), RegValue::Kind::Text);
    ASSERT_EQ(withNul.str().size(), 4u);
    EXPECT_EQ(withNul.str(), std::string("abc\0", 4));
    EXPECT_EQ(withNul.str().back(), '\0');

    registry_->StoreValue(kHKLM, kKey, "Plain", "abc", REG_SZ);
    std::uint32_t type = 0;
    EXPECT_EQ(Raw(kKey, "Plain", &type), (std::vector<std::uint8_t>{'a', 'b', 'c'}));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(registry_->FetchValue(kHKLM, kKey, "Plain"), RegValue::Text("abc"));

    // The empty text is a value of length 0, and reads as a text, not as missing.
    registry_->StoreValue(kHKLM, kKey, "Empty", "", REG_SZ);
    EXPECT_TRUE(Raw(kKey, "Empty", &type).empty());
    EXPECT_EQ(type, REG_SZ);
    const RegValue empty = registry_->FetchValue(kHKLM, kKey, "Empty");
    EXPECT_EQ(empty.kind(), RegValue::Kind::Text);
    EXPECT_EQ(empty.str(), "");

    // A number stored as REG_SZ goes in as its digits.
    registry_->StoreValue(kHKLM, kKey, "Digits", 48000, REG_SZ);
    EXPECT_EQ(registry_->FetchValue(kHKLM, kKey, "Digits"), RegValue::Text("48000"));

    // A short value is read in one query; texts around and far past that first buffer are
    // read whole all the same.
    const int queriesBefore = counting_->queries;
    registry_->FetchValue(kHKLM, kKey, "Plain");
    EXPECT_EQ(counting_->queries, queriesBefore + 1);
    for (std::size_t length : {255u, 256u, 257u, 5000u}) {
        std::string text(length, 'x');
        text.back() = 'y';
        registry_->StoreValue(kHKLM, kKey, "Long", text, REG_SZ);
        EXPECT_EQ(registry_->FetchValue(kHKLM, kKey, "Long"), RegValue::Text(text)) << length;
    }
}

TEST_F(RegistryLayerTest, DwordsAreSignedAndOnlyNumbersAreWritten) {
    ASSERT_EQ(db_->CreateKeyPath(kKey), 0);
    ASSERT_EQ(db_->PutValue(kKey, "AllOnes", REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}), 0);
    const RegValue minusOne = registry_->FetchValue(kHKLM, kKey, "AllOnes");
    EXPECT_EQ(minusOne, RegValue::Number(-1));
    EXPECT_EQ(minusOne.str(), "-1");

    registry_->StoreValue(kHKLM, kKey, schema::kSpdifFrequency, 48000, REG_DWORD);
    EXPECT_EQ(Raw(kKey, schema::kSpdifFrequency), (std::vector<std::uint8_t>{0x80, 0xBB, 0, 0}));
    registry_->StoreValue(kHKLM, kKey, "FromText", "-2", REG_DWORD);
    EXPECT_EQ(Raw(kKey, "FromText"), (std::vector<std::uint8_t>{0xFE, 0xFF, 0xFF, 0xFF}));

    // A text that is no number writes nothing: the old value stays, a missing one stays away.
    const int writesBefore = counting_->writes;
    registry_->StoreValue(kHKLM, kKey, schema::kSpdifFrequency, "fast", REG_DWORD);
    registry_->StoreValue(kHKLM, kKey, schema::kSpdifFrequency, "", REG_DWORD);
    registry_->StoreValue(kHKLM, kKey, schema::kSpdifFrequency, "4294967295", REG_DWORD);
    registry_->StoreValue(kHKLM, kKey, "Fresh", "12abc", REG_DWORD);
    EXPECT_EQ(counting_->writes, writesBefore);
    EXPECT_EQ(registry_->FetchValue(kHKLM, kKey, schema::kSpdifFrequency), RegValue::Number(48000));
    EXPECT_TRUE(registry_->FetchValue(kHKLM, kKey, "Fresh").empty());

    // A double word of the wrong length is not a number, however long.
    ASSERT_EQ(db_->PutValue(kKey, "Short", REG_DWORD, {1, 2}), 0);
    EXPECT_TRUE(registry_->FetchValue(kHKLM, kKey, "Short").empty());
    ASSERT_EQ(db_->PutValue(kKey, "Long", REG_DWORD, {1, 0, 0, 0, 0, 0, 0, 0}), 0);
    EXPECT_TRUE(registry_->FetchValue(kHKLM, kKey, "Long").empty());
    ASSERT_EQ(db_->PutValue(kKey, "Huge", REG_DWORD, std::vector<std::uint8_t>(300, 1)), 0);
    EXPECT_TRUE(registry_->FetchValue(kHKLM, kKey, "Huge").empty());
}

TEST_F(RegistryLayerTest, OtherTypesReadAsEmpty) {
    ASSERT_EQ(db_->CreateKeyPath(kKey), 0);
    ASSERT_EQ(db_->PutValue(kKey, "Binary", REG_BINARY, {1, 0, 0, 0}), 0);
    ASSERT_EQ(db_->PutValue(kKey, "LongBinary", REG_BINARY, std::vector<std::uint8_t>(700, 7)), 0);
    ASSERT_EQ(db_->PutValue(kKey, "Expand", REG_EXPAND_SZ, {'%', 'x', '%', 0}), 0);
    ASSERT_EQ(db_->PutValue(kKey, "Multi", REG_MULTI_SZ, {'a', 0, 0}), 0);
    for (const char* name : {"Binary", "LongBinary", "Expand", "Multi"}) {
        EXPECT_TRUE(registry_->FetchValue(kHKLM, kKey, name).empty()) << name;
        HKey key = 0;
        ASSERT_EQ(db_->OpenKey(kHKLM, kKey, kKeyAllAccess, &key), 0);
        RegValue value = RegValue::Text("stale");
        EXPECT_EQ(registry_->FetchOpenValue(key, name, value), -1) << name;
        EXPECT_TRUE(value.empty());
        db_->CloseKey(key);
    }
    EXPECT_TRUE(registry_->FetchValue(kHKLM, kKey, "Missing").empty());
    EXPECT_TRUE(registry_->FetchValue(kHKLM, "No\\Such\\Key", "Missing").empty());
}

TEST_F(RegistryLayerTest, StoreValueNeedsAnExistingKey) {
    registry_->StoreValue(kHKLM, schema::kA3D, schema::kSplashScreen, 1, REG_DWORD);
    EXPECT_FALSE(db_->KeyExists("Software"));
    registry_->EraseValue(kHKLM, schema::kA3D, schema::kSplashScreen);

    registry_->EnsureKey(kHKLM, schema::kA3D);
    EXPECT_TRUE(db_->KeyExists(schema::kA3D));
    registry_->StoreValue(kHKLM, schema::kA3D, schema::kSplashScreen, 1, REG_DWORD);
    EXPECT_EQ(registry_->FetchValue(kHKLM, schema::kA3D, schema::kSplashScreen),
              RegValue::Number(1));
    // EnsureKey on an existing key keeps its values.
    registry_->EnsureKey(kHKLM, "SOFTWARE\\AUREAL\\a3d");
    EXPECT_EQ(registry_->FetchValue(kHKLM, schema::kA3D, schema::kSplashScreen),
              RegValue::Number(1));

    registry_->EraseValue(kHKLM, schema::kA3D, schema::kSplashScreen);
    EXPECT_TRUE(registry_->FetchValue(kHKLM, schema::kA3D, schema::kSplashScreen).empty());
    registry_->EraseValue(kHKLM, schema::kA3D, schema::kSplashScreen);  // already gone
    EXPECT_TRUE(db_->KeyExists(schema::kA3D));
}

TEST_F(RegistryLayerTest, KeysKeptOpenAreOpenedOnceAndClosedAtTheEnd) {
    ASSERT_EQ(db_->CreateKeyPath(kKey), 0);
    ASSERT_EQ(db_->PutValue(kKey, "Kept", REG_DWORD, {5, 0, 0, 0}), 0);
    registry_->KeepKeysOpen([&] {
        EXPECT_EQ(registry_->FetchValue(kHKLM, kKey, "Kept"), RegValue::Number(5));
        registry_->StoreValue(kHKLM, kKey, "Kept", 6, REG_DWORD);
        EXPECT_EQ(registry_->FetchValue(kHKLM, kKey, "Kept"), RegValue::Number(6));
        registry_->EraseValue(kHKLM, kKey, "Kept");
        EXPECT_TRUE(registry_->FetchValue(kHKLM, kKey, "Kept").empty());
        // A body inside another keeps the outer one's keys.
        registry_->KeepKeysOpen([&] { registry_->StoreValue(kHKLM, kKey, "Inner", 1, REG_DWORD); });
        EXPECT_EQ(counting_->open.size(), 1u);
        registry_->StoreValue(kHKLM, kKey, "Inner", 2, REG_DWORD);
        EXPECT_EQ(counting_->opens, 1);

        // A key that is missing is not kept as missing: once made, it takes the write.
        registry_->StoreValue(kHKLM, schema::kA3D, schema::kSplashScreen, 1, REG_DWORD);
        EXPECT_FALSE(db_->KeyExists(schema::kA3D));
        registry_->EnsureKey(kHKLM, schema::kA3D);
        registry_->StoreValue(kHKLM, schema::kA3D, schema::kSplashScreen, 1, REG_DWORD);
        EXPECT_EQ(registry_->FetchValue(kHKLM, schema::kA3D, schema::kSplashScreen),
                  RegValue::Number(1));
        EXPECT_EQ(counting_->open.size(), 2u);
    });
    // Every write landed and every key is closed (TearDown checks the handles).
    EXPECT_TRUE(counting_->open.empty());
    EXPECT_EQ(Raw(kKey, "Inner"), (std::vector<std::uint8_t>{2, 0, 0, 0}));
    EXPECT_EQ(Raw(schema::kA3D, schema::kSplashScreen), (std::vector<std::uint8_t>{1, 0, 0, 0}));

    // Outside, each call opens its key again.
    const int opens = counting_->opens;
    registry_->FetchValue(kHKLM, kKey, "Inner");
    registry_->FetchValue(kHKLM, kKey, "Inner");
    EXPECT_EQ(counting_->opens, opens + 2);
    EXPECT_TRUE(counting_->open.empty());

    // Keys close even when the body ends by an exception.
    EXPECT_THROW(registry_->KeepKeysOpen([&] {
        registry_->FetchValue(kHKLM, kKey, "Inner");
        throw std::runtime_error("stop");
    }),
                 std::runtime_error);
    EXPECT_TRUE(counting_->open.empty());
    registry_->FetchValue(kHKLM, kKey, "Inner");
    EXPECT_TRUE(counting_->open.empty());
}

TEST_F(RegistryLayerTest, KeyNamesInEitherCaseAreOneKey) {
    registry_->EnsureKey(kHKLM, schema::kAU8830EqualizerUpper);
    registry_->StoreValue(kHKLM, schema::kAU8830EqualizerUpper, schema::kPresetNumber, 4,
                          REG_DWORD);
    EXPECT_EQ(registry_->FetchValue(kHKLM, schema::kAU8830Equalizer, "presetnumber"),
              RegValue::Number(4));
    std::vector<std::string> names;
    ASSERT_EQ(db_->SubKeys("Software\\Aureal\\Vortex\\AU8830", &names), 0);
    EXPECT_EQ(names, std::vector<std::string>{"Equalizer"});
}

TEST_F(RegistryLayerTest, HexListsBecomeBinaryValues) {
    {
        // The binary write pattern creates the missing key.
        settings::BinaryKey key(*registry_, schema::kControlPanel);
        ASSERT_TRUE(key.is_open());
        key.Write(schema::kFxSelectParams, "00,01,ff");
    }
    std::uint32_t type = 0;
    EXPECT_EQ(Raw(schema::kControlPanel, schema::kFxSelectParams, &type),
              (std::vector<std::uint8_t>{0x00, 0x01, 0xFF}));
    EXPECT_EQ(type, REG_BINARY);

    {
        settings::BinaryKey key(*registry_, schema::kDriverEqualizer);
        key.Write(schema::kCoefSet0, "00,00,00,00,60,7E,9e,c1");
    }
    EXPECT_EQ(Raw(schema::kDriverEqualizer, schema::kCoefSet0),
              (std::vector<std::uint8_t>{0, 0, 0, 0, 0x60, 0x7E, 0x9E, 0xC1}));
    // And the list text the callers build from bytes goes back to the same bytes.
    const std::vector<std::uint8_t> all = {0x00, 0x0F, 0x10, 0xA5, 0xFF};
    {
        settings::BinaryKey key(*registry_, schema::kDriverEqualizer);
        key.Write("Copy", settings::HexList(all.data(), all.size()));
    }
    EXPECT_EQ(Raw(schema::kDriverEqualizer, "Copy"), all);
    EXPECT_EQ(registry_->FetchValue(kHKLM, schema::kDriverEqualizer, "Copy"), RegValue());
}

// The windows that use the pattern tell the user (their tests check the message).
TEST_F(RegistryLayerTest, BinaryKeyThatCannotBeCreatedWritesNothing) {
    auto locked = ReadOnlyTwin();
    ASSERT_TRUE(locked);
    CountingBackend backend(*locked);
    settings::Registry registry(backend);
    {
        settings::BinaryKey key(registry, schema::kControlPanel);
        EXPECT_FALSE(key.is_open());
        key.Write(schema::kFxSelectParams, "00,01");
    }
    EXPECT_EQ(backend.writes, 0);
    EXPECT_TRUE(backend.open.empty());
    EXPECT_FALSE(db_->KeyExists(schema::kControlPanel));

    // The same failure for a key that exists: creating asks for write access.
    ASSERT_EQ(db_->CreateKeyPath(schema::kControlPanel), 0);
    {
        settings::BinaryKey key(registry, schema::kControlPanel);
        EXPECT_FALSE(key.is_open());
    }
    EXPECT_EQ(backend.writes, 0);
}

TEST_F(RegistryLayerTest, UnwritableStoreReadsAsEmptyAndTakesNoWrites) {
    ASSERT_EQ(db_->CreateKeyPath(kKey), 0);
    ASSERT_EQ(db_->PutValue(kKey, schema::kST9704ATTEN, REG_DWORD, {1, 0, 0, 0}), 0);
    auto locked = ReadOnlyTwin();
    ASSERT_TRUE(locked);
    settings::Registry registry(*locked);
    EXPECT_TRUE(registry.FetchValue(kHKLM, kKey, schema::kST9704ATTEN).empty());
    registry.StoreValue(kHKLM, kKey, schema::kST9704ATTEN, 0, REG_DWORD);
    registry.EraseValue(kHKLM, kKey, schema::kST9704ATTEN);
    registry.EnsureKey(kHKLM, schema::kA3D);
    EXPECT_FALSE(db_->KeyExists(schema::kA3D));
    EXPECT_EQ(registry_->FetchValue(kHKLM, kKey, schema::kST9704ATTEN), RegValue::Number(1));
}

}  // namespace
