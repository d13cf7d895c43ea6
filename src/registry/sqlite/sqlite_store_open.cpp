#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "registry/sqlite/sqlite_statement.h"
#include "registry/sqlite/sqlite_store.h"

namespace platform {

namespace {

// "CXPR" in the header's application_id field: how a store is told from any other file.
constexpr std::uint32_t kApplicationId = 0x43585052;
constexpr int kBusyTimeoutMs = 5000;

// The schema, one statement each, as SQLite keeps their texts in sqlite_master.
struct SchemaObject {
    const char* type;
    const char* name;
    const char* sql;
};
constexpr SchemaObject kSchemaObjects[] = {
    {"table", "reg_keys",
     "CREATE TABLE reg_keys("
     "  path TEXT NOT NULL PRIMARY KEY COLLATE NOCASE,"
     "  parent TEXT NOT NULL COLLATE NOCASE,"
     "  name TEXT NOT NULL COLLATE NOCASE) WITHOUT ROWID"},
    {"index", "reg_keys_parent", "CREATE INDEX reg_keys_parent ON reg_keys(parent)"},
    {"table", "reg_values",
     "CREATE TABLE reg_values("
     "  key TEXT NOT NULL COLLATE NOCASE,"
     "  name TEXT NOT NULL COLLATE NOCASE,"
     "  type INTEGER NOT NULL,"
     "  data BLOB NOT NULL,"
     "  PRIMARY KEY(key, name)) WITHOUT ROWID"},
};

// The header of an existing, non-empty file, read without opening it as a database:
// "" when it is one of our stores, otherwise why not.
std::string CheckHeader(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    unsigned char header[100];
    std::size_t got = 0;
    while (got < sizeof header) {
        const ssize_t n = ::read(fd, header + got, sizeof header - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    static const char kMagic[] = "SQLite format 3";  // with its NUL: 16 bytes
    if (got < sizeof header || std::memcmp(header, kMagic, sizeof kMagic) != 0) {
        return "file is not a store";
    }
    const std::uint32_t id =
        (std::uint32_t{header[68]} << 24) | (header[69] << 16) | (header[70] << 8) | header[71];
    if (id != kApplicationId) return "file is not a store";
    return "";
}

// Statements run once, when a store is opened: not worth keeping prepared. The schema is
// several statements in one text, which only this runs.
bool ExecOnce(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// SQLite's settings for a file that may have been made to attack the program: no triggers or
// views run, no function of the schema runs outside the program's own statements, and no SQL
// can write the file's structures directly.
bool Harden(sqlite3* db) {
    const auto set = [db](int option, int value) {
        int now = -1;
        return sqlite3_db_config(db, option, value, &now) == SQLITE_OK && now == value;
    };
    return set(SQLITE_DBCONFIG_DEFENSIVE, 1) && set(SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0) &&
           set(SQLITE_DBCONFIG_ENABLE_TRIGGER, 0) && set(SQLITE_DBCONFIG_ENABLE_VIEW, 0) &&
           set(SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0);
}

bool MakeSchema(sqlite3* db) {
    for (const SchemaObject& object : kSchemaObjects) {
        if (!ExecOnce(db, object.sql)) return false;
    }
    return ExecOnce(db, "PRAGMA user_version = 1");
}

}  // namespace

// Switching a store to the write-ahead log takes the file's exclusive lock. When processes
// open the same new store at once, each holds a shared lock while it asks for it, and SQLite
// answers one of them "locked" at once instead of making it wait for a lock that would never
// come. That one lets go and asks again, for as long as any other lock is waited for; by then
// the store is usually in the log already. The mode asked for is the answer on success.
bool SqliteStore::SwitchToLog(sqlite3* db) {
    constexpr int kPauseMs = 5;
    for (int waited = 0;; waited += kPauseMs) {
        Statement mode(db, "PRAGMA journal_mode = WAL");
        const int rc = mode.Step();
        if (rc == SQLITE_ROW) return mode.Text(0) == "wal";
        if ((rc & 0xFF) != SQLITE_BUSY || waited >= kBusyTimeoutMs) return false;
        sqlite3_sleep(kPauseMs);
    }
}

// "" when the schema is exactly the one the program makes, else why the file is refused.
std::string SqliteStore::CheckSchema(sqlite3* db, bool readOnly) {
    Statement objects(db, "SELECT type, name, sql FROM sqlite_master ORDER BY name");
    std::vector<std::string> foreign;
    std::size_t matched = 0;
    int step;
    while ((step = objects.Step()) == SQLITE_ROW) {
        const std::string type = objects.Text(0);
        const std::string name = objects.Text(1);
        const std::string sql = objects.Text(2);
        bool ours = false;
        for (const SchemaObject& object : kSchemaObjects) {
            ours = ours || (type == object.type && name == object.name && sql == object.sql);
        }
        if (ours) {
            ++matched;
        } else {
            foreign.push_back(type + " \"" + name + "\"");
        }
    }
    if (step != SQLITE_DONE) {
        // Reading a write-ahead-logged file takes a shared-memory file beside it, which a
        // folder the user may not write cannot hold.
        if (readOnly && (sqlite3_extended_errcode(db) & 0xff) == SQLITE_READONLY) {
            return "the file is read-only and its folder cannot be written";
        }
        return sqlite3_errmsg(db);
    }
    if (!foreign.empty()) {
        std::string list;
        for (const auto& object : foreign) list += (list.empty() ? "" : ", ") + object;
        return "the file holds schema objects this program did not make (" + list +
               "): it may have been made to attack the program, and is not used";
    }
    if (matched != std::size(kSchemaObjects)) return "file is not a store";
    return "";
}

std::unique_ptr<SqliteStore> SqliteStore::Open(const std::string& path, std::string* error,
                                               Access access) {
    const auto fail = [&](const std::string& reason) {
        if (error) *error = "cannot open store \"" + path + "\": " + reason;
        return std::unique_ptr<SqliteStore>();
    };
    struct stat info {};
    const bool exists = ::stat(path.c_str(), &info) == 0;
    if (!exists && errno != ENOENT) return fail(std::strerror(errno));
    if (exists && !S_ISREG(info.st_mode)) return fail("file is not a store");
    // Nothing but the header is read until the file is known to be ours: a foreign file must
    // come out of this untouched.
    if (exists && info.st_size > 0) {
        const std::string reason = CheckHeader(path);
        if (!reason.empty()) return fail(reason);
    }
    const bool readOnly =
        access == Access::ReadOnly || (exists && ::access(path.c_str(), W_OK) != 0);
    // An empty file (as another process creating the store leaves it for a moment) becomes
    // a store like a missing one.
    const bool fresh = !exists || info.st_size == 0;
    if (fresh && readOnly) {
        return fail(exists ? "file is not a store" : "no such file (and read-only access)");
    }

    sqlite3* db = nullptr;
    const int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        const std::string reason = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close_v2(db);
        return fail(reason);
    }
    // A store file can come from anywhere: nothing in its schema may run code or change what
    // the store's own statements do, and SQL cannot corrupt the file on purpose.
    if (!Harden(db)) {
        const std::string reason = sqlite3_errmsg(db);
        sqlite3_close_v2(db);
        return fail("cannot use SQLite's defensive settings: " + reason);
    }
    std::unique_ptr<SqliteStore> store(new SqliteStore(db, path, readOnly));
    if (::stat(path.c_str(), &info) != 0) return fail(std::strerror(errno));
    store->device_ = static_cast<std::uint64_t>(info.st_dev);
    store->inode_ = static_cast<std::uint64_t>(info.st_ino);
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db, 1);

    // A new store's schema and application id are committed in rollback-journal mode, so that
    // the main file's header carries the id from the first moment on; only then WAL. A store
    // whose creation was cut short and rolled back to nothing is made anew.
    const auto objects = [&]() -> std::int64_t {
        Statement count(db, "SELECT count(*) FROM sqlite_master");
        return count.Step() == SQLITE_ROW ? count.Int(0) : -1;
    };
    if (!readOnly && objects() == 0) {
        if (!ExecOnce(db, "BEGIN IMMEDIATE")) return fail(sqlite3_errmsg(db));
        std::int64_t current = -1;
        {
            Statement id(db, "PRAGMA application_id");
            if (id.Step() == SQLITE_ROW) current = id.Int(0);
        }
        // Another process may have made it in the meantime.
        if (current == 0 && objects() == 0) {
            const std::string setId = "PRAGMA application_id = " + std::to_string(kApplicationId);
            if (!MakeSchema(db) || !ExecOnce(db, setId.c_str()) || !ExecOnce(db, "COMMIT")) {
                const std::string reason = sqlite3_errmsg(db);
                ExecOnce(db, "ROLLBACK");
                return fail(reason);
            }
        } else {
            ExecOnce(db, "ROLLBACK");
            if (current != kApplicationId) return fail("file is not a store");
        }
    }

    // Before anything is written (the switch to the log below writes the header): a file with
    // anything in its schema that the program did not make is refused.
    if (const std::string reason = CheckSchema(db, readOnly); !reason.empty()) return fail(reason);

    if (!readOnly) {
        if (!SwitchToLog(db)) {
            return fail("cannot use a write-ahead log: " + std::string(sqlite3_errmsg(db)));
        }
        // The settings are a few kilobytes: the log is copied back early and kept short,
        // rather than growing to SQLite's default of 4 MB.
        if (!ExecOnce(db, "PRAGMA synchronous = FULL") ||
            !ExecOnce(db, "PRAGMA wal_autocheckpoint = 16") ||
            !ExecOnce(db, "PRAGMA journal_size_limit = 65536")) {
            return fail(sqlite3_errmsg(db));
        }
    }
    return store;
}

}  // namespace platform
