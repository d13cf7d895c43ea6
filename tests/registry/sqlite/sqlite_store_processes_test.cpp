// The store shared by processes: what one acknowledged survives its death, writers at the
// same time lose nothing, and programs starting at the same moment all open it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "registry/sqlite/sqlite_store.h"
#include "settings/registry.h"
#include "support/sqlite_store_fixture_posix.h"

namespace {

using namespace testing_support;

TEST_F(SqliteStoreTest, AcknowledgedWritesSurviveAKilledWriter) {
    int acks[2];
    ASSERT_EQ(::pipe(acks), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(acks[0]);
        std::string error;
        auto store = SqliteStore::Open(file_, &error);
        if (!store || store->CreateKeyPath("Journal") != 0) ::_exit(2);
        for (std::int32_t i = 0;; ++i) {
            const auto status = store->PutValue("Journal", "v" + std::to_string(i), REG_DWORD,
                                                Dword(static_cast<std::uint32_t>(i)));
            if (status != 0) ::_exit(3);
            if (::write(acks[1], &i, sizeof i) != sizeof i) ::_exit(4);
        }
    }
    ::close(acks[1]);
    std::random_device seed;
    std::mt19937 random(seed());
    const int killAfter = std::uniform_int_distribution<int>(3, 40)(random);
    std::vector<std::int32_t> acknowledged;
    std::int32_t number = 0;
    bool killed = false;
    while (::read(acks[0], &number, sizeof number) == sizeof number) {
        acknowledged.push_back(number);
        if (!killed && static_cast<int>(acknowledged.size()) >= killAfter) {
            ::usleep(std::uniform_int_distribution<unsigned>(0, 3000)(random));
            ::kill(child, SIGKILL);
            killed = true;
        }
    }
    ::close(acks[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "writer ended by itself, status " << status;
    ASSERT_GE(static_cast<int>(acknowledged.size()), killAfter);

    auto store = OpenStore();
    ASSERT_TRUE(store);
    EXPECT_EQ(store->IntegrityCheck(), "ok");
    for (const auto i : acknowledged) {
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
        ASSERT_EQ(Read(*store, "Journal", "v" + std::to_string(i), &type, &data), 0) << i;
        EXPECT_EQ(type, REG_DWORD);
        EXPECT_EQ(data, Dword(static_cast<std::uint32_t>(i)));
    }
}

// Two processes start on a file that does not exist yet and write into one key at once.
TEST_F(SqliteStoreTest, TwoWriterProcessesLoseNothing) {
    constexpr int kEach = 40;
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    pid_t children[2];
    for (int writer = 0; writer < 2; ++writer) {
        children[writer] = ::fork();
        ASSERT_GE(children[writer], 0);
        if (children[writer] == 0) {
            ::close(go[1]);
            char start = 0;
            if (::read(go[0], &start, 1) != 1) ::_exit(2);
            std::string error;
            auto store = SqliteStore::Open(file_, &error);
            if (!store) ::_exit(3);
            for (int i = 0; i < kEach; ++i) {
                HKey key = 0;
                if (store->CreateKey(kHKLM, "Shared\\Key", &key) != 0) ::_exit(4);
                const auto data = Dword(static_cast<std::uint32_t>(writer * 1000 + i));
                const std::string name = "w" + std::to_string(writer) + "_" + std::to_string(i);
                if (store->SetValue(key, name, REG_DWORD, data.data(), 4) != 0) ::_exit(5);
                if (store->CloseKey(key) != 0) ::_exit(6);
            }
            ::_exit(0);
        }
    }
    ::close(go[0]);
    ASSERT_EQ(::write(go[1], "gg", 2), 2);
    ::close(go[1]);
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    auto store = OpenStore();
    ASSERT_TRUE(store);
    EXPECT_EQ(store->IntegrityCheck(), "ok");
    std::vector<StoredValue> values;
    ASSERT_EQ(store->Values("Shared\\Key", &values), 0);
    ASSERT_EQ(values.size(), 2u * kEach);
    std::set<std::string> names;
    for (const auto& value : values) {
        names.insert(value.name);
        const int writer = value.name[1] - '0';
        const int i = std::stoi(value.name.substr(3));
        EXPECT_EQ(value.data, Dword(static_cast<std::uint32_t>(writer * 1000 + i)));
    }
    EXPECT_EQ(names.size(), 2u * kEach);
}

// Four openers of one store at the same moment, many times over: every one opens it, in the
// write-ahead log. The store is made first and put back in the rollback journal, as a new
// store is between its making and its switch to the log: switching, one opener used to be
// told "database is locked" at once, a few times in a hundred. Threads of one process open it
// as processes do: each has its own connection, and SQLite locks the file for each.
TEST_F(SqliteStoreTest, StoresOpenedAtTheSameMomentAllOpen) {
    constexpr int kOpeners = 4;
    for (int round = 0; round < 100; ++round) {
        const std::string file = file_ + std::to_string(round);
        {
            std::string error;
            ASSERT_TRUE(platform::SqliteStore::Open(file, &error)) << error;
            sqlite3* db = nullptr;
            ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
            ASSERT_EQ(sqlite3_exec(db, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr),
                      SQLITE_OK);
            sqlite3_close(db);
        }
        std::vector<std::string> errors(kOpeners);
        std::vector<std::thread> openers;
        std::atomic<int> waiting{kOpeners};
        for (int i = 0; i < kOpeners; ++i) {
            openers.emplace_back([&, i] {
                --waiting;
                while (waiting.load() > 0) std::this_thread::yield();
                std::string error;
                auto store = platform::SqliteStore::Open(file, &error);
                if (!store) errors[static_cast<std::size_t>(i)] = error.empty() ? "?" : error;
            });
        }
        for (auto& opener : openers) opener.join();
        for (const std::string& error : errors) EXPECT_EQ(error, "") << "round " << round;
        if (HasFailure()) return;
    }
}

}  // namespace
