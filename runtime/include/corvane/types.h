// The automation value types as plain C++ types.
//
// A String is a counted sequence of 16-bit code units; the null string and "" are one value, so
// an empty std::u16string stands for both. Positions count from 1 in every text operation.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include "corvane/export.h"

namespace corvane {

using Byte = uint8_t;     // 0..255
using Integer = int16_t;  // -32768..32767
using Long = int32_t;     // signed 32 bit
using String = std::u16string;
using StringView = std::u16string_view;

namespace rt {

// UTF-8 <-> String, for hosts and tests. Invalid UTF-8 bytes become U+FFFD; an unpaired
// surrogate is written as U+FFFD.
CORVANE_API String FromUtf8(std::string_view utf8);
CORVANE_API std::string ToUtf8(StringView text);

}  // namespace rt
}  // namespace corvane
