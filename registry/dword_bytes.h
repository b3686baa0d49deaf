// A Long as the 4 bytes of REG_DWORD data (least significant first, two's complement) and back.
#pragma once

#include <array>
#include <cstdint>

#include "runtime/types.h"

namespace corvane::registry {

inline std::array<uint8_t, 4> DwordBytes(Long value) {
  const auto bits = static_cast<uint32_t>(value);
  return {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
          static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
}

inline Long DwordValue(const std::array<uint8_t, 4>& bytes) {
  return static_cast<Long>(
      static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
      (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24));
}

}  // namespace corvane::registry
