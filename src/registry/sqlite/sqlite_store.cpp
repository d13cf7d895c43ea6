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

std::string ChildPath(const std::string& base, const std::string& name) {
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
        if (!began_) store_.NoteStoreFailure();
    }
    ~Transaction() {
        if (began_ && !done_) {
            // Rolled back after a statement failed (not after a refusal such as a missing key).
            const int code = sqlite3_errcode(store_.db_);
            if (code != SQLITE_OK && code != SQLITE_ROW && code != SQLITE_DONE) {
                store_.NoteStoreFailure();
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
            store_.NoteStoreFailure();
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
        const std::string wanted = ChildPath(current, name);
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

long SqliteStore::MakeKeyPath(const std::string& path, std::string* stored) {
    Transaction transaction(*this);
    if (!transaction.began()) return kRegistryIoFailed;
    const long status = CreatePath(path, stored);
    if (status != kSuccess) return status;
    return transaction.Commit();
}

long SqliteStore::ReadValue(const std::string& path, const std::string& name, std::uint32_t* type,
                            std::vector<std::uint8_t>* data) {
    Statement query(*this, "SELECT type, data FROM reg_values WHERE key = ?1 AND name = ?2");
    query.Bind(1, path).Bind(2, name);
    const int step = query.Step();
    if (step == SQLITE_DONE) {
        std::string stored;
        const long status = FindKey(path, &stored);
        return status == kFileNotFound ? kKeyDeleted : status == kSuccess ? kFileNotFound : status;
    }
    if (step != SQLITE_ROW) return kRegistryIoFailed;
    *type = static_cast<std::uint32_t>(query.Int(0));
    *data = query.Blob(1);
    return kSuccess;
}

long SqliteStore::WriteValue(const std::string& path, const std::string& name, std::uint32_t type,
                             const std::uint8_t* data, std::uint32_t size) {
    Transaction transaction(*this);
    if (!transaction.began()) return kRegistryIoFailed;
    std::string stored;
    long status = FindKey(path, &stored);
    if (status != kSuccess) return status == kFileNotFound ? kKeyDeleted : status;
    // A value keeps the spelling of its name from when it was first written, as in Windows.
    Statement upsert(*this,
                     "INSERT INTO reg_values(key, name, type, data) VALUES(?1, ?2, ?3, ?4)"
                     " ON CONFLICT(key, name) DO UPDATE SET type = excluded.type,"
                     " data = excluded.data");
    upsert.Bind(1, stored).Bind(2, name).Bind(3, std::int64_t{type}).BindBlob(4, data, size);
    if (upsert.Step() != SQLITE_DONE) return kRegistryIoFailed;
    return transaction.Commit();
}

long SqliteStore::EraseValue(const std::string& path, const std::string& name) {
    Transaction transaction(*this);
    if (!transaction.began()) return kRegistryIoFailed;
    std::string stored;
    long status = FindKey(path, &stored);
    if (status != kSuccess) return status == kFileNotFound ? kKeyDeleted : status;
    Statement remove(*this, "DELETE FROM reg_values WHERE key = ?1 AND name = ?2");
    remove.Bind(1, stored).Bind(2, name);
    if (remove.Step() != SQLITE_DONE) return kRegistryIoFailed;
    if (sqlite3_changes(db_) == 0) return kFileNotFound;
    return transaction.Commit();
}

bool SqliteStore::KeyExists(const std::string& path) {
    return !StoredKeyPath(path).empty();
}

long SqliteStore::SubKeys(const std::string& path, std::vector<std::string>* names) {
    names->clear();
    std::string full;
    std::string stored;
    long status = Resolve(kHKLM, path, &full);
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
    long status = Resolve(kHKLM, path, &full);
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

long SqliteStore::RemoveKeyTree(const std::string& path) {
    Transaction transaction(*this);
    if (!transaction.began()) return kRegistryIoFailed;
    std::string stored;
    const long status = FindKey(path, &stored);
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

long SqliteStore::AllOrNone(const std::function<long()>& body) {
    if (inBatch_) return kInvalidParameter;
    if ((!readOnly_ && !StillAtPath()) || !Exec(readOnly_ ? "BEGIN" : "BEGIN IMMEDIATE")) {
        NoteStoreFailure();
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
        NoteStoreFailure();
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

void SqliteStore::NoteStoreFailure() {
    NoteFailure(StillAtPath() ? sqlite3_errmsg(db_) : "the file was deleted or moved away");
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
