// The runtime's one error vocabulary.
//
// Every failure inside the component's methods is a RuntimeError carrying one of the numbers
// below and its standard description. The COM boundary turns it into 0x800A0000 | number and
// error information; nothing else in the core knows about HRESULTs.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "corvane/export.h"

namespace corvane::rt {

// The runtime error numbers the component raises.
enum class ErrorNumber : int32_t {
  kInvalidCall = 5,        // "Invalid procedure call or argument"
  kOverflow = 6,           // "Overflow"
  kOutOfMemory = 7,        // "Out of memory"
  kSubscript = 9,          // "Subscript out of range"
  kArrayFixed = 10,        // "This array is fixed or temporarily locked"
  kDivisionByZero = 11,    // "Division by zero"
  kTypeMismatch = 13,      // "Type mismatch"
  kUserInterrupt = 18,     // "User interrupt occurred": a host stopped a pause (Ctrl-C)
  kInvalidUseOfNull = 94,  // "Invalid use of Null"
};

// The standard description of a runtime error number; "Application-defined or object-defined
// error" for a number outside the table.
CORVANE_API const char* DescribeError(int32_t number) noexcept;

// A runtime error: thrown by the runtime operations, caught by the error-mode helpers and by the
// COM boundary.
class CORVANE_API RuntimeError : public std::exception {
 public:
  explicit RuntimeError(ErrorNumber number) noexcept : number_(static_cast<int32_t>(number)) {}
  explicit RuntimeError(int32_t number) noexcept : number_(number) {}

  int32_t number() const noexcept { return number_; }
  const char* what() const noexcept override { return DescribeError(number_); }

 private:
  int32_t number_;  // the runtime error number, e.g. 6 for an overflow
};

}  // namespace corvane::rt
