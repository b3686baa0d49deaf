// Key changes in the registry's Unicode terms, for moving keys into the store whole (the .reg
// formats, the host tool).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "registry/vocabulary.h"
#include "corvane/types.h"

namespace corvane::registry {

// The components of a key's path below its root. The edits of one key share one copy: an edit
// copies a pointer, not the names, so a file's memory grows with its size, not with its depth
// times its values.
class KeyPath {
 public:
  KeyPath() : KeyPath(std::vector<String>()) {}
  KeyPath(std::vector<String> names)  // NOLINT: a path is its names
      : names_(std::make_shared<const std::vector<String>>(std::move(names))) {}
  KeyPath(std::initializer_list<String> names) : KeyPath(std::vector<String>(names)) {}

  const std::vector<String>& names() const { return *names_; }
  operator const std::vector<String>&() const { return *names_; }  // NOLINT: reads as the names
  std::vector<String>::const_iterator begin() const { return names_->begin(); }
  std::vector<String>::const_iterator end() const { return names_->end(); }
  size_t size() const { return names_->size(); }
  bool empty() const { return names_->empty(); }
  bool operator==(const KeyPath& other) const { return *names_ == *other.names_; }

 private:
  std::shared_ptr<const std::vector<String>> names_;
};

// One change of an import.
struct KeyEdit {
  enum class Kind {
    kCreateKey,    // makes the key and any missing key on the way
    kDeleteTree,   // removes the key with its subkeys and values; absent is no error
    kSetValue,     // makes the key when missing and sets `value`
    kDeleteValue,  // removes the value `value.name`; absent is no error
  };
  Kind kind = Kind::kCreateKey;
  Long root = 0;             // a predefined root's value
  KeyPath path;              // the components below the root
  StoredValue value;
  int line = 0;  // where the change came from, for messages
};

// Why the store could not keep a key at `path` below its root, or nullptr when it can: deeper
// than 512 levels, or a name longer than 256 characters, empty, holding a backslash, a NUL
// character or a lone surrogate.
const char* KeyPathProblem(const std::vector<String>& path);
// Why the store could not keep a value named `name`, or nullptr when it can: a name longer than
// 16383 characters, or holding a NUL character or a lone surrogate.
const char* ValueNameProblem(StringView name);

}  // namespace corvane::registry
