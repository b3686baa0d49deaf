// Runtime errors as COM callers receive them: the thread's error information (IErrorInfo),
// EXCEPINFO, and the guard that keeps every C++ exception out of a COM caller.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <new>

#include "server/binding.h"
#include "server/method_table.h"

namespace corvane::win32 {

// Sets the thread's error information for a runtime error of `cls` (source: the programmatic
// identifier, description: the runtime's text), or clears it when `description` is null.
void SetRuntimeErrorInfo(const server::ClassInfo& cls, const char* description);

// Fills EXCEPINFO for a runtime error of `cls`; the caller owns the strings it holds.
void FillExcepInfo(const server::ClassInfo& cls, const server::CallOutcome& outcome,
                   EXCEPINFO* excep);

// No C++ exception crosses into a COM caller: whatever escapes the bodies above (an allocation
// that failed while binding) becomes a status.
template <class Body>
inline HRESULT Guarded(Body body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace corvane::win32
