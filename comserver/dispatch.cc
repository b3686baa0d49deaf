// IDispatch over the method tables, the embedded type library, and error information.
#include "comserver/dispatch.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "automation/com_owners.h"

namespace corvane::win32 {
namespace {

HMODULE g_module = nullptr;

std::string Narrow(const OLECHAR* text) {
  std::string out;
  for (; *text != 0; ++text)
    out.push_back(*text < 0x80 ? static_cast<char>(*text) : '\x7F');
  return out;
}

ITypeLib* LoadOwnTypeLib() {
  // Loaded once per process and kept: type information is handed out for the life of the module.
  static ITypeLib* library = [] {
    wchar_t path[MAX_PATH];
    ITypeLib* lib = nullptr;
    if (GetModuleFileNameW(g_module, path, MAX_PATH) == 0) return lib;
    if (FAILED(LoadTypeLibEx(path, REGKIND_NONE, &lib))) lib = nullptr;
    return lib;
  }();
  return library;
}

// Fills EXCEPINFO for a runtime error of `cls`.
void FillExcepInfo(const server::ClassInfo& cls, const server::CallOutcome& outcome,
                   EXCEPINFO* excep) {
  std::memset(excep, 0, sizeof *excep);
  excep->wCode = 0;
  excep->scode = outcome.status;
  excep->bstrSource = SysAllocString(Widen(cls.prog_id).c_str());
  excep->bstrDescription = SysAllocString(Widen(outcome.description.c_str()).c_str());
}

}  // namespace

std::wstring Widen(const char* text) {
  return std::wstring(text, text + std::strlen(text));
}

void SetModule(HMODULE module) {
  g_module = module;
}
HMODULE Module() {
  return g_module;
}

GUID ParseGuid(const char* text) {
  GUID guid{};
  CLSIDFromString(Widen(text).c_str(), &guid);
  return guid;
}

HRESULT GetInterfaceTypeInfo(const server::ClassInfo& cls, UINT index, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  ITypeLib* library = LoadOwnTypeLib();
  if (library == nullptr) return TYPE_E_CANTLOADLIBRARY;
  return library->GetTypeInfoOfGuid(ParseGuid(cls.interface_id), info);
}

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

void SetRuntimeErrorInfo(const server::ClassInfo& cls, const char* description) {
  if (description == nullptr) {
    SetErrorInfo(0, nullptr);
    return;
  }
  ComPtr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(create.put()))) return;
  create->SetGUID(ParseGuid(cls.interface_id));
  std::wstring source = Widen(cls.prog_id);
  std::wstring text = Widen(description);
  create->SetSource(source.data());
  create->SetDescription(text.data());
  ComPtr<IErrorInfo> info;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(info.put()))))
    SetErrorInfo(0, info.get());
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
  std::vector<VARIANTARG*> ordered(count, nullptr);
  std::vector<UINT> source_index(count, 0);
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

static HRESULT CallEarlyUnguarded(const server::ClassInfo& cls, size_t method_index, void* core,
                                  std::initializer_list<VARIANTARG> args, VARIANT* result) {
  SetRuntimeErrorInfo(cls, nullptr);
  const server::MethodInfo& method = cls.methods[method_index];
  std::vector<VARIANTARG> storage(args);
  std::vector<VARIANTARG*> ordered;
  for (VARIANTARG& arg : storage)
    ordered.push_back(&arg);
  const ComCall call = CallMethod(method, core, ordered.data(), result);
  if (call.binding != S_OK) return call.binding;
  if (call.outcome.error_number != 0) SetRuntimeErrorInfo(cls, call.outcome.description.c_str());
  return call.outcome.status;
}

// No C++ exception crosses into a COM caller: whatever escapes the bodies above (an allocation
// that failed while binding) becomes a status.
template <class Body>
HRESULT Guarded(Body body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
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

HRESULT CallEarly(const server::ClassInfo& cls, size_t method_index, void* core,
                  std::initializer_list<VARIANTARG> args, VARIANT* result) {
  return Guarded([&] { return CallEarlyUnguarded(cls, method_index, core, args, result); });
}

VARIANTARG RefTo(VARTYPE type, void* storage) {
  VARIANTARG a;
  V_VT(&a) = VT_BYREF | type;
  V_BYREF(&a) = storage;
  return a;
}
VARIANTARG RefVariant(VARIANT* v) {
  return RefTo(VT_VARIANT, v);
}
VARIANTARG RefBstr(BSTR* b) {
  return RefTo(VT_BSTR, b);
}
VARIANTARG RefLong(LONG* l) {
  return RefTo(VT_I4, l);
}
VARIANTARG RefShort(short* s) {
  return RefTo(VT_I2, s);
}
VARIANTARG RefArray(SAFEARRAY** array) {
  return RefTo(VT_ARRAY | VT_BSTR, array);
}
VARIANTARG ValBstr(BSTR b) {
  VARIANTARG a;
  V_VT(&a) = VT_BSTR;
  V_BSTR(&a) = b;  // borrowed: CallMethod only reads it
  return a;
}
VARIANTARG ValLong(LONG l) {
  VARIANTARG a;
  V_VT(&a) = VT_I4;
  V_I4(&a) = l;
  return a;
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
