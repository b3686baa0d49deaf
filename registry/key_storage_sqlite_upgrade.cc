// The one-time upgrade of a store from before schema version 4 (SqliteStorage::SetUp calls it
// inside its setup transaction). Stores before version 3 kept names folded over Latin letters
// only, and kept the keys of the roots that are views apart from the keys they stand for:
// those move below the keys they stand for, merged level by level into keys of the same name,
// and every name is folded anew. Stores of version 3 moved them without merging, so a moved key
// of the name of one already there was shadowed whole: such keys are merged back.
#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "registry/key_storage_sqlite.h"

namespace corvane::registry {
namespace {

// The fold kept for a name that another of its key's names already folds to: its fold, then a
// byte that no UTF-8 text holds, then a number unique in its key. No lookup finds it.
std::string ShadowFold(const std::string& fold, int64_t unique) {
  return fold + '\xFF' + std::to_string(unique);
}

std::string NewFold(const std::string& name) {
  return rt::ToUtf8(Fold(rt::FromUtf8(name)));
}

// The fold of stores before version 3: Latin letters only. Two names that it made one could
// not be two subkeys of one key in such a store.
std::string OldFold(const std::string& name) {
  String out = rt::FromUtf8(name);
  for (char16_t& c : out) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
      c = static_cast<char16_t>(c - 0x20);
    } else if (c == 0xFF) {
      c = 0x178;
    } else if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
               c % 2 == 1) {
      c = static_cast<char16_t>(c - 1);
    }
  }
  return rt::ToUtf8(out);
}

// The keys of a store in memory (names and places, never data), and the upgrade's changes to
// them, each written through at once.
class Upgrade {
 public:
  explicit Upgrade(sqlite3* db) : db_(db) {}

  int Load() {
    UniqueStmt stmt;
    int rc = sqlite3_prepare_v2(
        db_, "SELECT id, parent, name, fold FROM keys WHERE parent <> 0 ORDER BY id", -1,
        stmt.put(), nullptr);
    while (rc == SQLITE_OK && (rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
      const int64_t id = sqlite3_column_int64(stmt.get(), 0);
      keys_[id] = {sqlite3_column_int64(stmt.get(), 1), Column(stmt.get(), 2),
                   Column(stmt.get(), 3)};
      children_[keys_[id].parent].push_back(id);
      rc = SQLITE_OK;
    }
    return rc == SQLITE_DONE || rc == SQLITE_OK ? SQLITE_OK : rc;
  }

  // Moves what `from` holds into `into`: a subkey into the subkey of `into` of the same name,
  // level by level, else below `into`, after what is there; the values after those of `into`.
  // `from` itself is removed, unless it is a root.
  int Merge(int64_t from, int64_t into) {
    std::map<std::string, int64_t> there;  // by fold: the subkey of `into` that calls reach
    for (const int64_t id : children_[into])
      there.emplace(NewFold(keys_[id].name), id);
    std::set<std::string> merged;  // a second subkey of `from` of one name stays apart
    const std::vector<int64_t> moving = std::move(children_[from]);
    children_.erase(from);
    for (const int64_t id : moving) {
      const std::string fold = NewFold(keys_[id].name);
      const auto target = there.find(fold);
      const bool first = merged.insert(fold).second;
      if (target != there.end() && first) {
        if (const int rc = Merge(id, target->second); rc != SQLITE_OK) return rc;
        continue;
      }
      // Out of the way of the names there (a fold that no name or shadow takes) until Refold.
      if (const int rc =
              Run("UPDATE keys SET parent = ?1, fold = x'FEFF' || id WHERE id = ?2", {into, id});
          rc != SQLITE_DONE)
        return rc;
      keys_[id].parent = into;
      keys_[id].fold.clear();
      children_[into].push_back(id);
      if (target == there.end()) there.emplace(fold, id);
    }
    int64_t last = 0;
    if (Run("SELECT COALESCE(MAX(seq), 0) FROM vals WHERE key = ?1", {into}, &last) != SQLITE_ROW)
      return SQLITE_ERROR;
    if (const int rc = Run("UPDATE vals SET key = ?1, seq = seq + ?2,"
                           " fold = x'FEFF' || ?3 || '.' || seq WHERE key = ?3",
                           {into, last, from});
        rc != SQLITE_DONE)
      return rc;
    if (keys_.count(from) == 0) return SQLITE_OK;  // a root
    keys_.erase(from);
    const int rc = Run("DELETE FROM keys WHERE id = ?1", {from});
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
  }

  // The keys that a version-3 store shadowed whole where it moved a view's key onto a key of
  // the same name: a shadowed key whose name and the reached one's could not be two subkeys of
  // one key before (they were one name to the older fold), merged into the reached one. The
  // upper ones first; Merge takes the lower ones along.
  int MergeShadowedBack() {
    std::vector<std::pair<int64_t, int64_t>> pairs;  // (shadowed, reached)
    for (const auto& [parent, ids] : children_) {
      std::map<std::string, int64_t> reached;
      for (const int64_t id : ids)
        if (keys_[id].fold.find('\xFF') == std::string::npos) reached[keys_[id].fold] = id;
      for (const int64_t id : ids) {
        const Key& key = keys_[id];
        const size_t mark = key.fold.find('\xFF');
        if (mark == std::string::npos) continue;
        const auto found = reached.find(key.fold.substr(0, mark));
        if (found != reached.end() && OldFold(key.name) == OldFold(keys_[found->second].name))
          pairs.emplace_back(id, found->second);
      }
    }
    std::sort(pairs.begin(), pairs.end(),
              [&](const auto& a, const auto& b) { return Depth(a.first) < Depth(b.first); });
    for (const auto& [shadowed, reached] : pairs) {
      if (keys_.count(shadowed) == 0 || keys_.count(reached) == 0 ||
          keys_[shadowed].parent != keys_[reached].parent)
        continue;  // taken along by an upper merge
      auto& siblings = children_[keys_[shadowed].parent];
      siblings.erase(std::find(siblings.begin(), siblings.end(), shadowed));
      if (const int rc = Merge(shadowed, reached); rc != SQLITE_OK) return rc;
    }
    return SQLITE_OK;
  }

  // Every name folded anew. Two subkeys of one key, or two values of one key, that fold to one
  // name are both kept: the first (for subkeys, those the key held before a merge, then those
  // merged in; for values, the first set) keeps the fold and is what a call on that name
  // reaches; each other keeps its name and data under a shadow fold, where no lookup finds it
  // but listings, exports and the store's check do.
  int Refold() {
    // (place, fold): the names whose fold changes. First each out of the way, then each set:
    // a name that keeps its fold keeps one that no other name takes.
    std::vector<std::pair<int64_t, std::string>> keys;
    for (const auto& [parent, ids] : children_) {
      std::set<std::string> taken;
      for (const int64_t id : ids) {
        std::string fold = NewFold(keys_[id].name);
        if (!taken.insert(fold).second) fold = ShadowFold(fold, id);
        if (fold != keys_[id].fold) keys.emplace_back(id, std::move(fold));
      }
    }
    for (int pass = 0; pass < 2; ++pass)
      for (const auto& [id, fold] : keys)
        if (const int rc =
                pass == 0 ? Run("UPDATE keys SET fold = x'FEFF' || id WHERE id = ?1", {id})
                          : Run("UPDATE keys SET fold = ?1 WHERE id = ?2", {id}, nullptr, &fold);
            rc != SQLITE_DONE)
          return rc;
    UniqueStmt stmt;
    int rc = sqlite3_prepare_v2(db_, "SELECT key, seq, name, fold FROM vals ORDER BY key, seq", -1,
                                stmt.put(), nullptr);
    std::vector<std::pair<std::pair<int64_t, int64_t>, std::string>> values;
    std::set<std::string> taken;
    int64_t owner = -1;
    while (rc == SQLITE_OK && (rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
      const int64_t key = sqlite3_column_int64(stmt.get(), 0);
      const int64_t seq = sqlite3_column_int64(stmt.get(), 1);
      if (key != owner) taken.clear(), owner = key;
      std::string fold = NewFold(Column(stmt.get(), 2));
      if (!taken.insert(fold).second) fold = ShadowFold(fold, seq);
      if (fold != Column(stmt.get(), 3)) values.push_back({{key, seq}, std::move(fold)});
      rc = SQLITE_OK;
    }
    if (rc != SQLITE_DONE && rc != SQLITE_OK) return rc;
    for (int pass = 0; pass < 2; ++pass)
      for (const auto& [place, fold] : values)
        if (const int r = pass == 0 ? Run("UPDATE vals SET fold = x'FEFF' || key || '.' || seq"
                                          " WHERE key = ?1 AND seq = ?2",
                                          {place.first, place.second})
                                    : Run("UPDATE vals SET fold = ?1 WHERE key = ?2 AND seq = ?3",
                                          {place.first, place.second}, nullptr, &fold);
            r != SQLITE_DONE)
          return r;
    return SQLITE_OK;
  }

 private:
  struct Key {
    int64_t parent;
    std::string name, fold;
  };

  static std::string Column(sqlite3_stmt* stmt, int i) {
    const auto* text = static_cast<const char*>(sqlite3_column_blob(stmt, i));
    return std::string(text != nullptr ? text : "",
                       static_cast<size_t>(sqlite3_column_bytes(stmt, i)));
  }

  size_t Depth(int64_t id) {
    size_t depth = 0;
    for (auto at = keys_.find(id); at != keys_.end(); at = keys_.find(at->second.parent))
      ++depth;
    return depth;
  }

  // Runs `sql` with a text (when given) first and then numbers bound in order; SQLITE_DONE, or
  // SQLITE_ROW with the first column's number in *first.
  int Run(const char* sql, std::initializer_list<int64_t> numbers, int64_t* first = nullptr,
          const std::string* text = nullptr) {
    UniqueStmt& stmt = prepared_[sql];  // each prepared once: the upgrade runs them per name
    int rc =
        stmt ? sqlite3_reset(stmt.get()) : sqlite3_prepare_v2(db_, sql, -1, stmt.put(), nullptr);
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
  }

  sqlite3* db_;
  std::map<const char*, UniqueStmt> prepared_;        // by the SQL text's address
  std::map<int64_t, Key> keys_;                       // every key but the roots
  std::map<int64_t, std::vector<int64_t>> children_;  // by parent, in the order calls prefer
};

}  // namespace

// Inside the setup's transaction: a store of `version` (before kSchemaVersion) set right. The
// keys of HKEY_CLASSES_ROOT, HKEY_CURRENT_USER and HKEY_CURRENT_CONFIG in a store from before
// the views move into the keys those views stand for (vocabulary.h), which stay first.
int SqliteStorage::UpgradeFrom(int64_t version) {
  std::vector<std::pair<KeyId, KeyId>> views;  // (the root's own key, its view's)
  if (version < 3) {
    for (const Long root : {kClassesRoot, kCurrentUser, kCurrentConfig}) {
      const KeyId old = RootKey(*RootByHandle(root));
      bool any = false;
      std::vector<StoredValue> values;
      if (HasChildren(old, &any) != kSuccess || ListValues(old, &values) != kSuccess)
        return SQLITE_ERROR;
      if (!any && values.empty()) continue;
      KeyId home = 0;
      if (FindView(*this, *ViewOf(root), true, &home) != kSuccess) return SQLITE_ERROR;
      views.emplace_back(old, home);
    }
  }
  Upgrade upgrade(db_.get());
  int rc = upgrade.Load();
  if (rc == SQLITE_OK && version == 3) rc = upgrade.MergeShadowedBack();
  for (const auto& [old, home] : views)
    if (rc == SQLITE_OK) rc = upgrade.Merge(old, home);
  if (rc == SQLITE_OK) rc = upgrade.Refold();
  return rc;
}

}  // namespace corvane::registry
