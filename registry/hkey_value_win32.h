// A registry key handle as the Long that automation callers hold, and back.
//
// On 64-bit Windows an HKEY is pointer-sized, but callers hold handles in a 32-bit Long. The
// predefined roots are the 32-bit values 0x80000000.. sign-extended, and the handles that the
// registry returns fit in 32 bits, so sign extension is the one conversion that reaches the
// real roots and round-trips every handle. Every registry call that takes or gives a Long
// handle goes through these two functions; nothing else casts between the two.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

#include "runtime/unique_resource.h"

namespace corvane::registry {

inline void CloseHkey(HKEY key) {
  RegCloseKey(key);
}
// The owner of an opened registry key.
using UniqueHkey = UniqueResource<HKEY, CloseHkey>;

// The HKEY that a caller's Long stands for: 0x80000001 (negative as a Long) is
// HKEY_CURRENT_USER on both 32-bit and 64-bit Windows.
inline HKEY HkeyFromLong(int32_t value) {
  return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(value));
}

// The Long that stands for `key`, or nothing when the handle does not survive the way back
// through HkeyFromLong (a handle above 2^31 that is not sign-extended). Callers that receive
// nothing close the handle and report ERROR_INVALID_HANDLE.
inline std::optional<int32_t> LongFromHkey(HKEY key) {
  const auto wide = reinterpret_cast<LONG_PTR>(key);
  const auto value = static_cast<int32_t>(wide);
  if (static_cast<LONG_PTR>(value) != wide) return std::nullopt;
  return value;
}

}  // namespace corvane::registry
