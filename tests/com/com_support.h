// Helpers for the tests that drive Corvane.dll through COM under Wine.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/com_owners.h"
#include "server/corvane_h.h"

namespace corvane::comtest {

using win32::ComPtr;
using win32::UniqueBstr;
using win32::UniqueVariant;

inline const CLSID kTarnelClsid = {
    0x8CA88E33, 0xC0E8, 0x11D5, {0xB1, 0xAB, 0x00, 0x60, 0x97, 0xD8, 0x69, 0xEE}};
inline const CLSID kRegistryClsid = {
    0x8CA88E35, 0xC0E8, 0x11D5, {0xB1, 0xAB, 0x00, 0x60, 0x97, 0xD8, 0x69, 0xEE}};
inline const CLSID kDeclaresClsid = {
    0x8CA88E37, 0xC0E8, 0x11D5, {0xB1, 0xAB, 0x00, 0x60, 0x97, 0xD8, 0x69, 0xEE}};
inline const GUID kLibraryId = {
    0x8CA88E31, 0xC0E8, 0x11D5, {0xB1, 0xAB, 0x00, 0x60, 0x97, 0xD8, 0x69, 0xEE}};

// A new Tarnel through the registered class.
inline ComPtr<_Tarnel> NewTarnel() {
  ComPtr<_Tarnel> tarnel;
  EXPECT_EQ(CoCreateInstance(kTarnelClsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(_Tarnel),
                             reinterpret_cast<void**>(tarnel.put())),
            S_OK);
  return tarnel;
}

inline std::wstring ToWide(BSTR b) {
  return b == nullptr ? std::wstring() : std::wstring(b, SysStringLen(b));
}

inline UniqueBstr Bstr(const wchar_t* text) {
  return UniqueBstr(SysAllocString(text));
}

// Sets an empty VARIANT to a new BSTR.
inline void SetText(VARIANT* v, const wchar_t* text) {
  VariantClear(v);
  V_VT(v) = VT_BSTR;
  V_BSTR(v) = SysAllocString(text);
}

// The HRESULT as hex, for failure messages.
inline std::string Hex(HRESULT hr) {
  char buffer[16];
  snprintf(buffer, sizeof buffer, "0x%08lX", static_cast<unsigned long>(hr));
  return buffer;
}

// A one-dimensional array of BSTRs from `lower` on.
inline SAFEARRAY* BstrArray(std::initializer_list<const wchar_t*> items, LONG lower = 0) {
  SAFEARRAYBOUND bound{static_cast<ULONG>(items.size()), lower};
  SAFEARRAY* array = SafeArrayCreate(VT_BSTR, 1, &bound);
  LONG i = lower;
  for (const wchar_t* item : items) {
    UniqueBstr b = Bstr(item);
    SafeArrayPutElement(array, &i, b.get());
    ++i;
  }
  return array;
}

// The elements of a one-dimensional array of BSTRs or of variants holding them; none for null.
inline std::vector<std::wstring> Elements(SAFEARRAY* array) {
  std::vector<std::wstring> out;
  VARTYPE type = VT_EMPTY;
  SafeArrayGetVartype(array, &type);
  LONG lower = 0, upper = -1;
  SafeArrayGetLBound(array, 1, &lower);
  SafeArrayGetUBound(array, 1, &upper);
  for (LONG i = lower; i <= upper; ++i) {
    if (type == VT_BSTR) {
      UniqueBstr b;
      SafeArrayGetElement(array, &i, b.put());
      out.push_back(ToWide(b.get()));
    } else {
      UniqueVariant v;
      SafeArrayGetElement(array, &i, v.get());
      out.push_back(V_VT(v.get()) == VT_BSTR ? ToWide(V_BSTR(v.get())) : L"<not a string>");
    }
  }
  return out;
}

}  // namespace corvane::comtest
