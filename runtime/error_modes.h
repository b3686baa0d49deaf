// The three error modes as helpers that a method's body is written with.
//
// Report mode: a runtime error leaves the method; writes already made stay made.
// Skip mode: each statement runs through Skip(); a statement that raises a runtime error is
//   abandoned where it failed and execution goes on with the next one.
// Trap mode: the body runs through Trap(); a runtime error hands control to the method's
//   handler, whose own errors are not trapped again.
// Memory that runs out (std::bad_alloc) is runtime error 7, "Out of memory", in every mode;
// in Report mode the dispatcher turns it into that error.
#pragma once

#include <new>
#include <utility>

#include "runtime/convert.h"
#include "runtime/errors.h"

namespace corvane::rt {

// Report mode: the body's first runtime error ends the method. Named so that a method states
// its mode.
template <class Body>
decltype(auto) Report(Body&& body) {
  return std::forward<Body>(body)();
}

// Skip mode, one statement. Returns false when the statement was abandoned.
template <class Statement>
bool Skip(Statement&& statement) {
  try {
    std::forward<Statement>(statement)();
    return true;
  } catch (const RuntimeError&) {
    return false;
  } catch (const std::bad_alloc&) {
    return false;  // runtime error 7, Out of memory
  }
}

// Skip mode, an If statement: when the condition fails, execution goes on with the first
// statement of the Then branch.
template <class Condition, class Then>
void SkipIf(Condition&& condition, Then&& then_branch) {
  bool take = true;
  Skip([&] { take = condition(); });
  if (take) then_branch();
}

// Skip mode, a counted loop `For counter = first To limit` with step 1, whose head the caller
// has already evaluated (`first` and `limit`). The body runs its own statements through Skip().
// The step at the end of a pass is checked arithmetic in T: when it fails, execution goes on
// after the loop, so a limit at the top of T still runs its last pass.
// NOTE: a head that fails would leave counter, limit and step at 0 and never end; methods
// refuse such input before they reach the loop.
template <class T, class Body>
void SkipFor(T& counter, T first, T limit, Body&& body) {
  counter = first;
  while (counter <= limit) {
    body();
    if (!Skip([&] { counter = CheckedAdd<T>(counter, T{1}); })) return;
  }
}

// Trap mode: runs `body`; on a runtime error returns `handler(error)`. An error raised by the
// handler leaves the method as in Report mode.
template <class Body, class Handler>
auto Trap(Body&& body, Handler&& handler) -> decltype(body()) {
  try {
    return std::forward<Body>(body)();
  } catch (const RuntimeError& error) {
    return std::forward<Handler>(handler)(error);
  } catch (const std::bad_alloc&) {
    return std::forward<Handler>(handler)(RuntimeError(ErrorNumber::kOutOfMemory));
  }
}

}  // namespace corvane::rt
