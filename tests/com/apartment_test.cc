// Cross-apartment use: an object of the test's single-threaded apartment called from a
// multithreaded one through the proxy built from the registered type library, and an object
// created from a multithreaded apartment, which COM places in an apartment of its choosing.
#include <windows.h>

#include <functional>
#include <thread>

#include "tests/com/com_support.h"

namespace corvane::comtest {
namespace {

constexpr DISPID kEncrypt = 0x60030004;

// Runs `body` on a thread of the multithreaded apartment while this single-threaded thread
// delivers the calls that arrive for its objects. False when the body did not end in time.
bool InMta(const std::function<void()>& body) {
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread worker([&] {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    body();
    CoUninitialize();
    SetEvent(done);
  });
  DWORD waited;
  while ((waited = MsgWaitForMultipleObjects(1, &done, FALSE, 60000, QS_ALLINPUT)) ==
         WAIT_OBJECT_0 + 1) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageW(&message);
  }
  worker.join();
  CloseHandle(done);
  return waited == WAIT_OBJECT_0;
}

VARIANTARG ByRef(UniqueVariant& variable) {
  VARIANTARG arg;
  V_VT(&arg) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&arg) = variable.get();
  return arg;
}

// What the calls of one apartment saw: Encrypt("abc", "secret") late and early bound (result
// "g^n", the pass phrase written back as the Integer 10), and an overflowing text early bound
// (0x800A0006) and late bound (DISP_E_EXCEPTION with scode 0x800A0006).
struct Seen {
  HRESULT invoke = E_FAIL, early = E_FAIL, early_error = E_FAIL, invoke_error = E_FAIL;
  std::wstring invoke_result, early_result;
  VARIANT invoke_pass{}, early_pass{};
  SCODE invoke_scode = 0;
};

void CallEveryWay(_Tarnel* tarnel, Seen& seen) {
  UniqueVariant text, pass, result;
  SetText(text.get(), L"abc");
  SetText(pass.get(), L"secret");
  VARIANTARG args[2] = {ByRef(pass), ByRef(text)};
  DISPPARAMS params{args, nullptr, 2, 0};
  seen.invoke = tarnel->Invoke(kEncrypt, IID_NULL, 0x409, DISPATCH_METHOD, &params, result.get(),
                               nullptr, nullptr);
  if (V_VT(result.get()) == VT_BSTR) seen.invoke_result = ToWide(V_BSTR(result.get()));
  seen.invoke_pass = *pass.get();

  SetText(pass.get(), L"secret");
  seen.early = tarnel->Encrypt(text.get(), pass.get(), result.put());
  if (V_VT(result.get()) == VT_BSTR) seen.early_result = ToWide(V_BSTR(result.get()));
  seen.early_pass = *pass.get();

  SetText(text.get(), std::wstring(256, L'a').c_str());
  SetText(pass.get(), L"p");
  seen.early_error = tarnel->Encrypt(text.get(), pass.get(), result.put());
  EXCEPINFO excep{};
  seen.invoke_error = tarnel->Invoke(kEncrypt, IID_NULL, 0x409, DISPATCH_METHOD, &params,
                                     result.put(), &excep, nullptr);
  seen.invoke_scode = excep.scode;
  const UniqueBstr source(excep.bstrSource), description(excep.bstrDescription),
      help(excep.bstrHelpFile);
}

void ExpectEveryWayRight(const Seen& seen) {
  EXPECT_EQ(seen.invoke, S_OK) << Hex(seen.invoke);
  EXPECT_EQ(seen.invoke_result, L"g^n");
  EXPECT_EQ(V_VT(&seen.invoke_pass), VT_I2);
  EXPECT_EQ(V_I2(&seen.invoke_pass), 10);
  EXPECT_EQ(seen.early, S_OK) << Hex(seen.early);
  EXPECT_EQ(seen.early_result, L"g^n");
  EXPECT_EQ(V_VT(&seen.early_pass), VT_I2);
  EXPECT_EQ(V_I2(&seen.early_pass), 10);
  EXPECT_EQ(seen.early_error, static_cast<HRESULT>(0x800A0006)) << Hex(seen.early_error);
  EXPECT_EQ(seen.invoke_error, DISP_E_EXCEPTION) << Hex(seen.invoke_error);
  EXPECT_EQ(seen.invoke_scode, static_cast<SCODE>(0x800A0006));
}

TEST(Apartments, AnObjectOfThisApartmentWorksFromAMultithreadedOne) {
  auto tarnel = NewTarnel();
  IStream* stream = nullptr;
  ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(__uuidof(_Tarnel), tarnel.get(), &stream), S_OK);
  HRESULT unmarshaled = E_FAIL;
  Seen seen;
  ASSERT_TRUE(InMta([&] {
    ComPtr<_Tarnel> proxy;
    unmarshaled = CoGetInterfaceAndReleaseStream(stream, __uuidof(_Tarnel),
                                                 reinterpret_cast<void**>(proxy.put()));
    if (SUCCEEDED(unmarshaled)) CallEveryWay(proxy.get(), seen);
  }));
  ASSERT_EQ(unmarshaled, S_OK) << Hex(unmarshaled);
  ExpectEveryWayRight(seen);
}

TEST(Apartments, CreatedFromAMultithreadedApartmentItWorksThroughItsProxy) {
  HRESULT created = E_FAIL;
  Seen seen;
  ASSERT_TRUE(InMta([&] {
    ComPtr<_Tarnel> tarnel;
    created = CoCreateInstance(kTarnelClsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(_Tarnel),
                               reinterpret_cast<void**>(tarnel.put()));
    if (SUCCEEDED(created)) CallEveryWay(tarnel.get(), seen);
  }));
  ASSERT_EQ(created, S_OK) << Hex(created);
  ExpectEveryWayRight(seen);
}

}  // namespace
}  // namespace corvane::comtest
