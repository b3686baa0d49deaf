// UTF-16 code units: the halves of a surrogate pair.
#pragma once

#include <cstddef>

#include "corvane/types.h"

namespace corvane::rt {

// Either half of a surrogate pair.
inline bool IsSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// Whether s[i] and s[i + 1] are a high and a low half: one character outside the Basic
// Multilingual Plane.
inline bool SurrogatePairAt(StringView s, size_t i) {
  return s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
         s[i + 1] <= 0xDFFF;
}

}  // namespace corvane::rt
