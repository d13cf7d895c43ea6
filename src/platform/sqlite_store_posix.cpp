#include "platform/sqlite_store_posix.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace platform {

namespace {

using namespace winerr;

// "CXPR" in the header's application_id field: how a store is told from any other file.
constexpr std::uint32_t kApplicationId = 0x43585052;
constexpr int kBusyTimeoutMs = 5000;
constexpr std::uint32_t kWriteAccess = kKeySetValue | kKeyCreateSubKey;

const char* const kSchema =
    "CREATE TABLE reg_keys("
    "  path TEXT NOT NULL PRIMARY KEY COLLATE NOCASE,"
    "  parent TEXT NOT NULL COLLATE NOCASE,"
    "  name TEXT NOT NULL COLLATE NOCASE) WITHOUT ROWID;"
    "CREATE INDEX reg_keys_parent ON reg_keys(parent);"
    "CREATE TABLE reg_values("
    "  key TEXT NOT NULL COLLATE NOCASE,"
    "  name TEXT NOT NULL COLLATE NOCASE,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL,"
    "  PRIMARY KEY(key, name)) WITHOUT ROWID;"
    "PRAGMA user_version = 1;";

// Splits a key path into its names. A single trailing backslash is allowed, as the Windows
// functions allow it; a leading one or an empty name in between is a bad path.
bool SplitPath(const std::string& path, std::vector<std::string>* names) {
    names->clear();
    if (path.empty()) return true;
    if (path.find('\0') != std::string::npos) return false;
    std::string text = path;
    if (text.back() == '\\') text.pop_back();
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find('\\', start);
        const std::string name =
            text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (name.empty()) return false;
        names->push_back(name);
        if (end == std::string::npos) return true;
        start = end + 1;
    }
}

// The path without its one allowed trailing backslash; false where SplitPath finds it bad.
bool TrimPath(const std::string& path, std::string* trimmed) {
    std::string_view text(path);
    if (!text.empty() && text.back() == '\\') text.remove_suffix(1);
    if (!path.empty() && (text.empty() || text.front() == '\\' || text.back() == '\\' ||
                          text.find("\\\\") != std::string_view::npos ||
                          text.find('\0') != std::string_view::npos)) {
        return false;
    }
    trimmed->assign(text);
    return true;
}

std::string JoinPath(const std::string& base, const std::string& name) {
    return base.empty() ? name : base + "\\" + name;
}

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

}  // namespace

// A prepared statement. The store's own statements are prepared once and kept for the life of
// the connection (preparing costs more than most of the operations); one already in use by an
// enclosing call is prepared afresh for this use.
class SqliteStore::Statement {
  public:
    Statement(SqliteStore& store, const char* sql) {
        auto it = store.statements_.find(std::string_view(sql));
        if (it == store.statements_.end()) {
            sqlite3_stmt* stmt = nullptr;
            if (sqlite3_prepare_v3(store.db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) !=
                SQLITE_OK) {
                sqlite3_finalize(stmt);
                return;
            }
            it = store.statements_.emplace(sql, CachedStatement{stmt, false}).first;
        }
        if (it->second.busy) {
            Prepare(store.db_, sql);
            return;
        }
        it->second.busy = true;
        cached_ = &it->second;
        stmt_ = cached_->stmt;
    }
    // A statement for this use only, on a connection that keeps none.
    Statement(sqlite3* db, const char* sql) { Prepare(db, sql); }
    ~Statement() {
        if (!cached_) {
            sqlite3_finalize(stmt_);
            return;
        }
        // Reset at once: a statement left mid-way would hold the file's read snapshot.
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
        cached_->busy = false;
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    Statement& Bind(int index, const std::string& text) {
        if (stmt_) {
            sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                              SQLITE_TRANSIENT);
        }
        return *this;
    }
    Statement& Bind(int index, std::int64_t number) {
        if (stmt_) sqlite3_bind_int64(stmt_, index, number);
        return *this;
    }
    Statement& BindBlob(int index, const std::uint8_t* data, std::uint32_t size) {
        // A zero-length blob, not NULL, for an empty value.
        static const std::uint8_t kNothing = 0;
        if (stmt_) {
            sqlite3_bind_blob(stmt_, index, size ? data : &kNothing, static_cast<int>(size),
                              SQLITE_TRANSIENT);
        }
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int Step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
    std::string Text(int column) const {
        const auto* text = sqlite3_column_text(stmt_, column);
        return text ? std::string(reinterpret_cast<const char*>(text),
                                  static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)))
                    : std::string();
    }
    std::int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
    std::vector<std::uint8_t> Blob(int column) const {
        const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, column));
        const int size = sqlite3_column_bytes(stmt_, column);
        return data ? std::vector<std::uint8_t>(data, data + size) : std::vector<std::uint8_t>();
    }

  private:
    void Prepare(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
            sqlite3_finalize(stmt_);
            stmt_ = nullptr;
        }
    }

    sqlite3_stmt* stmt_ = nullptr;
    CachedStatement* cached_ = nullptr;
};

// One write operation: its own transaction, or a savepoint inside a batch so that a failed
// operation leaves nothing half done there either.
class SqliteStore::Transaction {
  public:
    explicit Transaction(SqliteStore& store) : store_(store) {
        if (store_.refusing_) return;
        began_ = store_.inBatch_ ? store_.Exec("SAVEPOINT op")
                                 : store_.StillAtPath() && store_.Exec("BEGIN IMMEDIATE");
        if (!began_) store_.NoteFailure();
    }
    ~Transaction() {
        if (began_ && !done_) {
            // Rolled back after a statement failed (not after a refusal such as a missing key).
            const int code = sqlite3_errcode(store_.db_);
            if (code != SQLITE_OK && code != SQLITE_ROW && code != SQLITE_DONE) {
                store_.NoteFailure();
            }
            if (store_.inBatch_) {
                store_.Exec("ROLLBACK TO op");
                store_.Exec("RELEASE op");
            } else {
                store_.Exec("ROLLBACK");
            }
        }
        if (!store_.inBatch_) store_.ReportFailure();
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool began() const { return began_; }
    long Commit() {
        if (!store_.Exec(store_.inBatch_ ? "RELEASE op" : "COMMIT")) {
            store_.NoteFailure();
            return kRegistryIoFailed;
        }
        done_ = true;
        if (!store_.inBatch_) store_.NoteSuccess();
        return kSuccess;
    }

  private:
    SqliteStore& store_;
    bool began_ = false;
    bool done_ = false;
};

SqliteStore::SqliteStore(sqlite3* db, std::string path, bool readOnly)
    : db_(db), path_(std::move(path)), readOnly_(readOnly) {}

SqliteStore::~SqliteStore() {
    for (auto& entry : statements_) sqlite3_finalize(entry.second.stmt);
    sqlite3_close_v2(db_);
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
            if (!ExecOnce(db, kSchema) || !ExecOnce(db, setId.c_str()) || !ExecOnce(db, "COMMIT")) {
                const std::string reason = sqlite3_errmsg(db);
                ExecOnce(db, "ROLLBACK");
                return fail(reason);
            }
        } else {
            ExecOnce(db, "ROLLBACK");
            if (current != kApplicationId) return fail("file is not a store");
        }
    }

    {
        Statement tables(db,
                         "SELECT count(*) FROM sqlite_master WHERE type = 'table'"
                         " AND name IN ('reg_keys', 'reg_values')");
        if (tables.Step() != SQLITE_ROW) {
            // Reading a write-ahead-logged file takes a shared-memory file beside it, which a
            // folder the user may not write cannot hold.
            if (readOnly && (sqlite3_extended_errcode(db) & 0xff) == SQLITE_READONLY) {
                return fail("the file is read-only and its folder cannot be written");
            }
            return fail(sqlite3_errmsg(db));
        }
        if (tables.Int(0) != 2) return fail("file is not a store");
    }

    if (!readOnly) {
        Statement mode(db, "PRAGMA journal_mode = WAL");
        if (mode.Step() != SQLITE_ROW || mode.Text(0) != "wal") {
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

bool SqliteStore::StillAtPath() const {
    struct stat info {};
    return ::stat(path_.c_str(), &info) == 0 &&
           static_cast<std::uint64_t>(info.st_dev) == device_ &&
           static_cast<std::uint64_t>(info.st_ino) == inode_;
}

bool SqliteStore::Exec(const char* sql) {
    Statement statement(*this, sql);
    const int step = statement.Step();
    return step == SQLITE_DONE || step == SQLITE_ROW;
}

bool SqliteStore::BasePath(HKey root, std::string* base) const {
    if (root == kHKLM) {
        base->clear();
        return true;
    }
    const auto it = handles_.find(root);
    if (it == handles_.end()) return false;
    *base = it->second.path;
    return true;
}

long SqliteStore::ResolveOpen(HKey root, const std::string& subPath, std::string* full) const {
    std::string base;
    if (!BasePath(root, &base)) return kInvalidHandle;
    std::string trimmed;
    if (!TrimPath(subPath, &trimmed)) return kBadPathname;
    *full = trimmed.empty() ? base : JoinPath(base, trimmed);
    return kSuccess;
}

long SqliteStore::FindKey(const std::string& path, std::string* stored) {
    if (path.empty()) {
        stored->clear();
        return kSuccess;
    }
    Statement find(*this, "SELECT path FROM reg_keys WHERE path = ?1");
    find.Bind(1, path);
    const int step = find.Step();
    if (step == SQLITE_ROW) {
        *stored = find.Text(0);
        return kSuccess;
    }
    return step == SQLITE_DONE ? kFileNotFound : kRegistryIoFailed;
}

long SqliteStore::CreatePath(const std::string& path, std::string* stored) {
    std::vector<std::string> names;
    if (!SplitPath(path, &names)) return kBadPathname;
    std::string current;
    for (const auto& name : names) {
        const std::string wanted = JoinPath(current, name);
        std::string found;
        const long status = FindKey(wanted, &found);
        if (status == kSuccess) {
            current = found;
            continue;
        }
        if (status != kFileNotFound) return status;
        Statement insert(*this, "INSERT INTO reg_keys(path, parent, name) VALUES(?1, ?2, ?3)");
        insert.Bind(1, wanted).Bind(2, current).Bind(3, name);
        if (insert.Step() != SQLITE_DONE) return kRegistryIoFailed;
        current = wanted;
    }
    *stored = current;
    return kSuccess;
}

long SqliteStore::NewHandle(const std::string& path, std::uint32_t access, HKey* out) {
    HKey handle = nextHandle_;
    nextHandle_ += 4;
    if (handle == kHKLM) {
        handle = nextHandle_;
        nextHandle_ += 4;
    }
    handles_[handle] = Handle{path, access};
    *out = handle;
    return kSuccess;
}

long SqliteStore::KeyOfHandle(HKey key, bool write, std::string* path) const {
    if (key == kHKLM) {
        if (write && readOnly_) return kAccessDenied;
        path->clear();
        return kSuccess;
    }
    const auto it = handles_.find(key);
    if (it == handles_.end()) return kInvalidHandle;
    const std::uint32_t needed = write ? kKeySetValue : kKeyQueryValue;
    if ((it->second.access & needed) == 0 || (write && readOnly_)) return kAccessDenied;
    *path = it->second.path;
    return kSuccess;
}

long SqliteStore::OpenKey(HKey root, const std::string& path, std::uint32_t access, HKey* out) {
    if (!out) return kInvalidParameter;
    *out = 0;
    std::string full;
    long status = ResolveOpen(root, path, &full);
    if (status != kSuccess) return status;
    std::string stored;
    status = FindKey(full, &stored);
    if (status != kSuccess) return status;
    // Windows grants or refuses the access asked for as a whole: a store that cannot be
    // written refuses every open that asks to write, reads included.
    if (readOnly_ && (access & kWriteAccess) != 0) return kAccessDenied;
    return NewHandle(stored, access, out);
}

long SqliteStore::CreateKeyEx(HKey root, const std::string& path, std::uint32_t options,
                              std::uint32_t access, HKey* out) {
    if (!out) return kInvalidParameter;
    *out = 0;
    if (options != 0) return kInvalidParameter;  // volatile keys are not kept
    std::string full;
    long status = ResolveOpen(root, path, &full);
    if (status != kSuccess) return status;
    std::string stored;
    if (readOnly_) {
        status = FindKey(full, &stored);
        if (status == kFileNotFound || (status == kSuccess && (access & kWriteAccess) != 0)) {
            return kAccessDenied;
        }
        if (status != kSuccess) return status;
        return NewHandle(stored, access, out);
    }
    Transaction transaction(*this);
    if (!transaction.began()) return kRegistryIoFailed;
    status = CreatePath(full, &stored);
    if (status != kSuccess) return status;
    status = transaction.Commit();
    if (status != kSuccess) return status;
    return NewHandle(stored, access, out);
}

long SqliteStore::CreateKey(HKey root, const std::string& path, HKey* out) {
    return CreateKeyEx(root, path, 0, kAccessAll63, out);
}

long SqliteStore::QueryValue(HKey key, const std::string& name, std::uint32_t* type,
                             std::uint8_t* data, std::uint32_t* size) {
    std::string path;
    long status = KeyOfHandle(key, false, &path);
    if (status != kSuccess) return status;
    if (data && !size) return kInvalidParameter;
    Statement query(*this, "SELECT type, data FROM reg_values WHERE key = ?1 AND name = ?2");
    query.Bind(1, path).Bind(2, name);
    const int step = query.Step();
    if (step == SQLITE_DONE) {
        std::string stored;
        status = FindKey(path, &stored);
        return status == kFileNotFound ? kKeyDeleted : status == kSuccess ? kFileNotFound : status;
    }
    if (step != SQLITE_ROW) return kRegistryIoFailed;
    const auto bytes = query.Blob(1);
    const auto needed = static_cast<std::uint32_t>(bytes.size());
    if (type) *type = static_cast<std::uint32_t>(query.Int(0));
    if (!data) {
        if (size) *size = needed;
        return kSuccess;
    }
    if (*size < needed) {
        *size = needed;
        return kMoreData;
    }
    if (needed) std::memcpy(data, bytes.data(), needed);
    *size = needed;
    return kSuccess;
}

long SqliteStore::DoPutValue(const std::string& keyPath, const std::string& name,
                             std::uint32_t type, const std::uint8_t* data, std::uint32_t size) {
    if (readOnly_) return kAccessDenied;
    if (name.find('\0') != std::string::npos || (!data && size)) return kInvalidParameter;
    Transaction transaction(*this);
    if (!transaction.began()) return kRegistryIoFailed;
    std::string stored;
    long status = FindKey(keyPath, &stored);
    if (status != kSuccess) return status;
    // A value keeps the spelling of its name from when it was first written, as in Windows.
    Statement upsert(*this,
                     "INSERT INTO reg_values(key, name, type, data) VALUES(?1, ?2, ?3, ?4)"
                     " ON CONFLICT(key, name) DO UPDATE SET type = excluded.type,"
                     " data = excluded.data");
    upsert.Bind(1, stored).Bind(2, name).Bind(3, std::int64_t{type}).BindBlob(4, data, size);
    if (upsert.Step() != SQLITE_DONE) return kRegistryIoFailed;
    return transaction.Commit();
}

long SqliteStore::DoRemoveValue(const std::string& keyPath, const std::string& name) {
    if (readOnly_) return kAccessDenied;
    Transaction transaction(*this);
    if (!transaction.began()) return kRegistryIoFailed;
    std::string stored;
    long status = FindKey(keyPath, &stored);
    if (status != kSuccess) return status;
    Statement remove(*this, "DELETE FROM reg_values WHERE key = ?1 AND name = ?2");
    remove.Bind(1, stored).Bind(2, name);
    if (remove.Step() != SQLITE_DONE) return kRegistryIoFailed;
    if (sqlite3_changes(db_) == 0) return kFileNotFound;
    return transaction.Commit();
}

long SqliteStore::SetValue(HKey key, const std::string& name, std::uint32_t type,
                           const std::uint8_t* data, std::uint32_t size) {
    std::string path;
    const long status = KeyOfHandle(key, true, &path);
    if (status != kSuccess) return status;
    const long result = DoPutValue(path, name, type, data, size);
    return result == kFileNotFound ? kKeyDeleted : result;
}

long SqliteStore::DeleteValue(HKey key, const std::string& name) {
    std::string path;
    long status = KeyOfHandle(key, true, &path);
    if (status != kSuccess) return status;
    if (!path.empty()) {
        std::string stored;
        status = FindKey(path, &stored);
        if (status == kFileNotFound) return kKeyDeleted;
        if (status != kSuccess) return status;
    }
    return DoRemoveValue(path, name);
}

long SqliteStore::CloseKey(HKey key) {
    if (key == 0 || key == kHKLM) return kSuccess;
    return handles_.erase(key) ? kSuccess : kInvalidHandle;
}

bool SqliteStore::KeyExists(const std::string& path) {
    return !StoredKeyPath(path).empty();
}

std::string SqliteStore::StoredKeyPath(const std::string& path) {
    std::string full;
    std::string stored;
    if (ResolveOpen(kHKLM, path, &full) != kSuccess || full.empty()) return "";
    return FindKey(full, &stored) == kSuccess ? stored : "";
}

long SqliteStore::SubKeys(const std::string& path, std::vector<std::string>* names) {
    names->clear();
    std::string full;
    std::string stored;
    long status = ResolveOpen(kHKLM, path, &full);
    if (status == kSuccess) status = FindKey(full, &stored);
    if (status != kSuccess) return status;
    Statement list(*this, "SELECT name FROM reg_keys WHERE parent = ?1 ORDER BY name");
    list.Bind(1, stored);
    int step;
    while ((step = list.Step()) == SQLITE_ROW) names->push_back(list.Text(0));
    return step == SQLITE_DONE ? kSuccess : kRegistryIoFailed;
}

long SqliteStore::Values(const std::string& path, std::vector<StoredValue>* values) {
    values->clear();
    std::string full;
    std::string stored;
    long status = ResolveOpen(kHKLM, path, &full);
    if (status == kSuccess) status = FindKey(full, &stored);
    if (status != kSuccess) return status;
    Statement list(*this, "SELECT name, type, data FROM reg_values WHERE key = ?1 ORDER BY name");
    list.Bind(1, stored);
    int step;
    while ((step = list.Step()) == SQLITE_ROW) {
        values->push_back(
            StoredValue{list.Text(0), static_cast<std::uint32_t>(list.Int(1)), list.Blob(2)});
    }
    return step == SQLITE_DONE ? kSuccess : kRegistryIoFailed;
}

long SqliteStore::CreateKeyPath(const std::string& path) {
    if (readOnly_) return kAccessDenied;
    Transaction transaction(*this);
    if (!transaction.began()) return kRegistryIoFailed;
    std::string stored;
    const long status = CreatePath(path, &stored);
    if (status != kSuccess) return status;
    return transaction.Commit();
}

long SqliteStore::DeleteKeyTree(const std::string& path) {
    if (readOnly_) return kAccessDenied;
    std::string full;
    long status = ResolveOpen(kHKLM, path, &full);
    if (status != kSuccess) return status;
    if (full.empty()) return kAccessDenied;  // the root cannot go
    Transaction transaction(*this);
    if (!transaction.began()) return kRegistryIoFailed;
    std::string stored;
    status = FindKey(full, &stored);
    if (status != kSuccess) return status;
    static const std::string kTree =
        "WITH RECURSIVE tree(path) AS (SELECT ?1 UNION ALL"
        " SELECT k.path FROM reg_keys k JOIN tree t ON k.parent = t.path) ";
    static const std::string kDeleteValues =
        kTree + "DELETE FROM reg_values WHERE key IN (SELECT path FROM tree)";
    static const std::string kDeleteKeys =
        kTree + "DELETE FROM reg_keys WHERE path IN (SELECT path FROM tree)";
    Statement values(*this, kDeleteValues.c_str());
    values.Bind(1, stored);
    if (values.Step() != SQLITE_DONE) return kRegistryIoFailed;
    Statement keys(*this, kDeleteKeys.c_str());
    keys.Bind(1, stored);
    if (keys.Step() != SQLITE_DONE) return kRegistryIoFailed;
    return transaction.Commit();
}

long SqliteStore::PutValue(const std::string& path, const std::string& name, std::uint32_t type,
                           const std::vector<std::uint8_t>& data) {
    std::string full;
    const long status = ResolveOpen(kHKLM, path, &full);
    if (status != kSuccess) return status;
    return DoPutValue(full, name, type, data.data(), static_cast<std::uint32_t>(data.size()));
}

long SqliteStore::RemoveValue(const std::string& path, const std::string& name) {
    std::string full;
    const long status = ResolveOpen(kHKLM, path, &full);
    if (status != kSuccess) return status;
    return DoRemoveValue(full, name);
}

long SqliteStore::Batch(const std::function<long()>& body) {
    if (inBatch_) return kInvalidParameter;
    if ((!readOnly_ && !StillAtPath()) || !Exec(readOnly_ ? "BEGIN" : "BEGIN IMMEDIATE")) {
        NoteFailure();
        ReportFailure();
        return kRegistryIoFailed;
    }
    inBatch_ = true;
    long status;
    try {
        status = body();
    } catch (...) {
        inBatch_ = false;
        Exec("ROLLBACK");
        throw;
    }
    inBatch_ = false;
    if (status != kSuccess) {
        Exec("ROLLBACK");
    } else if (!Exec("COMMIT")) {
        NoteFailure();
        Exec("ROLLBACK");
        status = kRegistryIoFailed;
    } else {
        NoteSuccess();
    }
    ReportFailure();
    return status;
}

void SqliteStore::Together(const std::function<void()>& body) {
    if (inBatch_ || readOnly_) return body();
    bool ran = false;
    Batch([&] {
        ran = true;
        body();
        return kSuccess;
    });
    if (ran) return;
    refusing_ = true;
    body();
    refusing_ = false;
}

void SqliteStore::NoteFailure() {
    if (!pendingFailure_.empty()) return;  // the first cause, not what it led to
    pendingFailure_ = StillAtPath() ? sqlite3_errmsg(db_) : "the file was deleted or moved away";
}

void SqliteStore::NoteSuccess() {
    if (pendingFailure_.empty()) failing_ = false;
}

void SqliteStore::ReportFailure() {
    if (pendingFailure_.empty()) return;
    if (!failing_ && failureListener_) failureListener_(pendingFailure_);
    failing_ = true;
    pendingFailure_.clear();
}

std::string SqliteStore::IntegrityCheck() {
    Statement check(*this, "PRAGMA integrity_check");
    std::string result;
    while (check.Step() == SQLITE_ROW) {
        if (!result.empty()) result += "; ";
        result += check.Text(0);
    }
    return result.empty() ? std::string(sqlite3_errmsg(db_)) : result;
}

}  // namespace platform
