// The Windows registry over advapi32's ANSI calls. Every Long handle becomes an HKEY by sign
// extension and every HKEY the registry gives back becomes a Long through the one helper, so
// the predefined roots reach the real roots on 64-bit Windows too.
#include <windows.h>

#include "registry/hkey_value_win32.h"
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

// NOTE: Windows answers a null result pointer with ERROR_INVALID_PARAMETER; Wine writes
// through it and crashes. The backend answers it itself, as Windows does.
class Win32Registry final : public RegistryApi {
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
};

}  // namespace

RegistryApi& SystemRegistry() {
  static Win32Registry registry;
  return registry;
}

}  // namespace corvane::registry
