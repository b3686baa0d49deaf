// The native late-binding dispatcher: calls any method of an instance by name or dispatch
// identifier over the method table, with the COM server's binding rules and statuses.
//
// Arguments are the caller's variables, in parameter order. ByRef parameters are written back
// into them after the call, on success and on failure alike; ByVal parameters never are. Two
// parameters given the same variable share one value inside the call when their types agree.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "corvane/export.h"
#include "corvane/export.h"
#include "corvane/factory.h"
#include "corvane/status.h"
#include "corvane/string_array.h"
#include "corvane/variant.h"

namespace corvane::server {

// A caller's variable: a Variant, or an array of String.
using Argument = std::variant<Variant, StringArray>;

struct DispatchResult {
  Status status = kOk;       // kOk, a binding status, kNotImplemented, or a runtime error's
  Variant result;            // the method's result; Empty for a method without one
  int32_t error_number = 0;  // the runtime error number, when the method raised one
  std::string description;   // its standard description
  std::string source;        // the class's programmatic identifier, when the method raised
  int arg_error = -1;        // the argument that could not be bound, for a binding status
};

// Statuses: kMemberNotFound for an unknown name or identifier, kBadParamCount for a wrong
// number of arguments, kInvalidPointer for a null argument, kParamNotOptional for an omitted
// one, kTypeMismatch or kOverflow (with arg_error) for an argument the parameter cannot take,
// kNotImplemented for a method that is not built yet, RuntimeErrorStatus(n) for a runtime error.
CORVANE_API DispatchResult Invoke(Instance& instance, std::string_view method_name,
                      std::span<Argument* const> args);
CORVANE_API DispatchResult Invoke(Instance& instance, int32_t dispid, std::span<Argument* const> args);

}  // namespace corvane::server
