// The ANSI round trip of a variable for one registry call (the ANSI rules of the runtime): the
// call gets the variable's ANSI bytes, with a zero after them; when the call has returned, the
// bytes converted back replace the variable's text.
#pragma once

#include "runtime/ansi.h"
#include "corvane/by_ref.h"

namespace corvane::registry {

class AnsiArg {
 public:
  explicit AnsiArg(ByRef<String>& variable) : variable_(variable), buffer_(variable.get()) {}
  AnsiArg(const AnsiArg&) = delete;
  AnsiArg& operator=(const AnsiArg&) = delete;
  ~AnsiArg() {
    try {
      variable_ = buffer_.Text();
    } catch (...) {
      // A buffer that cannot be converted back leaves the variable as it was.
    }
  }
  char* get() { return buffer_.data(); }
  uint8_t* bytes() { return reinterpret_cast<uint8_t*>(buffer_.data()); }

 private:
  ByRef<String>& variable_;
  rt::AnsiBuffer buffer_;
};

}  // namespace corvane::registry
