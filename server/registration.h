// The COM server's registration as data: every registry value below HKEY_CLASSES_ROOT that
// registering one Corvane.dll consists of. The DLL's own registration writes these values; the
// Windows Installer packages carry them as their registry entries, and the side-by-side
// manifest describes the same classes, library and interfaces.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvane::server {

struct RegistrationValue {
  std::string key;    // below HKEY_CLASSES_ROOT
  std::string name;   // empty: the key's default value
  std::string value;  // REG_SZ
  bool operator==(const RegistrationValue&) const = default;
};

// The type library's version, as its keys name it.
inline constexpr const char* kLibraryVersion = "1.0";
// The universal marshaler, the proxy of the dual interfaces.
inline constexpr const char* kUniversalMarshaler = "{00020424-0000-0000-C000-000000000046}";
// The threading model of every class.
inline constexpr const char* kThreadingModel = "Apartment";

// The values for the DLL at `dll_path` (its folder `dll_folder`, the library's help folder),
// built for `platform` ("win32" or "win64"):
//   CLSID\{clsid}: the class name; InprocServer32 (the path, ThreadingModel), ProgID,
//     VersionIndependentProgID, TypeLib;
//   <ProgID>: the ProgID; CLSID;
//   TypeLib\{lib}\1.0: the library's name; FLAGS 0; HELPDIR; the path under the locales 409
//     and 0 (neutral) for the platform;
//   Interface\{iid} of each dual interface: its name; ProxyStubClsid and ProxyStubClsid32 (the
//     universal marshaler); TypeLib with its Version.
// True when `key` has one copy in each view of the registry, the 32-bit and the 64-bit one
// (below CLSID and Interface); the rest of HKEY_CLASSES_ROOT (the ProgIDs, TypeLib) is one key
// that both views share.
bool HasOneCopyPerView(std::string_view key);

std::vector<RegistrationValue> RegistrationValues(std::string_view dll_path,
                                                  std::string_view dll_folder,
                                                  std::string_view platform);

}  // namespace corvane::server
