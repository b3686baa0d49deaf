// KeyStorage in memory. See key_storage_memory.h.
#include "registry/key_storage_memory.h"

#include <algorithm>
#include <utility>

namespace corvane::registry {

MemoryStorage::MemoryStorage() {
  for (const Root& root : kRoots)
    if (root.kind == RootKind::kKeys) tree_.keys[RootKey(root)].name = root.name;
}

MemoryStorage::Key* MemoryStorage::Find(KeyId key) {
  const auto found = tree_.keys.find(key);
  return found != tree_.keys.end() ? &found->second : nullptr;
}

StoredValue* MemoryStorage::FindValue(Key& key, StringView name) {
  const String folded = Fold(name);
  for (StoredValue& value : key.values)
    if (Fold(value.name) == folded) return &value;
  return nullptr;
}

Result MemoryStorage::FindChild(KeyId parent, StringView name, KeyId* child, String* spelled) {
  Key* key = Find(parent);
  if (key == nullptr) return kFileNotFound;
  const auto found = key->children.find(Fold(name));
  if (found == key->children.end()) return kFileNotFound;
  *child = found->second;
  if (spelled != nullptr) *spelled = tree_.keys[found->second].name;
  return kSuccess;
}

Result MemoryStorage::AddChild(KeyId parent, StringView name, KeyId* child) {
  Key* key = Find(parent);
  if (key == nullptr) return kFileNotFound;
  const KeyId id = tree_.next++;
  key->children[Fold(name)] = id;
  Key& added = tree_.keys[id];
  added.parent = parent;
  added.name = String(name);
  *child = id;
  return kSuccess;
}

Result MemoryStorage::KeyExists(KeyId key) {
  return Find(key) != nullptr ? kSuccess : kFileNotFound;
}

Result MemoryStorage::HasChildren(KeyId key, bool* any) {
  const Key* found = Find(key);
  *any = found != nullptr && !found->children.empty();
  return kSuccess;
}

Result MemoryStorage::DeleteKey(KeyId key) {
  Key* found = Find(key);
  if (found == nullptr) return kSuccess;
  if (Key* parent = Find(found->parent)) parent->children.erase(Fold(found->name));
  tree_.keys.erase(key);
  return kSuccess;
}

Result MemoryStorage::ReadValue(KeyId key, StringView name, StoredValue* value) {
  Key* found = Find(key);
  StoredValue* stored = found != nullptr ? FindValue(*found, name) : nullptr;
  if (stored == nullptr) return kFileNotFound;
  *value = *stored;
  return kSuccess;
}

Result MemoryStorage::WriteValue(KeyId key, const StoredValue& value) {
  Key* found = Find(key);
  if (found == nullptr) return kFileNotFound;
  if (StoredValue* stored = FindValue(*found, value.name)) {
    stored->type = value.type;
    stored->data = value.data;
  } else {
    found->values.push_back(value);
  }
  return kSuccess;
}

Result MemoryStorage::DeleteValue(KeyId key, StringView name) {
  Key* found = Find(key);
  if (found == nullptr) return kFileNotFound;
  const String folded = Fold(name);
  const auto gone = std::find_if(found->values.begin(), found->values.end(),
                                 [&](const StoredValue& v) { return Fold(v.name) == folded; });
  if (gone == found->values.end()) return kFileNotFound;
  found->values.erase(gone);
  return kSuccess;
}

Result MemoryStorage::ListChildren(KeyId key, std::vector<Child>* children) {
  children->clear();
  if (const Key* found = Find(key))
    for (const auto& [fold, id] : found->children)
      children->push_back({id, tree_.keys[id].name});
  return kSuccess;
}

Result MemoryStorage::ListValues(KeyId key, std::vector<StoredValue>* values) {
  values->clear();
  if (const Key* found = Find(key)) *values = found->values;
  return kSuccess;
}

Result MemoryStorage::Transaction(const std::function<Result()>& body) {
  Tree before = tree_;
  const Result result = body();
  if (result != kSuccess) tree_ = std::move(before);
  return result;
}

}  // namespace corvane::registry
