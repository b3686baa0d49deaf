// RegistryApi: the registry that Registry and Declares need, as the eight ANSI calls of the
// Windows registry, with their result codes, ANSI byte strings and Long handle values.
//
// Every call returns the Windows result code (0 success, 2 not found, 5 access denied,
// 6 invalid handle, 87 invalid parameter, 161 bad path, 234 more data, 1018 key deleted...)
// and takes its pointers as the Windows call does: a null where Windows allows one means the
// same, a null where Windows refuses one gives the same code. Handles are the caller's Long
// values: the predefined roots 0x80000000..0x80000006, or handles that an open or create gave.
//
// Backends: the Windows registry (registry_win32.cc) and the embedded store. The classes see
// nothing else of the platform; hosts and tests install another backend, or the failing seam
// below, for the whole process.
//
// Threads: a backend serves any number of threads at once, as the Windows registry does. Each
// call is one unit (no call sees another's half-done work), and a handle opened on one thread
// may be used and closed on any other. The classes' instances are each used by one thread at a
// time, and any number of them may run at once on one backend.
#pragma once

#include <cstdint>
#include <memory>

#include "corvane/export.h"
#include "corvane/types.h"

namespace corvane::registry {

using Result = int32_t;

// Result codes that the classes and the tests name.
inline constexpr Result kSuccess = 0;
inline constexpr Result kFileNotFound = 2;
inline constexpr Result kAccessDenied = 5;
inline constexpr Result kInvalidHandle = 6;
inline constexpr Result kInvalidParameter = 87;
inline constexpr Result kBadPathname = 161;
inline constexpr Result kMoreData = 234;
inline constexpr Result kKeyDeleted = 1018;

// Value types and access masks.
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegMultiSz = 7;
inline constexpr uint32_t kRegQword = 11;
inline constexpr uint32_t kKeyRead = 0x20019;
inline constexpr uint32_t kKeyWrite = 0x20006;
inline constexpr uint32_t kKeyAllAccess = 0xF003F;

// The predefined roots as Long values.
inline constexpr Long kClassesRoot = static_cast<Long>(0x80000000u);
inline constexpr Long kCurrentUser = static_cast<Long>(0x80000001u);
inline constexpr Long kLocalMachine = static_cast<Long>(0x80000002u);
inline constexpr Long kUsers = static_cast<Long>(0x80000003u);
inline constexpr Long kPerformanceData = static_cast<Long>(0x80000004u);
inline constexpr Long kCurrentConfig = static_cast<Long>(0x80000005u);
inline constexpr Long kDynData = static_cast<Long>(0x80000006u);

class CORVANE_API RegistryApi {
 public:
  virtual ~RegistryApi() = default;

  // RegOpenKeyA: a null or "" subkey gives `key` itself back. *result is 0 after a failure.
  virtual Result OpenKey(Long key, const char* subkey, Long* result) = 0;
  // RegOpenKeyExA with the access mask `sam`; a key opened for reading refuses writes.
  virtual Result OpenKeyEx(Long key, const char* subkey, uint32_t options, uint32_t sam,
                           Long* result) = 0;
  // RegCreateKeyA: creates missing keys on the way; "" opens `key` itself as a new handle.
  virtual Result CreateKey(Long key, const char* subkey, Long* result) = 0;
  // RegQueryValueExA: 234 with *count set to the size needed and `data` untouched when the
  // buffer is too small; *type is written also then.
  virtual Result QueryValueEx(Long key, const char* name, uint32_t* reserved, uint32_t* type,
                              uint8_t* data, uint32_t* count) = 0;
  // RegSetValueExA: the termination rules of REG_SZ as Windows keeps them. For a text type
  // (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) whose last counted byte is not 0, the byte just past
  // `count` is read, as the platform reads it, to see whether the text's terminator follows:
  // `data` must then hold count + 1 bytes. Pass the terminator in `count`, or a buffer with
  // one byte to spare.
  virtual Result SetValueEx(Long key, const char* name, uint32_t reserved, uint32_t type,
                            const uint8_t* data, uint32_t count) = 0;
  virtual Result CloseKey(Long key) = 0;
  // RegDeleteKeyA: 5 for a key with subkeys; "" deletes `key` itself.
  virtual Result DeleteKey(Long key, const char* subkey) = 0;
  virtual Result DeleteValue(Long key, const char* name) = 0;
};

// The platform's own backend: advapi32 on Windows, the embedded store elsewhere.
CORVANE_API RegistryApi& SystemRegistry();

// The backend in use, and its replacement (null: the platform's own). The installed backend is
// kept alive while it is installed: InstallRegistry(OpenStore(path)) is all a host does.
// Install it before the threads that call the classes start: a call already made on the old
// backend is not waited for.
CORVANE_API RegistryApi& CurrentRegistry();
CORVANE_API void InstallRegistry(std::shared_ptr<RegistryApi> registry);

}  // namespace corvane::registry
