// The roots over a KeyStorage: where each root's keys are, views included. See key_storage.h.
#include "registry/key_storage.h"

namespace corvane::registry {

Result WalkPath(KeyStorage& storage, KeyId from, const std::vector<String>& path, bool make,
                KeyId* key) {
  KeyId id = from;
  for (const String& name : path) {
    if (id == 0) return kFileNotFound;  // below a view that is not made yet
    KeyId child = 0;
    Result r = storage.FindChild(id, name, &child);
    if (r == kFileNotFound && make) r = storage.AddChild(id, name, &child);
    if (r != kSuccess) return r;
    id = child;
  }
  *key = id;
  return kSuccess;
}

Result FindView(KeyStorage& storage, const View& view, bool make, KeyId* key) {
  return WalkPath(storage, RootKey(*RootByHandle(view.base)), view.path, make, key);
}

Result StartOf(KeyStorage& storage, Long root, const std::vector<String>& path, bool make,
               KeyId* start) {
  const Root* r = RootByHandle(root);
  if (r == nullptr || r->kind != RootKind::kKeys) return kInvalidHandle;
  if (root == kClassesRoot && !path.empty()) {
    KeyId user = 0, found = 0;
    if (FindView(storage, UserClassesView(), false, &user) == kSuccess &&
        WalkPath(storage, user, path, false, &found) == kSuccess) {
      *start = user;
      return kSuccess;
    }
  }
  const View* view = ViewOf(root);
  if (view == nullptr) {
    *start = RootKey(*r);
    return kSuccess;
  }
  const Result found = FindView(storage, *view, make, start);
  if (found == kFileNotFound && !make) {
    *start = 0;  // nothing is below it yet
    return kSuccess;
  }
  return found;
}

}  // namespace corvane::registry
