// The text of a failed call, shared by both callers.
#include "cli/caller.h"

#include <cstdio>

#include "corvane/status.h"

namespace corvane::cli {

std::string FailureText(int32_t status, int32_t error_number, const std::string& description,
                        int arg_error) {
  using namespace server;
  const std::string argument = " in argument " + std::to_string(arg_error + 1);
  if (error_number != 0)
    return "runtime error " + std::to_string(error_number) + ": " + description;
  switch (status) {
    case kTypeMismatch:
      return "type mismatch" + argument;
    case kOverflow:
      return "overflow" + argument;
    case kBadParamCount:
      return "wrong number of arguments";
    case kParamNotOptional:
      return "argument " + std::to_string(arg_error + 1) + " may not be omitted";
    case kMemberNotFound:
    case kUnknownName:
      return "no such method";
    case kNotImplemented:
      return "not implemented";
    default: {
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(status));
      return std::string("failed with status ") + hex +
             (description.empty() ? "" : ": " + description);
    }
  }
}

}  // namespace corvane::cli
