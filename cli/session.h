// The tool's calls and its shell language.
//
// A call names a class (Tarnel, Registry, Declares, with or without "Corvane.") and a method,
// and gives arguments in the written form of value_syntax.h. After the call the tool shows the
// result with its kind and every ByRef parameter as the method left it.
//
// The shell reads one statement per line:
//   pw = "secret"                       assigns a value to a variable
//   Tarnel.Encrypt "abc", pw            calls a method; a variable given as an argument is
//                                       passed by reference and receives the write-back
//   c = Tarnel.Encrypt("abc", pw)       keeps the result in a variable
//   print pw, c                         shows values with their kinds
//   vars | help | exit                  lists the variables, shows this summary, leaves
//   help Tarnel                         lists a class's methods with their parameters
// An argument left out between commas is passed as omitted. Lines starting with ' or # are
// comments.
#pragma once

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cli/caller.h"

namespace corvane::cli {

// The class that `name` names ("Tarnel", "Corvane.Tarnel", any case); null when none does.
const server::ClassInfo* FindClassNamed(std::string_view name);

// " (did you mean X?)" for the candidate nearest to a misspelt `name` (case aside, at most a
// third of its letters off), else "".
std::string Suggestion(std::string_view name, const std::vector<std::string>& candidates);
// The names of the classes (short and in full), and of a class's methods.
std::vector<std::string> ClassNames();
std::vector<std::string> MethodNames(const server::ClassInfo& cls);

// Calls `method` of `cls` and shows what happened on `out` (errors on `err`): the result with
// its kind and every ByRef parameter afterwards, each labelled with the parameter's name and,
// from `labels`, the caller's name for it. Returns whether the call succeeded; the result is
// stored in `*result` when given.
bool CallAndShow(Caller& caller, const server::ClassInfo& cls, const server::MethodInfo& method,
                 const std::vector<Value*>& args, const std::vector<std::string>& labels,
                 std::FILE* out, std::FILE* err, Value* result = nullptr);

class Shell {
 public:
  Shell(Caller& caller, std::FILE* out, std::FILE* err) : caller_(caller), out_(out), err_(err) {}

  // Runs one line; false when it failed (the reason is on the error stream). Sets *leave on
  // "exit".
  bool Run(const std::string& line, bool* leave);
  // Runs lines from `in` until its end or "exit"; the number of lines that failed.
  int RunAll(std::FILE* in);
  // What may complete `prefix` (any case): statements, classes, Class.Method, variables.
  std::vector<std::string> Completions(std::string_view prefix) const;

 private:
  bool Call(std::string_view target, std::string_view arguments, const std::string* assign_to);
  Value Evaluate(std::string_view text);
  bool Help(std::string_view class_name);
  // Says, once a name, that a variable never set is used (as Empty), with the nearest set one.
  void WarnIfNeverSet(std::string_view name);
  // The error stream, after what was shown so far, so that both keep their order.
  std::FILE* Err() {
    std::fflush(out_);
    return err_;
  }

  Caller& caller_;
  std::FILE* out_;
  std::FILE* err_;
  std::map<std::string, Value, std::less<>> variables_;      // by folded name
  std::map<std::string, std::string, std::less<>> spelled_;  // folded name -> name as first written
  std::set<std::string, std::less<>> warned_;  // folded names of variables used before being set
  int line_ = 0;
};

}  // namespace corvane::cli
