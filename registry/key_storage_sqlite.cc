// KeyStorage over SQLite: the schema, the prepared statements, busy retries and the fault seam.
#include "registry/key_storage_sqlite.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

#include "corvane/messages.h"
#include "corvane/types.h"

namespace corvane::registry {

namespace sqlite_detail {
void CloseDb(sqlite3* db) {
  sqlite3_close_v2(db);
}
void FinalizeStmt(sqlite3_stmt* stmt) {
  sqlite3_finalize(stmt);
}
}  // namespace sqlite_detail

namespace {

constexpr Result kDiskFull = 112;
constexpr Result kRegistryCorrupt = 1015;
constexpr Result kRegistryIoFailed = 1016;
constexpr Result kNotRegistryFile = 1017;  // a database, but another program's

// The schema version that user_version holds once a store is set up as below. A store at this
// version is used as it is: opening it writes nothing. Version 0 is a new file, or a store from
// before the guards, which gets them once. Stores before version 3 kept names folded over
// Latin letters only, and kept the keys of HKEY_CLASSES_ROOT, HKEY_CURRENT_USER and
// HKEY_CURRENT_CONFIG apart from the keys they are views on; stores of version 3 had moved
// those without merging keys of one name. Each is set right once (UpgradeFrom).
constexpr int kSchemaVersion = 4;
// The mark of a store's file (application_id): "Corv".
constexpr int kStoreMark = 0x436F7276;

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"  // never reused: a stale handle stays stale
    "  parent INTEGER NOT NULL,"               // 0 for a root
    "  name TEXT NOT NULL,"                    // as created, UTF-8
    "  fold TEXT NOT NULL,"                    // folded to upper case, for lookups
    "  UNIQUE(parent, fold));"
    "CREATE TABLE IF NOT EXISTS vals("
    "  key INTEGER NOT NULL,"
    "  name TEXT NOT NULL,"
    "  fold TEXT NOT NULL,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL,"  // text types as UTF-16LE, others as given
    "  seq INTEGER NOT NULL,"
    "  PRIMARY KEY(key, fold)) WITHOUT ROWID;"
    // The next value's place in its key is found from this index, not by reading every value.
    "CREATE INDEX IF NOT EXISTS vals_order ON vals(key, seq);"
    // The tree's guards, whatever writes to the file: no value without its key, no key without
    // its parent, no key deleted while it has subkeys, and a key's values go with it.
    "CREATE TRIGGER IF NOT EXISTS vals_need_key BEFORE INSERT ON vals"
    "  WHEN NOT EXISTS (SELECT 1 FROM keys WHERE id = NEW.key)"
    "  BEGIN SELECT RAISE(ABORT, 'the value''s key is gone'); END;"
    "CREATE TRIGGER IF NOT EXISTS vals_keep_key BEFORE UPDATE OF key ON vals"
    "  WHEN NOT EXISTS (SELECT 1 FROM keys WHERE id = NEW.key)"
    "  BEGIN SELECT RAISE(ABORT, 'the value''s key is gone'); END;"
    "CREATE TRIGGER IF NOT EXISTS keys_need_parent BEFORE INSERT ON keys"
    "  WHEN NEW.parent <> 0 AND NOT EXISTS (SELECT 1 FROM keys WHERE id = NEW.parent)"
    "  BEGIN SELECT RAISE(ABORT, 'the key''s parent is gone'); END;"
    "CREATE TRIGGER IF NOT EXISTS keys_keep_parent BEFORE UPDATE OF parent ON keys"
    "  WHEN NEW.parent <> 0 AND NOT EXISTS (SELECT 1 FROM keys WHERE id = NEW.parent)"
    "  BEGIN SELECT RAISE(ABORT, 'the key''s parent is gone'); END;"
    "CREATE TRIGGER IF NOT EXISTS keys_leave_last BEFORE DELETE ON keys"
    "  WHEN EXISTS (SELECT 1 FROM keys WHERE parent = OLD.id)"
    "  BEGIN SELECT RAISE(ABORT, 'the key has subkeys'); END;"
    "CREATE TRIGGER IF NOT EXISTS keys_take_values AFTER DELETE ON keys"
    "  BEGIN DELETE FROM vals WHERE key = OLD.id; END;"
    "INSERT OR IGNORE INTO keys(id, parent, name, fold) VALUES"
    "  (1, 0, 'HKEY_CLASSES_ROOT', 'HKEY_CLASSES_ROOT'),"
    "  (2, 0, 'HKEY_CURRENT_USER', 'HKEY_CURRENT_USER'),"
    "  (3, 0, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE'),"
    "  (4, 0, 'HKEY_USERS', 'HKEY_USERS'),"
    "  (6, 0, 'HKEY_CURRENT_CONFIG', 'HKEY_CURRENT_CONFIG');";

StoreFault g_fault = nullptr;

bool IsBusy(int rc) {
  return (rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED;
}

std::string FoldedUtf8(StringView name) {
  return StoredUtf8(Fold(name));
}

}  // namespace

Result ResultOfSqlite(int code) {
  switch (code & 0xFF) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return kRegistryCorrupt;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return kAccessDenied;
    case SQLITE_FULL:
      return kDiskFull;
    default:
      return kRegistryIoFailed;
  }
}

void SetStoreFault(StoreFault fault) {
  g_fault = fault;
}


// A prepared statement of the storage, reset and cleared when it goes out of scope.
class SqliteStorage::Statement {
 public:
  Statement(SqliteStorage& storage, const char* sql) : storage_(storage), sql_(sql) {
    UniqueStmt& cached = storage.statements_[sql];
    if (!cached)
      sqlite3_prepare_v3(storage.db_.get(), sql, -1, SQLITE_PREPARE_PERSISTENT, cached.put(),
                         nullptr);
    stmt_ = cached.get();
  }
  ~Statement() {
    if (stmt_ != nullptr) {
      sqlite3_reset(stmt_);
      sqlite3_clear_bindings(stmt_);
    }
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int i, int64_t value) {
    if (stmt_ != nullptr) sqlite3_bind_int64(stmt_, i, value);
    return *this;
  }
  Statement& Bind(int i, const std::string& text) {
    if (stmt_ != nullptr)
      sqlite3_bind_text(stmt_, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
  }
  // Bound without a copy: `bytes` must outlive the statement's step (data up to 32 MiB).
  Statement& BindBlob(int i, const std::string& bytes) {
    if (stmt_ != nullptr)
      sqlite3_bind_blob(stmt_, i, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE, or an error code; a statement that could not be prepared answers
  // SQLITE_ERROR.
  int Step() {
    if (stmt_ == nullptr) return SQLITE_ERROR;
    return storage_.WithRetries(
        sql_, [this] { return sqlite3_step(stmt_); }, [this] { sqlite3_reset(stmt_); });
  }
  // Steps a statement that changes rows: 0, or the failure's result.
  Result Run() {
    const int rc = Step();
    return rc == SQLITE_DONE ? kSuccess : storage_.Failed(rc);
  }
  int64_t Int(int column) { return sqlite3_column_int64(stmt_, column); }
  // A name with its length, a NUL in it included.
  String Text(int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    if (text == nullptr) return String();
    return FromStoredUtf8(
        std::string_view(text, static_cast<size_t>(sqlite3_column_bytes(stmt_, column))));
  }
  std::string Blob(int column) {
    const void* blob = sqlite3_column_blob(stmt_, column);
    return std::string(static_cast<const char*>(blob),
                       static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
  }

 private:
  SqliteStorage& storage_;
  const char* sql_;
  sqlite3_stmt* stmt_ = nullptr;
};

SqliteStorage::SqliteStorage(std::string path)
    : path_(std::move(path)),
      deadline_(std::chrono::steady_clock::now() + std::chrono::seconds(10)) {
  health_ = Connect();
}

SqliteStorage::~SqliteStorage() {
  statements_.clear();  // before the connection they belong to
}

Result SqliteStorage::FindChild(KeyId parent, StringView name, KeyId* child, String* spelled) {
  Statement find(*this, "SELECT id, name FROM keys WHERE parent = ? AND fold = ?");
  find.Bind(1, parent).Bind(2, FoldedUtf8(name));
  const int rc = find.Step();
  if (rc == SQLITE_DONE) return kFileNotFound;
  if (rc != SQLITE_ROW) return Failed(rc);
  *child = find.Int(0);
  if (spelled != nullptr) *spelled = find.Text(1);
  return kSuccess;
}

Result SqliteStorage::AddChild(KeyId parent, StringView name, KeyId* child) {
  Statement insert(*this, "INSERT INTO keys(parent, name, fold) VALUES(?, ?, ?)");
  insert.Bind(1, parent).Bind(2, rt::ToUtf8(name)).Bind(3, FoldedUtf8(name));
  if (const Result r = RunGuarded(insert); r != kSuccess) return r;
  *child = sqlite3_last_insert_rowid(db_.get());
  return kSuccess;
}

Result SqliteStorage::KeyExists(KeyId key) {
  Statement exists(*this, "SELECT 1 FROM keys WHERE id = ?");
  exists.Bind(1, key);
  const int rc = exists.Step();
  if (rc == SQLITE_ROW) return kSuccess;
  return rc == SQLITE_DONE ? kFileNotFound : Failed(rc);
}

Result SqliteStorage::HasChildren(KeyId key, bool* any) {
  Statement children(*this, "SELECT 1 FROM keys WHERE parent = ? LIMIT 1");
  children.Bind(1, key);
  const int rc = children.Step();
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) return Failed(rc);
  *any = rc == SQLITE_ROW;
  return kSuccess;
}

// A name kept under a shadow fold (two names of one key that an older store kept apart and
// that are one name now) takes the fold of the name that calls reached, once that is gone, so
// that each in turn can be read and deleted by its name. The first made or set goes first.
// `promote` binds the fold as ?1, the owner (key or parent) as ?2, and the range that every
// shadow of the fold lies in as ?3 and ?4.
Result SqliteStorage::PromoteShadow(const char* promote, int64_t owner, const std::string& fold) {
  Statement update(*this, promote);
  update.Bind(1, fold).Bind(2, owner).Bind(3, fold + '\xFF').Bind(4, fold + "\xFF\xFF");
  return update.Run();
}

Result SqliteStorage::DeleteKey(KeyId key) {
  // The key's values go with it (the schema's keys_take_values).
  Statement remove(*this, "DELETE FROM keys WHERE id = ? RETURNING parent, fold");
  remove.Bind(1, key);
  int rc = remove.Step();
  if (rc != SQLITE_ROW) return rc == SQLITE_DONE ? kSuccess : Failed(rc);
  const int64_t parent = remove.Int(0);
  const std::string fold = remove.Blob(1);
  if ((rc = remove.Step()) != SQLITE_DONE) return Failed(rc);
  if (fold.find('\xFF') != std::string::npos) return kSuccess;
  return PromoteShadow(
      "UPDATE keys SET fold = ?1 WHERE id = (SELECT id FROM keys WHERE parent = ?2"
      " AND fold >= ?3 AND fold < ?4 ORDER BY id LIMIT 1)",
      parent, fold);
}

Result SqliteStorage::ReadValue(KeyId key, StringView name, StoredValue* value) {
  Statement select(*this, "SELECT name, type, data FROM vals WHERE key = ? AND fold = ?");
  select.Bind(1, key).Bind(2, FoldedUtf8(name));
  const int rc = select.Step();
  if (rc == SQLITE_DONE) return kFileNotFound;
  if (rc != SQLITE_ROW) return Failed(rc);
  value->name = select.Text(0);
  value->type = static_cast<uint32_t>(select.Int(1));
  value->data = select.Blob(2);
  return kSuccess;
}

Result SqliteStorage::WriteValue(KeyId key, const StoredValue& value) {
  Statement upsert(*this,
                   "INSERT INTO vals(key, name, fold, type, data, seq) VALUES(?, ?, ?, ?, ?,"
                   " (SELECT COALESCE(MAX(seq), 0) + 1 FROM vals WHERE key = ?1))"
                   " ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type,"
                   " data = excluded.data");
  upsert.Bind(1, key)
      .Bind(2, rt::ToUtf8(value.name))
      .Bind(3, FoldedUtf8(value.name))
      .Bind(4, static_cast<int64_t>(value.type))
      .BindBlob(5, value.data);
  return RunGuarded(upsert);
}

Result SqliteStorage::DeleteValue(KeyId key, StringView name) {
  const std::string fold = FoldedUtf8(name);
  Statement remove(*this, "DELETE FROM vals WHERE key = ? AND fold = ?");
  remove.Bind(1, key).Bind(2, fold);
  if (const Result r = remove.Run(); r != kSuccess) return r;
  if (sqlite3_changes(db_.get()) != 1) return kFileNotFound;
  return PromoteShadow(
      "UPDATE vals SET fold = ?1 WHERE key = ?2 AND fold = (SELECT fold FROM vals"
      " WHERE key = ?2 AND fold >= ?3 AND fold < ?4 ORDER BY seq LIMIT 1)",
      key, fold);
}

Result SqliteStorage::ListChildren(KeyId key, std::vector<Child>* children) {
  children->clear();
  Statement list(*this, "SELECT id, name FROM keys WHERE parent = ? ORDER BY fold");
  list.Bind(1, key);
  int rc;
  while ((rc = list.Step()) == SQLITE_ROW)
    children->push_back({list.Int(0), list.Text(1)});
  return rc == SQLITE_DONE ? kSuccess : Failed(rc);
}

Result SqliteStorage::ListValues(KeyId key, std::vector<StoredValue>* values) {
  values->clear();
  Statement list(*this, "SELECT name, type, data FROM vals WHERE key = ? ORDER BY seq");
  list.Bind(1, key);
  int rc;
  while ((rc = list.Step()) == SQLITE_ROW)
    values->push_back({list.Text(0), static_cast<uint32_t>(list.Int(1)), list.Blob(2)});
  return rc == SQLITE_DONE ? kSuccess : Failed(rc);
}

Result SqliteStorage::Begin(Deadline deadline) {
  deadline_ = deadline;
  if (health_ != kSuccess) return health_;
  if (!set_up_) {
    if (const Result r = SetUp(); r != kSuccess) return r;
    set_up_ = true;
  }
  return kSuccess;
}

Result SqliteStorage::Transaction(const std::function<Result()>& body) {
  if (health_ != kSuccess) return health_;
  if (read_only_) return write_refusal_;
  int rc = Exec("BEGIN IMMEDIATE");
  if (rc != SQLITE_OK) return Failed(rc);
  Result result = kSuccess;
  try {
    result = body();
  } catch (...) {  // out of memory in the body: nothing of it is kept
    sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  if (result != kSuccess) {
    sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    return result;
  }
  rc = Exec("COMMIT");
  if (rc != SQLITE_OK) {
    sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    return Failed(rc);
  }
  return kSuccess;
}

// Runs one SQLite call through the seam; while the database is busy (and SQLite's own busy
// handler has given up or was not asked), tries again after `reset` until the call's deadline.
template <class Call, class Reset>
int SqliteStorage::WithRetries(const char* sql, Call call, Reset reset) {
  auto once = [&] {
    if (g_fault != nullptr)
      if (const int injected = g_fault(sql); injected != 0) return injected;
    return call();
  };
  int rc = once();
  while (IsBusy(rc) && std::chrono::steady_clock::now() < deadline_) {
    reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    rc = once();
  }
  return rc;
}

// A transaction statement (BEGIN, COMMIT), through the seam and the retries.
int SqliteStorage::Exec(const char* sql) {
  return WithRetries(
      sql, [&] { return sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr); }, [] {});
}

// SQLite's busy handler: waits a little and asks again while the call's deadline allows.
int SqliteStorage::OnBusy(void* self, int count) {
  const auto* storage = static_cast<const SqliteStorage*>(self);
  const auto now = std::chrono::steady_clock::now();
  if (now >= storage->deadline_) return 0;
  const auto step = std::chrono::milliseconds(std::min(1 << std::min(count, 5), 20));
  std::this_thread::sleep_for(
      std::min<std::chrono::steady_clock::duration>(step, storage->deadline_ - now));
  return 1;
}

// Runs an insert that the schema's guards check: 2 when a guard refused it because the key it
// goes into is not there (any more).
Result SqliteStorage::RunGuarded(Statement& insert) {
  const int rc = insert.Step();
  if (rc == SQLITE_DONE) return kSuccess;
  if ((rc & 0xFF) == SQLITE_CONSTRAINT &&
      sqlite3_extended_errcode(db_.get()) == SQLITE_CONSTRAINT_TRIGGER)
    return kFileNotFound;
  return Failed(rc);
}

// A file that the claiming VFS refused: 5 from now on, the reason said once.
bool SqliteStorage::TakeRefusal() {
  const std::string why = TakeClaimRefusal();
  if (why.empty()) return false;
  health_ = Refuse(kAccessDenied, why.c_str());
  return true;
}

Result SqliteStorage::Failed(int rc) {
  if (TakeRefusal()) return health_;
  const Result result = ResultOfSqlite(rc);
  if (result == kRegistryCorrupt && !said_damaged_) {
    said_damaged_ = true;
    Refuse(result, "the database is damaged");
  }
  return result;
}

std::string UriPath(const std::string& path) {
  std::string uri;
  for (const char c : path) {
    if (c == '%' || c == '?' || c == '#') {
      static const char kHex[] = "0123456789ABCDEF";
      uri += '%';
      uri += kHex[static_cast<unsigned char>(c) >> 4];
      uri += kHex[c & 0xF];
    } else {
      uri += c;
    }
  }
  return uri;
}

// Opens the connection; the file is set up by the first call (SetUp). A file, or a folder, that
// this process cannot write is opened for reading: readers work, writers answer 5. A store that
// another user could reach (WhoElseCanReach) is refused with 5, and never followed through a
// symbolic link.
Result SqliteStorage::Connect() {
  const size_t slash = path_.rfind('/');
  const std::string folder = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : path_.substr(0, slash);
  if (const std::string why = WhoElseCanReach(path_, folder); !why.empty())
    return Refuse(kAccessDenied, why.c_str());
  // A new file is made private first; SQLite then takes it as an empty database.
  const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd >= 0) ::close(fd);
  read_only_ = ::access(path_.c_str(), W_OK) != 0 || ::access(folder.c_str(), W_OK) != 0;
  return OpenConnection(false);
}

// (Re)opens the connection. `immutable`: a store in a folder that cannot be written and that
// has no write-ahead log beside it, which SQLite can then read without its shared-memory file.
Result SqliteStorage::OpenConnection(bool immutable) {
  statements_.clear();
  db_.reset();
  int rc;
  if (read_only_) {
    const std::string uri =
        "file:" + UriPath(path_) + (immutable ? "?mode=ro&immutable=1" : "?mode=ro");
    rc = sqlite3_open_v2(
        uri.c_str(), db_.put(),
        SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_FULLMUTEX | SQLITE_OPEN_NOFOLLOW,
        ClaimingVfs());
  } else {
    rc = sqlite3_open_v2(path_.c_str(), db_.put(),
                         SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX | SQLITE_OPEN_NOFOLLOW,
                         ClaimingVfs());
  }
  sqlite3* db = db_.get();
  if (TakeRefusal()) return health_;
  if (rc != SQLITE_OK) return Refuse(kRegistryIoFailed, sqlite3_errstr(rc));
  if (sqlite3_db_readonly(db, "main") == 1) read_only_ = true;
  sqlite3_busy_handler(db, &SqliteStorage::OnBusy, this);
  Exec("PRAGMA synchronous=NORMAL");  // the engine's first read of the file
  return kSuccess;
}

// The first column of the one row that `sql` gives, as text.
int SqliteStorage::ReadPragma(const char* sql, std::string* value) {
  UniqueStmt stmt;
  int rc = sqlite3_prepare_v2(db_.get(), sql, -1, stmt.put(), nullptr);
  if (rc != SQLITE_OK) return rc;
  rc = WithRetries(
      sql, [&] { return sqlite3_step(stmt.get()); }, [&] { sqlite3_reset(stmt.get()); });
  if (rc != SQLITE_ROW) return rc == SQLITE_DONE ? SQLITE_CORRUPT : rc;
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0));
  *value = text != nullptr ? text : "";
  return SQLITE_OK;
}

// The same, as a number.
int SqliteStorage::ReadPragma(const char* sql, int64_t* value) {
  std::string text;
  const int rc = ReadPragma(sql, &text);
  if (rc == SQLITE_OK) *value = std::strtoll(text.c_str(), nullptr, 10);
  return rc;
}

// What the setup decides on: the file's mark and version, and what it holds.
struct SqliteStorage::FileFacts {
  int64_t mark = 0;        // application_id
  int64_t version = 0;     // user_version
  int64_t objects = 0;     // tables, indexes and triggers of any kind
  int64_t foreign = 0;     // tables that a store never holds
  int64_t own_tables = 0;  // of the store's two tables, keys and vals
  std::string journal;

  bool marked() const { return mark == kStoreMark; }
  // A store of ours from before the mark: our two tables and nothing foreign.
  bool unmarked_store() const { return mark == 0 && foreign == 0 && own_tables == 2; }
  bool empty() const { return objects == 0; }
};

int SqliteStorage::ReadFacts(FileFacts* facts) {
  int rc = ReadPragma("PRAGMA application_id", &facts->mark);
  // A write-ahead-log store in a folder that cannot be written: SQLite cannot make its
  // shared-memory file there, and answers CANTOPEN or READONLY to the first read.
  if (((rc & 0xFF) == SQLITE_CANTOPEN || (rc & 0xFF) == SQLITE_READONLY) && read_only_ &&
      ::access((path_ + "-wal").c_str(), F_OK) != 0) {
    if (const Result r = OpenConnection(true); r != kSuccess) return SQLITE_CANTOPEN;
    rc = ReadPragma("PRAGMA application_id", &facts->mark);
  }
  if (rc == SQLITE_OK) rc = ReadPragma("PRAGMA user_version", &facts->version);
  if (rc == SQLITE_OK) rc = ReadPragma("SELECT COUNT(*) FROM sqlite_master", &facts->objects);
  if (rc == SQLITE_OK)
    rc = ReadPragma(
        "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table'"
        " AND name NOT IN ('keys', 'vals', 'sqlite_sequence')",
        &facts->foreign);
  if (rc == SQLITE_OK)
    rc = ReadPragma(
        "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name IN ('keys', 'vals')",
        &facts->own_tables);
  if (rc == SQLITE_OK) rc = ReadPragma("PRAGMA journal_mode", &facts->journal);
  return rc;
}

// Makes the file a store. A store that is set up already is only read: its mark, version,
// tables and journal, no lock needed beside a writer. A new (empty) file, or a store of ours
// from before the current version, is set up in one transaction. Any other database is
// another program's: refused, and left byte for byte as it was. A busy moment gives 1016 and
// leaves the setup to the next call; a file that is not a sound database is refused for good.
Result SqliteStorage::SetUp() {
  FileFacts facts;
  int rc = ReadFacts(&facts);
  if (rc == SQLITE_OK) {
    if (!facts.empty() && !facts.marked() && !facts.unmarked_store())
      return health_ = Refuse(kNotRegistryFile,
                              "not a registry store (another program's database, left as it is)");
    if (facts.marked() && facts.version == kSchemaVersion && facts.own_tables == 2 &&
        (facts.journal == "wal" || read_only_))
      return kSuccess;
    if (read_only_) {
      // An older store is read as it is, its names as they were folded then.
      if (!facts.empty() && facts.own_tables == 2) return kSuccess;
      return health_ = Refuse(kAccessDenied, "read-only, and not a registry store yet");
    }
  }
  if (rc == SQLITE_OK && facts.journal != "wal") {
    rc = ReadPragma("PRAGMA journal_mode=WAL", &facts.journal);
    if (rc == SQLITE_OK && facts.journal != "wal") rc = SQLITE_BUSY;  // another holds it
  }
  if (rc == SQLITE_OK) rc = Exec("BEGIN IMMEDIATE");
  char* message = nullptr;
  if (rc == SQLITE_OK) {
    // Read again under the write lock: another process may have set the file up meanwhile.
    rc = ReadPragma("PRAGMA user_version", &facts.version);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db_.get(), kSchema, nullptr, nullptr, &message);
    if (rc == SQLITE_OK && !facts.empty() && facts.version < kSchemaVersion)
      rc = UpgradeFrom(facts.version);
    const std::string marks = "PRAGMA user_version = " + std::to_string(kSchemaVersion) +
                              "; PRAGMA application_id = " + std::to_string(kStoreMark);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db_.get(), marks.c_str(), nullptr, nullptr, &message);
    if (rc == SQLITE_OK) rc = Exec("COMMIT");
    if (rc != SQLITE_OK) sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
  }
  const std::string reason = message != nullptr ? message : sqlite3_errstr(rc);
  sqlite3_free(message);
  if (rc == SQLITE_OK) return kSuccess;
  if (TakeRefusal()) return health_;
  if (IsBusy(rc)) return kRegistryIoFailed;  // not kept: the next call tries again
  if (ResultOfSqlite(rc) == kDiskFull && !facts.empty() && facts.own_tables == 2) {
    // An older store with no room for its upgrade is read as it is, so that it can still be
    // shown, exported and copied elsewhere; writes wait for room (the next process upgrades).
    read_only_ = true;
    write_refusal_ = kDiskFull;
    SayMessage("corvane: registry store " + path_ + " stays at version " +
               std::to_string(facts.version) + ": there is no room to upgrade it (" + reason +
               "); it is read as it is, and writes answer 112");
    return kSuccess;
  }
  health_ = Refuse(ResultOfSqlite(rc), reason.c_str());
  return health_;
}

Result SqliteStorage::Refuse(Result result, const char* reason) {
  SayMessage("corvane: registry store " + path_ + " cannot be used: " + reason);
  return result;
}

}  // namespace corvane::registry
