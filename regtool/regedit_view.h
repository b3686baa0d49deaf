// Keys and values as regedit names and shows them: key paths with a root's full or short name,
// type names, and the data forms of its list of values.
#pragma once

#include <string>
#include <vector>

#include "registry/vocabulary.h"

namespace corvane::registry {

// A key path: a root's name ("HKEY_CURRENT_USER", or "HKCU", "HKLM", "HKCR", "HKU", "HKCC"),
// in any case, then the components, separated by backslashes (empty components are skipped).
// False for an unknown root or one that holds no keys.
bool ParseKeyPath(StringView text, Long* root, std::vector<String>* components);
// The full name of a root that holds keys; "" for any other value.
String RootName(Long root);

// How regedit shows a value's type and data: "REG_DWORD", "0x0000002a (42)".
std::string TypeName(uint32_t type);
std::string ShownData(const StoredValue& value);

}  // namespace corvane::registry
