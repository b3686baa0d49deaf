// Values and key changes in the registry's Unicode terms, for moving keys in and out of the
// store whole (the .reg formats, the host tool).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/types.h"

namespace corvane::registry {

// A value as the registry keeps it: the data of the text types (REG_SZ, REG_EXPAND_SZ,
// REG_MULTI_SZ) as UTF-16LE bytes with whatever terminators they were given, others as given.
struct StoredValue {
  String name;  // "" is the key's default value
  uint32_t type = 0;
  std::string data;
  bool operator==(const StoredValue&) const = default;
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
  Long root = 0;              // a predefined root's value
  std::vector<String> path;   // the components below the root
  StoredValue value;
  int line = 0;               // where the change came from, for messages
};

}  // namespace corvane::registry
