// RegistryStore: the registry's rules over a KeyStorage, answering the eight calls of
// RegistryApi as the Windows registry does. It is the registry of the POSIX build, over the
// SQLite file (Open), and the registry of the tests, in memory (InMemory).
//
// The rules kept here: the seven predefined roots (HKEY_PERFORMANCE_DATA and HKEY_DYN_DATA
// answered as Windows NT answers them; HKEY_CURRENT_USER, HKEY_CURRENT_CONFIG and
// HKEY_CLASSES_ROOT the views on HKEY_USERS and HKEY_LOCAL_MACHINE that vocabulary.h names,
// made by the first write below them), the path rules, a per-process handle table (handles are
// never 0 and never a root's value; a closed handle answers 6, one to a deleted key 1018),
// access rights, the termination rules of REG_SZ, 234 with the size, the limits (key names of
// 256 characters, value names of 16 383, keys 512 levels deep, value data of 32 MiB; 87 past
// them). Names and text data are kept in Unicode and converted at the ANSI call, as
// Windows does. Names are compared without regard to case and kept as they were created.
//
// Threads: one store serves any number of threads at once, as the registry does. Each call is
// one unit under the store's lock: no call sees another's half-done work, and a handle that one
// thread opened serves every thread. Each call has one deadline (CallBudget, 10 s): waits for
// the lock, for another process's write and its retries included. Past it the call answers
// 1016 once; the next call starts afresh.
//
// The file store: $CORVANE_REGISTRY, else $XDG_DATA_HOME/corvane/registry.db, else
// ~/.local/share/corvane/registry.db (the folder is created with mode 0700, the file with 0600).
// Each write is one transaction of the storage, so an acknowledged write survives the process
// being killed. A store that cannot be opened, is read-only or is damaged answers every call
// with an error result (1016, 5, 1015) and says once on standard error which file and why; it
// never starts an empty store in place of a damaged one.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "registry/key_storage.h"
#include "registry/wide_registry.h"
#include "corvane/registry_api.h"
#include "corvane/export.h"

namespace corvane::registry {

// Installs `registry` as InstallRegistry does, without keeping it alive: for tests and tools
// that own the backend themselves and outlive its installation.
CORVANE_API void InstallRegistryUnowned(RegistryApi* registry);

class RegistryStore final : public RegistryApi, public WideRegistry {
 public:
  explicit RegistryStore(std::unique_ptr<KeyStorage> storage);

  // The store in the SQLite file at `path` (made when missing). Never fails: a store that
  // cannot be used answers every call with its error result.
  static std::unique_ptr<RegistryStore> Open(const std::string& path);
  // A store in memory, empty but for the roots.
  static std::unique_ptr<RegistryStore> InMemory();
  // The file the platform's store uses (see above); creates the default folder.
  static std::string DefaultPath();

  // The result code that every call gives when the store cannot be used; 0 when it can.
  Result health();
  // The number of handles open in this process (for leak checks).
  size_t open_handles();
  // Closes every handle of this process (after the storage's contents were replaced).
  void CloseAllHandles();
  // Runs `work` on the storage as one call of the store (its lock and deadline), when the
  // storage can be used; else gives the result every call gives. For the store's maintenance.
  [[nodiscard]] Result WithStorage(const std::function<Result(KeyStorage&)>& work);

  // The deadline of every call from its start, for all stores of the process (10 s; tests
  // shorten it). Set it before calls begin.
  static void SetCallBudget(std::chrono::milliseconds budget);

  Result OpenKey(Long key, const char* subkey, Long* result) override;
  Result OpenKeyEx(Long key, const char* subkey, uint32_t options, uint32_t sam,
                   Long* result) override;
  Result CreateKey(Long key, const char* subkey, Long* result) override;
  Result QueryValueEx(Long key, const char* name, uint32_t* reserved, uint32_t* type, uint8_t* data,
                      uint32_t* count) override;
  Result SetValueEx(Long key, const char* name, uint32_t reserved, uint32_t type,
                    const uint8_t* data, uint32_t count) override;
  Result CloseKey(Long key) override;
  Result DeleteKey(Long key, const char* subkey) override;
  Result DeleteValue(Long key, const char* name) override;

  Result OpenKeyW(Long key, const String& subkey, uint32_t sam, Long* result) override;
  Result CreateKeyW(Long key, const String& subkey, Long* result) override;
  Result QueryValueW(Long key, const String& name, uint32_t* type, std::string* data) override;
  Result SetValueW(Long key, const String& name, uint32_t type, const std::string& data) override;
  Result DeleteValueW(Long key, const String& name) override;
  Result DeleteTreeW(Long key, const String& subkey) override;
  Result SubkeysW(Long key, std::vector<String>* names) override;
  Result ValuesW(Long key, std::vector<std::pair<String, uint32_t>>* values) override;

 private:
  // What a caller's handle stands for.
  struct Target {
    Result error = kSuccess;   // 0 when the handle can be used
    bool performance = false;  // HKEY_PERFORMANCE_DATA, which holds no keys
    bool root = false;         // a predefined root, which is never deleted
    Long handle = 0;           // the root's handle, for a root
    size_t depth = 0;          // levels below the root
    KeyId id = 0;
    uint32_t access = 0;
  };
  struct Handle {
    KeyId id;
    uint32_t access;
    size_t depth;  // levels below the root
  };

  class Call;

  // The calls' work within a call (the lock held).
  [[nodiscard]] Result Open(Result ready, Long key, const String& subkey, uint32_t sam,
                            Long* result);
  [[nodiscard]] Result Create(Result ready, Long key, const String& subkey, Long* result);
  [[nodiscard]] Result Set(Result ready, Long key, const StoredValue& value, bool invalid);
  [[nodiscard]] Result Unset(Result ready, Long key, const String& name);
  [[nodiscard]] Result Remove(Result ready, Long key, const String& subkey, bool tree);
  [[nodiscard]] Result ReadKey(Long key, const std::function<Result(KeyId)>& read);
  Target Resolve(Result ready, Long key);
  [[nodiscard]] Result StillThere(const Target& target);
  [[nodiscard]] Result ParsePath(Long key, String text, std::vector<String>* path);
  [[nodiscard]] Result Walk(KeyId from, const std::vector<String>& path, KeyId* found);
  [[nodiscard]] Result ViewKey(Long root, KeyId* key);
  [[nodiscard]] Result MakeView(Long root, KeyId* key);
  KeyId StartOf(const Target& target, const std::vector<String>& path);
  void ForgetViews();

  // The user's classes, kept among the views under a number that no root has.
  static constexpr Long kUserClasses = 0x7FFFFFFF;
  Long NewHandle(KeyId id, uint32_t access, size_t depth);

  std::timed_mutex mutex_;  // held by every call (Call) for all that follows
  std::unique_ptr<KeyStorage> storage_;  // guarded by mutex_
  std::map<Long, Handle> handles_;       // guarded by mutex_
  Long next_;                            // guarded by mutex_
  std::map<Long, KeyId> views_;          // guarded by mutex_: the views' keys found so far
};

}  // namespace corvane::registry
