// The entry points of Corvane.dll.
#include <windows.h>
#include <olectl.h>

#include "comserver/class_factory.h"
#include "comserver/com_object.h"
#include "comserver/module.h"
#include "comserver/registration.h"

using corvane::win32::g_lock_count;
using corvane::win32::g_object_count;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    corvane::win32::SetModule(instance);
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  return corvane::win32::GetClassObject(clsid, riid, object);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return g_object_count == 0 && g_lock_count == 0 ? S_OK : S_FALSE;
}

HRESULT STDAPICALLTYPE DllRegisterServer() {
  return corvane::win32::RegisterServer();
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
  return corvane::win32::UnregisterServer();
}

}  // extern "C"
