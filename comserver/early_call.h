// Early-bound calls: a vtable entry hands its typed arguments to the same call frame that
// Invoke uses, through argument builders, and takes the result back into its typed slot.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <initializer_list>

#include "server/method_table.h"

namespace corvane::win32 {

// An early-bound call: `args` in parameter order, each the exact VT_BYREF type or a value. A
// runtime error returns 0x800A0000 | number with the error information set.
HRESULT CallEarly(const server::ClassInfo& cls, size_t method_index, void* core,
                  std::initializer_list<VARIANTARG> args, VARIANT* result);

// VARIANTARG builders for early-bound calls. RefTo: VT_BYREF | `type` pointing at `storage`.
inline VARIANTARG RefTo(VARTYPE type, void* storage) {
  VARIANTARG a;
  V_VT(&a) = VT_BYREF | type;
  V_BYREF(&a) = storage;
  return a;
}
inline VARIANTARG RefVariant(VARIANT* v) {
  return RefTo(VT_VARIANT, v);
}
inline VARIANTARG RefBstr(BSTR* b) {
  return RefTo(VT_BSTR, b);
}
inline VARIANTARG RefLong(LONG* l) {
  return RefTo(VT_I4, l);
}
inline VARIANTARG RefShort(short* s) {
  return RefTo(VT_I2, s);
}
inline VARIANTARG RefArray(SAFEARRAY** array) {
  return RefTo(VT_ARRAY | VT_BSTR, array);
}
inline VARIANTARG ValBstr(BSTR b) {
  VARIANTARG a;
  V_VT(&a) = VT_BSTR;
  V_BSTR(&a) = b;  // borrowed: CallMethod only reads it
  return a;
}
inline VARIANTARG ValLong(LONG l) {
  VARIANTARG a;
  V_VT(&a) = VT_I4;
  V_I4(&a) = l;
  return a;
}

// Moves a call's VARIANT result into an early-bound typed result slot.
void TakeResult(VARIANT* from, BSTR* to);
void TakeResult(VARIANT* from, LONG* to);
void TakeResult(VARIANT* from, short* to);

}  // namespace corvane::win32
