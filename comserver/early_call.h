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
