// KeyStorage: the place where the registry store keeps its keys and values, as the small set of
// operations that the registry's rules (registry_store.h) are written over. It knows nothing of
// handles, roots, access rights or ANSI; it keeps a tree of named keys, each with named values.
//
// Names are compared by their folds (vocabulary.h) and kept as they were first given. Key
// identifiers are never reused, so an identifier that a key once had answers "not found" for
// ever after the key is deleted. Each root that holds keys is there from the start, as the key
// RootKey(root) names; HKEY_LOCAL_MACHINE and HKEY_USERS hold the trees, and the roots that
// are views (vocabulary.h) keep their keys below those (StartOf). The keys of those three roots
// themselves stay empty: a store from before the views kept keys there, and moved them once.
//
// Every operation returns a result code: 0, 2 when the key, child or value is not there, or the
// storage's own failure (1015 damaged, 1016 input/output or busy past the call's deadline, 1017
// a file that is not a store, 5 read-only, 112 full). A failure changes nothing that a
// transaction had not yet committed.
//
// A storage is used by one thread at a time (the store's lock); it keeps no state between calls
// that another thread could see half-made.
//
// Implementations: SQLite (key_storage_sqlite.h), the file store of the POSIX build; memory
// (key_storage_memory.h), for tests and the model fuzzer.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "registry/vocabulary.h"

namespace corvane::registry {

using KeyId = int64_t;
using Deadline = std::chrono::steady_clock::time_point;

// The key of a root that holds keys (HKEY_CLASSES_ROOT is 1 ... HKEY_CURRENT_CONFIG 6).
inline KeyId RootKey(const Root& root) {
  return static_cast<KeyId>(static_cast<uint32_t>(root.handle) - 0x80000000u) + 1;
}

// A subkey as a listing gives it: its identifier and its name as it was created.
struct Child {
  KeyId id;
  String name;
};

class KeyStorage {
 public:
  virtual ~KeyStorage() = default;

  // Begins one call of the registry, which must be over by `deadline`, waits for other
  // processes included: 0 when the storage can be used, else the result that every operation
  // of the call gives. A storage that a busy moment kept from being set up tries again here.
  [[nodiscard]] virtual Result Begin(Deadline deadline) = 0;

  // The child of `parent` called `name`: its identifier, and (when `spelled` is not null) its
  // name as it was created. 2 when there is none.
  [[nodiscard]] virtual Result FindChild(KeyId parent, StringView name, KeyId* child,
                           String* spelled = nullptr) = 0;
  // Adds the child `name` (which is not there yet) to `parent`; 2 when `parent` is not there
  // (any more). Inside a transaction.
  [[nodiscard]] virtual Result AddChild(KeyId parent, StringView name, KeyId* child) = 0;
  // 0 when `key` exists, 2 when it does not (any more).
  [[nodiscard]] virtual Result KeyExists(KeyId key) = 0;
  // Whether `key` has any subkey.
  [[nodiscard]] virtual Result HasChildren(KeyId key, bool* any) = 0;
  // Removes `key`, which has no subkeys, with its values. Inside a transaction.
  [[nodiscard]] virtual Result DeleteKey(KeyId key) = 0;

  // The value `name` of `key` (its name as first set). 2 when there is none.
  [[nodiscard]] virtual Result ReadValue(KeyId key, StringView name, StoredValue* value) = 0;
  // Sets the value `value.name` of `key`: a new value goes after the key's others, a value that
  // is there keeps its place and its name's spelling; 2 when `key` is not there (any more).
  // Inside a transaction.
  [[nodiscard]] virtual Result WriteValue(KeyId key, const StoredValue& value) = 0;
  // Removes the value `name` of `key`; 2 when there is none. Inside a transaction.
  [[nodiscard]] virtual Result DeleteValue(KeyId key, StringView name) = 0;

  // The subkeys of `key`, ordered by their folds (as the registry enumerates them). Every
  // subkey is listed, also one that a lookup by name cannot reach (see the SQLite storage).
  [[nodiscard]] virtual Result ListChildren(KeyId key, std::vector<Child>* children) = 0;
  // The values of `key`, in the order they were first set.
  [[nodiscard]] virtual Result ListValues(KeyId key, std::vector<StoredValue>* values) = 0;

  // Runs `body` as one transaction: everything it changed is kept when it returns 0, nothing
  // when it returns anything else or the commit fails. Returns the body's result, or the
  // storage's failure.
  [[nodiscard]] virtual Result Transaction(const std::function<Result()>& body) = 0;
};

// The key at `path` below `from` (0: a view not made yet, which holds nothing); with `make`,
// the keys missing on the way are made (inside a transaction). 2 when one is missing.
[[nodiscard]] Result WalkPath(KeyStorage& storage, KeyId from, const std::vector<String>& path,
                              bool make, KeyId* key);
// The key that `view` stands for; 2 when it is not made yet and `make` is false.
[[nodiscard]] Result FindView(KeyStorage& storage, const View& view, bool make, KeyId* key);
// The key where `path` below the predefined root `root` begins: the root's own key, or the key
// of the view it is (0 while that is not made, unless `make`). Under HKEY_CLASSES_ROOT the
// user's classes when the whole path is there, else the machine's. 6 for a root that holds no
// keys.
[[nodiscard]] Result StartOf(KeyStorage& storage, Long root, const std::vector<String>& path,
                             bool make, KeyId* start);

}  // namespace corvane::registry
