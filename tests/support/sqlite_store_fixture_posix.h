// The store tests' fixture: a fresh folder for each test, and the helpers they share.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "registry/sqlite/sqlite_store.h"

namespace testing_support {

using namespace platform;
namespace fs = std::filesystem;

inline std::vector<std::uint8_t> Bytes(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

inline std::vector<std::uint8_t> Dword(std::uint32_t number) {
    return {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
            static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
}

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class SqliteStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/calvenor-store-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        file_ = (dir_ / "registry.db").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::unique_ptr<SqliteStore> OpenStore(
        SqliteStore::Access access = SqliteStore::Access::Automatic) {
        std::string error;
        auto store = SqliteStore::Open(file_, &error, access);
        EXPECT_NE(store, nullptr) << error;
        return store;
    }

    // Reads one value through a handle opened for reading only.
    static long Read(SqliteStore& store, const std::string& path, const std::string& name,
                     std::uint32_t* type, std::vector<std::uint8_t>* data) {
        HKey key = 0;
        long status = store.OpenKey(kHKLM, path, kKeyQueryValue, &key);
        if (status != winerr::kSuccess) return status;
        std::uint32_t size = 0;
        status = store.QueryValue(key, name, type, nullptr, &size);
        if (status == winerr::kSuccess) {
            data->assign(size, 0);
            status = store.QueryValue(key, name, type, data->data(), &size);
        }
        store.CloseKey(key);
        return status;
    }

    fs::path dir_;
    std::string file_;
};

}  // namespace testing_support
