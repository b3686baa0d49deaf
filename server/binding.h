// Binding a caller's values to a method's parameters, and running a method's call frame.
// Shared by the native dispatcher and the COM server, so that both convert with the runtime's
// rules and report the same statuses.
#pragma once

#include <string>

#include "runtime/errors.h"
#include "server/method_table.h"
#include "corvane/status.h"

namespace corvane::server {

// Fills a scalar or Variant slot from a caller's value with the runtime's conversions: a
// String parameter takes the text form, a Long or Integer parameter the rounded number.
// Raises the conversion's runtime error (13, 94 or 6).
void LoadSlot(Slot& slot, const Variant& value);

// The value of a scalar or Variant slot as the Variant a caller's variable receives: a String
// parameter gives a String, a Long a Long, an Integer an Integer.
Variant SlotValue(const Slot& slot);

// The status for an argument that cannot be converted: DISP_E_OVERFLOW for error 6,
// DISP_E_TYPEMISMATCH otherwise.
Status BindingStatus(const rt::RuntimeError& error);

// True for the Error value that marks an omitted argument (DISP_E_PARAMNOTFOUND).
bool IsMissingArgument(const Variant& value);

// Binds a caller's value to a scalar or Variant slot: kParamNotOptional for an omitted
// argument, the BindingStatus of a failed conversion, or kOk.
Status LoadArgument(Slot& slot, const Variant& value);
// The same for a value that is not needed afterwards: a String parameter or a Variant parameter
// takes it over without copying its text.
Status LoadArgument(Slot& slot, Variant&& value);

// The earlier parameter whose slot parameter `i` shares, or -1. Only ByRef parameters of one
// type bound to one caller variable (`same_variable(earlier)` is true) share a value; a ByVal
// parameter is always a copy of its own, taken before the body runs.
template <class SameVariable>
int SharedWith(const MethodInfo& method, size_t i, SameVariable same_variable) {
  const ParamInfo& param = method.params[i];
  if (param.direction != Direction::kByRef) return -1;
  for (size_t earlier = 0; earlier < i; ++earlier) {
    const ParamInfo& other = method.params[earlier];
    if (other.direction == Direction::kByRef && other.type == param.type && same_variable(earlier))
      return static_cast<int>(earlier);
  }
  return -1;
}

// What one call of a method produced.
struct CallOutcome {
  Status status = kOk;       // kOk, kNotImplemented, kOutOfMemory, kUnexpected or a runtime error's
  Variant result;            // the method's result (Empty when it failed)
  int32_t error_number = 0;  // the runtime error number when status is RuntimeErrorStatus(n)
  std::string description;   // its standard description
};

// Runs the body of the call frame: the result starts Empty, the thunk runs, and a runtime
// error becomes its failure status with number and description. No exception leaves it. The
// frame's slots keep what the method wrote, also after a failure.
CallOutcome RunMethod(const MethodInfo& method, void* object, CallFrame& frame);

}  // namespace corvane::server
