// IDispatch over the method tables: names to dispatch identifiers, and Invoke.
#include "comserver/dispatch.h"

#include <array>
#include <string>

#include "comserver/com_call.h"
#include "comserver/error_info.h"

namespace corvane::win32 {
namespace {

std::string Narrow(const OLECHAR* text) {
  std::string out;
  for (; *text != 0; ++text)
    out.push_back(*text < 0x80 ? static_cast<char>(*text) : '\x7F');
  return out;
}

}  // namespace

static HRESULT GetIdsOfNamesUnguarded(const server::ClassInfo& cls, REFIID riid, LPOLESTR* names,
                                      UINT count, DISPID* ids) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (count == 0) return S_OK;
  if (names == nullptr || ids == nullptr) return E_POINTER;
  for (UINT i = 0; i < count; ++i)
    ids[i] = DISPID_UNKNOWN;
  if (names[0] == nullptr) return DISP_E_UNKNOWNNAME;
  const server::MethodInfo* method = server::FindMethod(cls, Narrow(names[0]));
  if (method == nullptr) return DISP_E_UNKNOWNNAME;
  ids[0] = method->dispid;
  HRESULT hr = S_OK;
  for (UINT i = 1; i < count; ++i) {
    const int param = names[i] == nullptr ? -1 : server::FindParam(*method, Narrow(names[i]));
    if (param < 0) {
      hr = DISP_E_UNKNOWNNAME;
    } else {
      ids[i] = param;
    }
  }
  return hr;
}

static HRESULT InvokeUnguarded(const server::ClassInfo& cls, void* core, DISPID id, REFIID riid,
                               WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                               UINT* arg_error) {
  // Whatever this call answers, a client must not read a description left by an earlier one.
  SetRuntimeErrorInfo(cls, nullptr);
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  const server::MethodInfo* method = server::FindMethod(cls, static_cast<int32_t>(id));
  if (method == nullptr) return DISP_E_MEMBERNOTFOUND;
  if ((flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) == 0 ||
      (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0)
    return DISP_E_MEMBERNOTFOUND;
  if (params == nullptr) return E_INVALIDARG;
  if ((params->cArgs > 0 && params->rgvarg == nullptr) ||
      (params->cNamedArgs > 0 && params->rgdispidNamedArgs == nullptr) ||
      params->cNamedArgs > params->cArgs)
    return E_INVALIDARG;
  const UINT count = static_cast<UINT>(method->params.size());
  if (params->cArgs != count) return DISP_E_BADPARAMCOUNT;

  // rgvarg holds the arguments in reverse order; named ones come first in it.
  std::array<const VARIANTARG*, server::CallFrame::kMaxParams> ordered{};
  std::array<UINT, server::CallFrame::kMaxParams> source_index{};
  const UINT positional = params->cArgs - params->cNamedArgs;
  for (UINT k = 0; k < positional; ++k) {
    source_index[k] = params->cArgs - 1 - k;
    ordered[k] = &params->rgvarg[source_index[k]];
  }
  for (UINT j = 0; j < params->cNamedArgs; ++j) {
    const DISPID named = params->rgdispidNamedArgs[j];
    if (named < static_cast<DISPID>(positional) || named >= static_cast<DISPID>(count) ||
        ordered[named] != nullptr)
      return DISP_E_NONAMEDARGS;
    source_index[named] = j;
    ordered[named] = &params->rgvarg[j];
  }

  const ComCall call = CallMethod(*method, core, ordered.data(), result);
  if (call.binding != S_OK) {
    if (arg_error != nullptr) *arg_error = source_index[call.bad_argument];
    return call.binding;
  }
  const server::CallOutcome& outcome = call.outcome;
  if (outcome.error_number == 0) return outcome.status;
  SetRuntimeErrorInfo(cls, outcome.description.c_str());
  if (excep == nullptr) return outcome.status;
  FillExcepInfo(cls, outcome, excep);
  return DISP_E_EXCEPTION;
}

HRESULT GetIdsOfNames(const server::ClassInfo& cls, REFIID riid, LPOLESTR* names, UINT count,
                      DISPID* ids) {
  return Guarded([&] { return GetIdsOfNamesUnguarded(cls, riid, names, count, ids); });
}

HRESULT Invoke(const server::ClassInfo& cls, void* core, DISPID id, REFIID riid, WORD flags,
               DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* arg_error) {
  return Guarded([&] {
    return InvokeUnguarded(cls, core, id, riid, flags, params, result, excep, arg_error);
  });
}

}  // namespace corvane::win32
