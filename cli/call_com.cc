// The Windows caller: COM activation of the registered server by programmatic identifier, and
// late binding through IDispatch, as a script host calls. Every argument is passed as a
// reference to a VARIANT (VT_BYREF|VT_VARIANT), as VBScript passes its variables, so the
// method's write-backs arrive in them.
#include <windows.h>
#include <oleauto.h>

#include <map>

#include "automation/com_owners.h"
#include "automation/variant_convert.h"
#include "cli/caller.h"
#include "runtime/errors.h"
#include "corvane/status.h"

namespace corvane::cli {
namespace {

using win32::ComPtr;
using win32::UniqueBstr;
using win32::UniqueVariant;

std::wstring Wide(const std::string& utf8) {
  const String text = rt::FromUtf8(utf8);
  return std::wstring(text.begin(), text.end());
}

// The caller's value as a VARIANT: an array as a SAFEARRAY of BSTR (an undimensioned one as
// Empty, as a script's fresh variable).
void Store(const Value& value, VARIANT* out) {
  if (const auto* array = std::get_if<StringArray>(&value)) {
    if (!array->dimensioned()) return;
    out->vt = VT_ARRAY | VT_BSTR;
    out->parray = win32::ToSafeArray(*array, VT_BSTR);
    return;
  }
  win32::ToVariant(std::get<Variant>(value), out);
}

// The value back from a VARIANT; a variable that held an array and comes back Empty is an
// undimensioned array again.
Value Load(const VARIANT& value, const Value& before = Value()) {
  if ((value.vt & VT_ARRAY) != 0) return win32::FromSafeArray(value.parray);
  if (value.vt == VT_EMPTY && std::holds_alternative<StringArray>(before)) return StringArray();
  return win32::FromVariant(value, win32::ForeignKind::kAsText);
}

// The arguments as a script host passes them, last first: each a VT_BYREF|VT_VARIANT to its
// value in `values`, an omitted one as VT_ERROR by value. Raises what a conversion raises.
void BuildArguments(const std::vector<Value*>& args, std::vector<UniqueVariant>& values,
                    std::vector<VARIANT>& refs) {
  const size_t n = args.size();
  for (size_t i = 0; i < n; ++i) {
    VARIANT& ref = refs[n - 1 - i];
    VariantInit(&ref);
    const auto* plain = std::get_if<Variant>(args[i]);
    if (plain != nullptr && plain->kind() == VariantKind::kError) {
      ref.vt = VT_ERROR;
      ref.scode = plain->error_code();
      continue;
    }
    Store(*args[i], values[i].get());
    ref.vt = VT_BYREF | VT_VARIANT;
    ref.pvarVal = values[i].get();
  }
}

// The text of a failed Invoke: the runtime error from EXCEPINFO (whose strings it frees), or
// the status with the argument it names (`n` arguments, `arg_error` counted last first).
std::string InvokeFailure(HRESULT hr, EXCEPINFO& info, UINT arg_error, size_t n) {
  if (hr == DISP_E_EXCEPTION) {
    const HRESULT code = info.scode != 0 ? info.scode : static_cast<HRESULT>(info.wCode);
    const UniqueBstr description_owner(info.bstrDescription), source(info.bstrSource),
        help(info.bstrHelpFile);
    const std::string description = rt::ToUtf8(win32::FromBstr(description_owner.get()));
    const bool runtime = (static_cast<uint32_t>(code) & 0xFFFF0000u) == 0x800A0000u;
    return FailureText(code, runtime ? (code & 0xFFFF) : 0, description, -1);
  }
  const int arg =
      (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_OVERFLOW || hr == DISP_E_PARAMNOTOPTIONAL)
          ? static_cast<int>(n) - 1 - static_cast<int>(arg_error)
          : -1;
  return FailureText(hr, 0, "", arg);
}

class ComCaller final : public Caller {
 public:
  ComCaller() = default;
  ~ComCaller() override {
    objects_.clear();
    CoUninitialize();
  }

  CallOutcome Call(const server::ClassInfo& cls, const std::string& method,
                   const std::vector<Value*>& args) override {
    CallOutcome outcome;
    IDispatch* object = Object(cls, &outcome.error);
    if (object == nullptr) return outcome;
    std::wstring name = Wide(method);
    LPOLESTR names[] = {name.data()};
    DISPID dispid = 0;
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid);
    if (FAILED(hr)) {
      outcome.error = FailureText(hr, 0, "", -1);
      return outcome;
    }
    const size_t n = args.size();
    std::vector<UniqueVariant> values(n);
    std::vector<VARIANT> refs(n);
    try {
      BuildArguments(args, values, refs);
    } catch (const rt::RuntimeError& e) {
      outcome.error = FailureText(0, e.number(), e.what(), -1);
      return outcome;
    }
    DISPPARAMS params = {refs.data(), nullptr, static_cast<UINT>(n), 0};
    UniqueVariant result;
    EXCEPINFO info = {};
    UINT arg_error = 0;
    hr = object->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                        result.get(), &info, &arg_error);
    // The write-backs, on success and failure alike.
    for (size_t i = 0; i < n; ++i)
      if (refs[n - 1 - i].vt == (VT_BYREF | VT_VARIANT))
        *args[i] = Load(*values[i].get(), *args[i]);
    if (FAILED(hr)) {
      outcome.error = InvokeFailure(hr, info, arg_error, n);
      return outcome;
    }
    outcome.ok = true;
    outcome.result = Load(*result.get());
    return outcome;
  }

 private:
  IDispatch* Object(const server::ClassInfo& cls, std::string* error) {
    ComPtr<IDispatch>& object = objects_[&cls];
    if (object) return object.get();
    CLSID clsid;
    const std::wstring prog_id = Wide(cls.prog_id);
    HRESULT hr = CLSIDFromProgID(prog_id.c_str(), &clsid);
    if (SUCCEEDED(hr))
      hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                            reinterpret_cast<void**>(object.put()));
    if (FAILED(hr)) {
      char text[160];
      std::snprintf(text, sizeof text,
                    "cannot create %s (0x%08X); is Corvane.dll registered with regsvr32?",
                    cls.prog_id, static_cast<unsigned>(hr));
      *error = text;
      object.reset();
    }
    return object.get();
  }

  std::map<const server::ClassInfo*, ComPtr<IDispatch>> objects_;
};

}  // namespace

std::unique_ptr<Caller> MakeCaller(std::string& why) {
  const HRESULT hr = CoInitialize(nullptr);
  if (FAILED(hr)) {
    why = "COM cannot be initialised";
    return nullptr;
  }
  return std::make_unique<ComCaller>();
}

}  // namespace corvane::cli
