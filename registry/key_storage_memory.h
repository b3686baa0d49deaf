// KeyStorage in memory: the same tree as the SQLite file keeps, for the tests of the registry's
// rules and the model fuzzer. Nothing survives the object, and nothing fails.
#pragma once

#include <map>

#include "registry/key_storage.h"

namespace corvane::registry {

class MemoryStorage final : public KeyStorage {
 public:
  MemoryStorage();

  Result Begin(Deadline) override { return kSuccess; }
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

 private:
  struct Key {
    KeyId parent = 0;
    String name;
    std::map<String, KeyId> children;  // by folded name
    std::vector<StoredValue> values;   // in the order they were first set
  };
  struct Tree {
    std::map<KeyId, Key> keys;
    KeyId next = 7;  // after the roots' identifiers
  };

  Key* Find(KeyId key);
  StoredValue* FindValue(Key& key, StringView name);

  Tree tree_;
};

}  // namespace corvane::registry
