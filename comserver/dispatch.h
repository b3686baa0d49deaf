// IDispatch over a class's method table, the type library, and error information: the parts of
// every COM object that do not depend on its interface.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "server/method_table.h"
#include "comserver/com_call.h"

namespace corvane::win32 {

// The module handle of Corvane.dll, set by DllMain.
void SetModule(HMODULE module);
HMODULE Module();

// An ASCII text as a wide string.
std::wstring Widen(const char* text);

// GUIDs of a class, parsed from the method table's texts.
GUID ParseGuid(const char* text);

// The ITypeInfo of the class's interface, from the library embedded in the module.
HRESULT GetInterfaceTypeInfo(const server::ClassInfo& cls, UINT index, ITypeInfo** info);

// IDispatch::GetIDsOfNames: names[0] is a method (case-insensitive), further names are its
// parameters, whose identifiers are their positions.
HRESULT GetIdsOfNames(const server::ClassInfo& cls, REFIID riid, LPOLESTR* names, UINT count,
                      DISPID* ids);

// IDispatch::Invoke by dispatch identifier, for DISPATCH_METHOD and DISPATCH_PROPERTYGET.
HRESULT Invoke(const server::ClassInfo& cls, void* core, DISPID id, REFIID riid, WORD flags,
               DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* arg_error);

// An early-bound call: `args` in parameter order, each the exact VT_BYREF type or a value. A
// runtime error returns 0x800A0000 | number with the error information set.
HRESULT CallEarly(const server::ClassInfo& cls, size_t method_index, void* core,
                  std::initializer_list<VARIANTARG> args, VARIANT* result);

// Sets the thread's error information for a runtime error of `cls` (source: the programmatic
// identifier, description: the runtime's text), or clears it when `description` is null.
void SetRuntimeErrorInfo(const server::ClassInfo& cls, const char* description);

// VARIANTARG builders for early-bound calls. RefTo: VT_BYREF | `type` pointing at `storage`.
VARIANTARG RefTo(VARTYPE type, void* storage);
VARIANTARG RefVariant(VARIANT* v);
VARIANTARG RefBstr(BSTR* b);
VARIANTARG RefLong(LONG* l);
VARIANTARG RefShort(short* s);
VARIANTARG RefArray(SAFEARRAY** a);
VARIANTARG ValBstr(BSTR b);
VARIANTARG ValLong(LONG l);

// Moves a call's VARIANT result into an early-bound typed result slot.
void TakeResult(VARIANT* from, BSTR* to);
void TakeResult(VARIANT* from, LONG* to);
void TakeResult(VARIANT* from, short* to);

}  // namespace corvane::win32
