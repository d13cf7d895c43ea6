#include "registry/sqlite/sqlite_store.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "registry/sqlite/sqlite_statement.h"

namespace platform {

namespace {

using namespace winerr;

constexpr std::uint32_t kWriteAccess = kKeySetValue | kKeyCreateSubKey;

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

}  // namespace

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
    return handles_.PathOf(root, base);
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
    return CreateKeyEx(root, path, 0, kKeyAllAccess, out);
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
    return handles_.Close(key);
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

long SqliteStore::AllOrNone(const std::function<long()>& body) {
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
    AllOrNone([&] {
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
