// The module handle of Corvane.dll, the type library embedded in it, and the GUIDs and wide
// names that the method tables hold as ASCII text.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

#include <string>
#include <string_view>

#include "server/method_table.h"

namespace corvane::win32 {

// The module handle of Corvane.dll, set by DllMain.
void SetModule(HMODULE module);
HMODULE Module();

// A UTF-8 text (the tables' ASCII texts among them) as a wide string, and back.
std::wstring Widen(std::string_view text);
std::string Narrow(std::wstring_view text);

// GUIDs of a class, parsed from the method table's texts.
GUID ParseGuid(const char* text);

// The ITypeInfo of the class's interface, from the library embedded in the module.
HRESULT GetInterfaceTypeInfo(const server::ClassInfo& cls, UINT index, ITypeInfo** info);
// The type information of the class itself (its coclass).
HRESULT GetClassTypeInfo(const server::ClassInfo& cls, ITypeInfo** info);

}  // namespace corvane::win32
