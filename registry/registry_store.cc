// The embedded registry store over SQLite. See registry_store.h for the rules it keeps.
#include "registry/registry_store.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "runtime/ansi.h"

namespace corvane::registry {
namespace {

constexpr Result kDiskFull = 112;
constexpr Result kRegistryCorrupt = 1015;
constexpr Result kRegistryIoFailed = 1016;
constexpr uint32_t kKeySetValue = 0x2;
constexpr Long kFirstHandle = 0x100;

// The seven roots: their key rows (0: no row) and names.
struct Root {
  Long handle;
  int64_t id;  // 0: answered specially
  const char* name;
};
constexpr Root kRoots[] = {{kClassesRoot, 1, "HKEY_CLASSES_ROOT"},
                           {kCurrentUser, 2, "HKEY_CURRENT_USER"},
                           {kLocalMachine, 3, "HKEY_LOCAL_MACHINE"},
                           {kUsers, 4, "HKEY_USERS"},
                           {kPerformanceData, 0, "HKEY_PERFORMANCE_DATA"},
                           {kCurrentConfig, 6, "HKEY_CURRENT_CONFIG"},
                           {kDynData, 0, "HKEY_DYN_DATA"}};

const Root* RootOf(Long handle) {
  for (const Root& root : kRoots)
    if (root.handle == handle) return &root;
  return nullptr;
}

// Names compare as Windows compares them: folded to upper case.
String Fold(StringView name) {
  String out(name);
  for (char16_t& c : out) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
      c = static_cast<char16_t>(c - 0x20);
    } else if (c == 0xFF) {
      c = 0x178;
    } else if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
               c % 2 == 1) {
      c = static_cast<char16_t>(c - 1);  // Latin Extended-A pairs (upper case first)
    }
  }
  return out;
}

String FromAnsiText(const char* text) {
  return text == nullptr ? String() : rt::FromAnsi(text);
}

// Owners of the SQLite connection and statements.
struct CloseDb {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct FinalizeStmt {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using UniqueDb = std::unique_ptr<sqlite3, CloseDb>;
using UniqueStmt = std::unique_ptr<sqlite3_stmt, FinalizeStmt>;

// The result code for a SQLite failure.
Result ResultOf(int code) {
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
    "INSERT OR IGNORE INTO keys(id, parent, name, fold) VALUES"
    "  (1, 0, 'HKEY_CLASSES_ROOT', 'HKEY_CLASSES_ROOT'),"
    "  (2, 0, 'HKEY_CURRENT_USER', 'HKEY_CURRENT_USER'),"
    "  (3, 0, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE'),"
    "  (4, 0, 'HKEY_USERS', 'HKEY_USERS'),"
    "  (6, 0, 'HKEY_CURRENT_CONFIG', 'HKEY_CURRENT_CONFIG');";

StoreFault g_fault = nullptr;

// Runs one SQLite call, retrying while the database is busy (after `reset`); the seam may
// answer in its place.
template <class Call, class Reset>
int WithRetries(const char* sql, Call call, Reset reset) {
  auto once = [&] {
    if (g_fault != nullptr)
      if (const int injected = g_fault(sql); injected != 0) return injected;
    return call();
  };
  int rc = once();
  for (int tries = 0; (rc & 0xFF) == SQLITE_BUSY && tries < 50; ++tries) {
    reset();
    sqlite3_sleep(20);
    rc = once();
  }
  return rc;
}

// Runs `sql` and gives its first column of every row as text (a failure as one row).
std::vector<std::string> Rows(sqlite3* db, const char* sql) {
  std::vector<std::string> rows;
  sqlite3_stmt* raw = nullptr;
  int rc = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
  UniqueStmt stmt(raw);
  if (rc != SQLITE_OK) return {std::string("cannot run the check: ") + sqlite3_errmsg(db)};
  while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
    rows.emplace_back(text != nullptr ? text : "");
  }
  if (rc != SQLITE_DONE) rows.push_back(std::string("the check failed: ") + sqlite3_errmsg(db));
  return rows;
}

// The checks of RegistryStore::Check on any connection.
RegistryStore::Report CheckDatabase(sqlite3* db) {
  RegistryStore::Report report;
  for (const std::string& row : Rows(db, "PRAGMA integrity_check"))
    if (row != "ok") report.problems.push_back("integrity: " + row);
  if (!report.problems.empty()) return report;
  const std::vector<std::string> tables =
      Rows(db,
           "SELECT name FROM sqlite_master WHERE type = 'table' AND name IN ('keys', 'vals')"
           " ORDER BY name");
  if (tables != std::vector<std::string>{"keys", "vals"}) {
    report.problems.push_back("not a registry store: the keys and vals tables are missing");
    return report;
  }
  auto count = [&](const char* sql) {
    const std::vector<std::string> rows = Rows(db, sql);
    return rows.size() == 1 ? std::atoll(rows[0].c_str()) : -1;
  };
  report.keys = count("SELECT COUNT(*) FROM keys");
  report.values = count("SELECT COUNT(*) FROM vals");
  const struct {
    const char* sql;
    const char* problem;
  } kInvariants[] = {
      {"SELECT COUNT(*) FROM keys WHERE parent = 0 AND (id NOT IN (1, 2, 3, 4, 6))",
       "keys without a parent that are not roots"},
      {"SELECT 5 - COUNT(*) FROM keys WHERE parent = 0 AND id IN (1, 2, 3, 4, 6)", "roots missing"},
      {"SELECT COUNT(*) FROM keys WHERE parent <> 0 AND parent NOT IN (SELECT id FROM keys)",
       "keys whose parent is gone"},
      {"WITH RECURSIVE reach(id) AS (SELECT id FROM keys WHERE parent = 0 UNION"
       " SELECT k.id FROM keys k JOIN reach r ON k.parent = r.id)"
       " SELECT (SELECT COUNT(*) FROM keys) - (SELECT COUNT(*) FROM reach)",
       "keys not reachable from a root"},
      {"SELECT COUNT(*) FROM vals WHERE key NOT IN (SELECT id FROM keys)",
       "values whose key is gone"},
      {"SELECT COUNT(*) FROM keys WHERE parent <> 0 AND (name = '' OR instr(name, '\\') > 0"
       " OR length(name) > 256)",
       "key names empty, too long or holding a backslash"},
      {"SELECT COUNT(*) FROM vals WHERE length(name) > 16383 OR length(data) > 1048576",
       "value names or data beyond the limits"},
  };
  for (const auto& invariant : kInvariants)
    if (const long long n = count(invariant.sql); n != 0)
      report.problems.push_back(std::to_string(n) + " " + invariant.problem);
  for (const char* table : {"keys", "vals"}) {
    const std::string sql = std::string("SELECT name, fold FROM ") + table;
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) continue;
    UniqueStmt stmt(raw);
    long long wrong = 0;
    while (sqlite3_step(raw) == SQLITE_ROW) {
      const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
      const auto* fold = reinterpret_cast<const char*>(sqlite3_column_text(raw, 1));
      if (name == nullptr || fold == nullptr ||
          rt::ToUtf8(Fold(rt::FromUtf8(name))) != std::string(fold))
        ++wrong;
    }
    if (wrong != 0)
      report.problems.push_back(std::to_string(wrong) + " " + table +
                                " whose folded name does not match the name");
  }
  return report;
}

class SqliteStore final : public RegistryStore {
 public:
  explicit SqliteStore(const std::string& path) : path_(path) { health_ = Connect(); }

  Result health() const override { return health_; }
  size_t open_handles() const override { return handles_.size(); }

  Result OpenKey(Long key, const char* subkey, Long* result) override {
    if (result == nullptr) return kInvalidParameter;
    *result = 0;
    if (subkey == nullptr || *subkey == 0) {
      const Target target = Resolve(key);
      if (target.error != kSuccess && target.error != kPerformance) return target.error;
      *result = key;
      return kSuccess;
    }
    return OpenKeyEx(key, subkey, 0, kKeyAllAccess, result);
  }

  Result OpenKeyEx(Long key, const char* subkey, uint32_t, uint32_t sam, Long* result) override {
    if (result == nullptr) return kInvalidParameter;
    *result = 0;
    const Target target = Resolve(key);
    const bool empty = subkey == nullptr || *subkey == 0;
    if (target.error == kPerformance) {
      if (!empty) return kInvalidHandle;
      *result = key;
      return kSuccess;
    }
    if (target.error != kSuccess) return target.error;
    if (empty && RootOf(key) != nullptr) {
      *result = key;
      return kSuccess;
    }
    std::vector<String> path;
    if (const Result r = ParsePath(key, subkey, path); r != kSuccess) return r;
    int64_t id = target.id;
    for (const String& name : path) {
      const std::optional<int64_t> child = FindChild(id, name);
      if (!child) return failed_ != kSuccess ? TakeFailure() : kFileNotFound;
      id = *child;
    }
    *result = NewHandle(id, sam);
    return kSuccess;
  }

  Result CreateKey(Long key, const char* subkey, Long* result) override {
    if (result == nullptr) return kInvalidParameter;
    *result = 0;
    const Target target = Resolve(key);
    if (target.error == kPerformance) return kInvalidHandle;
    if (target.error != kSuccess) return target.error;
    const bool empty = subkey == nullptr || *subkey == 0;
    if (empty && RootOf(key) != nullptr) {
      *result = key;
      return kSuccess;
    }
    std::vector<String> path;
    if (const Result r = ParsePath(key, subkey, path); r != kSuccess) return r;
    int64_t id = target.id;
    const Result r = Write([&]() -> Result {
      for (const String& name : path) {
        const std::optional<int64_t> child = Child(id, name, true);
        if (!child) return TakeFailure();
        id = *child;
      }
      return kSuccess;
    });
    if (r != kSuccess) return r;
    *result = NewHandle(id, kKeyAllAccess);
    return kSuccess;
  }

  Result QueryValueEx(Long key, const char* name, uint32_t* reserved, uint32_t* type, uint8_t* data,
                      uint32_t* count) override {
    if (reserved != nullptr || (data != nullptr && count == nullptr)) return kInvalidParameter;
    const Target target = Resolve(key);
    if (target.error == kPerformance) {
      if (count != nullptr) *count = 0;
      return kMoreData;
    }
    if (target.error != kSuccess) return target.error;
    Statement select(*this, "SELECT type, data FROM vals WHERE key = ? AND fold = ?");
    select.Bind(1, target.id).Bind(2, rt::ToUtf8(Fold(FromAnsiText(name))));
    const int rc = select.Step();
    if (rc == SQLITE_DONE) {
      if (data == nullptr && count != nullptr) *count = 0;
      return kFileNotFound;
    }
    if (rc != SQLITE_ROW) return ResultOf(rc);
    const auto value_type = static_cast<uint32_t>(sqlite3_column_int64(select.get(), 0));
    const void* blob = sqlite3_column_blob(select.get(), 1);
    const auto blob_size = static_cast<size_t>(sqlite3_column_bytes(select.get(), 1));
    std::string bytes = IsTextType(value_type)
                            ? rt::ToAnsi(FromUtf16Bytes(
                                  std::string_view(static_cast<const char*>(blob), blob_size)))
                            : std::string(static_cast<const char*>(blob), blob_size);
    const auto size = static_cast<uint32_t>(bytes.size());
    // The count is read before the type is written: one variable may serve as both.
    const uint32_t room = count != nullptr ? *count : 0;
    if (type != nullptr) *type = value_type;
    if (data == nullptr) {
      if (count != nullptr) *count = size;
      return kSuccess;
    }
    if (room < size) {
      *count = size;
      return kMoreData;
    }
    std::memcpy(data, bytes.data(), size);
    // Text that is not terminated gets a zero where there is room; the count leaves it out.
    if (IsTextType(value_type) && room > size && size > 0 && bytes.back() != 0) data[size] = 0;
    *count = size;
    return kSuccess;
  }

  Result SetValueEx(Long key, const char* name, uint32_t, uint32_t type, const uint8_t* data,
                    uint32_t count) override {
    const Target target = Resolve(key);
    if (target.error == kPerformance) return kInvalidHandle;
    if (target.error != kSuccess) return target.error;
    if ((target.access & kKeySetValue) == 0) return kAccessDenied;
    if ((data == nullptr && count != 0) || count > kMaxData) return kInvalidParameter;
    const String value_name = FromAnsiText(name);
    if (value_name.size() > kMaxValueName) return kInvalidParameter;
    std::string stored;
    if (IsTextType(type)) {
      // A count that leaves out the terminator just past it takes the terminator in.
      uint32_t used = count;
      if (count > 0 && data[count - 1] != 0 && data[count] == 0) ++used;
      stored =
          Utf16Bytes(rt::FromAnsi(std::string_view(reinterpret_cast<const char*>(data), used)));
    } else if (count > 0) {
      stored.assign(reinterpret_cast<const char*>(data), count);
    }
    return Write([&] { return Upsert(target.id, value_name, type, stored); });
  }

  Result ListKey(Long root, const std::vector<String>& path, std::vector<String>* spelled,
                 std::vector<String>* subkeys, std::vector<StoredValue>* values) override {
    const Root* r = RootOf(root);
    if (health_ != kSuccess) return health_;
    if (r == nullptr || r->id == 0) return kInvalidHandle;
    failed_ = kSuccess;
    int64_t id = r->id;
    if (spelled != nullptr) *spelled = {rt::FromUtf8(r->name)};
    for (const String& name : path) {
      const std::optional<int64_t> child = FindChild(id, name);
      if (!child) return failed_ != kSuccess ? TakeFailure() : kFileNotFound;
      id = *child;
      if (spelled != nullptr) {
        Statement named(*this, "SELECT name FROM keys WHERE id = ?");
        named.Bind(1, id);
        if (named.Step() != SQLITE_ROW) return failed_ != kSuccess ? TakeFailure() : kFileNotFound;
        spelled->push_back(ColumnText(named, 0));
      }
    }
    if (subkeys != nullptr) {
      subkeys->clear();
      Statement list(*this, "SELECT name FROM keys WHERE parent = ? ORDER BY fold");
      list.Bind(1, id);
      int rc;
      while ((rc = list.Step()) == SQLITE_ROW)
        subkeys->push_back(ColumnText(list, 0));
      if (rc != SQLITE_DONE) return TakeFailure();
    }
    if (values != nullptr) {
      values->clear();
      Statement list(*this, "SELECT name, type, data FROM vals WHERE key = ? ORDER BY seq");
      list.Bind(1, id);
      int rc;
      while ((rc = list.Step()) == SQLITE_ROW) {
        StoredValue value;
        value.name = ColumnText(list, 0);
        value.type = static_cast<uint32_t>(sqlite3_column_int64(list.get(), 1));
        const void* blob = sqlite3_column_blob(list.get(), 2);
        value.data.assign(static_cast<const char*>(blob),
                          static_cast<size_t>(sqlite3_column_bytes(list.get(), 2)));
        values->push_back(std::move(value));
      }
      if (rc != SQLITE_DONE) return TakeFailure();
    }
    return kSuccess;
  }

  Result Apply(const std::vector<KeyEdit>& edits) override {
    if (health_ != kSuccess) return health_;
    for (const KeyEdit& edit : edits) {
      const Root* r = RootOf(edit.root);
      if (r == nullptr || r->id == 0) return kInvalidHandle;
      for (const String& name : edit.path)
        if (name.empty() || name.size() > kMaxKeyName || name.find(u'\\') != String::npos)
          return kInvalidParameter;
      if (edit.value.name.size() > kMaxValueName || edit.value.data.size() > kMaxData)
        return kInvalidParameter;
    }
    return Write([&]() -> Result {
      for (const KeyEdit& edit : edits) {
        const bool create =
            edit.kind == KeyEdit::Kind::kCreateKey || edit.kind == KeyEdit::Kind::kSetValue;
        std::optional<int64_t> id = RootOf(edit.root)->id;
        for (const String& name : edit.path) {
          id = Child(*id, name, create);
          if (!id && failed_ != kSuccess) return TakeFailure();
          if (!id) break;
        }
        if (!id) continue;  // nothing to delete
        Result result = kSuccess;
        switch (edit.kind) {
          case KeyEdit::Kind::kCreateKey:
            break;
          case KeyEdit::Kind::kDeleteTree:
            if (edit.path.empty()) return kAccessDenied;  // a root itself
            result = DeleteTree(*id);
            break;
          case KeyEdit::Kind::kSetValue:
            result = Upsert(*id, edit.value.name, edit.value.type, edit.value.data);
            break;
          case KeyEdit::Kind::kDeleteValue: {
            Statement remove(*this, "DELETE FROM vals WHERE key = ? AND fold = ?");
            remove.Bind(1, *id).Bind(2, rt::ToUtf8(Fold(edit.value.name)));
            if (const int rc = remove.Step(); rc != SQLITE_DONE) result = ResultOf(rc);
            break;
          }
        }
        if (result != kSuccess) return result;
      }
      return kSuccess;
    });
  }

  Result DumpTo(const std::string& file) override {
    if (health_ != kSuccess) return health_;
    ::unlink(file.c_str());
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return kAccessDenied;
    ::close(fd);
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    UniqueDb copy(raw);
    if (rc != SQLITE_OK) return ResultOf(rc);
    rc = Copy(db_.get(), copy.get());
    return rc == SQLITE_OK ? kSuccess : ResultOf(rc);
  }

  Result RestoreFrom(const std::string& file) override {
    if (health_ != kSuccess) return health_;
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    UniqueDb source(raw);
    if (rc != SQLITE_OK) return kFileNotFound;
    if (!CheckDatabase(source.get()).problems.empty()) return kRegistryCorrupt;
    rc = Copy(source.get(), db_.get());
    if (rc != SQLITE_OK) return ResultOf(rc);
    handles_.clear();
    statements_.clear();
    return kSuccess;
  }

  Report Check() override {
    if (health_ != kSuccess) return {{"the store cannot be used"}, 0, 0};
    return CheckDatabase(db_.get());
  }

  Result CloseKey(Long key) override {
    if (RootOf(key) != nullptr) return kSuccess;
    return handles_.erase(key) == 1 ? kSuccess : kInvalidHandle;
  }

  Result DeleteKey(Long key, const char* subkey) override {
    if (subkey == nullptr) return kInvalidParameter;
    const Target target = Resolve(key);
    if (target.error == kPerformance) return kInvalidHandle;
    if (target.error != kSuccess) return target.error;
    std::vector<String> path;
    if (const Result r = ParsePath(key, subkey, path); r != kSuccess) return r;
    return Write([&]() -> Result {
      int64_t id = target.id;
      for (const String& name : path) {
        const std::optional<int64_t> child = FindChild(id, name);
        if (!child) return failed_ != kSuccess ? TakeFailure() : kFileNotFound;
        id = *child;
      }
      if (id == target.id && RootOf(key) != nullptr) return kAccessDenied;  // a root itself
      Statement children(*this, "SELECT 1 FROM keys WHERE parent = ? LIMIT 1");
      children.Bind(1, id);
      const int rc = children.Step();
      if (rc == SQLITE_ROW) return kAccessDenied;
      if (rc != SQLITE_DONE) return ResultOf(rc);
      Statement values(*this, "DELETE FROM vals WHERE key = ?");
      values.Bind(1, id);
      if (const int v = values.Step(); v != SQLITE_DONE) return ResultOf(v);
      Statement remove(*this, "DELETE FROM keys WHERE id = ?");
      remove.Bind(1, id);
      const int k = remove.Step();
      return k == SQLITE_DONE ? kSuccess : ResultOf(k);
    });
  }

  Result DeleteValue(Long key, const char* name) override {
    const Target target = Resolve(key);
    if (target.error == kPerformance) return kInvalidHandle;
    if (target.error != kSuccess) return target.error;
    if ((target.access & kKeySetValue) == 0) return kAccessDenied;
    return Write([&]() -> Result {
      Statement remove(*this, "DELETE FROM vals WHERE key = ? AND fold = ?");
      remove.Bind(1, target.id).Bind(2, rt::ToUtf8(Fold(FromAnsiText(name))));
      const int rc = remove.Step();
      if (rc != SQLITE_DONE) return ResultOf(rc);
      return sqlite3_changes(db_.get()) == 1 ? kSuccess : kFileNotFound;
    });
  }

 private:
  static constexpr Result kPerformance = -1;  // Resolve: HKEY_PERFORMANCE_DATA

  // A prepared statement, reset and cleared when it goes out of scope; kept for reuse.
  class Statement {
   public:
    Statement(SqliteStore& store, const char* sql) : store_(store), sql_(sql) {
      UniqueStmt& cached = store.statements_[sql];
      if (!cached) {
        sqlite3_stmt* prepared = nullptr;
        if (sqlite3_prepare_v3(store.db_.get(), sql, -1, SQLITE_PREPARE_PERSISTENT, &prepared,
                               nullptr) == SQLITE_OK)
          cached.reset(prepared);
      }
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
    Statement& BindBlob(int i, const std::string& bytes) {
      if (stmt_ != nullptr)
        sqlite3_bind_blob(stmt_, i, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
      return *this;
    }
    // SQLITE_ROW, SQLITE_DONE, or an error code; a statement that could not be prepared
    // answers with the connection's error.
    int Step() {
      if (stmt_ == nullptr) return SQLITE_ERROR;
      const int rc = WithRetries(
          sql_, [this] { return sqlite3_step(stmt_); }, [this] { sqlite3_reset(stmt_); });
      if (rc != SQLITE_ROW && rc != SQLITE_DONE) store_.failed_ = ResultOf(rc);
      return rc;
    }
    sqlite3_stmt* get() { return stmt_; }

   private:
    SqliteStore& store_;
    const char* sql_;
    sqlite3_stmt* stmt_ = nullptr;
  };

  // A transaction statement (BEGIN, COMMIT), through the seam and the retries.
  int Exec(const char* sql) {
    return WithRetries(
        sql, [&] { return sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr); }, [] {});
  }

  struct Target {
    Result error = kSuccess;
    int64_t id = 0;
    uint32_t access = 0;
  };

  Result TakeFailure() { return std::exchange(failed_, kSuccess); }

  Result Connect() {
    // A new file is made private first; SQLite then takes it as an empty database.
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) ::close(fd);
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path_.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX,
                             nullptr);
    db_.reset(raw);
    if (rc != SQLITE_OK) return Refuse(kRegistryIoFailed, sqlite3_errstr(rc));
    if (sqlite3_db_readonly(raw, "main") == 1) return Refuse(kAccessDenied, "read-only");
    sqlite3_busy_timeout(raw, 10000);
    char* message = nullptr;
    rc = sqlite3_exec(raw, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr,
                      &message);
    if (rc == SQLITE_OK) {
      // An existing file must be a sound database before anything is written into it.
      sqlite3_stmt* check = nullptr;
      rc = sqlite3_prepare_v2(raw, "PRAGMA quick_check", -1, &check, nullptr);
      UniqueStmt owner(check);
      if (rc == SQLITE_OK) {
        rc = sqlite3_step(check);
        if (rc == SQLITE_ROW) {
          const auto* verdict = reinterpret_cast<const char*>(sqlite3_column_text(check, 0));
          if (verdict == nullptr || std::strcmp(verdict, "ok") != 0)
            return Refuse(kRegistryCorrupt, "the database is damaged");
          rc = SQLITE_OK;
        }
      }
    }
    if (rc == SQLITE_OK) rc = sqlite3_exec(raw, kSchema, nullptr, nullptr, &message);
    const std::string reason = message != nullptr ? message : sqlite3_errstr(rc);
    sqlite3_free(message);
    if (rc != SQLITE_OK) return Refuse(ResultOf(rc), reason.c_str());
    return kSuccess;
  }

  Result Refuse(Result result, const char* reason) {
    std::fprintf(stderr, "corvane: registry store %s cannot be used: %s\n", path_.c_str(), reason);
    return result;
  }

  Target Resolve(Long key) {
    Target t;
    if (health_ != kSuccess) {
      t.error = health_;
      return t;
    }
    if (const Root* root = RootOf(key)) {
      if (root->handle == kPerformanceData) {
        t.error = kPerformance;
      } else if (root->id == 0) {
        t.error = kInvalidHandle;  // HKEY_DYN_DATA: Windows 9x only
      } else {
        t.id = root->id;
        t.access = kKeyAllAccess;
      }
      return t;
    }
    const auto found = handles_.find(key);
    if (found == handles_.end()) {
      t.error = kInvalidHandle;
      return t;
    }
    Statement exists(*this, "SELECT 1 FROM keys WHERE id = ?");
    exists.Bind(1, found->second.id);
    const int rc = exists.Step();
    if (rc == SQLITE_DONE) {
      t.error = kKeyDeleted;
    } else if (rc != SQLITE_ROW) {
      t.error = TakeFailure();
    } else {
      t.id = found->second.id;
      t.access = found->second.access;
    }
    return t;
  }

  // The components of `subkey`: a leading backslash is refused (one is skipped under
  // HKEY_CLASSES_ROOT), trailing and doubled ones are ignored, a component longer than a key
  // name may be is refused.
  Result ParsePath(Long key, const char* subkey, std::vector<String>& path) {
    String text = FromAnsiText(subkey);
    if (!text.empty() && text[0] == u'\\') {
      if (key != kClassesRoot) return kBadPathname;
      text.erase(0, 1);
    }
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find(u'\\', start);
      if (end == String::npos) end = text.size();
      if (end > start) {
        if (end - start > kMaxKeyName) return kInvalidParameter;
        path.push_back(text.substr(start, end - start));
      }
      start = end + 1;
    }
    return kSuccess;
  }

  // The child of `parent` called `name`; nothing when there is none or the lookup failed (then
  // failed_ holds the result).
  std::optional<int64_t> FindChild(int64_t parent, const String& name) {
    failed_ = kSuccess;  // a failure of an earlier call must not answer for this lookup
    Statement find(*this, "SELECT id FROM keys WHERE parent = ? AND fold = ?");
    find.Bind(1, parent).Bind(2, rt::ToUtf8(Fold(name)));
    if (find.Step() != SQLITE_ROW) return std::nullopt;
    return sqlite3_column_int64(find.get(), 0);
  }

  // The child of `parent` called `name`, made when it is missing and `create` is set (inside a
  // transaction); nothing when it is missing or the lookup or insert failed (then failed_
  // holds the result).
  std::optional<int64_t> Child(int64_t parent, const String& name, bool create) {
    const std::optional<int64_t> found = FindChild(parent, name);
    if (found || !create || failed_ != kSuccess) return found;
    Statement insert(*this, "INSERT INTO keys(parent, name, fold) VALUES(?, ?, ?)");
    insert.Bind(1, parent).Bind(2, rt::ToUtf8(name)).Bind(3, rt::ToUtf8(Fold(name)));
    if (insert.Step() != SQLITE_DONE) return std::nullopt;
    return sqlite3_last_insert_rowid(db_.get());
  }

  // Runs `body` as one transaction: committed when it returns success, rolled back otherwise.
  template <class Body>
  Result Write(Body body) {
    failed_ = kSuccess;
    int rc = Exec("BEGIN IMMEDIATE");
    if (rc != SQLITE_OK) return ResultOf(rc);
    const Result result = body();
    if (result != kSuccess) {
      sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
      return result;
    }
    rc = Exec("COMMIT");
    if (rc != SQLITE_OK) {
      sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
      return ResultOf(rc);
    }
    return kSuccess;
  }

  static String ColumnText(Statement& statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), column));
    return rt::FromUtf8(text != nullptr ? text : "");
  }

  // Sets one value of key `id` (inside a transaction).
  Result Upsert(int64_t id, const String& name, uint32_t type, const std::string& data) {
    Statement upsert(*this,
                     "INSERT INTO vals(key, name, fold, type, data, seq) VALUES(?, ?, ?, ?, ?,"
                     " (SELECT COALESCE(MAX(seq), 0) + 1 FROM vals WHERE key = ?1))"
                     " ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type,"
                     " data = excluded.data");
    upsert.Bind(1, id)
        .Bind(2, rt::ToUtf8(name))
        .Bind(3, rt::ToUtf8(Fold(name)))
        .Bind(4, static_cast<int64_t>(type))
        .BindBlob(5, data);
    const int rc = upsert.Step();
    return rc == SQLITE_DONE ? kSuccess : ResultOf(rc);
  }

  // Removes key `id` with everything below it (inside a transaction).
  Result DeleteTree(int64_t id) {
    Statement values(*this,
                     "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM keys k"
                     " JOIN sub s ON k.parent = s.id) DELETE FROM vals WHERE key IN sub");
    values.Bind(1, id);
    if (const int rc = values.Step(); rc != SQLITE_DONE) return ResultOf(rc);
    Statement keys(*this,
                   "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM keys k"
                   " JOIN sub s ON k.parent = s.id) DELETE FROM keys WHERE id IN sub");
    keys.Bind(1, id);
    const int rc = keys.Step();
    return rc == SQLITE_DONE ? kSuccess : ResultOf(rc);
  }

  // Copies every page of `from` into `to` (SQLite's online backup), retrying while busy.
  static int Copy(sqlite3* from, sqlite3* to) {
    sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
    if (backup == nullptr) return sqlite3_errcode(to);
    int rc;
    while ((rc = sqlite3_backup_step(backup, -1)) == SQLITE_BUSY || rc == SQLITE_LOCKED)
      sqlite3_sleep(20);
    const int finished = sqlite3_backup_finish(backup);
    return rc == SQLITE_DONE ? finished : rc;
  }

  Long NewHandle(int64_t id, uint32_t access) {
    // Positive, never 0, never a root's (negative) value; not reused while open.
    while (handles_.count(next_) != 0 || next_ <= 0)
      next_ = next_ <= 0 || next_ > 0x3FFFFFF0 ? kFirstHandle : next_ + 4;
    const Long handle = next_;
    next_ += 4;
    handles_[handle] = {id, access};
    return handle;
  }

  struct Handle {
    int64_t id;
    uint32_t access;
  };

  std::string path_;
  UniqueDb db_;
  std::map<const char*, UniqueStmt> statements_;  // by the SQL text's address
  Result health_ = kSuccess;
  Result failed_ = kSuccess;  // the latest statement failure, for lookups that give nothing
  std::map<Long, Handle> handles_;
  Long next_ = kFirstHandle;
};

}  // namespace

void SetStoreFault(StoreFault fault) {
  g_fault = fault;
}

std::unique_ptr<RegistryStore> RegistryStore::Open(const std::string& path) {
  return std::make_unique<SqliteStore>(path);
}

std::string RegistryStore::DefaultPath() {
  if (const char* named = std::getenv("CORVANE_REGISTRY"); named != nullptr && *named != 0)
    return named;
  std::string folder;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data == '/') {
    folder = data;
  } else {
    const char* home = std::getenv("HOME");
    folder = std::string(home != nullptr ? home : ".") + "/.local/share";
  }
  folder += "/corvane";
  // Each missing folder on the way is made; the store's own folder is private.
  for (size_t slash = folder.find('/', 1); slash != std::string::npos;
       slash = folder.find('/', slash + 1))
    ::mkdir(folder.substr(0, slash).c_str(), 0755);
  ::mkdir(folder.c_str(), 0700);
  return folder + "/registry.db";
}

RegistryApi& SystemRegistry() {
  static const std::unique_ptr<RegistryStore> store =
      RegistryStore::Open(RegistryStore::DefaultPath());
  return *store;
}

}  // namespace corvane::registry
