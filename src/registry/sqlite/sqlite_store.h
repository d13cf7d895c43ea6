// The Linux build's registry: one SQLite file holding keys and typed values with the
// semantics of the Windows registry (key paths and value names compared without regard to
// ASCII case, Win32 status codes). Every operation is its own transaction, committed to disk
// before it returns; two processes may share one file.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "registry/path_registry.h"

struct sqlite3;
struct sqlite3_stmt;

namespace platform {

class SqliteStore : public PathRegistry {
  public:
    enum class Access {
        // Read-write when the process may write the file, read-only otherwise.
        Automatic,
        // Never writes, even when the file is writable.
        ReadOnly,
    };

    // Opens the store at path, creating an empty store when the file does not exist. A file
    // that is not a store, or cannot be opened, gives nullptr and a one-line error naming the
    // file; such a file is left exactly as it was.
    static std::unique_ptr<SqliteStore> Open(const std::string& path, std::string* error,
                                             Access access = Access::Automatic);
    ~SqliteStore() override;
    SqliteStore(const SqliteStore&) = delete;
    SqliteStore& operator=(const SqliteStore&) = delete;

    const std::string& path() const { return path_; }
    bool read_only() const override { return readOnly_; }

    // One transaction for all of body's writes. When the store cannot begin one, body still
    // runs (it may do more than write) but its writes fail at once: the store has already
    // waited its full time for the lock, or the file is gone.
    void Together(const std::function<void()>& body) override;

    // Operations by key path under HKEY_LOCAL_MACHINE ("" is the root itself), for import,
    // export and tests. Each is its own transaction unless it runs inside AllOrNone.
    bool KeyExists(const std::string& path);
    // Names of the direct subkeys, as stored, in case-insensitive order.
    long SubKeys(const std::string& path, std::vector<std::string>* names) override;
    // The values of a key, in case-insensitive order of their names.
    long Values(const std::string& path, std::vector<StoredValue>* values) override;

    // Runs body inside one transaction: everything it writes is committed together when it
    // returns kSuccess, and nothing when it returns anything else (which AllOrNone returns).
    long AllOrNone(const std::function<long()>& body) override;

    // SQLite's integrity check: "ok" for a sound file.
    std::string IntegrityCheck();

  private:
    SqliteStore(sqlite3* db, std::string path, bool readOnly);

    class Statement;
    class Transaction;

    // "" when a file's schema is exactly the one the program makes, else why it is refused.
    static std::string CheckSchema(sqlite3* db, bool readOnly);
    static bool SwitchToLog(sqlite3* db);
    bool Exec(const char* sql);
    // Whether the path still names the file that was opened: writes into a file that was
    // deleted or moved away could never be read again, so they fail instead.
    bool StillAtPath() const;

    long FindKey(const std::string& path, std::string* stored) override;
    long MakeKeyPath(const std::string& path, std::string* stored) override;
    long RemoveKeyTree(const std::string& path) override;
    long ReadValue(const std::string& path, const std::string& name, std::uint32_t* type,
                   std::vector<std::uint8_t>* data) override;
    long WriteValue(const std::string& path, const std::string& name, std::uint32_t type,
                    const std::uint8_t* data, std::uint32_t size) override;
    long EraseValue(const std::string& path, const std::string& name) override;

    // Creates the missing keys of path inside the open transaction.
    long CreatePath(const std::string& path, std::string* stored);
    // Notes SQLite's reason for the failure of the current operation (told at the end of the
    // outermost one).
    void NoteStoreFailure();

    struct CachedStatement {
        sqlite3_stmt* stmt = nullptr;
        bool busy = false;
    };

    sqlite3* db_ = nullptr;
    std::string path_;
    bool readOnly_ = false;
    bool inBatch_ = false;
    bool refusing_ = false;
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
    // Prepared statements by their text; finalized before the connection closes.
    std::map<std::string, CachedStatement, std::less<>> statements_;
};

}  // namespace platform
