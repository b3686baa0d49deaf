// The three COM objects. Each interface method is one line: its parameters, in table order, as
// exact VT_BYREF types (ByRef) or values (ByVal), handed to the shared call frame.
#include "automation/variant_convert.h"
#include "corvane/declares.h"
#include "corvane/registry.h"
#include "corvane/tarnel.h"
#include "comserver/com_object.h"
#include "comserver/early_call.h"
#include "runtime/errors.h"
#include "server/corvane_h.h"

namespace corvane::win32 {

std::atomic<long> g_object_count{0};
std::atomic<long> g_lock_count{0};

namespace {

class TarnelObject final : public CoObject<TarnelObject, _Tarnel, Tarnel> {
 public:
  TarnelObject() : CoObject(server::TarnelClass()) {}

  HRESULT STDMETHODCALLTYPE TimedPause(LONG* secs, VARIANT* result) override {
    return EarlyVariant(0, {RefLong(secs)}, result);
  }
  HRESULT STDMETHODCALLTYPE Splits(BSTR* chaine, BSTR* separ, SAFEARRAY** tableau, short* nb_elem,
                                   short* result) override {
    return EarlyTyped(1, {RefBstr(chaine), RefBstr(separ), RefArray(tableau), RefShort(nb_elem)},
                      result);
  }
  HRESULT STDMETHODCALLTYPE sSplit(BSTR sStr1, BSTR* sDelims, SAFEARRAY** sResult,
                                   LONG* result) override {
    return EarlyTyped(2, {ValBstr(sStr1), RefBstr(sDelims), RefArray(sResult)}, result);
  }
  HRESULT STDMETHODCALLTYPE scramb(BSTR* strString, BSTR* result) override {
    return EarlyTyped(3, {RefBstr(strString)}, result);
  }
  HRESULT STDMETHODCALLTYPE Encrypt(VARIANT* texti, VARIANT* salasana, VARIANT* result) override {
    return EarlyVariant(4, {RefVariant(texti), RefVariant(salasana)}, result);
  }
  HRESULT STDMETHODCALLTYPE Decrypt(VARIANT* texti, VARIANT* salasana, VARIANT* result) override {
    return EarlyVariant(5, {RefVariant(texti), RefVariant(salasana)}, result);
  }
};

class RegistryObject final : public CoObject<RegistryObject, _Registry, Registry> {
 public:
  RegistryObject() : CoObject(server::RegistryClass()) {}

  HRESULT STDMETHODCALLTYPE savekey(LONG* hKey, BSTR* strPath) override {
    return EarlyNone(0, {RefLong(hKey), RefBstr(strPath)});
  }
  HRESULT STDMETHODCALLTYPE getstring(LONG* hKey, BSTR* strPath, BSTR* strValue,
                                      VARIANT* result) override {
    return EarlyVariant(1, {RefLong(hKey), RefBstr(strPath), RefBstr(strValue)}, result);
  }
  HRESULT STDMETHODCALLTYPE getstringx(BSTR* strPath, BSTR* strValue, VARIANT* result) override {
    return EarlyVariant(2, {RefBstr(strPath), RefBstr(strValue)}, result);
  }
  HRESULT STDMETHODCALLTYPE savestring(LONG* hKey, BSTR* strPath, BSTR* strValue,
                                       BSTR* strdata) override {
    return EarlyNone(3, {RefLong(hKey), RefBstr(strPath), RefBstr(strValue), RefBstr(strdata)});
  }
  HRESULT STDMETHODCALLTYPE getdword(LONG hKey, BSTR strPath, BSTR strValueName,
                                     LONG* result) override {
    return EarlyTyped(4, {ValLong(hKey), ValBstr(strPath), ValBstr(strValueName)}, result);
  }
  HRESULT STDMETHODCALLTYPE SaveDword(LONG hKey, BSTR strPath, BSTR strValueName, LONG lData,
                                      VARIANT* result) override {
    return EarlyVariant(5, {ValLong(hKey), ValBstr(strPath), ValBstr(strValueName), ValLong(lData)},
                        result);
  }
  HRESULT STDMETHODCALLTYPE DeleteKey(LONG hKey, BSTR strKey, VARIANT* result) override {
    return EarlyVariant(6, {ValLong(hKey), ValBstr(strKey)}, result);
  }
  HRESULT STDMETHODCALLTYPE DeleteValue(LONG hKey, BSTR strPath, BSTR strValue,
                                        VARIANT* result) override {
    return EarlyVariant(7, {ValLong(hKey), ValBstr(strPath), ValBstr(strValue)}, result);
  }
};

class DeclaresObject final : public CoObject<DeclaresObject, _Declares, Declares> {
 public:
  DeclaresObject() : CoObject(server::DeclaresClass()) {
    // The key path resolution calls GetMainKeyHandle through this object's own interface, so
    // that the callee runs its call frame and its status is tested.
    core().SetSelf([this](const String& name) {
      UniqueBstr text(ToBstr(name));
      LONG handle = 0;
      const HRESULT hr = static_cast<_Declares*>(this)->GetMainKeyHandle(text.address(), &handle);
      if (FAILED(hr)) rt::RaiseStatus(hr);
      return static_cast<Long>(handle);
    });
  }

  HRESULT STDMETHODCALLTYPE SetDWORDValue(BSTR* subkey, BSTR* entry, LONG* Value,
                                          VARIANT* result) override {
    return EarlyVariant(0, {RefBstr(subkey), RefBstr(entry), RefLong(Value)}, result);
  }
  HRESULT STDMETHODCALLTYPE GetDWORDValue(BSTR* subkey, BSTR* entry, VARIANT* result) override {
    return EarlyVariant(1, {RefBstr(subkey), RefBstr(entry)}, result);
  }
  HRESULT STDMETHODCALLTYPE SetBinaryValue(BSTR* subkey, BSTR* entry, BSTR* Value,
                                           VARIANT* result) override {
    return EarlyVariant(2, {RefBstr(subkey), RefBstr(entry), RefBstr(Value)}, result);
  }
  HRESULT STDMETHODCALLTYPE GetBinaryValue(BSTR* subkey, BSTR* entry, VARIANT* result) override {
    return EarlyVariant(3, {RefBstr(subkey), RefBstr(entry)}, result);
  }
  HRESULT STDMETHODCALLTYPE DeleteKey(BSTR* keyname, VARIANT* result) override {
    return EarlyVariant(4, {RefBstr(keyname)}, result);
  }
  HRESULT STDMETHODCALLTYPE GetMainKeyHandle(BSTR* MainKeyName, LONG* result) override {
    return EarlyTyped(5, {RefBstr(MainKeyName)}, result);
  }
  HRESULT STDMETHODCALLTYPE ErrorMsg(LONG* lErrorCode, BSTR* result) override {
    return EarlyTyped(6, {RefLong(lErrorCode)}, result);
  }
  HRESULT STDMETHODCALLTYPE GetStringValue(BSTR* subkey, BSTR* entry, VARIANT* result) override {
    return EarlyVariant(7, {RefBstr(subkey), RefBstr(entry)}, result);
  }
  HRESULT STDMETHODCALLTYPE CreateKey(BSTR* subkey, VARIANT* result) override {
    return EarlyVariant(8, {RefBstr(subkey)}, result);
  }
  HRESULT STDMETHODCALLTYPE SetStringValue(BSTR* subkey, BSTR* entry, BSTR* Value,
                                           VARIANT* result) override {
    return EarlyVariant(9, {RefBstr(subkey), RefBstr(entry), RefBstr(Value)}, result);
  }
};

template <class Object>
HRESULT CreateAndQuery(REFIID riid, void** object) {
  Object* created = new (std::nothrow) Object();
  if (created == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = created->QueryInterface(riid, object);
  created->Release();  // the creator's reference; the query holds its own
  return hr;
}

}  // namespace

HRESULT CreateComObject(const server::ClassInfo& cls, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (&cls == &server::TarnelClass()) return CreateAndQuery<TarnelObject>(riid, object);
  if (&cls == &server::RegistryClass()) return CreateAndQuery<RegistryObject>(riid, object);
  if (&cls == &server::DeclaresClass()) return CreateAndQuery<DeclaresObject>(riid, object);
  return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace corvane::win32
