// The tool's way into the component: calls a method of a class by name through late binding,
// with the caller's variables as arguments. Natively through the factory and the dispatcher;
// on Windows through COM activation of the registered server and IDispatch.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/value_syntax.h"
#include "server/method_table.h"

namespace corvane::cli {

struct CallOutcome {
  bool ok = false;
  Value result;       // the method's result (Empty for a method without one)
  std::string error;  // when !ok: "runtime error 5: Invalid procedure call or argument", ...
};

class Caller {
 public:
  virtual ~Caller() = default;
  // Calls `method` on this caller's object of class `cls` (created at its first call and kept,
  // so that an object's fields live from call to call). `args` are the caller's variables, in
  // parameter order; ByRef parameters are written back into them, also after a failure.
  virtual CallOutcome Call(const server::ClassInfo& cls, const std::string& method,
                           const std::vector<Value*>& args) = 0;
};

// The platform's caller. On Windows, COM is initialised for the calling thread; null (with
// `why` set) when the server cannot be reached.
std::unique_ptr<Caller> MakeCaller(std::string& why);

// The text for a failed call's status: a runtime error's number and description, or what the
// binding refused ("type mismatch in argument 2").
std::string FailureText(int32_t status, int32_t error_number, const std::string& description,
                        int arg_error);

// `text` (UTF-8) with its control characters written out, C0 and DEL as \xHH and C1 as
// \u00HH, so that printing a name or a datum cannot steer the terminal.
std::string Printable(std::string_view text);

// Why the file at `path` (UTF-8) cannot be read as the tool's input: "no such file", "it is a
// folder", "it is not a regular file", or the system's reason; "" when it can.
std::string InputFileProblem(const std::string& path);

}  // namespace corvane::cli
