// Conversions between the automation's VARIANT, BSTR and SAFEARRAY and the runtime's values.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "runtime/string_array.h"
#include "runtime/variant.h"

namespace corvane::win32 {

// The runtime value of a VARIANT (by value; a VT_BYREF is followed once). Empty, Null, Integer,
// Long, Double, String and Error map to their kinds; Boolean and Byte become Integers; the other
// numeric types become Doubles. Raises 13 for objects and arrays.
Variant FromVariant(const VARIANT& value);

// Writes `value` into an empty VARIANT `out` (VT_EMPTY, VT_NULL, VT_I2, VT_I4, VT_R8, VT_BSTR or
// VT_ERROR). Raises 7 when a BSTR cannot be allocated.
void ToVariant(const Variant& value, VARIANT* out);

String FromBstr(BSTR text);
// A new BSTR holding `text`; raises 7 when it cannot be allocated.
BSTR ToBstr(const String& text);

// The strings of a SAFEARRAY of VT_BSTR or VT_VARIANT (each element's text form), with its
// dimensions, bounds and fixed-size flag. A null array is undimensioned. Raises 13 for another
// element type or an element without a text form.
StringArray FromSafeArray(SAFEARRAY* array);

// A new SAFEARRAY of `element_type` (VT_BSTR, or VT_VARIANT holding BSTRs) with the array's
// dimensions and elements; null for an undimensioned array. Raises 7 when out of memory.
SAFEARRAY* ToSafeArray(const StringArray& array, VARTYPE element_type);

// Stores `array` into the caller's typed array `*target` (VT_BSTR elements): a one-dimensional
// array whose lower bound stays 0 is resized in place, anything else is replaced.
void StoreIntoSafeArray(const StringArray& array, SAFEARRAY** target);

}  // namespace corvane::win32
