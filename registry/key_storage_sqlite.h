// KeyStorage in a SQLite database file: the registry store of the POSIX build.
//
// WAL mode; each transaction is one SQLite transaction, so an acknowledged write survives the
// process being killed, and several processes can share one file: readers take no lock, a
// writer waits for another within the call's deadline. A store whose file or folder cannot be
// written is read as it is, and every write answers 5. A file is a store when it carries the
// store's mark (application_id); any other database is refused and left untouched. Opening a
// store that is set up reads it and writes nothing; a new file is set up by its first call. Opening
// does not scan the file: damage is found where a call meets it (1015, said once on standard
// error). Names and text are kept as UTF-8, text data as UTF-16LE blobs. A file that cannot be
// opened, is read-only or is damaged gives a storage whose health is its error result (1016, 5,
// 1015), says once on standard error which file and why, and is never written.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "registry/key_storage.h"
#include "runtime/unique_resource.h"

struct sqlite3;
struct stat;
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
// Why another user could reach the store at `path` in `folder` (registry_store_posix.cc): a
// reason to refuse it, or "".
std::string WhoElseCanReach(const std::string& path, const std::string& folder);
// Why the file (or folder) `st` describes, at `file`, is not one of this user's that only this
// user can write: a link, another kind of file, another's, or writable by others; or "".
std::string WhyNotOwn(const std::string& file, const struct stat& st, bool folder = false);
// Why another user could reach `file` as the engine is about to open it (made here, private,
// where it is missing and `create` allows), or "" (registry_store_posix.cc).
std::string ClaimStoreFile(const std::string& file, bool create);
// The name of the VFS that claims each file before the engine opens it, and why the last open
// on this thread was refused ("" if none; taking it clears it).
const char* ClaimingVfs();
std::string TakeClaimRefusal();
// A file's name as the path of an SQLite URI ("file:" + UriPath(name) + "?...").
std::string UriPath(const std::string& path);

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

  Result Begin(Deadline deadline) override;
  Result FindChild(KeyId parent, StringView name, KeyId* child, String* spelled) override;
  Result AddChild(KeyId parent, StringView name, KeyId* child) override;
  Result KeyExists(KeyId key) override;
  Result HasChildren(KeyId key, bool* any) override;
  Result DeleteKey(KeyId key) override;
  Result ReadValue(KeyId key, StringView name, StoredValue* value) override;
  Result WriteValue(KeyId key, const StoredValue& value) override;
  Result DeleteValue(KeyId key, StringView name) override;
  Result ListChildren(KeyId key, std::vector<Child>* children) override;
  Result ListValues(KeyId key, std::vector<StoredValue>* values) override;
  Result Transaction(const std::function<Result()>& body) override;

  // The connection, for the maintenance of the whole file (copies, checks); null when the file
  // could not be opened.
  sqlite3* connection() const { return db_.get(); }
  const std::string& path() const { return path_; }
  // Drops the prepared statements, after the file's contents were replaced underneath them;
  // the next call looks at the file's setup afresh.
  void ForgetStatements() {
    statements_.clear();
    set_up_ = false;
  }

 private:
  class Statement;

  Result Connect();
  Result OpenConnection(bool immutable);
  struct FileFacts;
  int ReadFacts(FileFacts* facts);
  Result SetUp();
  int UpgradeFrom(int64_t version);
  int ReadPragma(const char* sql, std::string* value);
  int ReadPragma(const char* sql, int64_t* value);
  Result Refuse(Result result, const char* reason);
  // The result for SQLite's failure `rc`; damage is said once on standard error.
  Result Failed(int rc);
  bool TakeRefusal();
  Result RunGuarded(Statement& insert);
  Result PromoteShadow(const char* promote, int64_t owner, const std::string& fold);
  int Exec(const char* sql);
  template <class Call, class Reset>
  int WithRetries(const char* sql, Call call, Reset reset);
  static int OnBusy(void* self, int count);

  std::string path_;
  UniqueDb db_;
  std::map<const char*, UniqueStmt> statements_;  // by the SQL text's address, kept for reuse
  Result health_ = kSuccess;  // a failure that every call gives for good (open, read-only, damage)
  bool set_up_ = false;       // the file is a store at the current schema version
  bool read_only_ = false;    // the file or its folder cannot be written: reads only
  Result write_refusal_ = kAccessDenied;  // what a write answers while reads only
  bool said_damaged_ = false;
  Deadline deadline_;  // the current call's
};

}  // namespace corvane::registry
