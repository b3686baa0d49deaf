// Whole keys in and out of the registry store, over its storage.
#include "regtool/store_maintenance.h"

#include <map>

namespace corvane::registry {
namespace {

// The storage key of a root that holds keys; null otherwise.
const Root* StoredRoot(Long handle) {
  const Root* root = RootByHandle(handle);
  return root != nullptr && root->kind == RootKind::kKeys ? root : nullptr;
}

Result CheckEdit(const KeyEdit& edit) {
  if (StoredRoot(edit.root) == nullptr) return kInvalidHandle;
  if (KeyPathProblem(edit.path) != nullptr || ValueNameProblem(edit.value.name) != nullptr ||
      edit.value.data.size() > kMaxData)
    return kInvalidParameter;
  return kSuccess;
}

// Removes `top` with everything below it (inside a transaction), depth first by iteration, so
// that a tree of any depth takes no more stack than a flat one: a key goes once its subkeys
// have gone.
Result DeleteTree(KeyStorage& storage, KeyId top) {
  std::vector<KeyId> pending{top};
  std::vector<Child> children;
  while (!pending.empty()) {
    const KeyId key = pending.back();
    if (const Result r = storage.ListChildren(key, &children); r != kSuccess) return r;
    if (children.empty()) {
      if (const Result r = storage.DeleteKey(key); r != kSuccess) return r;
      pending.pop_back();
      continue;
    }
    for (const Child& child : children)
      pending.push_back(child.id);
  }
  return kSuccess;
}

// The key `path` below `root`, and its path as the names were created, the root's name first.
// 2 when a component is missing, 6 for a root that holds no keys. A root that is a view not
// made yet is key 0, which holds nothing.
Result FindSpelled(KeyStorage& storage, Long root, const std::vector<String>& path, KeyId* key,
                   std::vector<String>* spelled) {
  const Root* r = StoredRoot(root);
  if (r == nullptr) return kInvalidHandle;
  KeyId id = 0;
  if (const Result start = StartOf(storage, root, path, false, &id); start != kSuccess)
    return start;
  *spelled = {r->name};
  for (const String& name : path) {
    if (id == 0) return kFileNotFound;
    String as_created;
    if (const Result found = storage.FindChild(id, name, &id, &as_created); found != kSuccess)
      return found;
    spelled->push_back(std::move(as_created));
  }
  *key = id;
  return kSuccess;
}

// The key of `edit`, made on the way when the edit makes keys; 2 when it is missing.
Result KeyOfEdit(KeyStorage& storage, const KeyEdit& edit, KeyId* key) {
  const bool create =
      edit.kind == KeyEdit::Kind::kCreateKey || edit.kind == KeyEdit::Kind::kSetValue;
  KeyId start = 0;
  if (const Result r = StartOf(storage, edit.root, edit.path, create, &start); r != kSuccess)
    return r;
  return WalkPath(storage, start, edit.path, create, key);
}

// The key that the edits before found, for the edits that follow on the same key (one shared
// path): each value of a key is then set without walking its path again.
struct FoundKey {
  const std::vector<String>* path = nullptr;
  Long root = 0;
  KeyId id = 0;
};

Result ApplyOne(KeyStorage& storage, const KeyEdit& edit, FoundKey* last) {
  KeyId key = 0;
  Result found = kSuccess;
  if (last->path == &edit.path.names() && last->root == edit.root) {
    key = last->id;
  } else {
    found = KeyOfEdit(storage, edit, &key);
    *last = found == kSuccess ? FoundKey{&edit.path.names(), edit.root, key} : FoundKey{};
  }
  if (edit.kind == KeyEdit::Kind::kDeleteTree) *last = FoundKey{};  // the tree goes
  if (found == kFileNotFound) return kSuccess;                      // nothing to delete
  if (found != kSuccess) return found;
  switch (edit.kind) {
    case KeyEdit::Kind::kCreateKey:
      return kSuccess;
    case KeyEdit::Kind::kDeleteTree:
      if (edit.path.empty()) return kAccessDenied;  // a root itself
      return DeleteTree(storage, key);
    case KeyEdit::Kind::kSetValue:
      return storage.WriteValue(key, edit.value);
    case KeyEdit::Kind::kDeleteValue: {
      const Result r = storage.DeleteValue(key, edit.value.name);
      return r == kFileNotFound ? kSuccess : r;
    }
  }
  return kInvalidParameter;
}

// Names of one key that are one name now (an older store's pairs) put so that the one calls
// reach comes after the others of its name: a file written in this order and imported as it
// is leaves what calls reach as it was. Calls reach the first of each name in `items`.
template <class Item>
void PutReachedLast(std::vector<Item>& items) {
  std::map<String, size_t> last;  // by folded name: the last place that name takes
  for (size_t i = 0; i < items.size(); ++i)
    last[Fold(items[i].name)] = i;
  if (last.size() == items.size()) return;
  std::vector<Item> ordered;
  std::map<String, Item> waiting;  // the reached one of each pair, until the last of its name
  for (size_t i = 0; i < items.size(); ++i) {
    const String fold = Fold(items[i].name);
    if (last[fold] != i && waiting.count(fold) == 0) {
      waiting.emplace(fold, std::move(items[i]));
      continue;
    }
    ordered.push_back(std::move(items[i]));
    if (const auto reached = waiting.find(fold); reached != waiting.end() && last[fold] == i) {
      ordered.push_back(std::move(reached->second));
      waiting.erase(reached);
    }
  }
  items = std::move(ordered);
}

}  // namespace

Result ListKey(RegistryStore& store, Long root, const std::vector<String>& path,
               std::vector<String>* spelled, std::vector<String>* subkeys,
               std::vector<StoredValue>* values) {
  return store.WithStorage([&](KeyStorage& storage) -> Result {
    KeyId id = 0;
    std::vector<String> as_created;
    if (const Result found = FindSpelled(storage, root, path, &id, &as_created); found != kSuccess)
      return found;
    if (spelled != nullptr) *spelled = std::move(as_created);
    if (id == 0) {  // a view not made yet
      if (subkeys != nullptr) subkeys->clear();
      if (values != nullptr) values->clear();
      return kSuccess;
    }
    if (subkeys != nullptr) {
      std::vector<Child> children;
      if (const Result listed = storage.ListChildren(id, &children); listed != kSuccess)
        return listed;
      subkeys->clear();
      for (Child& child : children)
        subkeys->push_back(std::move(child.name));
    }
    if (values != nullptr)
      if (const Result listed = storage.ListValues(id, values); listed != kSuccess) return listed;
    return kSuccess;
  });
}

Result WalkTree(RegistryStore& store, Long root, const std::vector<String>& path,
                const KeyVisitor& visit) {
  return store.WithStorage([&](KeyStorage& storage) -> Result {
    KeyId top = 0;
    std::vector<String> spelled;
    if (const Result found = FindSpelled(storage, root, path, &top, &spelled); found != kSuccess)
      return found;
    // The keys whose subkeys are being walked, each with its subkeys' names and the next one.
    struct Open {
      KeyId id;
      std::vector<Child> children;
      size_t next = 0;
    };
    std::vector<Open> open;
    std::vector<StoredValue> values;
    auto enter = [&](KeyId key) -> Result {
      if (key == 0) {  // a view not made yet
        values.clear();
        open.push_back({key, {}});
        return visit(spelled, values);
      }
      if (const Result listed = storage.ListValues(key, &values); listed != kSuccess) return listed;
      PutReachedLast(values);
      if (const Result stop = visit(spelled, values); stop != kSuccess) return stop;
      open.push_back({key, {}});
      const Result listed = storage.ListChildren(key, &open.back().children);
      PutReachedLast(open.back().children);
      return listed;
    };
    if (const Result r0 = enter(top); r0 != kSuccess) return r0;
    while (!open.empty()) {
      Open& current = open.back();
      if (current.next == current.children.size()) {
        open.pop_back();
        if (!open.empty()) spelled.pop_back();
        continue;
      }
      const Child child = current.children[current.next++];
      spelled.push_back(child.name);
      if (const Result entered = enter(child.id); entered != kSuccess) return entered;
    }
    return kSuccess;
  });
}

Result ApplyEdits(RegistryStore& store, const std::vector<KeyEdit>& edits) {
  return store.WithStorage([&](KeyStorage& storage) -> Result {
    for (const KeyEdit& edit : edits)
      if (const Result r = CheckEdit(edit); r != kSuccess) return r;
    return storage.Transaction([&]() -> Result {
      FoundKey last;
      for (const KeyEdit& edit : edits)
        if (const Result r = ApplyOne(storage, edit, &last); r != kSuccess) return r;
      return kSuccess;
    });
  });
}

}  // namespace corvane::registry
