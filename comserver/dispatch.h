// IDispatch over a class's method table: the parts of every COM object's IDispatch that do not
// depend on its interface.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "server/method_table.h"

namespace corvane::win32 {

// IDispatch::GetIDsOfNames: names[0] is a method (case-insensitive), further names are its
// parameters, whose identifiers are their positions.
HRESULT GetIdsOfNames(const server::ClassInfo& cls, REFIID riid, LPOLESTR* names, UINT count,
                      DISPID* ids);

// IDispatch::Invoke by dispatch identifier, for DISPATCH_METHOD and DISPATCH_PROPERTYGET.
HRESULT Invoke(const server::ClassInfo& cls, void* core, DISPID id, REFIID riid, WORD flags,
               DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* arg_error);

}  // namespace corvane::win32
