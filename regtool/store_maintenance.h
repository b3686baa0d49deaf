// The registry store as the tool sees it: whole keys read in Unicode, imports applied whole,
// and the file kept safe (copies, restores, checks).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "registry/registry_store.h"
#include "regtool/key_edit.h"

namespace corvane::registry {

// The key `path` below `root` in Unicode: its path as the names were created (`spelled`), its
// subkeys' names (ordered by their folded names, as the registry enumerates them) and its values
// (in the order they were first set). Any output may be null. 2 when there is no such key, 6
// for a root that holds no keys.
[[nodiscard]] Result ListKey(RegistryStore& store, Long root, const std::vector<String>& path,
               std::vector<String>* spelled, std::vector<String>* subkeys,
               std::vector<StoredValue>* values);

// Visits the key `path` below `root` and every key below it, parents first and subkeys in the
// registry's order: `visit` gets each key's path as created (the root's name first) and its
// values, and stops the walk by returning anything but 0, which the walk then returns. It walks
// by iteration over the keys themselves, so time goes with the keys visited, not with their
// depth. 2 when there is no such key, 6 for a root that holds no keys.
using KeyVisitor =
    std::function<Result(const std::vector<String>& spelled, const std::vector<StoredValue>& values)>;
[[nodiscard]] Result WalkTree(RegistryStore& store, Long root, const std::vector<String>& path,
                const KeyVisitor& visit);

// Applies every edit in one transaction: all of them, or (on a failure) none. A name or data
// beyond the registry's limits gives 87.
[[nodiscard]] Result ApplyEdits(RegistryStore& store, const std::vector<KeyEdit>& edits);

// A consistent copy of the whole store file in `file`, taken while the store may be in use: one
// file (no log beside it), private to this user, made beside `file` and renamed over it only
// once it is complete and on disk. A failure leaves `file` as it was.
[[nodiscard]] Result DumpStore(RegistryStore& store, const std::string& file);
// Replaces the whole store with the copy in `file` (read as it is, without any log beside it),
// after checking that the copy is a sound store (1015 otherwise, and nothing changes). The
// store takes the copy in one transaction: all of it, or nothing. Handles open in this process are closed; other
// processes should not be using the store meanwhile.
[[nodiscard]] Result RestoreStore(RegistryStore& store, const std::string& file);

// Puts the sound copy in `file` in place of the damaged store file at `path`, which no
// program may have open. The new store is made complete beside it first; only then is the
// damaged file (with its log) moved aside, to `path`.damaged (.damaged.2 and on when that is
// taken), which `kept_as` names, and the new one put in its place. A failure at any step leaves
// the damaged store where it was. 1015 when the copy is not a sound store.
[[nodiscard]] Result ReplaceDamagedStore(const std::string& path, const std::string& file,
                                         std::string* kept_as);

struct StoreReport {
  std::vector<std::string> problems;  // empty: sound
  std::vector<std::string> notes;     // what the user may want to resolve, in a sound store
  int64_t keys = 0;                   // the roots included
  int64_t values = 0;
};
// SQLite's integrity check and the store's own invariants: the roots present, every key
// reachable from a root, every value in a key, names and folded names agreeing, names and data
// within the registry's limits.
StoreReport CheckStore(RegistryStore& store);

// Writes `bytes` to `file` whole or not at all: a private file (0600) beside it, flushed to
// disk, then renamed over `file`. False, with the reason in `why`, leaves `file` as it was.
bool ReplaceFile(const std::string& file, std::string_view bytes, std::string* why);

}  // namespace corvane::registry
