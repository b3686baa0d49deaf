// A host of Corvane.dll as shipped, built twice from this source:
//   sxs_host.exe   with an embedded application manifest that names the Corvane assembly: every
//                  class created by ProgID and by class identifier with nothing registered,
//                  early- and late-bound calls with a runtime error's number and text, and a
//                  VBScript text run by the script engine it hosts;
//   com_probe.exe  no manifest: `com_probe.exe unregistered` holds that the classes are gone
//                  ("class not registered"), `com_probe.exe` makes the same calls through the
//                  registration.
// Prints one line per check and exits with the number of checks that failed.
#include <windows.h>
#include <activscp.h>
#include <oleauto.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "automation/com_owners.h"
#include "corvane/types.h"
#include "server/corvane_h.h"
#include "server/method_table.h"
#include "tests/com/script_site.h"

namespace {

using corvane::win32::ComPtr;
using corvane::win32::UniqueBstr;
using corvane::win32::UniqueVariant;

int failures = 0;

void Check(bool ok, const std::string& what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAIL", what.c_str());
  if (!ok) ++failures;
}

std::wstring Wide(const char* text) {
  return std::wstring(text, text + std::strlen(text));
}

// Wide texts as UTF-8, by the runtime's conversion.
std::string Utf8(const wchar_t* text, size_t length) {
  return corvane::rt::ToUtf8(
      corvane::StringView(reinterpret_cast<const char16_t*>(text), length));
}

std::string Text(BSTR text) {
  return text == nullptr ? "" : Utf8(text, SysStringLen(text));
}

std::string Hex(HRESULT hr) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08lX", static_cast<unsigned long>(hr));
  return buffer;
}

CLSID ClassId(const corvane::server::ClassInfo& cls) {
  CLSID id{};
  CLSIDFromString(Wide(cls.class_id).c_str(), &id);
  return id;
}

// The error information a failed vtable call left, as "number description".
std::string LastError(HRESULT hr) {
  ComPtr<IErrorInfo> info;
  UniqueBstr description;
  if (GetErrorInfo(0, info.put()) == S_OK) info->GetDescription(description.put());
  return Hex(hr) + " " + Text(description.get());
}

// Creates the class from `id` and asks for its own dual interface.
HRESULT CreateAs(const CLSID& id, const corvane::server::ClassInfo& cls) {
  ComPtr<IUnknown> object, dual;
  IID interface_id{};
  IIDFromString(Wide(cls.interface_id).c_str(), &interface_id);
  HRESULT hr = CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                reinterpret_cast<void**>(object.put()));
  if (SUCCEEDED(hr)) hr = object->QueryInterface(interface_id, reinterpret_cast<void**>(dual.put()));
  return hr;
}

// Each class by ProgID and by class identifier. (An activation context may answer a ProgID
// with a class identifier of its own that stands for the class, as Wine's does.)
void CreateEveryClass() {
  for (const corvane::server::ClassInfo& cls : corvane::server::Classes()) {
    CLSID by_prog_id{};
    HRESULT hr = CLSIDFromProgID(Wide(cls.prog_id).c_str(), &by_prog_id);
    if (SUCCEEDED(hr)) hr = CreateAs(by_prog_id, cls);
    Check(hr == S_OK, std::string("create ") + cls.prog_id + " by ProgID: " + Hex(hr));
    hr = CreateAs(ClassId(cls), cls);
    Check(hr == S_OK, std::string("create ") + cls.prog_id + " by " + cls.class_id + ": " + Hex(hr));
  }
}

template <class Interface>
ComPtr<Interface> Create(const corvane::server::ClassInfo& cls) {
  ComPtr<Interface> object;
  CoCreateInstance(ClassId(cls), nullptr, CLSCTX_INPROC_SERVER, __uuidof(Interface),
                   reinterpret_cast<void**>(object.put()));
  return object;
}

void EarlyBound() {
  ComPtr<_Tarnel> tarnel = Create<_Tarnel>(corvane::server::TarnelClass());
  ComPtr<_Registry> registry = Create<_Registry>(corvane::server::RegistryClass());
  ComPtr<_Declares> declares = Create<_Declares>(corvane::server::DeclaresClass());
  if (!tarnel || !registry || !declares) return Check(false, "early-bound interfaces");
  UniqueBstr text(SysAllocString(L"abcdef")), scrambled;
  tarnel->scramb(text.address(), scrambled.put());
  Check(Text(scrambled.get()) == "bdface", "early-bound Tarnel.scramb: " + Text(scrambled.get()));
  UniqueVariant long_text, pass, result;
  V_VT(long_text.get()) = VT_BSTR;
  V_BSTR(long_text.get()) = SysAllocString(std::wstring(256, L'x').c_str());
  V_VT(pass.get()) = VT_BSTR;
  V_BSTR(pass.get()) = SysAllocString(L"key");
  const HRESULT hr = tarnel->Encrypt(long_text.get(), pass.get(), result.get());
  const std::string error = LastError(hr);
  Check(error == "0x800A0006 Overflow", "early-bound runtime error: " + error);
  UniqueBstr path(SysAllocString(L"Software\\Corvane Host")), name(SysAllocString(L"Missing"));
  LONG value = -1;
  registry->getdword(static_cast<LONG>(0x80000001u), path.get(), name.get(), &value);
  Check(value == 0, "early-bound Registry.getdword of a missing value: " + std::to_string(value));
  LONG code = 1013;
  UniqueBstr message;
  declares->ErrorMsg(&code, message.put());
  Check(Text(message.get()) == "Can't Write Key", "early-bound Declares.ErrorMsg: " +
                                                      Text(message.get()));
}

// Calls `method` of `object` by name with one argument; fills `info` on an exception.
HRESULT CallByName(IDispatch* object, const wchar_t* method, VARIANT* argument, VARIANT* result,
                   EXCEPINFO* info) {
  DISPID id = 0;
  LPOLESTR name = const_cast<LPOLESTR>(method);
  HRESULT hr = object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  DISPPARAMS params{argument, nullptr, 1, 0};
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, info,
                        nullptr);
}

void LateBound() {
  ComPtr<IDispatch> tarnel = Create<IDispatch>(corvane::server::TarnelClass());
  if (!tarnel) return Check(false, "late-bound Tarnel");
  UniqueVariant argument, result;
  V_VT(argument.get()) = VT_BSTR;
  V_BSTR(argument.get()) = SysAllocString(L"abcdef");
  EXCEPINFO info{};
  HRESULT hr = CallByName(tarnel.get(), L"scramb", argument.get(), result.get(), &info);
  Check(hr == S_OK && V_VT(result.get()) == VT_BSTR && Text(V_BSTR(result.get())) == "bdface",
        "late-bound Tarnel.scramb: " + Hex(hr));
  UniqueVariant long_text, nothing;
  V_VT(long_text.get()) = VT_BSTR;
  V_BSTR(long_text.get()) = SysAllocString(std::wstring(40000, L'x').c_str());
  hr = CallByName(tarnel.get(), L"scramb", long_text.get(), nothing.get(), &info);
  const std::string error = Hex(info.scode) + " " + Text(info.bstrDescription);
  Check(hr == DISP_E_EXCEPTION && error == "0x800A0006 Overflow",
        "late-bound runtime error: " + Hex(hr) + " " + error);
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrHelpFile);
}

void HostedVBScript() {
  CLSID vbscript{};
  ComPtr<IActiveScript> engine;
  ComPtr<IActiveScriptParse> parse;
  if (CLSIDFromProgID(L"VBScript", &vbscript) != S_OK ||
      CoCreateInstance(vbscript, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IActiveScript),
                       reinterpret_cast<void**>(engine.put())) != S_OK ||
      engine->QueryInterface(__uuidof(IActiveScriptParse),
                             reinterpret_cast<void**>(parse.put())) != S_OK)
    return Check(false, "the VBScript engine");
  corvane::comtest::ScriptSite site;
  parse->InitNew();
  engine->SetScriptSite(&site);
  engine->SetScriptState(SCRIPTSTATE_STARTED);
  EXCEPINFO info{};
  parse->ParseScriptText(L"Set t = CreateObject(\"Corvane.Tarnel\")\n", nullptr, nullptr,
                         nullptr, 0, 0, 0, nullptr, &info);
  UniqueVariant result;
  parse->ParseScriptText(L"t.scramb(\"abcdef\")", nullptr, nullptr, nullptr, 0, 0,
                         SCRIPTTEXT_ISEXPRESSION, result.get(), &info);
  const bool ok = site.error.empty() && V_VT(result.get()) == VT_BSTR &&
                  Text(V_BSTR(result.get())) == "bdface";
  Check(ok, "VBScript CreateObject(\"Corvane.Tarnel\").scramb " +
                (ok ? "" : Hex(site.scode) + " " + Utf8(site.error.data(), site.error.size())));
  engine->Close();
}

void Unregistered() {
  for (const corvane::server::ClassInfo& cls : corvane::server::Classes()) {
    ComPtr<IDispatch> object;
    const HRESULT hr = CoCreateInstance(ClassId(cls), nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                        reinterpret_cast<void**>(object.put()));
    Check(hr == REGDB_E_CLASSNOTREG,
          std::string(cls.prog_id) + (hr == REGDB_E_CLASSNOTREG ? ": class not registered"
                                                                : ": created, " + Hex(hr)));
    CLSID id{};
    Check(CLSIDFromProgID(Wide(cls.prog_id).c_str(), &id) != S_OK,
          std::string(cls.prog_id) + " is no programmatic identifier");
  }
}

}  // namespace

int main(int argc, char** argv) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (argc > 1 && std::string(argv[1]) == "unregistered") {
    Unregistered();
  } else {
    CreateEveryClass();
    EarlyBound();
    LateBound();
    HostedVBScript();
  }
  CoUninitialize();
  return failures;
}
