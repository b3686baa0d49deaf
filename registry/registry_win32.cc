// The Windows registry over advapi32's ANSI calls. Every Long handle becomes an HKEY by sign
// extension and every HKEY the registry gives back becomes a Long through the one helper, so
// the predefined roots reach the real roots on 64-bit Windows too.
#include <windows.h>

#include <vector>

#include "registry/hkey_value_win32.h"
#include "registry/wide_registry.h"
#include "corvane/registry_api.h"

namespace corvane::registry {
namespace {

// Hands an HKEY that a call gave back to the caller's Long. A handle that a Long cannot hold is
// closed and refused rather than truncated.
Result GiveHandle(Result result, HKEY opened, Long* out) {
  if (result != ERROR_SUCCESS) {
    *out = 0;
    return result;
  }
  const std::optional<Long> value = LongFromHkey(opened);
  if (!value) {
    UniqueHkey refused(opened);
    *out = 0;
    return ERROR_INVALID_HANDLE;
  }
  *out = *value;
  return result;
}

const wchar_t* Wide(const String& text) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

// NOTE: Windows answers a null result pointer with ERROR_INVALID_PARAMETER; Wine writes
// through it and crashes. The backend answers it itself, as Windows does.
class Win32Registry final : public RegistryApi, public WideRegistry {
 public:
  Result OpenKey(Long key, const char* subkey, Long* result) override {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    HKEY opened = nullptr;
    const LONG r = RegOpenKeyA(HkeyFromLong(key), subkey, &opened);
    return GiveHandle(r, opened, result);
  }
  Result OpenKeyEx(Long key, const char* subkey, uint32_t options, uint32_t sam,
                   Long* result) override {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    HKEY opened = nullptr;
    const LONG r = RegOpenKeyExA(HkeyFromLong(key), subkey, options, sam, &opened);
    return GiveHandle(r, opened, result);
  }
  Result CreateKey(Long key, const char* subkey, Long* result) override {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    HKEY created = nullptr;
    const LONG r = RegCreateKeyA(HkeyFromLong(key), subkey, &created);
    return GiveHandle(r, created, result);
  }
  Result QueryValueEx(Long key, const char* name, uint32_t* reserved, uint32_t* type, uint8_t* data,
                      uint32_t* count) override {
    static_assert(sizeof(DWORD) == sizeof(uint32_t));
    return RegQueryValueExA(HkeyFromLong(key), name, reinterpret_cast<DWORD*>(reserved),
                            reinterpret_cast<DWORD*>(type), data, reinterpret_cast<DWORD*>(count));
  }
  Result SetValueEx(Long key, const char* name, uint32_t reserved, uint32_t type,
                    const uint8_t* data, uint32_t count) override {
    return RegSetValueExA(HkeyFromLong(key), name, reserved, type, data, count);
  }
  Result CloseKey(Long key) override { return RegCloseKey(HkeyFromLong(key)); }
  Result DeleteKey(Long key, const char* subkey) override {
    return RegDeleteKeyA(HkeyFromLong(key), subkey);
  }
  Result DeleteValue(Long key, const char* name) override {
    return RegDeleteValueA(HkeyFromLong(key), name);
  }

  Result OpenKeyW(Long key, const String& subkey, uint32_t sam, Long* result) override {
    HKEY opened = nullptr;
    const LONG r = RegOpenKeyExW(HkeyFromLong(key), Wide(subkey), 0, sam, &opened);
    return GiveHandle(r, opened, result);
  }
  Result CreateKeyW(Long key, const String& subkey, Long* result) override {
    HKEY created = nullptr;
    const LONG r = RegCreateKeyExW(HkeyFromLong(key), Wide(subkey), 0, nullptr, 0,
                                   KEY_ALL_ACCESS, nullptr, &created, nullptr);
    return GiveHandle(r, created, result);
  }
  Result QueryValueW(Long key, const String& name, uint32_t* type, std::string* data) override {
    // The value may grow between the two calls: asked again until it fits.
    DWORD size = 0;
    LONG r = RegQueryValueExW(HkeyFromLong(key), Wide(name), nullptr, nullptr, nullptr, &size);
    while (r == ERROR_SUCCESS || r == ERROR_MORE_DATA) {
      data->resize(size);
      DWORD kind = 0;
      r = RegQueryValueExW(HkeyFromLong(key), Wide(name), nullptr, &kind,
                           reinterpret_cast<BYTE*>(data->data()), &size);
      if (r == ERROR_SUCCESS) {
        data->resize(size);
        *type = kind;
        return r;
      }
    }
    return r;
  }
  Result SetValueW(Long key, const String& name, uint32_t type, const std::string& data) override {
    return RegSetValueExW(HkeyFromLong(key), Wide(name), 0, type,
                          reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size()));
  }
  Result DeleteValueW(Long key, const String& name) override {
    return RegDeleteValueW(HkeyFromLong(key), Wide(name));
  }
  Result DeleteTreeW(Long key, const String& subkey) override {
    if (subkey.empty()) return ERROR_INVALID_PARAMETER;  // the key itself stays
    return RegDeleteTreeW(HkeyFromLong(key), Wide(subkey));
  }
  Result SubkeysW(Long key, std::vector<String>* names) override {
    std::vector<wchar_t> name(256);  // a key name's limit, and its terminator
    for (DWORD i = 0;; ++i) {
      DWORD length = static_cast<DWORD>(name.size());
      const LONG r = RegEnumKeyExW(HkeyFromLong(key), i, name.data(), &length, nullptr, nullptr,
                                   nullptr, nullptr);
      if (r == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
      if (r != ERROR_SUCCESS) return r;
      names->emplace_back(reinterpret_cast<const char16_t*>(name.data()), length);
    }
  }
  Result ValuesW(Long key, std::vector<std::pair<String, uint32_t>>* values) override {
    std::vector<wchar_t> name(16384);  // a value name's limit, and its terminator
    for (DWORD i = 0;; ++i) {
      DWORD length = static_cast<DWORD>(name.size());
      DWORD type = 0;
      const LONG r = RegEnumValueW(HkeyFromLong(key), i, name.data(), &length, nullptr, &type,
                                   nullptr, nullptr);
      if (r == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
      if (r != ERROR_SUCCESS) return r;
      values->emplace_back(String(reinterpret_cast<const char16_t*>(name.data()), length), type);
    }
  }
};

}  // namespace

RegistryApi& SystemRegistry() {
  static Win32Registry registry;
  return registry;
}

}  // namespace corvane::registry
