// The Corvane.dll files a test program checks as files: this tree's own, and, in the 64-bit
// tree, the 32-bit one named by CORVANE_PEER_DLL (a Unix or Windows path), which this machine
// need not be able to run. Each is read as data only, never loaded for execution.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace corvane::comtest {

struct DllUnderTest {
  std::string label;  // "own" or "peer", for test names
  std::wstring path;  // full Windows path
  WORD machine;       // IMAGE_FILE_MACHINE_I386 or IMAGE_FILE_MACHINE_AMD64
  SYSKIND syskind;    // what its type library must record
};

inline std::ostream& operator<<(std::ostream& out, const DllUnderTest& dll) {
  return out << dll.label;
}

inline DllUnderTest OwnDll() {
  wchar_t exe[MAX_PATH];
  std::wstring path(exe, GetModuleFileNameW(nullptr, exe, MAX_PATH));
  path.resize(path.find_last_of(L'\\') + 1);
  const bool wide = sizeof(void*) == 8;
  return {"own", path + L"Corvane.dll",
          static_cast<WORD>(wide ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386),
          wide ? SYS_WIN64 : SYS_WIN32};
}

// The 32-bit DLL when CORVANE_PEER_DLL names one; a Unix path is taken through drive Z:.
inline std::optional<DllUnderTest> PeerDll() {
  const wchar_t* given = _wgetenv(L"CORVANE_PEER_DLL");
  if (given == nullptr || *given == 0) return std::nullopt;
  std::wstring path = given[0] == L'/' ? std::wstring(L"Z:") + given : std::wstring(given);
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return DllUnderTest{"peer", path, IMAGE_FILE_MACHINE_I386, SYS_WIN32};
}

inline std::vector<DllUnderTest> PeerDlls() {
  auto peer = PeerDll();
  return peer ? std::vector<DllUnderTest>{*peer} : std::vector<DllUnderTest>{};
}

}  // namespace corvane::comtest
