// Copies, restores and checks of the store's SQLite file.
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "corvane/types.h"
#include "registry/key_storage_sqlite.h"
#include "regtool/store_maintenance.h"

namespace corvane::registry {
namespace {

constexpr Result kRegistryCorrupt = 1015;
constexpr Result kRegistryIoFailed = 1016;

// Runs `sql` and gives its first column of every row as text (a failure as one row).
std::vector<std::string> Rows(sqlite3* db, const char* sql) {
  std::vector<std::string> rows;
  UniqueStmt stmt;
  int rc = sqlite3_prepare_v2(db, sql, -1, stmt.put(), nullptr);
  if (rc != SQLITE_OK) return {std::string("cannot run the check: ") + sqlite3_errmsg(db)};
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0));
    rows.emplace_back(text != nullptr ? text : "");
  }
  if (rc != SQLITE_DONE) rows.push_back(std::string("the check failed: ") + sqlite3_errmsg(db));
  return rows;
}

long long Count(sqlite3* db, const char* sql) {
  const std::vector<std::string> rows = Rows(db, sql);
  return rows.size() == 1 ? std::atoll(rows[0].c_str()) : -1;
}

// The store's invariants, each a count that must be 0.
void CheckInvariants(sqlite3* db, StoreReport& report) {
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
       " OR length(name) > 256 OR instr(CAST(name AS BLOB), x'00') > 0)",
       "key names empty, too long, or holding a backslash or a NUL character"},
      {"SELECT COUNT(*) FROM vals WHERE length(name) > 16383 OR length(data) > 33554432"
       " OR instr(CAST(name AS BLOB), x'00') > 0",
       "value names or data beyond the limits, or names holding a NUL character"},
  };
  for (const auto& invariant : kInvariants)
    if (const long long n = Count(db, invariant.sql); n != 0)
      report.problems.push_back(std::to_string(n) + " " + invariant.problem);
}

// The keys of the views that are made (vocabulary.h): a key's depth counts from the root that
// a caller names, so it starts again at each of them.
std::string ViewKeys(sqlite3* db) {
  UniqueStmt find;
  sqlite3_prepare_v2(db, "SELECT id FROM keys WHERE parent = ? AND fold = ?", -1, find.put(),
                     nullptr);
  std::string ids = "0";
  for (const View* view :
       {ViewOf(kCurrentUser), ViewOf(kCurrentConfig), ViewOf(kClassesRoot), &UserClassesView()}) {
    int64_t id = RootKey(*RootByHandle(view->base));
    for (const String& name : view->path) {
      const std::string fold = rt::ToUtf8(Fold(name));
      sqlite3_bind_int64(find.get(), 1, id);
      sqlite3_bind_text(find.get(), 2, fold.data(), static_cast<int>(fold.size()),
                        SQLITE_TRANSIENT);
      id = sqlite3_step(find.get()) == SQLITE_ROW ? sqlite3_column_int64(find.get(), 0) : 0;
      sqlite3_reset(find.get());
      if (id == 0) break;
    }
    if (id != 0) ids += ", " + std::to_string(id);
  }
  return ids;
}

// No key lies deeper below the root that names it than the registry's limit.
void CheckDepth(sqlite3* db, StoreReport& report) {
  const std::string sql =
      "WITH RECURSIVE reach(id, depth) AS (SELECT id, 0 FROM keys WHERE parent = 0 UNION ALL"
      " SELECT k.id, CASE WHEN k.id IN (" +
      ViewKeys(db) +
      ") THEN 0 ELSE r.depth + 1 END"
      " FROM keys k JOIN reach r ON k.parent = r.id)"
      " SELECT COUNT(*) FROM reach WHERE depth > " +
      std::to_string(kMaxDepth);
  if (const long long n = Count(db, sql.c_str()); n != 0)
    report.problems.push_back(std::to_string(n) + " keys deeper than 512 levels");
}

// A key's path from its root, as the names were created ("HKEY_CURRENT_USER\Software").
std::string KeyPath(sqlite3* db, int64_t key) {
  UniqueStmt stmt;
  sqlite3_prepare_v2(db, "SELECT parent, name FROM keys WHERE id = ?", -1, stmt.put(), nullptr);
  std::string path;
  for (int depth = 0; key != 0 && depth <= 1 + static_cast<int>(kMaxDepth); ++depth) {
    sqlite3_bind_int64(stmt.get(), 1, key);
    if (sqlite3_step(stmt.get()) != SQLITE_ROW) break;
    const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 1));
    path.insert(0, std::string(name != nullptr ? name : "") + (path.empty() ? "" : "\\"));
    key = sqlite3_column_int64(stmt.get(), 0);
    sqlite3_reset(stmt.get());
  }
  return path;
}

// Every name of `table` and its kept fold agree. A name kept under a shadow fold (two names of
// one key that an older store kept apart and that now fold to one) is not damage: each such
// pair is named, with the one that calls reach, in the report's notes.
void CheckFolds(sqlite3* db, bool keys, StoreReport& report) {
  const char* table = keys ? "keys" : "vals";
  const std::string sql = keys ? "SELECT parent, name, fold FROM keys WHERE parent <> 0"
                               : "SELECT key, name, fold FROM vals";
  UniqueStmt stmt, twin;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, stmt.put(), nullptr) != SQLITE_OK) return;
  sqlite3_prepare_v2(db,
                     keys ? "SELECT name FROM keys WHERE parent = ? AND fold = ?"
                          : "SELECT name FROM vals WHERE key = ? AND fold = ?",
                     -1, twin.put(), nullptr);
  long long wrong = 0;
  while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
    const int64_t owner = sqlite3_column_int64(stmt.get(), 0);
    const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 1));
    const auto* fold = reinterpret_cast<const char*>(sqlite3_column_blob(stmt.get(), 2));
    const std::string kept(fold != nullptr ? fold : "",
                           static_cast<size_t>(sqlite3_column_bytes(stmt.get(), 2)));
    const std::string folded = name != nullptr ? rt::ToUtf8(Fold(rt::FromUtf8(name))) : "";
    if (name != nullptr && kept == folded) continue;
    // A shadow fold: the name's fold, then \xFF and a number (a store of version 3 may still
    // hold a few in a row, which its upgrade sets right).
    const size_t mark = kept.find('\xFF');
    if (name == nullptr || mark == std::string::npos || kept.substr(0, mark) != folded ||
        kept.find_first_not_of("0123456789\xFF", mark + 1) != std::string::npos ||
        kept.back() == '\xFF' || kept.find("\xFF\xFF") != std::string::npos) {
      ++wrong;
      continue;
    }
    sqlite3_bind_int64(twin.get(), 1, owner);
    sqlite3_bind_text(twin.get(), 2, folded.data(), static_cast<int>(folded.size()),
                      SQLITE_TRANSIENT);
    const bool found = sqlite3_step(twin.get()) == SQLITE_ROW;
    const auto* reached =
        found ? reinterpret_cast<const char*>(sqlite3_column_text(twin.get(), 0)) : nullptr;
    const std::string other = reached != nullptr ? reached : "";
    sqlite3_reset(twin.get());
    const std::string key = KeyPath(db, owner);
    const std::string remove = keys ? "corvane reg delete '" + key + "\\" + other + "'"
                                    : "corvane reg delete '" + key + "' --value '" + other + "'";
    report.notes.push_back(key + ": the " + (keys ? "subkeys \"" : "values \"") + other +
                           "\" and \"" + name + "\" are one name now; calls reach \"" + other +
                           "\". Both are in `corvane reg export '" + key + "' FILE` (\"" + other +
                           "\" last, so that importing the file as it is keeps what"
                           " calls reach). To keep both, rename \"" +
                           name + "\" in that file, add a line [-" + key +
                           "] before the key's first section, and import the file; or, once \"" +
                           other + "\" is no longer wanted, `" + remove + "` and \"" + name +
                           "\" takes its place.");
  }
  if (wrong != 0)
    report.problems.push_back(std::to_string(wrong) + " " + table +
                              " whose folded name does not match the name");
}

// The checks of CheckStore on any connection.
StoreReport CheckDatabase(sqlite3* db) {
  StoreReport report;
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
  report.keys = Count(db, "SELECT COUNT(*) FROM keys");
  report.values = Count(db, "SELECT COUNT(*) FROM vals");
  CheckInvariants(db, report);
  CheckDepth(db, report);
  // A store from before the current fold is folded anew when it is next opened for writing.
  if (Count(db, "PRAGMA user_version") >= 3)
    for (const bool keys : {true, false})
      CheckFolds(db, keys, report);
  return report;
}

// Copies every page of `from` into `to` (SQLite's online backup), retrying while busy.
int Copy(sqlite3* from, sqlite3* to) {
  sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
  if (backup == nullptr) return sqlite3_errcode(to);
  int rc;
  while ((rc = sqlite3_backup_step(backup, -1)) == SQLITE_BUSY || rc == SQLITE_LOCKED)
    sqlite3_sleep(20);
  const int finished = sqlite3_backup_finish(backup);
  return rc == SQLITE_DONE ? finished : rc;
}

// Opens `file`, a copy of a store, for reading as it is (no log beside it is read, no lock is
// taken, so a copy in a folder that cannot be written opens too): 2 when it cannot be opened,
// 1015 when it is not a sound store.
Result OpenSoundCopy(const std::string& file, UniqueDb* source) {
  const std::string uri = "file:" + UriPath(file) + "?immutable=1";
  if (sqlite3_open_v2(uri.c_str(), source->put(), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                      nullptr) != SQLITE_OK)
    return kFileNotFound;
  return CheckDatabase(source->get()).problems.empty() ? kSuccess : kRegistryCorrupt;
}

// A private new file beside `file` (mode 0600, made here, no link followed): its name, or ""
// when it cannot be made.
std::string NewFileBeside(const std::string& file) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name =
        file + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::close(fd);
      return name;
    }
    if (errno != EEXIST) return "";
  }
  return "";
}

void RemoveFile(const std::string& file) {
  for (const char* side : {"", "-journal", "-wal", "-shm"})
    ::unlink((file + side).c_str());
}

// Flushes `file` to disk.
bool Flush(const std::string& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  const bool flushed = ::fsync(fd) == 0;
  ::close(fd);
  return flushed;
}

// Puts the complete `made` in the place of `file`: flushed, renamed over it, and the folder
// flushed. False leaves `file` as it was and removes `made`.
bool PutInPlace(const std::string& made, const std::string& file) {
  if (!Flush(made) || ::rename(made.c_str(), file.c_str()) != 0) {
    RemoveFile(made);
    return false;
  }
  const size_t slash = file.rfind('/');
  const std::string folder = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : file.substr(0, slash);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
  return true;
}

// Copies `from` into the empty file `file` as one file with no log beside it.
Result CopyInto(sqlite3* from, const std::string& file) {
  UniqueDb copy;
  int rc = sqlite3_open_v2(file.c_str(), copy.put(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW,
                           ClaimingVfs());
  if (rc == SQLITE_OK) rc = Copy(from, copy.get());
  if (rc == SQLITE_OK)
    rc = sqlite3_exec(copy.get(), "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
  if (const std::string why = TakeClaimRefusal(); !why.empty()) {
    std::fprintf(stderr, "corvane: %s\n", why.c_str());
    return kAccessDenied;
  }
  return rc == SQLITE_OK ? kSuccess : ResultOfSqlite(rc);
}

// Makes a copy of `from` beside `file` and puts it in place of `file`; a failure leaves
// `file` as it was.
Result CopyToFile(sqlite3* from, const std::string& file) {
  const std::string made = NewFileBeside(file);
  if (made.empty()) return kAccessDenied;
  if (const Result r = CopyInto(from, made); r != kSuccess) {
    RemoveFile(made);
    return r;
  }
  return PutInPlace(made, file) ? kSuccess : kRegistryIoFailed;
}

// Runs `work` on the store's SQLite file as one call of the store; 87 for a store that is not
// a file.
Result OnFile(RegistryStore& store, const std::function<Result(SqliteStorage&)>& work) {
  return store.WithStorage([&](KeyStorage& storage) -> Result {
    auto* sqlite = dynamic_cast<SqliteStorage*>(&storage);
    return sqlite != nullptr ? work(*sqlite) : kInvalidParameter;
  });
}

}  // namespace

Result DumpStore(RegistryStore& store, const std::string& file) {
  return OnFile(store, [&](SqliteStorage& sqlite) -> Result {
    return CopyToFile(sqlite.connection(), file);
  });
}

Result RestoreStore(RegistryStore& store, const std::string& file) {
  const Result result = OnFile(store, [&](SqliteStorage& sqlite) -> Result {
    UniqueDb source;
    if (const Result r = OpenSoundCopy(file, &source); r != kSuccess) return r;
    const int rc = Copy(source.get(), sqlite.connection());
    if (rc != SQLITE_OK) return ResultOfSqlite(rc);
    sqlite.ForgetStatements();
    return kSuccess;
  });
  if (result == kSuccess) store.CloseAllHandles();
  return result;
}

Result ReplaceDamagedStore(const std::string& path, const std::string& file, std::string* kept_as) {
  UniqueDb source;
  if (const Result r = OpenSoundCopy(file, &source); r != kSuccess) return r;
  const std::string made = NewFileBeside(path);
  if (made.empty()) return kAccessDenied;
  if (const Result r = CopyInto(source.get(), made); r != kSuccess) {
    RemoveFile(made);
    return r;
  }
  std::string kept = path + ".damaged";
  for (int n = 2; ::access(kept.c_str(), F_OK) == 0; ++n)
    kept = path + ".damaged." + std::to_string(n);
  // The damaged store and its logs go aside together, or (on a failure) come back together.
  std::vector<const char*> moved;
  auto put_back = [&] {
    for (const char* side : moved)
      ::rename((kept + side).c_str(), (path + side).c_str());
  };
  for (const char* side : {"", "-wal", "-shm"}) {
    if (::rename((path + side).c_str(), (kept + side).c_str()) == 0) {
      moved.push_back(side);
    } else if (errno != ENOENT) {
      put_back();
      RemoveFile(made);
      return kAccessDenied;
    }
  }
  if (!PutInPlace(made, path)) {
    put_back();
    return kRegistryIoFailed;
  }
  *kept_as = kept;
  return kSuccess;
}

StoreReport CheckStore(RegistryStore& store) {
  StoreReport report;
  const Result result = OnFile(store, [&](SqliteStorage& sqlite) -> Result {
    report = CheckDatabase(sqlite.connection());
    return kSuccess;
  });
  if (result != kSuccess) return {{"the store cannot be used"}, {}, 0, 0};
  return report;
}

bool ReplaceFile(const std::string& file, std::string_view bytes, std::string* why) {
  const std::string made = NewFileBeside(file);
  if (made.empty()) {
    *why = std::strerror(errno);
    return false;
  }
  const int fd = ::open(made.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  size_t written = 0;
  while (fd >= 0 && written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  const int error = errno;
  if (fd >= 0) ::close(fd);
  if (written < bytes.size()) {
    *why = std::strerror(error != 0 ? error : EIO);
    RemoveFile(made);
    return false;
  }
  if (!PutInPlace(made, file)) {
    *why = std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace corvane::registry
