// The one-time upgrade of a store from before schema version 3 (SqliteStorage::SetUp calls it
// inside its setup transaction): names folded anew, and the keys of the roots that are views
// moved below the keys they stand for, losing nothing.
#include <sqlite3.h>

#include <set>
#include <string>
#include <vector>

#include "registry/key_storage_sqlite.h"

namespace corvane::registry {
namespace {

// The fold kept for a name that another of its parent's names already folds to: its fold, then
// a byte that no UTF-8 text holds, then a number unique in its parent. No lookup finds it.
std::string ShadowFold(const std::string& fold, int64_t unique) {
  return fold + '\xFF' + std::to_string(unique);
}

}  // namespace

// Inside the setup's transaction: every name of a store from before the current fold is folded
// anew. Two subkeys of one key, or two values of one key, that were apart and now fold to one
// name are both kept: the older (the first made, the first set) keeps the fold and is what a
// call on that name reaches; the other keeps its name and data under a shadow fold, where no
// lookup finds it but listings, exports and the store's check do.
int SqliteStorage::Refold() {
  struct Row {
    int64_t owner, id;  // keys: parent and id; values: key and seq
    std::string name;
  };
  for (const bool keys : {true, false}) {
    const char* const select = keys ? "SELECT parent, id, name FROM keys WHERE parent <> 0"
                                      " ORDER BY parent, id"
                                    : "SELECT key, seq, name FROM vals ORDER BY key, seq";
    std::vector<Row> rows;
    {
      UniqueStmt stmt;
      int rc = sqlite3_prepare_v2(db_.get(), select, -1, stmt.put(), nullptr);
      while (rc == SQLITE_OK && (rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 2));
        rows.push_back({sqlite3_column_int64(stmt.get(), 0), sqlite3_column_int64(stmt.get(), 1),
                        std::string(name != nullptr ? name : "",
                                    static_cast<size_t>(sqlite3_column_bytes(stmt.get(), 2)))});
        rc = SQLITE_OK;
      }
      if (rc != SQLITE_DONE && rc != SQLITE_OK) return rc;
    }
    // First every fold out of the way (a form no fold or shadow takes), then each set anew.
    const char* const clear = keys ? "UPDATE keys SET fold = x'FEFF' || id WHERE parent <> 0"
                                   : "UPDATE vals SET fold = x'FEFF' || key || '.' || seq";
    if (const int rc = sqlite3_exec(db_.get(), clear, nullptr, nullptr, nullptr); rc != SQLITE_OK)
      return rc;
    const char* const update = keys ? "UPDATE keys SET fold = ?1 WHERE parent = ?2 AND id = ?3"
                                    : "UPDATE vals SET fold = ?1 WHERE key = ?2 AND seq = ?3";
    UniqueStmt stmt;
    if (const int rc = sqlite3_prepare_v2(db_.get(), update, -1, stmt.put(), nullptr);
        rc != SQLITE_OK)
      return rc;
    std::set<std::string> taken;  // the folds of the current owner
    int64_t owner = -1;
    for (const Row& row : rows) {
      if (row.owner != owner) {
        taken.clear();
        owner = row.owner;
      }
      std::string fold = rt::ToUtf8(Fold(rt::FromUtf8(row.name)));
      if (!taken.insert(fold).second) fold = ShadowFold(fold, row.id);
      sqlite3_bind_text(stmt.get(), 1, fold.data(), static_cast<int>(fold.size()),
                        SQLITE_TRANSIENT);
      sqlite3_bind_int64(stmt.get(), 2, row.owner);
      sqlite3_bind_int64(stmt.get(), 3, row.id);
      const int rc = sqlite3_step(stmt.get());
      sqlite3_reset(stmt.get());
      if (rc != SQLITE_DONE) return rc;
    }
  }
  return SQLITE_OK;
}

// Inside the setup's transaction, after Refold: a store from before the views kept the keys
// and values of HKEY_CLASSES_ROOT, HKEY_CURRENT_USER and HKEY_CURRENT_CONFIG under keys of
// their own. They move below the keys of those views (vocabulary.h). A subkey or value whose
// name the view's key has already keeps its name and data under a shadow fold, as in Refold:
// nothing is overwritten, and a call on the name reaches the one that was there.
int SqliteStorage::MergeViews() {
  // Runs `sql` with a text (when given) and then numbers bound in order; SQLITE_DONE, or
  // SQLITE_ROW with the first column's number in *first.
  auto run = [&](const char* sql, std::initializer_list<int64_t> numbers,
                 const std::string* text = nullptr, int64_t* first = nullptr) {
    UniqueStmt stmt;
    int rc = sqlite3_prepare_v2(db_.get(), sql, -1, stmt.put(), nullptr);
    if (rc != SQLITE_OK) return rc;
    int i = 1;
    if (text != nullptr)
      sqlite3_bind_text(stmt.get(), i++, text->data(), static_cast<int>(text->size()),
                        SQLITE_TRANSIENT);
    for (const int64_t n : numbers)
      sqlite3_bind_int64(stmt.get(), i++, n);
    rc = sqlite3_step(stmt.get());
    if (rc == SQLITE_ROW && first != nullptr) *first = sqlite3_column_int64(stmt.get(), 0);
    return rc;
  };
  for (const Long root : {kClassesRoot, kCurrentUser, kCurrentConfig}) {
    const KeyId old = RootKey(*RootByHandle(root));
    int64_t held = 0;
    if (run("SELECT (SELECT COUNT(*) FROM keys WHERE parent = ?1) +"
            " (SELECT COUNT(*) FROM vals WHERE key = ?1)",
            {old}, nullptr, &held) != SQLITE_ROW)
      return SQLITE_ERROR;
    if (held == 0) continue;
    KeyId home = 0;
    if (FindView(*this, *ViewOf(root), true, &home) != kSuccess) return SQLITE_ERROR;
    struct Moved {
      int64_t id;  // keys: id; values: seq
      std::string fold;
    };
    for (const bool keys : {true, false}) {
      std::vector<Moved> moved;
      {
        UniqueStmt list;
        sqlite3_prepare_v2(db_.get(),
                           keys ? "SELECT id, fold FROM keys WHERE parent = ? ORDER BY id"
                                : "SELECT seq, fold FROM vals WHERE key = ? ORDER BY seq",
                           -1, list.put(), nullptr);
        sqlite3_bind_int64(list.get(), 1, old);
        int rc;
        while ((rc = sqlite3_step(list.get())) == SQLITE_ROW) {
          const auto* fold = static_cast<const char*>(sqlite3_column_blob(list.get(), 1));
          moved.push_back({sqlite3_column_int64(list.get(), 0),
                           std::string(fold != nullptr ? fold : "",
                                       static_cast<size_t>(sqlite3_column_bytes(list.get(), 1)))});
        }
        if (rc != SQLITE_DONE) return rc;
      }
      int64_t seq = 0;
      if (!keys && run("SELECT COALESCE(MAX(seq), 0) FROM vals WHERE key = ?", {home}, nullptr,
                       &seq) != SQLITE_ROW)
        return SQLITE_ERROR;
      for (Moved& m : moved) {
        int64_t there = 0;
        if (run(keys ? "SELECT COUNT(*) FROM keys WHERE fold = ?1 AND parent = ?2"
                     : "SELECT COUNT(*) FROM vals WHERE fold = ?1 AND key = ?2",
                {home}, &m.fold, &there) != SQLITE_ROW)
          return SQLITE_ERROR;
        ++seq;
        if (there != 0) m.fold = ShadowFold(m.fold, keys ? m.id : seq);
        const int rc =
            keys ? run("UPDATE keys SET fold = ?1, parent = ?2 WHERE id = ?3", {home, m.id}, &m.fold)
                 : run("UPDATE vals SET fold = ?1, key = ?2, seq = ?3 WHERE key = ?4 AND seq = ?5",
                       {home, seq, old, m.id}, &m.fold);
        if (rc != SQLITE_DONE) return rc;
      }
    }
  }
  return SQLITE_OK;
}

}  // namespace corvane::registry
