// The embedded registry store: the registry of the POSIX build, a SQLite database that answers
// the eight calls of RegistryApi as the Windows registry does.
//
// One file per user: $CORVANE_REGISTRY, else $XDG_DATA_HOME/corvane/registry.db, else
// ~/.local/share/corvane/registry.db (the folder is created with mode 0700, the file with 0600).
// WAL mode; each write is one transaction, so an acknowledged write survives the process being
// killed, and several processes can share one store (busy timeout and retries).
//
// The registry's rules kept here: the seven predefined roots (HKEY_PERFORMANCE_DATA and
// HKEY_DYN_DATA answered as Windows NT answers them), key and value names compared without
// regard to case and kept in the case they were created with, the path rules, a per-process
// handle table (handles are never 0 and never a root's value; a closed handle answers 6, one to
// a deleted key 1018), access rights, the termination rules of REG_SZ, 234 with the size, the
// name limits, value data up to 1 MiB. Names and text data are kept in Unicode and converted at
// the ANSI call, as Windows does.
//
// A store that cannot be opened, is read-only or is damaged answers every call with an error
// result (1016, 5, 1015) and says once on standard error which file and why; it never starts an
// empty store in place of a damaged one.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "registry/key_edit.h"
#include "registry/registry_api.h"

namespace corvane::registry {

class RegistryStore : public RegistryApi {
 public:
  // Opens (or creates) the store at `path`. Never fails: a store that cannot be used answers
  // every call with its error result.
  static std::unique_ptr<RegistryStore> Open(const std::string& path);
  // The file the platform's store uses (see above); creates the default folder.
  static std::string DefaultPath();

  // The result code that every call gives when the store cannot be used; 0 when it can.
  virtual Result health() const = 0;
  // The number of handles open in this process (for leak checks).
  virtual size_t open_handles() const = 0;

  // The key `path` below `root` in Unicode: its path as the names were created (`spelled`),
  // its subkeys' names (ordered by their folded names, as the registry enumerates them) and its
  // values (in the order they were first set). Any output may be null. 2 when there is no such
  // key.
  virtual Result ListKey(Long root, const std::vector<String>& path, std::vector<String>* spelled,
                         std::vector<String>* subkeys, std::vector<StoredValue>* values) = 0;
  // Applies every edit in one transaction: all of them, or (on a failure) none. A name or data
  // beyond the registry's limits gives 87.
  virtual Result Apply(const std::vector<KeyEdit>& edits) = 0;

  // A consistent copy of the whole store in `file` (replaced if it exists).
  virtual Result DumpTo(const std::string& file) = 0;
  // Replaces the whole store with the copy in `file`, after checking that the copy is a sound
  // store (1015 otherwise, and nothing changes). Handles open in this process are closed; other
  // processes should not be using the store meanwhile.
  virtual Result RestoreFrom(const std::string& file) = 0;

  struct Report {
    std::vector<std::string> problems;  // empty: sound
    int64_t keys = 0;                   // the roots included
    int64_t values = 0;
  };
  // SQLite's integrity check and the store's own invariants: the roots present, every key
  // reachable from a root, every value in a key, names and folded names agreeing, names and
  // data within the registry's limits.
  virtual Report Check() = 0;
};

// A seam for failure injection: when set, every SQLite step and transaction statement of every
// store first calls `fault` with the statement's SQL; a non-zero answer (SQLITE_BUSY,
// SQLITE_FULL, SQLITE_IOERR, SQLITE_READONLY...) is taken as that call's result and the call is
// not made. Busy answers are retried as real ones are. Null removes the seam. For tests.
using StoreFault = int (*)(const char* sql);
void SetStoreFault(StoreFault fault);

}  // namespace corvane::registry
