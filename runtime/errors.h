// Raising the runtime's errors (the error vocabulary itself is corvane/errors.h).
#pragma once

#include <cstdint>

#include "corvane/errors.h"

namespace corvane::rt {

// Raises the runtime error `number`.
[[noreturn]] void Raise(ErrorNumber number);

// Raises the runtime error that a failed call status stands for, as a caller inside the
// component sees a failure of its own interface: the error's number for a runtime error's
// status (facility 0x0A), otherwise the status itself as the number.
[[noreturn]] void RaiseStatus(int32_t status);

}  // namespace corvane::rt
