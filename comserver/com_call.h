// One call through a method table from COM: the arguments bound from VARIANTARGs, the core
// called, ByRef parameters written back into the caller's storage, the result as a VARIANT.
//
// Arguments are given in parameter order. Each may be
//   - a value of any automation type (converted with the runtime's rules into a temporary),
//   - VT_BYREF | the exact type (a typed caller's variable, an early-bound parameter), or
//   - VT_BYREF | VT_VARIANT (a script's variable).
// A ByRef parameter that the method assigned is written back, on success and on failure alike,
// in the kind the method gave it; one the method only read leaves the caller's variable exactly
// as it was. Two ByRef parameters that point at one caller variable share one value inside the
// call; a ByVal parameter is always a copy of its own.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "server/binding.h"

namespace corvane::win32 {

struct ComCall {
  HRESULT binding =
      S_OK;  // S_OK, E_POINTER, DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW, DISP_E_PARAMNOTOPTIONAL
  UINT bad_argument = 0;        // the parameter index that failed to bind
  server::CallOutcome outcome;  // status, error number and description of the call itself
};

// Binds, calls and writes back; the VARIANTARGs themselves are only read (writes go to the
// storage they refer to). `result` (may be null) receives the result; it is cleared first.
ComCall CallMethod(const server::MethodInfo& method, void* core, const VARIANTARG* const* args,
                   VARIANT* result);

}  // namespace corvane::win32
