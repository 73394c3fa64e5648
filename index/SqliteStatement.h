#pragma once
// One prepared statement of the copy's file, finalized when it goes; texts and blobs read in place.
#include <sqlite3.h>

#include <string>
#include <string_view>

class SqliteStatement {
 public:
  SqliteStatement(sqlite3* db, const char* sql) { m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
  ~SqliteStatement() { sqlite3_finalize(m_stmt); }
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;
  bool ok() const { return m_rc == SQLITE_OK; }
  sqlite3_stmt* get() const { return m_stmt; }
  int Step() { return sqlite3_step(m_stmt); }
  void Reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
  }
  void Bind(int i, long long v) { sqlite3_bind_int64(m_stmt, i, v); }
  void Bind(int i, std::string_view v) {
    sqlite3_bind_text(m_stmt, i, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
  }
  void BindBlob(int i, const std::string& v) {
    sqlite3_bind_blob(m_stmt, i, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
  }
  void BindNull(int i) { sqlite3_bind_null(m_stmt, i); }
  std::string_view Text(int i) const {
    const void* p = sqlite3_column_blob(m_stmt, i);
    return {static_cast<const char*>(p), p ? size_t(sqlite3_column_bytes(m_stmt, i)) : 0};
  }

 private:
  sqlite3_stmt* m_stmt = nullptr;
  int m_rc = SQLITE_ERROR;
};
