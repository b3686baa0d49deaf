// Registration of the type library and the three classes, and its removal.
#pragma once

#include <windows.h>

namespace corvane::win32 {

// Registers the embedded type library and, per class, CLSID\{clsid} (default: the class name)
// with InprocServer32 (this module's path, ThreadingModel Apartment), ProgID,
// VersionIndependentProgID and TypeLib, and the ProgID key with its CLSID. Returns S_OK,
// SELFREG_E_TYPELIB or SELFREG_E_CLASS.
HRESULT RegisterServer();

// Removes exactly those entries and the type library registration; a key that still has
// subkeys of someone else is kept.
HRESULT UnregisterServer();

}  // namespace corvane::win32
