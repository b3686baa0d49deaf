// Writing and removing the registration entries.
#include "comserver/registration.h"

#include <oleauto.h>
#include <olectl.h>

#include <string>

#include "automation/com_owners.h"
#include "comserver/module.h"
#include "registry/hkey_value_win32.h"
#include "server/method_table.h"
#include "server/registration.h"

namespace corvane::win32 {
namespace {

std::wstring ModulePath() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(Module(), path, MAX_PATH);
  return std::wstring(path, length);
}

// Creates HKCR\`key` and sets its value `name` (null: the default value) to `value`.
bool SetText(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  registry::UniqueHkey handle;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                      handle.put(), nullptr) != ERROR_SUCCESS)
    return false;
  const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(handle.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        bytes) == ERROR_SUCCESS;
}

// Deletes HKCR\`key` when it has no subkeys left; its values go with it.
void DeleteKeyIfEmpty(const std::wstring& key) {
  RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
}

// The type library's keys: TypeLib\{lib}\1.0 and the locale keys below it.
std::wstring LibraryKey() {
  return L"TypeLib\\" + Widen(server::kLibraryId) + L"\\" + Widen(server::kLibraryVersion);
}

const wchar_t* const kClassSubkeys[] = {L"InprocServer32", L"ProgID", L"VersionIndependentProgID",
                                        L"TypeLib"};

}  // namespace

// The platform registers the library first (its own bookkeeping, and the interfaces' keys).
// Then every value of the registration is written as the packages write it: the library filed
// under its own locale (409) and the neutral one (0), where the universal marshaler and the
// fallback of a lookup by any other locale look, each naming the DLL by its plain path (the
// platform's own entries may carry the \\?\ prefix), HELPDIR the DLL's folder, and the classes.
HRESULT RegisterServer() {
  const std::wstring path = ModulePath();
  {
    ComPtr<ITypeLib> library;
    if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_REGISTER, library.put())))
      return SELFREG_E_TYPELIB;
  }
  const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
  const char* platform = sizeof(void*) == 8 ? "win64" : "win32";
  for (const server::RegistrationValue& entry :
       server::RegistrationValues(Narrow(path), Narrow(folder), platform)) {
    if (!SetText(Widen(entry.key), entry.name.empty() ? nullptr : Widen(entry.name).c_str(),
                 Widen(entry.value)))
      return SELFREG_E_CLASS;
  }
  return S_OK;
}

HRESULT UnregisterServer() {
  for (const server::ClassInfo& cls : server::Classes()) {
    const std::wstring clsid_key = L"CLSID\\" + Widen(cls.class_id);
    for (const wchar_t* subkey : kClassSubkeys)
      DeleteKeyIfEmpty(clsid_key + L"\\" + subkey);
    DeleteKeyIfEmpty(clsid_key);
    const std::wstring prog_id = Widen(cls.prog_id);
    DeleteKeyIfEmpty(prog_id + L"\\CLSID");
    DeleteKeyIfEmpty(prog_id);
  }
  // The neutral locale's entry is ours; the platform removes the rest of the library's keys.
  const std::wstring neutral = LibraryKey() + L"\\0";
  DeleteKeyIfEmpty(neutral + L"\\" + kOwnSysKindKey);
  DeleteKeyIfEmpty(neutral);
  const HRESULT hr = UnRegisterTypeLib(ParseGuid(server::kLibraryId), 1, 0, 0x409, kOwnSysKind);
  return SUCCEEDED(hr) || hr == TYPE_E_REGISTRYACCESS ? S_OK : SELFREG_E_TYPELIB;
}

}  // namespace corvane::win32
