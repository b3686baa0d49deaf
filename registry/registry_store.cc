// The registry's rules over a KeyStorage. See registry_store.h for the rules kept here.
#include "registry/registry_store.h"

#include <atomic>
#include <cstring>
#include <utility>

#include "registry/key_storage_memory.h"
#include "runtime/ansi.h"

namespace corvane::registry {
namespace {

constexpr uint32_t kKeySetValue = 0x2;
constexpr Long kFirstHandle = 0x100;
constexpr Result kBusy = 1016;  // what a call past its deadline answers

std::atomic<int64_t> g_budget_ms{10000};

String FromAnsiText(const char* text) {
  return text == nullptr ? String() : rt::FromAnsiAsSystem(text);
}

// The bytes that a text value's ANSI caller gave, as the registry keeps them: a count that
// leaves out the terminator just past it takes the terminator in.
std::string StoredText(const uint8_t* data, uint32_t count) {
  uint32_t used = count;
  if (count > 0 && data[count - 1] != 0 && data[count] == 0) ++used;
  return Utf16Bytes(
      rt::FromAnsiAsSystem(std::string_view(reinterpret_cast<const char*>(data), used)));
}

}  // namespace

// One call of the store: its lock, taken by the call's deadline, and the storage begun for it.
class RegistryStore::Call {
 public:
  explicit Call(RegistryStore& store) : lock_(store.mutex_, std::defer_lock) {
    const Deadline deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(g_budget_ms.load());
    // NOTE: the wait is timed on the system clock: a steady one makes libstdc++ use
    // pthread_mutex_clocklock, which ThreadSanitizer does not see, so it would report every
    // access under the lock as a race.
    const bool locked =
        lock_.try_lock() || lock_.try_lock_until(std::chrono::system_clock::now() +
                                                 (deadline - std::chrono::steady_clock::now()));
    result_ = locked ? store.storage_->Begin(deadline) : kBusy;
  }
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

  bool locked() const { return lock_.owns_lock(); }
  // 0 when the call may go on; else what it answers.
  Result result() const { return result_; }

 private:
  std::unique_lock<std::timed_mutex> lock_;
  Result result_ = kSuccess;
};

RegistryStore::RegistryStore(std::unique_ptr<KeyStorage> storage)
    : storage_(std::move(storage)), next_(kFirstHandle) {
  const Call call(*this);  // sets the storage up, and says why when it cannot be used
}

void RegistryStore::SetCallBudget(std::chrono::milliseconds budget) {
  g_budget_ms = budget.count();
}

Result RegistryStore::health() {
  const Call call(*this);
  return call.result();
}

size_t RegistryStore::open_handles() {
  const std::lock_guard<std::timed_mutex> lock(mutex_);
  return handles_.size();
}

void RegistryStore::CloseAllHandles() {
  const std::lock_guard<std::timed_mutex> lock(mutex_);
  handles_.clear();
  ForgetViews();
}

Result RegistryStore::WithStorage(const std::function<Result(KeyStorage&)>& work) {
  const Call call(*this);
  if (call.result() != kSuccess) return call.result();
  const Result result = work(*storage_);
  ForgetViews();  // the work may have made or removed a view's key
  return result;
}

std::unique_ptr<RegistryStore> RegistryStore::InMemory() {
  return std::make_unique<RegistryStore>(std::make_unique<MemoryStorage>());
}

Result RegistryStore::OpenKey(Long key, const char* subkey, Long* result) {
  const Call call(*this);
  if (!call.locked()) return kBusy;
  if (result == nullptr) return kInvalidParameter;
  *result = 0;
  if (subkey != nullptr && *subkey != 0)
    return Open(call.result(), key, FromAnsiText(subkey), kKeyAllAccess, result);
  const Target target = Resolve(call.result(), key);
  if (target.error != kSuccess) return target.error;
  *result = key;
  return kSuccess;
}

Result RegistryStore::OpenKeyEx(Long key, const char* subkey, uint32_t, uint32_t sam,
                                Long* result) {
  const Call call(*this);
  if (!call.locked()) return kBusy;
  if (result == nullptr) return kInvalidParameter;
  *result = 0;
  return Open(call.result(), key, FromAnsiText(subkey), sam, result);
}

Result RegistryStore::OpenKeyW(Long key, const String& subkey, uint32_t sam, Long* result) {
  const Call call(*this);
  if (!call.locked()) return kBusy;
  *result = 0;
  return Open(call.result(), key, subkey, sam, result);
}

// OpenKeyEx within a call.
Result RegistryStore::Open(Result ready, Long key, const String& subkey, uint32_t sam,
                           Long* result) {
  const Target target = Resolve(ready, key);
  if (target.error != kSuccess) return target.error;
  if (target.performance) {
    if (!subkey.empty()) return kInvalidHandle;
    *result = key;
    return kSuccess;
  }
  if (subkey.empty() && RootByHandle(key) != nullptr) {
    *result = key;
    return kSuccess;
  }
  std::vector<String> path;
  if (const Result r = ParsePath(key, subkey, &path); r != kSuccess) return r;
  KeyId id = 0;
  if (const Result r = Walk(StartOf(target, path), path, &id); r != kSuccess) return r;
  *result = NewHandle(id, sam, target.depth + path.size());
  return kSuccess;
}

Result RegistryStore::CreateKey(Long key, const char* subkey, Long* result) {
  const Call call(*this);
  if (!call.locked()) return kBusy;
  if (result == nullptr) return kInvalidParameter;
  *result = 0;
  return Create(call.result(), key, FromAnsiText(subkey), result);
}

Result RegistryStore::CreateKeyW(Long key, const String& subkey, Long* result) {
  const Call call(*this);
  if (!call.locked()) return kBusy;
  *result = 0;
  return Create(call.result(), key, subkey, result);
}

// CreateKey within a call.
Result RegistryStore::Create(Result ready, Long key, const String& subkey, Long* result) {
  const Target target = Resolve(ready, key);
  if (target.error != kSuccess) return target.error;
  if (target.performance) return kInvalidHandle;
  if (subkey.empty() && RootByHandle(key) != nullptr) {
    *result = key;
    return kSuccess;
  }
  std::vector<String> path;
  if (const Result r = ParsePath(key, subkey, &path); r != kSuccess) return r;
  if (target.depth + path.size() > kMaxDepth) return kInvalidParameter;  // the tree's limit
  KeyId id = 0;
  // A key that is gone has no children, so the first child added below it finds it gone,
  // inside the transaction; the keys made on the way cannot go meanwhile.
  const Result r = storage_->Transaction([&]() -> Result {
    if (path.empty())
      if (const Result r = StillThere(target); r != kSuccess) return r;
    Target now = target;
    if (target.root)  // again under the write lock: a view's key may have been remade since
      if (const Result r = ViewKey(key, &now.id); r != kSuccess) return r;
    id = StartOf(now, path);
    if (id == 0)
      if (const Result r = MakeView(key, &id); r != kSuccess) return r;
    for (const String& name : path) {
      KeyId child = 0;
      Result found = storage_->FindChild(id, name, &child);
      if (found == kFileNotFound) {
        found = storage_->AddChild(id, name, &child);
        if (found == kFileNotFound) return kKeyDeleted;
      }
      if (found != kSuccess) return found;
      id = child;
    }
    return kSuccess;
  });
  if (r != kSuccess) return r;
  *result = NewHandle(id, kKeyAllAccess, target.depth + path.size());
  return kSuccess;
}

Result RegistryStore::QueryValueEx(Long key, const char* name, uint32_t* reserved, uint32_t* type,
                                   uint8_t* data, uint32_t* count) {
  const Call call(*this);
  if (!call.locked()) return kBusy;
  if (reserved != nullptr || (data != nullptr && count == nullptr)) return kInvalidParameter;
  const Target target = Resolve(call.result(), key);
  if (target.error != kSuccess) return target.error;
  if (target.performance) {
    if (count != nullptr) *count = 0;
    return kMoreData;
  }
  StoredValue value;
  if (const Result r = storage_->ReadValue(target.id, FromAnsiText(name), &value); r != kSuccess) {
    if (r == kFileNotFound && data == nullptr && count != nullptr) *count = 0;
    return r;
  }
  const std::string bytes = IsTextType(value.type) ? rt::ToAnsiAsSystem(FromUtf16Bytes(value.data))
                                                   : std::move(value.data);
  const auto size = static_cast<uint32_t>(bytes.size());
  // The count is read before the type is written: one variable may serve as both.
  const uint32_t room = count != nullptr ? *count : 0;
  if (type != nullptr) *type = value.type;
  if (data == nullptr) {
    if (count != nullptr) *count = size;
    return kSuccess;
  }
  if (room < size) {
    *count = size;
    return kMoreData;
  }
  std::memcpy(data, bytes.data(), size);
  // Text that is not terminated gets a zero where there is room; the count leaves it out.
  if (IsTextType(value.type) && room > size && size > 0 && bytes.back() != 0) data[size] = 0;
  *count = size;
  return kSuccess;
}

Result RegistryStore::QueryValueW(Long key, const String& name, uint32_t* type, std::string* data) {
  return ReadKey(key, [&](KeyId id) -> Result {
    StoredValue value;
    if (const Result r = storage_->ReadValue(id, name, &value); r != kSuccess) return r;
    *type = value.type;
    *data = std::move(value.data);
    return kSuccess;
  });
}

Result RegistryStore::SubkeysW(Long key, std::vector<String>* names) {
  return ReadKey(key, [&](KeyId id) -> Result {
    std::vector<Child> children;
    if (id == 0) return kSuccess;  // a view not made yet holds nothing
    if (const Result r = storage_->ListChildren(id, &children); r != kSuccess) return r;
    for (Child& child : children)
      names->push_back(std::move(child.name));
    return kSuccess;
  });
}

Result RegistryStore::ValuesW(Long key, std::vector<std::pair<String, uint32_t>>* values) {
  return ReadKey(key, [&](KeyId id) -> Result {
    std::vector<StoredValue> stored;
    if (id == 0) return kSuccess;
    if (const Result r = storage_->ListValues(id, &stored); r != kSuccess) return r;
    for (StoredValue& value : stored)
      values->emplace_back(std::move(value.name), value.type);
    return kSuccess;
  });
}

// One reading call on the key that `key` stands for (0: a view not made yet).
Result RegistryStore::ReadKey(Long key, const std::function<Result(KeyId)>& read) {
  const Call call(*this);
  if (!call.locked()) return kBusy;
  const Target target = Resolve(call.result(), key);
  if (target.error != kSuccess) return target.error;
  if (target.performance) return kInvalidHandle;
  return read(target.id);
}

Result RegistryStore::SetValueEx(Long key, const char* name, uint32_t, uint32_t type,
                                 const uint8_t* data, uint32_t count) {
  const Call call(*this);
  if (!call.locked()) return kBusy;
  const bool invalid = (data == nullptr && count != 0) || count > kMaxData;
  StoredValue value{FromAnsiText(name), type, {}};
  if (!invalid && IsTextType(type)) {
    value.data = StoredText(data, count);
  } else if (!invalid && count > 0) {
    value.data.assign(reinterpret_cast<const char*>(data), count);
  }
  return Set(call.result(), key, value, invalid);
}

Result RegistryStore::SetValueW(Long key, const String& name, uint32_t type,
                                const std::string& data) {
  const Call call(*this);
  if (!call.locked()) return kBusy;
  return Set(call.result(), key, StoredValue{name, type, data}, data.size() > kMaxData);
}

// SetValueEx within a call; `invalid` when the data cannot be taken (87, once the handle
// passed).
Result RegistryStore::Set(Result ready, Long key, const StoredValue& value, bool invalid) {
  const Target target = Resolve(ready, key);
  if (target.error != kSuccess) return target.error;
  if (target.performance) return kInvalidHandle;
  if ((target.access & kKeySetValue) == 0) return kAccessDenied;
  if (invalid || value.name.size() > kMaxValueName || !IsKeepableName(value.name))
    return kInvalidParameter;
  // The write itself finds the key gone, inside its transaction.
  return storage_->Transaction([&]() -> Result {
    KeyId id = target.id;
    if (target.root)  // again under the write lock: a view's key may have been remade since
      if (const Result r = ViewKey(key, &id); r != kSuccess) return r;
    if (id == 0)
      if (const Result r = MakeView(key, &id); r != kSuccess) return r;
    const Result r = storage_->WriteValue(id, value);
    return r == kFileNotFound ? kKeyDeleted : r;
  });
}

Result RegistryStore::CloseKey(Long key) {
  const Call call(*this);
  if (!call.locked()) return kBusy;
  if (RootByHandle(key) != nullptr) return kSuccess;
  return handles_.erase(key) == 1 ? kSuccess : kInvalidHandle;
}

Result RegistryStore::DeleteKey(Long key, const char* subkey) {
  const Call call(*this);
  if (!call.locked()) return kBusy;
  if (subkey == nullptr) return kInvalidParameter;
  return Remove(call.result(), key, FromAnsiText(subkey), false);
}

Result RegistryStore::DeleteTreeW(Long key, const String& subkey) {
  const Call call(*this);
  if (!call.locked()) return kBusy;
  if (subkey.empty()) return kInvalidParameter;  // the key itself stays, as on Windows
  return Remove(call.result(), key, subkey, true);
}

// DeleteKey within a call; with `tree`, the keys below it go too (else a key that has any is
// refused with 5).
Result RegistryStore::Remove(Result ready, Long key, const String& subkey, bool tree) {
  const Target target = Resolve(ready, key);
  if (target.error != kSuccess) return target.error;
  if (target.performance) return kInvalidHandle;
  std::vector<String> path;
  if (const Result r = ParsePath(key, subkey, &path); r != kSuccess) return r;
  const Result deleted = storage_->Transaction([&]() -> Result {
    if (const Result r = StillThere(target); r != kSuccess) return r;
    if (target.root && path.empty()) return kAccessDenied;  // a root itself
    KeyId id = 0;
    if (const Result r = Walk(StartOf(target, path), path, &id); r != kSuccess) return r;
    bool has_children = false;
    if (const Result r = storage_->HasChildren(id, &has_children); r != kSuccess) return r;
    if (has_children && !tree) return kAccessDenied;
    // The key and every key below it, each before its subkeys; removed from the last.
    std::vector<KeyId> order{id};
    for (size_t i = 0; has_children && i < order.size(); ++i) {
      std::vector<Child> children;
      if (const Result r = storage_->ListChildren(order[i], &children); r != kSuccess) return r;
      for (const Child& child : children)
        order.push_back(child.id);
    }
    for (auto it = order.rbegin(); it != order.rend(); ++it)
      if (const Result r = storage_->DeleteKey(*it); r != kSuccess) return r;
    return kSuccess;
  });
  // The key may have been a view's own key (an empty HKEY_USERS\<SID>): found anew next time.
  if (deleted == kSuccess) ForgetViews();
  return deleted;
}

Result RegistryStore::DeleteValue(Long key, const char* name) {
  const Call call(*this);
  if (!call.locked()) return kBusy;
  return Unset(call.result(), key, FromAnsiText(name));
}

Result RegistryStore::DeleteValueW(Long key, const String& name) {
  const Call call(*this);
  if (!call.locked()) return kBusy;
  return Unset(call.result(), key, name);
}

// DeleteValue within a call.
Result RegistryStore::Unset(Result ready, Long key, const String& name) {
  const Target target = Resolve(ready, key);
  if (target.error != kSuccess) return target.error;
  if (target.performance) return kInvalidHandle;
  if ((target.access & kKeySetValue) == 0) return kAccessDenied;
  return storage_->Transaction([&]() -> Result {
    if (const Result r = StillThere(target); r != kSuccess) return r;
    return storage_->DeleteValue(target.id, name);
  });
}

// What `key` stands for in a call whose storage answered `ready` to its start.
RegistryStore::Target RegistryStore::Resolve(Result ready, Long key) {
  Target t;
  if (ready != kSuccess) {
    t.error = ready;
  } else if (const Root* root = RootByHandle(key)) {
    if (root->kind == RootKind::kPerformanceData) {
      t.performance = true;
    } else if (root->kind == RootKind::kWindows9xOnly) {
      t.error = kInvalidHandle;
    } else {
      t.access = kKeyAllAccess;
      t.root = true;
      t.handle = key;
      if (const Result r = ViewKey(key, &t.id); r != kSuccess) t.error = r;
    }
  } else if (const auto found = handles_.find(key); found == handles_.end()) {
    t.error = kInvalidHandle;
  } else if (const Result exists = storage_->KeyExists(found->second.id); exists != kSuccess) {
    t.error = exists == kFileNotFound ? kKeyDeleted : exists;
  } else {
    t.id = found->second.id;
    t.access = found->second.access;
    t.depth = found->second.depth;
  }
  return t;
}

// Inside a write's transaction: whether the handle's key is still there (another thread or
// process may have deleted it since Resolve), 1018 when it is gone. Roots are always there.
Result RegistryStore::StillThere(const Target& target) {
  if (target.root) return kSuccess;
  const Result exists = storage_->KeyExists(target.id);
  return exists == kFileNotFound ? kKeyDeleted : exists;
}

// The components of `subkey`: a leading backslash is refused (one is skipped under
// HKEY_CLASSES_ROOT), trailing and doubled ones are ignored, a component longer than a key name
// may be is refused.
Result RegistryStore::ParsePath(Long key, String text, std::vector<String>* path) {
  if (!text.empty() && text[0] == u'\\') {
    if (key != kClassesRoot) return kBadPathname;
    text.erase(0, 1);
  }
  *path = SplitKeyPath(text);
  for (const String& name : *path)
    if (name.size() > kMaxKeyName || !IsKeepableName(name)) return kInvalidParameter;
  return kSuccess;
}

// The key at `path` below `from`: 2 when a component is missing.
Result RegistryStore::Walk(KeyId from, const std::vector<String>& path, KeyId* found) {
  return WalkPath(*storage_, from, path, false, found);
}

// The key that the root `root` stands for: its own, or its view's, found once and then kept
// while it is there (0 while a view is not made yet). HKEY_CLASSES_ROOT stands for the machine's
// classes.
Result RegistryStore::ViewKey(Long root, KeyId* key) {
  const View* view = root == kUserClasses ? &UserClassesView() : ViewOf(root);
  if (view == nullptr) {
    *key = RootKey(*RootByHandle(root));
    return kSuccess;
  }
  if (const auto kept = views_.find(root); kept != views_.end()) {
    // Another thread or process may have removed the view's key (and made it again) since.
    const Result there = storage_->KeyExists(kept->second);
    if (there != kFileNotFound) {
      *key = kept->second;
      return there;
    }
    views_.erase(kept);
  }
  const Result found = FindView(*storage_, *view, false, key);
  if (found == kFileNotFound) {
    *key = 0;
    return kSuccess;
  }
  if (found == kSuccess) views_[root] = *key;
  return found;
}

// Within a write's transaction: makes the view that `root` is, for a write below it.
Result RegistryStore::MakeView(Long root, KeyId* key) {
  const Result made = FindView(*storage_, *ViewOf(root), true, key);
  // Kept only once the transaction has committed: the next call finds it then.
  ForgetViews();
  return made;
}

// Where `path` below `target` begins: the target's key; for HKEY_CLASSES_ROOT, the user's
// classes when the whole path is there.
KeyId RegistryStore::StartOf(const Target& target, const std::vector<String>& path) {
  if (!target.root || target.handle != kClassesRoot || path.empty()) return target.id;
  KeyId user = 0, found = 0;
  if (ViewKey(kUserClasses, &user) == kSuccess && user != 0 && Walk(user, path, &found) == kSuccess)
    return user;
  return target.id;
}

void RegistryStore::ForgetViews() {
  views_.clear();
}

Long RegistryStore::NewHandle(KeyId id, uint32_t access, size_t depth) {
  // Positive, never 0, never a root's (negative) value; not reused while open.
  while (handles_.count(next_) != 0 || next_ <= 0)
    next_ = next_ <= 0 || next_ > 0x3FFFFFF0 ? kFirstHandle : next_ + 4;
  const Long handle = next_;
  next_ += 4;
  handles_[handle] = {id, access, depth};
  return handle;
}

}  // namespace corvane::registry
