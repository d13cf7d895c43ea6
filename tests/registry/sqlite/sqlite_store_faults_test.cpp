// The store under file faults: a full file system, files it may not write, a lock held by
// another process for longer than the store waits, a file deleted while open. Each either
// gives a message naming the file or fails the operation, and never damages what was stored.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "registry/sqlite/sqlite_store.h"

namespace {

using namespace platform;
namespace fs = std::filesystem;

std::vector<std::uint8_t> Dword(std::uint32_t number) {
    return {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
            static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs body in a child process (for limits, users and mounts that must not touch the test
// runner); "" when every check in it held, else what went wrong.
std::string InChild(const std::function<std::string()>& body) {
    int out[2];
    if (::pipe(out) != 0) return "pipe failed";
    const pid_t child = ::fork();
    if (child < 0) return "fork failed";
    if (child == 0) {
        ::close(out[0]);
        const std::string result = body();
        const ssize_t written = ::write(out[1], result.data(), result.size());
        ::_exit(written == static_cast<ssize_t>(result.size()) ? 0 : 1);
    }
    ::close(out[1]);
    std::string result;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(out[0], buffer, sizeof buffer)) > 0) result.append(buffer, n);
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return "child ended abnormally (status " + std::to_string(status) + ") " + result;
    }
    return result;
}

#define CHECK_OR_RETURN(condition, what) \
    if (!(condition)) return std::string(what) + " [" #condition "]"

// The values every scenario writes before the fault and must find intact after it.
constexpr int kBefore = 60;

long WriteBefore(SqliteStore& store) {
    long status = store.CreateKeyPath("Settings");
    for (int i = 0; i < kBefore && status == 0; ++i) {
        status = store.PutValue("Settings", "v" + std::to_string(i), REG_DWORD, Dword(i));
    }
    return status;
}

// "" when the store at path opens, is sound and holds everything WriteBefore wrote.
std::string IntactAfter(const std::string& path) {
    std::string error;
    auto store = SqliteStore::Open(path, &error);
    if (!store) return "does not open: " + error;
    if (store->IntegrityCheck() != "ok") return "integrity: " + store->IntegrityCheck();
    std::vector<StoredValue> values;
    if (store->Values("Settings", &values) != 0) return "values unreadable";
    int found = 0;
    for (const auto& value : values) {
        if (value.name.rfind("v", 0) != 0) continue;
        const int i = std::stoi(value.name.substr(1));
        if (value.data != Dword(i)) return "value " + value.name + " changed";
        ++found;
    }
    if (found != kBefore) return "found " + std::to_string(found) + " of the earlier values";
    return "";
}

class StoreFaultsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/calvenor-faults-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        file_ = dir_ + "/registry.db";
    }
    void TearDown() override {
        ::chmod(dir_.c_str(), 0700);
        fs::remove_all(dir_);
    }

    std::string dir_;
    std::string file_;
};

// A file system that is full, as a small tmpfs in a mount namespace of its own (root only),
// or as a file size limit (any user): a new store is refused with a message naming the file
// and comes into being once there is room; a running store fails its writes, stays sound and
// readable, keeps everything written before, and writes again once there is room.
struct Space {
    const char* name;
    std::function<std::string(const std::string& dir)> prepare;  // "" or why not possible
    std::function<void(const std::string& dir)> fill;
    std::function<void(const std::string& dir)> free;
};

std::string FullScenario(const Space& space, const std::string& dir) {
    const std::string prepared = space.prepare(dir);
    if (!prepared.empty()) return prepared;
    const std::string path = dir + "/registry.db";

    space.fill(dir);
    std::string error;
    auto store = SqliteStore::Open(path, &error);
    CHECK_OR_RETURN(!store, "a new store opened on a full disk");
    CHECK_OR_RETURN(error.rfind("cannot open store \"" + path + "\": ", 0) == 0,
                    "message does not name the file: " + error);
    CHECK_OR_RETURN(!fs::exists(path) || fs::file_size(path) == 0,
                    "a half-made store was left behind");
    space.free(dir);
    store = SqliteStore::Open(path, &error);
    CHECK_OR_RETURN(store, "no store once there is room: " + error);
    CHECK_OR_RETURN(WriteBefore(*store) == 0, "writes failed with room to spare");

    space.fill(dir);
    // Told once for each run of failures (a write that still fits ends a run), and never
    // while a group of writes is open.
    int told = 0;
    bool grouping = false;
    bool toldInsideGroup = false;
    store->OnWriteFailure([&](const std::string&) {
        ++told;
        toldInsideGroup = toldInsideGroup || grouping;
    });
    store->Together([&] {
        grouping = true;
        for (int i = 0; i < 40; ++i) {
            store->PutValue("Settings", "group" + std::to_string(i), REG_SZ,
                            std::vector<std::uint8_t>(700, 'g'));
        }
        grouping = false;
    });
    CHECK_OR_RETURN(!toldInsideGroup, "told while the group's transaction was open");
    bool lastFailed = told > 0;
    int runs = told;
    int failures = 0;
    for (int i = 0; i < 400; ++i) {
        const long status = store->PutValue("Settings", "more" + std::to_string(i), REG_SZ,
                                            std::vector<std::uint8_t>(700, 'x'));
        if (status != 0 && !lastFailed) ++runs;
        lastFailed = status != 0;
        if (status == 0) continue;
        CHECK_OR_RETURN(status == winerr::kRegistryIoFailed,
                        "a failed write gave status " + std::to_string(status));
        ++failures;
    }
    CHECK_OR_RETURN(failures > 0, "the disk never filled up");
    CHECK_OR_RETURN(told == runs, std::to_string(runs) + " runs of failures were told " +
                                      std::to_string(told) + " times");
    CHECK_OR_RETURN(store->IntegrityCheck() == "ok", "unsound while full");
    store.reset();
    const std::string whileFull = IntactAfter(path);
    CHECK_OR_RETURN(whileFull.empty(), "reopened while full: " + whileFull);

    space.free(dir);
    store = SqliteStore::Open(path, &error);
    CHECK_OR_RETURN(store, "does not open once there is room: " + error);
    CHECK_OR_RETURN(store->PutValue("Settings", "after", REG_DWORD, Dword(1)) == 0,
                    "no write once there is room");
    store.reset();
    return IntactAfter(path);
}

TEST_F(StoreFaultsTest, FullFileSystemRefusesOrFailsWritesWithoutDamage) {
    const Space tmpfs{
        "tmpfs",
        [](const std::string& dir) -> std::string {
            if (::geteuid() != 0) return "skip";
            if (::unshare(CLONE_NEWNS) != 0) return "skip";
            if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return "skip";
            if (::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=2m") != 0) return "skip";
            return "";
        },
        [](const std::string& dir) {
            std::ofstream filler(dir + "/filler", std::ios::binary | std::ios::app);
            const std::string block(4096, 'f');
            while (filler.write(block.data(), block.size())) {
            }
        },
        [](const std::string& dir) { fs::remove(dir + "/filler"); },
    };
    const Space limit{
        "file size limit",
        [](const std::string&) -> std::string {
            ::signal(SIGXFSZ, SIG_IGN);
            return "";
        },
        [](const std::string& dir) {
            // No file may grow past what the store's files hold now.
            std::uintmax_t largest = 0;
            for (const auto& entry : fs::directory_iterator(dir)) {
                if (entry.path().filename() != "registry.db-shm") {
                    largest = std::max(largest, entry.file_size());
                }
            }
            const rlimit cap{largest, RLIM_INFINITY};
            ::setrlimit(RLIMIT_FSIZE, &cap);
        },
        [](const std::string&) {
            const rlimit none{RLIM_INFINITY, RLIM_INFINITY};
            ::setrlimit(RLIMIT_FSIZE, &none);
        },
    };
    int ran = 0;
    for (const Space& space : {tmpfs, limit}) {
        const std::string sub = dir_ + "/" + std::to_string(ran++);
        fs::create_directories(sub);
        const std::string result = InChild([&] { return FullScenario(space, sub); });
        if (result == "skip") continue;
        EXPECT_EQ(result, "") << space.name;
    }
}

// A store in a folder the user may not write (no room for the write-ahead log), and a store
// on a file system mounted read-only: refused with a message naming the file, or opened for
// reading; the file is never changed.
TEST_F(StoreFaultsTest, ReadOnlyFolderOrFileSystemNeverChangesTheFile) {
    {
        std::string error;
        auto store = SqliteStore::Open(file_, &error);
        ASSERT_TRUE(store) << error;
        ASSERT_EQ(WriteBefore(*store), 0);
    }
    const std::string before = ReadFile(file_);
    const auto attempt = [this, &before]() -> std::string {
        std::string error;
        auto store = SqliteStore::Open(file_, &error);
        if (store) {
            CHECK_OR_RETURN(store->read_only(), "opened for writing");
            CHECK_OR_RETURN(
                store->PutValue("Settings", "x", REG_DWORD, Dword(1)) == winerr::kAccessDenied,
                "a write was not refused");
            std::vector<StoredValue> values;
            CHECK_OR_RETURN(store->Values("Settings", &values) == 0 &&
                                values.size() == static_cast<std::size_t>(kBefore),
                            "stored values not readable");
        } else {
            CHECK_OR_RETURN(error.rfind("cannot open store \"" + file_ + "\": ", 0) == 0,
                            "message does not name the file: " + error);
        }
        store.reset();
        CHECK_OR_RETURN(ReadFile(file_) == before, "the file changed");
        CHECK_OR_RETURN(!fs::exists(file_ + "-wal"), "a log was left beside it");
        return "";
    };

    ASSERT_EQ(::chmod(dir_.c_str(), 0555), 0);
    EXPECT_EQ(InChild([&]() -> std::string {
                  // The superuser may write anywhere: try as an ordinary user.
                  if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
                      return "cannot become an ordinary user";
                  }
                  return attempt();
              }),
              "")
        << "read-only folder";
    ASSERT_EQ(::chmod(dir_.c_str(), 0700), 0);

    if (::geteuid() != 0) return;
    EXPECT_EQ(InChild([&]() -> std::string {
                  if (::unshare(CLONE_NEWNS) != 0 ||
                      ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                      ::mount(dir_.c_str(), dir_.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
                      ::mount(nullptr, dir_.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY,
                              nullptr) != 0) {
                      return "";  // no mount namespaces here: nothing to try
                  }
                  return attempt();
              }),
              "")
        << "read-only file system";
}

// Another process holds the store's write lock longer than the store waits for it.
TEST_F(StoreFaultsTest, LockHeldLongerThanTheWaitFailsWithoutDamage) {
    {
        std::string error;
        auto store = SqliteStore::Open(file_, &error);
        ASSERT_TRUE(store) << error;
        ASSERT_EQ(WriteBefore(*store), 0);
    }
    // The holder takes the lock, says so, and keeps it until told to let go.
    // The holder is started before the store is opened here (a forked process must not
    // inherit an open connection), takes the lock when told, says so, and keeps it until
    // told to let go.
    struct Held {
        pid_t pid = -1;
        int take = -1;
        int ready = -1;
        int release = -1;
    };
    const auto spawn = [this]() -> Held {
        int take[2];
        int ready[2];
        int release[2];
        if (::pipe(take) != 0 || ::pipe(ready) != 0 || ::pipe(release) != 0) return {};
        const pid_t pid = ::fork();
        if (pid == 0) {
            char got = 0;
            if (::read(take[0], &got, 1) != 1) ::_exit(1);
            sqlite3* db = nullptr;
            if (sqlite3_open(file_.c_str(), &db) != SQLITE_OK ||
                sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK) {
                ::_exit(2);
            }
            if (::write(ready[1], "r", 1) != 1) ::_exit(3);
            ::close(release[1]);
            if (::read(release[0], &got, 1) < 0) ::_exit(4);
            sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_close(db);
            ::_exit(0);
        }
        ::close(take[0]);
        ::close(ready[1]);
        ::close(release[0]);
        return {pid, take[1], ready[0], release[1]};
    };
    const auto take = [](const Held& held) {
        char got = 0;
        return ::write(held.take, "t", 1) == 1 && ::read(held.ready, &got, 1) == 1 && got == 'r';
    };
    const auto letGo = [](const Held& held) {
        ::close(held.release);
        ::close(held.take);
        ::close(held.ready);
        int status = 0;
        ::waitpid(held.pid, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };

    // Opening while the lock is held: the store opens for reading (opening takes no write
    // lock), or is refused with a message naming the file.
    Held held = spawn();
    ASSERT_GT(held.pid, 0);
    ASSERT_TRUE(take(held));
    std::string error;
    auto store = SqliteStore::Open(file_, &error);
    if (!store) {
        EXPECT_EQ(error.rfind("cannot open store \"" + file_ + "\": ", 0), 0u) << error;
    }
    store.reset();
    ASSERT_TRUE(letGo(held));

    // A store already open: reads go on, the write fails after the wait and leaves nothing.
    held = spawn();
    ASSERT_GT(held.pid, 0);
    store = SqliteStore::Open(file_, &error);
    ASSERT_TRUE(store) << error;
    ASSERT_TRUE(take(held));
    std::vector<StoredValue> values;
    EXPECT_EQ(store->Values("Settings", &values), 0);
    EXPECT_EQ(values.size(), static_cast<std::size_t>(kBefore));
    std::vector<std::string> told;
    store->OnWriteFailure([&](const std::string& reason) { told.push_back(reason); });
    EXPECT_EQ(store->PutValue("Settings", "blocked", REG_DWORD, Dword(1)),
              winerr::kRegistryIoFailed);
    EXPECT_EQ(told, std::vector<std::string>{"database is locked"});
    ASSERT_TRUE(letGo(held));
    EXPECT_EQ(store->PutValue("Settings", "later", REG_DWORD, Dword(2)), 0);
    store.reset();
    EXPECT_EQ(IntactAfter(file_), "");
    store = SqliteStore::Open(file_, &error);
    ASSERT_TRUE(store) << error;
    EXPECT_EQ(store->RemoveValue("Settings", "blocked"), winerr::kFileNotFound);
}

// The store file is deleted (by a user, a clean-up job) while the program runs: what is
// written then can never be read again, so the writes must fail rather than report success,
// and no half store may appear in the file's place.
TEST_F(StoreFaultsTest, DeletedWhileOpenFailsWritesInsteadOfLosingThem) {
    std::string error;
    auto store = SqliteStore::Open(file_, &error);
    ASSERT_TRUE(store) << error;
    ASSERT_EQ(WriteBefore(*store), 0);
    ASSERT_TRUE(fs::remove(file_));
    EXPECT_EQ(store->PutValue("Settings", "gone", REG_DWORD, Dword(1)), winerr::kRegistryIoFailed);
    HKey key = 0;
    EXPECT_NE(store->CreateKey(kHKLM, "Settings\\Sub", &key), winerr::kSuccess);
    fs::remove(file_ + "-wal");
    fs::remove(file_ + "-shm");
    EXPECT_EQ(store->PutValue("Settings", "gone", REG_DWORD, Dword(1)), winerr::kRegistryIoFailed);
    store.reset();
    EXPECT_FALSE(fs::exists(file_));

    // Renamed away (moved aside by a user): also not the store the path names any more.
    store = SqliteStore::Open(file_, &error);
    ASSERT_TRUE(store) << error;
    ASSERT_EQ(WriteBefore(*store), 0);
    fs::rename(file_, file_ + ".moved");
    EXPECT_EQ(store->PutValue("Settings", "moved", REG_DWORD, Dword(1)), winerr::kRegistryIoFailed);
    store.reset();
    EXPECT_FALSE(fs::exists(file_));
}

}  // namespace
