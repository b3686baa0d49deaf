// The COM object over one core class: IUnknown with the module's instance count, IDispatch over
// the class's method table, ISupportErrorInfo, and the call frame of every early-bound method.
//
// Derived is the concrete object (CRTP), which writes out the interface's methods, each one
// line that hands its parameters to one of the Early* helpers in table order.
#pragma once

#include <ocidl.h>

#include <atomic>

#include "automation/com_owners.h"
#include "comserver/dispatch.h"
#include "comserver/early_call.h"
#include "comserver/module.h"
#include "server/method_table.h"

namespace corvane::win32 {

// Objects alive and server locks held; DllCanUnloadNow reports S_OK when both are 0.
extern std::atomic<long> g_object_count;
extern std::atomic<long> g_lock_count;

template <class Derived, class Interface, class Core>
class CoObject : public Interface, public ISupportErrorInfo, public IProvideClassInfo2 {
 public:
  explicit CoObject(const server::ClassInfo& cls) : cls_(cls), iid_(ParseGuid(cls.interface_id)) {
    ++g_object_count;
  }
  ~CoObject() { --g_object_count; }
  CoObject(const CoObject&) = delete;
  CoObject& operator=(const CoObject&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, iid_)) {
      *object = static_cast<Interface*>(this);
    } else if (IsEqualIID(riid, IID_ISupportErrorInfo)) {
      *object = static_cast<ISupportErrorInfo*>(this);
    } else if (IsEqualIID(riid, IID_IProvideClassInfo) ||
               IsEqualIID(riid, IID_IProvideClassInfo2)) {
      *object = static_cast<IProvideClassInfo2*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete static_cast<Derived*>(this);
    return left;
  }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    return GetInterfaceTypeInfo(cls_, index, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    return win32::GetIdsOfNames(cls_, riid, names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT* arg_error) override {
    const Hold hold(this);
    return win32::Invoke(cls_, &core_, id, riid, flags, params, result, excep, arg_error);
  }

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
    return IsEqualIID(riid, iid_) ? S_OK : S_FALSE;
  }

  // IProvideClassInfo2: the class itself (its coclass in the type library), for hosts that ask
  // an object what class it is; it has no outgoing interface, so the default source is none.
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override {
    return GetClassTypeInfo(cls_, info);
  }
  HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override {
    if (guid == nullptr) return E_POINTER;
    *guid = GUID_NULL;
    return kind == GUIDKIND_DEFAULT_SOURCE_DISP_IID ? S_OK : E_INVALIDARG;
  }

 protected:
  Core& core() { return core_; }

  // A method with a Variant result.
  HRESULT EarlyVariant(size_t index, std::initializer_list<VARIANTARG> args, VARIANT* result) {
    if (result == nullptr) return E_POINTER;
    const Hold hold(this);
    return CallEarly(cls_, index, &core_, args, result);
  }
  // A method with a String, Long or Integer result.
  template <class T>
  HRESULT EarlyTyped(size_t index, std::initializer_list<VARIANTARG> args, T* result) {
    if (result == nullptr) return E_POINTER;
    *result = T{};
    const Hold hold(this);
    UniqueVariant value;
    const HRESULT hr = CallEarly(cls_, index, &core_, args, value.get());
    if (SUCCEEDED(hr)) TakeResult(value.get(), result);
    return hr;
  }
  // A method without a result.
  HRESULT EarlyNone(size_t index, std::initializer_list<VARIANTARG> args) {
    const Hold hold(this);
    return CallEarly(cls_, index, &core_, args, nullptr);
  }

 private:
  // One reference held for the duration of a call.
  class Hold {
   public:
    explicit Hold(CoObject* object) : object_(object) { object_->AddRef(); }
    ~Hold() { object_->Release(); }

   private:
    CoObject* object_;
  };

  const server::ClassInfo& cls_;
  const IID iid_;
  std::atomic<ULONG> references_{1};  // the creator's reference
  Core core_;
};

// Creates the COM object of `cls` and queries `riid` from it.
HRESULT CreateComObject(const server::ClassInfo& cls, REFIID riid, void** object);

}  // namespace corvane::win32
