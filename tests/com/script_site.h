// The least a script engine needs of its host, for the programs that host one: it records the
// first script error. It lives on its host's stack.
#pragma once

#include <windows.h>
#include <activscp.h>

#include <string>

namespace corvane::comtest {

class ScriptSite final : public IActiveScriptSite {
 public:
  HRESULT scode = S_OK;  // the first script error's status
  std::wstring error;    // its description; empty while no script failed

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    *object = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, __uuidof(IActiveScriptSite))
                  ? static_cast<IActiveScriptSite*>(this)
                  : nullptr;
    return *object != nullptr ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetLCID(LCID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR, DWORD, IUnknown**, ITypeInfo**) override {
    return TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError* e) override {
    EXCEPINFO info{};
    if (error.empty() && SUCCEEDED(e->GetExceptionInfo(&info))) {
      scode = info.scode;
      error = info.bstrDescription != nullptr
                  ? std::wstring(info.bstrDescription, SysStringLen(info.bstrDescription))
                  : L"script error";
    }
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnEnterScript() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnLeaveScript() override { return S_OK; }
};

}  // namespace corvane::comtest
