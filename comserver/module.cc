// The module handle of Corvane.dll, the embedded type library, and GUIDs and names from the
// method tables.
#include "comserver/module.h"

#include <cstring>

#include "corvane/types.h"

namespace corvane::win32 {
namespace {

HMODULE g_module = nullptr;

ITypeLib* LoadOwnTypeLib() {
  // Loaded once per process and kept: type information is handed out for the life of the module.
  static ITypeLib* library = [] {
    wchar_t path[MAX_PATH];
    ITypeLib* lib = nullptr;
    if (GetModuleFileNameW(g_module, path, MAX_PATH) == 0) return lib;
    if (FAILED(LoadTypeLibEx(path, REGKIND_NONE, &lib))) lib = nullptr;
    return lib;
  }();
  return library;
}

}  // namespace

std::wstring Widen(std::string_view text) {
  const String wide = rt::FromUtf8(text);
  return std::wstring(wide.begin(), wide.end());
}

std::string Narrow(std::wstring_view text) {
  return rt::ToUtf8(StringView(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

void SetModule(HMODULE module) {
  g_module = module;
}
HMODULE Module() {
  return g_module;
}

GUID ParseGuid(const char* text) {
  GUID guid{};
  CLSIDFromString(Widen(text).c_str(), &guid);
  return guid;
}

HRESULT GetInterfaceTypeInfo(const server::ClassInfo& cls, UINT index, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  ITypeLib* library = LoadOwnTypeLib();
  if (library == nullptr) return TYPE_E_CANTLOADLIBRARY;
  return library->GetTypeInfoOfGuid(ParseGuid(cls.interface_id), info);
}

HRESULT GetClassTypeInfo(const server::ClassInfo& cls, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  ITypeLib* library = LoadOwnTypeLib();
  if (library == nullptr) return TYPE_E_CANTLOADLIBRARY;
  return library->GetTypeInfoOfGuid(ParseGuid(cls.class_id), info);
}

}  // namespace corvane::win32
