// The tool's JSON output (--json), for scripts.
//
// A value is {"type": T, "value": V}: T is the kind's name ("Empty", "Null", "Integer",
// "Long", "Double", "String", "Error", or "String()" for an array of String); V is null for
// Empty and Null, a number for Integer, Long, Double and Error (its code), a string for String,
// and for an array the list of its elements in storage order, with "bounds": [[lower, upper],
// ...] beside it. Text is exact: characters as UTF-8, control characters and a surrogate that
// has no partner as \uXXXX escapes.
//
// A call (corvane call --json) is one object on one line:
//   {"call": "Corvane.Tarnel.Encrypt", "ok": true, "result": VALUE, "error": null,
//    "byref": [{"name": "texti", "value": VALUE}, ...]}
// "result" is null for a method without one and after a failure, whose "error" then says why;
// "byref" lists every ByRef parameter as the method left it, also after a failure.
#pragma once

#include <string>
#include <vector>

#include "cli/caller.h"

namespace corvane::cli {

// A JSON string of `text`.
std::string JsonString(StringView text);
std::string JsonString(std::string_view utf8);
// A value as described above.
std::string JsonValue(const Value& value);

// Calls `method` as CallAndShow does and writes the JSON report of the call to `out`; whether
// the call succeeded.
bool CallAndReportJson(Caller& caller, const server::ClassInfo& cls,
                       const server::MethodInfo& method, const std::vector<Value*>& args,
                       std::FILE* out);

}  // namespace corvane::cli
