// WideRegistry: the registry's wide calls, for the key class (corvane/key.h). Names are
// Unicode; a value's data is its bytes as the registry keeps them, text in UTF-16LE. Handles
// are the Long values of RegistryApi and are closed with its CloseKey. The platform's own
// backends give these calls besides the ANSI ones; a backend a host installed may not.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "corvane/registry_api.h"

namespace corvane::registry {

class WideRegistry {
 public:
  virtual ~WideRegistry() = default;

  // RegOpenKeyExW; "" gives a new handle to `key` itself.
  virtual Result OpenKeyW(Long key, const String& subkey, uint32_t sam, Long* result) = 0;
  // RegCreateKeyExW, for all access, making missing keys on the way.
  virtual Result CreateKeyW(Long key, const String& subkey, Long* result) = 0;
  // The value `name` of `key`: its type and all its bytes.
  virtual Result QueryValueW(Long key, const String& name, uint32_t* type, std::string* data) = 0;
  // RegSetValueExW: the bytes are kept as given.
  virtual Result SetValueW(Long key, const String& name, uint32_t type,
                           const std::string& data) = 0;
  virtual Result DeleteValueW(Long key, const String& name) = 0;
  // RegDeleteTreeW with a subkey: that key, everything below it and their values.
  virtual Result DeleteTreeW(Long key, const String& subkey) = 0;
  // The names of the subkeys, as the registry enumerates them.
  virtual Result SubkeysW(Long key, std::vector<String>* names) = 0;
  // The names and types of the values, as the registry enumerates them.
  virtual Result ValuesW(Long key, std::vector<std::pair<String, uint32_t>>* values) = 0;
};

// The registry in use, shared: the installed backend's owner, or (for the platform's own and
// for one installed without an owner) a pointer that owns nothing.
std::shared_ptr<RegistryApi> SharedCurrentRegistry();

}  // namespace corvane::registry
