// The embedded store's prepared statements, shared by its files. Internal to sqlite_store_*.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "registry/sqlite/sqlite_store.h"

namespace platform {

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

}  // namespace platform
