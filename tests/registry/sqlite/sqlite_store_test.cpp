#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "registry/sqlite/sqlite_store.h"
#include "settings/registry.h"
#include "support/sqlite_store_fixture_posix.h"

namespace {

using namespace testing_support;

TEST_F(SqliteStoreTest, KeysAndValueNamesIgnoreAsciiCase) {
    auto store = OpenStore();
    ASSERT_TRUE(store);
    HKey key = 0;
    ASSERT_EQ(store->CreateKey(kHKLM, "SOFTWARE\\Aureal\\Vortex\\AU8830\\Equalizer", &key), 0);
    const auto seven = Dword(7);
    ASSERT_EQ(store->SetValue(key, "PresetNumber", REG_DWORD, seven.data(), 4), 0);
    ASSERT_EQ(store->CloseKey(key), 0);

    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    ASSERT_EQ(
        Read(*store, "Software\\aureal\\VORTEX\\au8830\\Equalizer", "presetNUMBER", &type, &data),
        0);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(data, seven);

    // Writing under another spelling replaces the one value and keeps the first spelling.
    ASSERT_EQ(store->CreateKey(kHKLM, "software\\AUREAL\\vortex\\Au8830\\EQUALIZER", &key), 0);
    const auto text = Bytes("x");
    ASSERT_EQ(store->SetValue(key, "PRESETNUMBER", REG_SZ, text.data(), 1), 0);
    store->CloseKey(key);
    std::vector<StoredValue> values;
    ASSERT_EQ(store->Values("Software\\Aureal\\Vortex\\AU8830\\Equalizer", &values), 0);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0], (StoredValue{"PresetNumber", REG_SZ, text}));

    std::vector<std::string> names;
    ASSERT_EQ(store->SubKeys("software", &names), 0);
    EXPECT_EQ(names, std::vector<std::string>{"Aureal"});
    EXPECT_EQ(store->StoredKeyPath("software\\aureal"), "SOFTWARE\\Aureal");

    // Only ASCII letters fold: these are two different keys.
    ASSERT_EQ(store->CreateKeyPath("Caf\xe9"), 0);
    ASSERT_EQ(store->CreateKeyPath("Caf\xc9"), 0);
    ASSERT_EQ(store->SubKeys("", &names), 0);
    EXPECT_EQ(names.size(), 3u);
}

TEST_F(SqliteStoreTest, StatusCodesFollowWin32) {
    auto store = OpenStore();
    ASSERT_TRUE(store);
    HKey key = 12345;
    EXPECT_EQ(store->OpenKey(kHKLM, "Missing\\Key", kKeyAllAccess, &key), winerr::kFileNotFound);
    EXPECT_EQ(key, 0u);
    EXPECT_EQ(store->OpenKey(kHKLM, "\\Leading", kKeyAllAccess, &key), winerr::kBadPathname);
    EXPECT_EQ(store->OpenKey(kHKLM, "A\\\\B", kKeyAllAccess, &key), winerr::kBadPathname);
    for (const char* bad : {"\\", "A\\\\", "A\\B\\\\", "\\\\"}) {
        EXPECT_EQ(store->OpenKey(kHKLM, bad, kKeyAllAccess, &key), winerr::kBadPathname) << bad;
        EXPECT_EQ(store->CreateKeyEx(kHKLM, bad, 0, kKeyAllAccess, &key), winerr::kBadPathname)
            << bad;
    }
    EXPECT_EQ(store->OpenKey(kHKLM, std::string("A\0", 2), kKeyAllAccess, &key),
              winerr::kBadPathname);
    EXPECT_EQ(store->CloseKey(0), winerr::kSuccess);
    EXPECT_EQ(store->CloseKey(999), winerr::kInvalidHandle);

    ASSERT_EQ(store->CreateKeyEx(kHKLM, "Key", 0, kKeyAllAccess, &key), 0);
    ASSERT_NE(key, 0u);
    std::uint32_t type = 99;
    std::uint32_t size = 99;
    EXPECT_EQ(store->QueryValue(key, "nothing", &type, nullptr, &size), winerr::kFileNotFound);
    EXPECT_EQ(store->DeleteValue(key, "nothing"), winerr::kFileNotFound);

    const auto abc = Bytes(std::string("abc\0", 4));
    ASSERT_EQ(store->SetValue(key, "text", REG_SZ, abc.data(), 4), 0);
    type = 0;
    size = 0;
    EXPECT_EQ(store->QueryValue(key, "text", &type, nullptr, &size), 0);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 4u);
    std::uint8_t small[2] = {0, 0};
    size = 2;
    EXPECT_EQ(store->QueryValue(key, "text", &type, small, &size), winerr::kMoreData);
    EXPECT_EQ(size, 4u);
    std::uint8_t exact[4] = {};
    size = 4;
    EXPECT_EQ(store->QueryValue(key, "text", &type, exact, &size), 0);
    EXPECT_EQ(std::vector<std::uint8_t>(exact, exact + 4), abc);

    // The default value is a value of its own, and a value may be empty.
    ASSERT_EQ(store->SetValue(key, "", REG_BINARY, nullptr, 0), 0);
    size = 7;
    EXPECT_EQ(store->QueryValue(key, "", &type, nullptr, &size), 0);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(size, 0u);

    // A write replaces type and data.
    const auto one = Dword(1);
    ASSERT_EQ(store->SetValue(key, "text", REG_DWORD, one.data(), 4), 0);
    EXPECT_EQ(store->QueryValue(key, "text", &type, nullptr, &size), 0);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(size, 4u);

    EXPECT_EQ(store->DeleteValue(key, "TEXT"), 0);
    EXPECT_EQ(store->QueryValue(key, "text", &type, nullptr, &size), winerr::kFileNotFound);
    EXPECT_EQ(store->QueryValue(key, "", &type, nullptr, &size), 0);

    EXPECT_EQ(store->CloseKey(key), 0);
    EXPECT_EQ(store->CloseKey(key), winerr::kInvalidHandle);
    EXPECT_EQ(store->SetValue(key, "x", REG_DWORD, one.data(), 4), winerr::kInvalidHandle);
    EXPECT_EQ(store->QueryValue(key, "x", &type, nullptr, &size), winerr::kInvalidHandle);

    // A handle opened for reading may not write.
    ASSERT_EQ(store->OpenKey(kHKLM, "Key", kKeyQueryValue, &key), 0);
    EXPECT_EQ(store->SetValue(key, "x", REG_DWORD, one.data(), 4), winerr::kAccessDenied);
    store->CloseKey(key);
}

TEST_F(SqliteStoreTest, CreateMakesMissingParentsAndOpensRelativeToHandles) {
    auto store = OpenStore();
    ASSERT_TRUE(store);
    HKey key = 0;
    ASSERT_EQ(store->CreateKey(kHKLM, "A\\B\\C\\", &key), 0);
    store->CloseKey(key);
    EXPECT_TRUE(store->KeyExists("A"));
    EXPECT_TRUE(store->KeyExists("A\\B"));
    EXPECT_TRUE(store->KeyExists("a\\b\\c"));
    EXPECT_FALSE(store->KeyExists("A\\C"));

    HKey parent = 0;
    ASSERT_EQ(store->OpenKey(kHKLM, "a\\B", kKeyAllAccess, &parent), 0);
    HKey child = 0;
    ASSERT_EQ(store->OpenKey(parent, "c", kKeyAllAccess, &child), 0);
    for (const char* same : {"C\\", ""}) {  // a trailing backslash, and the key itself
        HKey again = 0;
        EXPECT_EQ(store->OpenKey(same[0] ? parent : child, same, kKeyAllAccess, &again), 0);
        store->CloseKey(again);
    }
    const auto two = Dword(2);
    ASSERT_EQ(store->SetValue(child, "v", REG_DWORD, two.data(), 4), 0);
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    EXPECT_EQ(Read(*store, "A\\B\\C", "V", &type, &data), 0);
    EXPECT_EQ(data, two);
    ASSERT_EQ(store->CreateKeyEx(parent, "D\\E", 0, kKeyAllAccess, &key), 0);
    store->CloseKey(key);
    EXPECT_TRUE(store->KeyExists("A\\B\\D\\E"));
    EXPECT_EQ(store->CreateKeyEx(kHKLM, "X", 1, kKeyAllAccess, &key), winerr::kInvalidParameter);
    store->CloseKey(child);
    store->CloseKey(parent);
}

TEST_F(SqliteStoreTest, DeleteKeyTreeTakesSubtreeOnlyAndStaleHandlesFail) {
    auto store = OpenStore();
    ASSERT_TRUE(store);
    ASSERT_EQ(store->CreateKeyPath("Top\\Sub\\Deep"), 0);
    ASSERT_EQ(store->CreateKeyPath("Top\\SubMarine"), 0);
    ASSERT_EQ(store->CreateKeyPath("Top\\Sub_"), 0);
    ASSERT_EQ(store->PutValue("Top\\Sub\\Deep", "d", REG_DWORD, Dword(1)), 0);
    ASSERT_EQ(store->PutValue("Top\\SubMarine", "m", REG_DWORD, Dword(2)), 0);
    HKey deep = 0;
    ASSERT_EQ(store->OpenKey(kHKLM, "Top\\Sub\\Deep", kKeyAllAccess, &deep), 0);

    ASSERT_EQ(store->DeleteKeyTree("TOP\\SUB"), 0);
    EXPECT_FALSE(store->KeyExists("Top\\Sub"));
    EXPECT_FALSE(store->KeyExists("Top\\Sub\\Deep"));
    EXPECT_TRUE(store->KeyExists("Top\\SubMarine"));
    EXPECT_TRUE(store->KeyExists("Top\\Sub_"));
    std::vector<StoredValue> values;
    ASSERT_EQ(store->Values("Top\\SubMarine", &values), 0);
    EXPECT_EQ(values.size(), 1u);
    EXPECT_EQ(store->DeleteKeyTree("Top\\Sub"), winerr::kFileNotFound);
    EXPECT_EQ(store->DeleteKeyTree(""), winerr::kAccessDenied);

    // The handle outlived its key: writes through it must not leave orphaned values.
    const auto one = Dword(1);
    EXPECT_EQ(store->SetValue(deep, "x", REG_DWORD, one.data(), 4), winerr::kKeyDeleted);
    std::uint32_t size = 0;
    EXPECT_EQ(store->QueryValue(deep, "d", nullptr, nullptr, &size), winerr::kKeyDeleted);
    store->CloseKey(deep);
    ASSERT_EQ(store->CreateKeyPath("Top\\Sub\\Deep"), 0);
    ASSERT_EQ(store->Values("Top\\Sub\\Deep", &values), 0);
    EXPECT_TRUE(values.empty());
}

TEST_F(SqliteStoreTest, AllOrNoneLandsEverythingOrNothing) {
    auto store = OpenStore();
    ASSERT_TRUE(store);
    long status = store->AllOrNone([&] {
        long s = store->CreateKeyPath("Batch\\One");
        if (s == 0) s = store->PutValue("Batch\\One", "a", REG_DWORD, Dword(1));
        // A failing operation in the middle: its own partial work goes too.
        EXPECT_EQ(store->PutValue("Batch\\Missing", "b", REG_DWORD, Dword(2)),
                  winerr::kFileNotFound);
        return s == 0 ? winerr::kFileNotFound : s;
    });
    EXPECT_EQ(status, winerr::kFileNotFound);
    EXPECT_FALSE(store->KeyExists("Batch"));

    status = store->AllOrNone([&] {
        long s = store->CreateKeyPath("Batch\\One");
        if (s == 0) s = store->PutValue("Batch\\One", "a", REG_DWORD, Dword(1));
        return s;
    });
    EXPECT_EQ(status, 0);
    store.reset();
    store = OpenStore();
    ASSERT_TRUE(store);
    std::vector<StoredValue> values;
    ASSERT_EQ(store->Values("batch\\one", &values), 0);
    EXPECT_EQ(values, (std::vector<StoredValue>{{"a", REG_DWORD, Dword(1)}}));
}

// Writes made together are one transaction: another connection sees none of them until all
// are in, and a group that cannot begin still runs its body, whose writes then fail at once.
TEST_F(SqliteStoreTest, TogetherCommitsItsWritesAsOne) {
    auto store = OpenStore();
    ASSERT_TRUE(store);
    ASSERT_EQ(store->CreateKeyPath("Group"), 0);
    auto other = OpenStore();
    ASSERT_TRUE(other);
    int ran = 0;
    store->Together([&] {
        ++ran;
        EXPECT_EQ(store->PutValue("Group", "a", REG_DWORD, Dword(1)), 0);
        std::vector<StoredValue> seen;
        EXPECT_EQ(other->Values("Group", &seen), 0);
        EXPECT_TRUE(seen.empty()) << "a write inside the group was visible before its end";
        EXPECT_EQ(store->PutValue("Group", "missing", REG_DWORD, Dword(0)), 0);
        EXPECT_EQ(store->RemoveValue("Group", "missing"), 0);
        EXPECT_EQ(store->PutValue("Nowhere", "b", REG_DWORD, Dword(2)), winerr::kFileNotFound);
    });
    EXPECT_EQ(ran, 1);
    std::vector<StoredValue> seen;
    ASSERT_EQ(other->Values("Group", &seen), 0);
    EXPECT_EQ(seen, (std::vector<StoredValue>{{"a", REG_DWORD, Dword(1)}}));

    fs::rename(file_, file_ + ".moved");
    ran = 0;
    store->Together([&] {
        ++ran;
        EXPECT_EQ(store->PutValue("Group", "c", REG_DWORD, Dword(3)), winerr::kRegistryIoFailed);
    });
    EXPECT_EQ(ran, 1);
    fs::rename(file_ + ".moved", file_);
    EXPECT_EQ(store->PutValue("Group", "d", REG_DWORD, Dword(4)), 0);
    ASSERT_EQ(other->Values("Group", &seen), 0);
    EXPECT_EQ(seen.size(), 2u);
}

// Statements are kept prepared between operations; none may keep the file's read snapshot,
// or a reader would go on seeing old values and the log could not be copied back.
TEST_F(SqliteStoreTest, KeptStatementsDoNotHoldOldReadsOrTheLog) {
    auto reader = OpenStore();
    auto writer = OpenStore();
    ASSERT_TRUE(reader && writer);
    ASSERT_EQ(writer->CreateKeyPath("Kept\\Sub"), 0);
    const std::vector<std::uint8_t> filler(1024, 'x');
    for (int round = 0; round < 100; ++round) {
        ASSERT_EQ(writer->PutValue("Kept", "n", REG_DWORD, Dword(round)), 0);
        // Every way of reading, each leaving its statement part-way through when it can.
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
        ASSERT_EQ(Read(*reader, "Kept", "n", &type, &data), 0);
        EXPECT_EQ(data, Dword(round)) << "a reader saw an old value in round " << round;
        std::vector<std::string> names;
        ASSERT_EQ(reader->SubKeys("Kept", &names), 0);
        std::vector<StoredValue> values;
        ASSERT_EQ(reader->Values("Kept", &values), 0);
        ASSERT_TRUE(reader->KeyExists("kept\\sub"));
        ASSERT_EQ(writer->PutValue("Kept\\Sub", "v" + std::to_string(round), REG_BINARY, filler),
                  0);
    }
    EXPECT_LT(fs::file_size(file_ + "-wal"), 512u * 1024) << "the log was not copied back";
}

// The store tells when writes start failing underneath, once for a run of failures; the
// registry's own refusals are not failures.
TEST_F(SqliteStoreTest, WriteFailuresAreToldOncePerRunOfFailures) {
    auto store = OpenStore();
    ASSERT_TRUE(store);
    std::vector<std::string> told;
    store->OnWriteFailure([&](const std::string& reason) { told.push_back(reason); });
    ASSERT_EQ(store->CreateKeyPath("K"), 0);
    EXPECT_EQ(store->PutValue("Missing", "v", REG_DWORD, Dword(1)), winerr::kFileNotFound);
    EXPECT_EQ(store->RemoveValue("K", "none"), winerr::kFileNotFound);
    EXPECT_EQ(store->DeleteKeyTree(""), winerr::kAccessDenied);
    EXPECT_TRUE(told.empty());

    fs::rename(file_, file_ + ".moved");
    EXPECT_EQ(store->PutValue("K", "v", REG_DWORD, Dword(1)), winerr::kRegistryIoFailed);
    HKey key = 0;
    EXPECT_EQ(store->CreateKey(kHKLM, "K\\Sub", &key), winerr::kRegistryIoFailed);
    store->Together([&] { store->PutValue("K", "w", REG_DWORD, Dword(2)); });
    EXPECT_EQ(told, std::vector<std::string>{"the file was deleted or moved away"});

    // A success in between: the next failure is a new run, told again.
    fs::rename(file_ + ".moved", file_);
    EXPECT_EQ(store->PutValue("K", "v", REG_DWORD, Dword(1)), 0);
    fs::rename(file_, file_ + ".moved");
    EXPECT_EQ(store->AllOrNone([] { return winerr::kSuccess; }), winerr::kRegistryIoFailed);
    EXPECT_EQ(told.size(), 2u);
    fs::rename(file_ + ".moved", file_);
}

TEST_F(SqliteStoreTest, FilesThatAreNoStoreAreRefusedAndLeftUntouched) {
    // Not SQLite at all.
    const fs::path text = dir_ / "notes.txt";
    {
        std::ofstream out(text, std::ios::binary);
        out << "SQLite format 2 -- but really just text\n" << std::string(200, 'x');
    }
    // A database of someone else's.
    const fs::path foreign = dir_ / "foreign.db";
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(foreign.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db,
                               "PRAGMA journal_mode=DELETE; CREATE TABLE t(x);"
                               " INSERT INTO t VALUES(1);",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    // Our schema's tables, but no application id.
    const fs::path lookalike = dir_ / "lookalike.db";
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(lookalike.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE reg_keys(p); CREATE TABLE reg_values(k);", nullptr,
                               nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    const fs::path tiny = dir_ / "tiny";
    {
        std::ofstream out(tiny, std::ios::binary);
        out << "REGEDIT4\r\n";
    }
    for (const auto& path : {text, foreign, lookalike, tiny}) {
        const std::string before = ReadFile(path);
        const auto entries = std::distance(fs::directory_iterator(dir_), {});
        std::string error;
        EXPECT_EQ(SqliteStore::Open(path.string(), &error), nullptr);
        EXPECT_EQ(error, "cannot open store \"" + path.string() + "\": file is not a store");
        EXPECT_EQ(ReadFile(path), before) << path;
        EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), entries) << path;
    }

    std::string error;
    EXPECT_EQ(SqliteStore::Open(dir_.string(), &error), nullptr);
    EXPECT_NE(error.find('"' + dir_.string() + '"'), std::string::npos) << error;
    const std::string nowhere = (dir_ / "no" / "such" / "dir.db").string();
    EXPECT_EQ(SqliteStore::Open(nowhere, &error), nullptr);
    EXPECT_EQ(error.rfind("cannot open store \"" + nowhere + "\": ", 0), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
}

// A store file can come from anywhere: one whose schema holds anything the program did not
// make (a trigger that would run on its writes, a view, another table or index, a table of the
// store's name made differently) is refused by name before anything is written to it.
TEST_F(SqliteStoreTest, StoresWithSchemaObjectsOfOthersAreRefusedUntouched) {
    {
        auto store = OpenStore();
        ASSERT_TRUE(store);
        ASSERT_EQ(store->CreateKeyPath("SOFTWARE\\Aureal"), 0);
        ASSERT_EQ(store->PutValue("SOFTWARE\\Aureal", "v", REG_DWORD, Dword(1)), 0);
    }
    const struct {
        const char* sql;
        const char* object;
    } kCases[] = {
        {"CREATE TRIGGER evil AFTER INSERT ON reg_values BEGIN DELETE FROM reg_keys; END",
         "trigger \"evil\""},
        {"CREATE VIEW v AS SELECT * FROM reg_keys", "view \"v\""},
        {"CREATE TABLE extra(x)", "table \"extra\""},
        {"CREATE INDEX reg_values_type ON reg_values(type)", "index \"reg_values_type\""},
        {"DROP TABLE reg_values; CREATE TABLE reg_values(key, name, type, data, "
         "spy DEFAULT (hex(randomblob(8))), PRIMARY KEY(key, name)) WITHOUT ROWID",
         "table \"reg_values\""},
    };
    int n = 0;
    for (const auto& c : kCases) {
        const fs::path path = dir_ / ("case" + std::to_string(++n) + ".db");
        fs::copy_file(file_, path);
        {
            sqlite3* db = nullptr;
            ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
            ASSERT_EQ(sqlite3_exec(db, c.sql, nullptr, nullptr, nullptr), SQLITE_OK) << c.sql;
            ASSERT_EQ(sqlite3_exec(db, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr),
                      SQLITE_OK);
            sqlite3_close(db);
        }
        const std::string before = ReadFile(path);
        const auto entries = std::distance(fs::directory_iterator(dir_), {});
        for (const auto access : {SqliteStore::Access::Automatic, SqliteStore::Access::ReadOnly}) {
            std::string error;
            EXPECT_EQ(SqliteStore::Open(path.string(), &error, access), nullptr) << c.sql;
            EXPECT_EQ(error, "cannot open store \"" + path.string() +
                                 "\": the file holds schema objects this program did not make (" +
                                 c.object +
                                 "): it may have been made to attack the program, and "
                                 "is not used");
            EXPECT_EQ(ReadFile(path), before) << c.sql;
            EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), entries) << c.sql;
        }
    }
    // The store itself still opens.
    EXPECT_TRUE(OpenStore());
}

// The main file must say what it is from the first write on, not only after the write-ahead
// log has been copied back into it: a writer killed before then leaves a file that must still
// open as a store.
TEST_F(SqliteStoreTest, NewStoreIsMarkedInTheMainFileAtOnce) {
    { std::ofstream touch(file_, std::ios::binary); }  // an empty file becomes a store too
    auto store = OpenStore();
    ASSERT_TRUE(store);
    ASSERT_EQ(store->CreateKeyPath("K"), 0);
    ASSERT_EQ(store->PutValue("K", "v", REG_DWORD, Dword(1)), 0);
    const std::string header = ReadFile(file_).substr(0, 100);
    ASSERT_EQ(header.size(), 100u);
    EXPECT_EQ(header.substr(0, 16), std::string("SQLite format 3\0", 16));
    EXPECT_EQ(header.substr(68, 4), "CXPR");
    // A second connection finds a store while the first is still open.
    std::string error;
    auto second = SqliteStore::Open(file_, &error);
    ASSERT_TRUE(second) << error;
    EXPECT_TRUE(second->KeyExists("k"));

    const std::string missing = (dir_ / "none.db").string();
    EXPECT_EQ(SqliteStore::Open(missing, &error, SqliteStore::Access::ReadOnly), nullptr);
    EXPECT_FALSE(fs::exists(missing));
}

// Writes into a file that no longer has the store's name would be lost on the next start:
// they must fail, not report success.
TEST_F(SqliteStoreTest, WritesFailOnceTheFileIsDeletedOrMoved) {
    auto store = OpenStore();
    ASSERT_TRUE(store);
    ASSERT_EQ(store->CreateKeyPath("K"), 0);
    fs::rename(file_, file_ + ".moved");
    EXPECT_EQ(store->PutValue("K", "v", REG_DWORD, Dword(1)), winerr::kRegistryIoFailed);
    HKey key = 0;
    EXPECT_EQ(store->CreateKey(kHKLM, "K\\Sub", &key), winerr::kRegistryIoFailed);
    EXPECT_EQ(key, 0u);
    EXPECT_EQ(store->AllOrNone([] { return winerr::kSuccess; }), winerr::kRegistryIoFailed);
    fs::rename(file_ + ".moved", file_);
    EXPECT_EQ(store->PutValue("K", "v", REG_DWORD, Dword(1)), 0);
    ASSERT_TRUE(fs::remove(file_));
    EXPECT_EQ(store->RemoveValue("K", "v"), winerr::kRegistryIoFailed);
    store.reset();
    EXPECT_FALSE(fs::exists(file_));
}

TEST_F(SqliteStoreTest, StoreOpenedReadOnlyRefusesWriteAccess) {
    {
        auto store = OpenStore();
        ASSERT_TRUE(store);
        ASSERT_EQ(store->CreateKeyPath("Settings"), 0);
        ASSERT_EQ(store->PutValue("Settings", "Level", REG_DWORD, Dword(5)), 0);
    }
    const std::string before = ReadFile(file_);
    auto store = OpenStore(SqliteStore::Access::ReadOnly);
    ASSERT_TRUE(store);
    EXPECT_TRUE(store->read_only());
    HKey key = 0;
    EXPECT_EQ(store->OpenKey(kHKLM, "Settings", kKeyAllAccess, &key), winerr::kAccessDenied);
    EXPECT_EQ(key, 0u);
    EXPECT_EQ(store->OpenKey(kHKLM, "Settings", kKeySetValue, &key), winerr::kAccessDenied);
    EXPECT_EQ(store->OpenKey(kHKLM, "Settings", kKeyCreateSubKey, &key), winerr::kAccessDenied);
    EXPECT_EQ(store->CreateKey(kHKLM, "Settings", &key), winerr::kAccessDenied);
    EXPECT_EQ(store->CreateKey(kHKLM, "Other", &key), winerr::kAccessDenied);
    EXPECT_EQ(store->CreateKeyPath("Other"), winerr::kAccessDenied);
    EXPECT_EQ(store->PutValue("Settings", "Level", REG_DWORD, Dword(6)), winerr::kAccessDenied);
    EXPECT_EQ(store->DeleteKeyTree("Settings"), winerr::kAccessDenied);

    // Reading is still possible for a caller that asks only to read ...
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    EXPECT_EQ(Read(*store, "Settings", "Level", &type, &data), 0);
    EXPECT_EQ(data, Dword(5));
    // ... but the layer always asks for 63, so it sees nothing, as on a locked-down machine.
    settings::Registry registry(*store);
    EXPECT_TRUE(registry.FetchValue(kHKLM, "Settings", "Level").empty());
    registry.StoreValue(kHKLM, "Settings", "Level", 9, REG_DWORD);
    store.reset();
    EXPECT_EQ(ReadFile(file_), before);
}

TEST_F(SqliteStoreTest, UnwritableFileOpensReadOnly) {
    {
        auto store = OpenStore();
        ASSERT_TRUE(store);
        ASSERT_EQ(store->CreateKeyPath("Settings"), 0);
        ASSERT_EQ(store->PutValue("Settings", "Level", REG_DWORD, Dword(5)), 0);
    }
    ASSERT_EQ(::chmod(file_.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(dir_.c_str(), 0777), 0);
    // What a user who may not write the file gets; 0 when all is as it should be.
    const auto check = [this]() -> int {
        if (::access(file_.c_str(), W_OK) == 0) return 1;
        std::string error;
        auto store = SqliteStore::Open(file_, &error);
        if (!store) return 2;
        if (!store->read_only()) return 3;
        HKey key = 0;
        if (store->CreateKey(kHKLM, "X", &key) != winerr::kAccessDenied) return 4;
        if (store->OpenKey(kHKLM, "Settings", kKeyAllAccess, &key) != winerr::kAccessDenied) {
            return 5;
        }
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
        if (Read(*store, "Settings", "Level", &type, &data) != 0 || data != Dword(5)) return 6;
        return 0;
    };
    if (::geteuid() != 0) {
        EXPECT_EQ(check(), 0);
        return;
    }
    // The superuser may write any file: the check runs as an ordinary user instead.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(10);
        ::_exit(check());
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Each acknowledged write is reported through a pipe, then the writer is killed at some
// moment; every acknowledged write must be there afterwards and the file sound.
}  // namespace
