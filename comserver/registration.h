// Registration of the type library and the three classes, and its removal.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace corvane::win32 {

// The platform this module is built for, as the type library records it and as its
// registration is keyed: TypeLib\{libid}\1.0\409\win32 or ...\win64. A 32-bit and a 64-bit
// Corvane.dll register side by side.
inline constexpr SYSKIND kOwnSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
inline constexpr const wchar_t* kOwnSysKindKey = sizeof(void*) == 8 ? L"win64" : L"win32";

// Registers the embedded type library and, per class, CLSID\{clsid} (default: the class name)
// with InprocServer32 (this module's path, ThreadingModel Apartment), ProgID,
// VersionIndependentProgID and TypeLib, and the ProgID key with its CLSID. Returns S_OK,
// SELFREG_E_TYPELIB or SELFREG_E_CLASS.
HRESULT RegisterServer();

// Removes exactly those entries and the type library registration; a key that still has
// subkeys of someone else is kept.
HRESULT UnregisterServer();

}  // namespace corvane::win32
