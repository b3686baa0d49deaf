// Descriptions of the runtime error numbers.
#include "runtime/errors.h"

namespace corvane::rt {

const char* DescribeError(int32_t number) noexcept {
  switch (static_cast<ErrorNumber>(number)) {
    case ErrorNumber::kInvalidCall:
      return "Invalid procedure call or argument";
    case ErrorNumber::kOverflow:
      return "Overflow";
    case ErrorNumber::kOutOfMemory:
      return "Out of memory";
    case ErrorNumber::kSubscript:
      return "Subscript out of range";
    case ErrorNumber::kArrayFixed:
      return "This array is fixed or temporarily locked";
    case ErrorNumber::kDivisionByZero:
      return "Division by zero";
    case ErrorNumber::kTypeMismatch:
      return "Type mismatch";
    case ErrorNumber::kUserInterrupt:
      return "User interrupt occurred";
    case ErrorNumber::kInvalidUseOfNull:
      return "Invalid use of Null";
  }
  return "Application-defined or object-defined error";
}

void RaiseStatus(int32_t status) {
  const auto bits = static_cast<uint32_t>(status);
  if ((bits & 0xFFFF0000u) == 0x800A0000u) throw RuntimeError(static_cast<int32_t>(bits & 0xFFFFu));
  throw RuntimeError(status);
}

void Raise(ErrorNumber number) {
  throw RuntimeError(number);
}

}  // namespace corvane::rt
