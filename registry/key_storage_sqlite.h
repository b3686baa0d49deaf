// KeyStorage in a SQLite database file: the registry store of the POSIX build.
//
// WAL mode; each transaction is one SQLite transaction, so an acknowledged write survives the
// process being killed, and several processes can share one file (busy timeout and retries).
// Names and text are kept as UTF-8, text data as UTF-16LE blobs. A file that cannot be opened,
// is read-only or is damaged gives a storage whose health is its error result (1016, 5, 1015),
// says once on standard error which file and why, and is never written.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "registry/key_storage.h"
#include "runtime/unique_resource.h"

struct sqlite3;
struct sqlite3_stmt;

namespace corvane::registry {

namespace sqlite_detail {
void CloseDb(sqlite3* db);
void FinalizeStmt(sqlite3_stmt* stmt);
}  // namespace sqlite_detail
using UniqueDb = UniqueResource<sqlite3*, sqlite_detail::CloseDb>;
using UniqueStmt = UniqueResource<sqlite3_stmt*, sqlite_detail::FinalizeStmt>;

// The result code for a SQLite failure code.
Result ResultOfSqlite(int code);

// A seam for failure injection: when set, every SQLite step and transaction statement of every
// store first calls `fault` with the statement's SQL; a non-zero answer (SQLITE_BUSY,
// SQLITE_FULL, SQLITE_IOERR, SQLITE_READONLY...) is taken as that call's result and the call is
// not made. Busy answers are retried as real ones are. Null removes the seam. For tests.
using StoreFault = int (*)(const char* sql);
void SetStoreFault(StoreFault fault);

class SqliteStorage final : public KeyStorage {
 public:
  // Opens (or creates, with mode 0600) the database at `path`. Never fails: see health().
  explicit SqliteStorage(std::string path);
  ~SqliteStorage() override;

  Result health() const override { return health_; }
  Result FindChild(KeyId parent, StringView name, KeyId* child, String* spelled) override;
  Result AddChild(KeyId parent, StringView name, KeyId* child) override;
  Result KeyExists(KeyId key) override;
  Result HasChildren(KeyId key, bool* any) override;
  Result DeleteKey(KeyId key) override;
  Result ReadValue(KeyId key, StringView name, StoredValue* value) override;
  Result WriteValue(KeyId key, const StoredValue& value) override;
  Result DeleteValue(KeyId key, StringView name) override;
  Result ListChildren(KeyId key, std::vector<String>* names) override;
  Result ListValues(KeyId key, std::vector<StoredValue>* values) override;
  Result Transaction(const std::function<Result()>& body) override;

  // The connection, for the maintenance of the whole file (copies, checks); null when the file
  // could not be opened.
  sqlite3* connection() const { return db_.get(); }
  const std::string& path() const { return path_; }
  // Drops the prepared statements, after the file's contents were replaced underneath them.
  void ForgetStatements() { statements_.clear(); }

 private:
  class Statement;

  Result Connect();
  Result Refuse(Result result, const char* reason);
  int Exec(const char* sql);

  std::string path_;
  UniqueDb db_;
  std::map<const char*, UniqueStmt> statements_;  // by the SQL text's address, kept for reuse
  Result health_ = kSuccess;
};

}  // namespace corvane::registry
