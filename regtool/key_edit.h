// Key changes in the registry's Unicode terms, for moving keys into the store whole (the .reg
// formats, the host tool).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "registry/vocabulary.h"
#include "corvane/types.h"

namespace corvane::registry {

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
  std::vector<String> path;  // the components below the root
  StoredValue value;
  int line = 0;  // where the change came from, for messages
};

}  // namespace corvane::registry
