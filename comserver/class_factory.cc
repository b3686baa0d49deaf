// The class objects.
#include "comserver/class_factory.h"

#include "comserver/com_object.h"

namespace corvane::win32 {
namespace {

class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(const server::ClassInfo& cls) : cls_(cls) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // Static objects: references do not keep anything alive.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return CreateComObject(cls_, riid, object);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ++g_lock_count;
    } else if (g_lock_count > 0) {
      --g_lock_count;
    }
    return S_OK;
  }

 private:
  const server::ClassInfo& cls_;
};

}  // namespace

HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  static ClassFactory factories[] = {ClassFactory(server::TarnelClass()),
                                     ClassFactory(server::RegistryClass()),
                                     ClassFactory(server::DeclaresClass())};
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  for (size_t i = 0; i < server::Classes().size(); ++i) {
    if (IsEqualCLSID(clsid, ParseGuid(server::Classes()[i].class_id)))
      return factories[i].QueryInterface(riid, object);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace corvane::win32
