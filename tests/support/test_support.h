// Helpers shared by the behaviour tests.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "runtime/errors.h"
#include "corvane/types.h"

namespace corvane::testing {

// Runs `call` and returns the runtime error number it raised, or nullopt when it returned.
template <class Call>
std::optional<int32_t> ErrorOf(Call&& call) {
  try {
    call();
    return std::nullopt;
  } catch (const rt::RuntimeError& error) {
    return error.number();
  }
}

// Printable form of a String for failure messages.
inline std::string Show(StringView text) {
  std::string out = "\"";
  for (char16_t c : text) {
    if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      out += "\\u{" + std::to_string(static_cast<unsigned>(c)) + "}";
    }
  }
  return out + "\"";
}

}  // namespace corvane::testing
