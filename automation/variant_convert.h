// Conversions between the automation's VARIANT, BSTR and SAFEARRAY and the runtime's values.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "corvane/string_array.h"
#include "corvane/variant.h"

namespace corvane::win32 {

// How a value of a kind that the runtime does not have (Boolean, Byte, Single, Currency, Date,
// Decimal, the 8-bit, unsigned and 64-bit integers) is read.
enum class ForeignKind {
  // Its text as the automation runtime writes it for a VB caller: "True", "0.1" for a Single, a
  // Date in the locale's format, the exact digits of a Decimal or 64-bit integer. For String and
  // Variant parameters, and array elements: the methods use their text.
  kAsText,
  // Its number: Boolean and Byte as Integers, the other integers as Longs where they fit,
  // everything else as a Double. For Long and Integer parameters, which round and range-check it.
  kAsNumber,
};

// The runtime value of a VARIANT (by value; a VT_BYREF is followed once). Empty, Null, Integer,
// Long, Double, String and Error map to their kinds; the other kinds as `foreign` says. Raises 13
// for objects and arrays.
Variant FromVariant(const VARIANT& value, ForeignKind foreign);

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
