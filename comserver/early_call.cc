// Early-bound calls: the vtable entries' arguments handed to the shared call frame.
#include "comserver/early_call.h"

#include <array>

#include "comserver/com_call.h"
#include "comserver/error_info.h"

namespace corvane::win32 {

static HRESULT CallEarlyUnguarded(const server::ClassInfo& cls, size_t method_index, void* core,
                                  std::initializer_list<VARIANTARG> args, VARIANT* result) {
  SetRuntimeErrorInfo(cls, nullptr);
  const server::MethodInfo& method = cls.methods[method_index];
  if (args.size() != method.params.size()) return DISP_E_BADPARAMCOUNT;
  std::array<const VARIANTARG*, server::CallFrame::kMaxParams> ordered;
  size_t i = 0;
  for (const VARIANTARG& arg : args)
    ordered[i++] = &arg;
  const ComCall call = CallMethod(method, core, ordered.data(), result);
  if (call.binding != S_OK) return call.binding;
  if (call.outcome.error_number != 0) SetRuntimeErrorInfo(cls, call.outcome.description.c_str());
  return call.outcome.status;
}

HRESULT CallEarly(const server::ClassInfo& cls, size_t method_index, void* core,
                  std::initializer_list<VARIANTARG> args, VARIANT* result) {
  return Guarded([&] { return CallEarlyUnguarded(cls, method_index, core, args, result); });
}

void TakeResult(VARIANT* from, BSTR* to) {
  if (V_VT(from) == VT_BSTR) {
    *to = V_BSTR(from);
    V_VT(from) = VT_EMPTY;
  }
}
void TakeResult(VARIANT* from, LONG* to) {
  if (V_VT(from) == VT_I4) *to = V_I4(from);
}
void TakeResult(VARIANT* from, short* to) {
  if (V_VT(from) == VT_I2) *to = V_I2(from);
}

}  // namespace corvane::win32
