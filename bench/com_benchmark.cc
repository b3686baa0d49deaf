// Calls per second of one small method (Encrypt of a two-character text) on one Tarnel,
// through the vtable, through the server's own IDispatch::Invoke, and through oleaut32's
// type-library-driven DispInvoke on the same object, side by side with the ratios.
//
// A plain timing harness for Wine: Corvane.dll must be registered (scripts/bench.sh does it).
#include <windows.h>
#include <oleauto.h>

#include <cstdio>

#include "automation/com_owners.h"
#include "server/corvane_h.h"

namespace {

using corvane::win32::ComPtr;
using corvane::win32::UniqueVariant;

const CLSID kTarnelClsid = {
    0x8CA88E33, 0xC0E8, 0x11D5, {0xB1, 0xAB, 0x00, 0x60, 0x97, 0xD8, 0x69, 0xEE}};
constexpr DISPID kEncrypt = 0x60030004;

double Seconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Runs `call` until at least `budget` seconds have passed; returns calls per second.
template <class Call>
double CallsPerSecond(Call call, double budget) {
  long calls = 0;
  const double start = Seconds();
  double elapsed = 0;
  do {
    for (int i = 0; i < 1000; ++i) {
      if (FAILED(call())) {
        std::printf("call failed\n");
        return 0;
      }
    }
    calls += 1000;
    elapsed = Seconds() - start;
  } while (elapsed < budget);
  return static_cast<double>(calls) / elapsed;
}

}  // namespace

int main(int argc, char** argv) {
  const double budget = argc > 1 ? std::atof(argv[1]) : 1.0;
  CoInitialize(nullptr);
  int status = 1;
  {
    ComPtr<_Tarnel> tarnel;
    if (FAILED(CoCreateInstance(kTarnelClsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(_Tarnel),
                                reinterpret_cast<void**>(tarnel.put())))) {
      std::printf("Corvane.Tarnel is not registered\n");
      return 1;
    }
    ComPtr<ITypeInfo> info;
    tarnel->GetTypeInfo(0, 0x409, info.put());

    UniqueVariant text, pass;
    V_VT(text.get()) = VT_BSTR;
    V_BSTR(text.get()) = SysAllocString(L"ab");
    // The script's way of passing variables: VT_BYREF | VT_VARIANT, in reverse order.
    VARIANTARG args[2];
    V_VT(&args[0]) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&args[0]) = pass.get();
    V_VT(&args[1]) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&args[1]) = text.get();
    DISPPARAMS params{args, nullptr, 2, 0};

    const double early = CallsPerSecond(
        [&] {
          UniqueVariant result;
          return tarnel->Encrypt(text.get(), pass.get(), result.get());
        },
        budget);
    const double own_invoke = CallsPerSecond(
        [&] {
          UniqueVariant result;
          return tarnel->Invoke(kEncrypt, IID_NULL, 0x409, DISPATCH_METHOD, &params, result.get(),
                                nullptr, nullptr);
        },
        budget);
    const double disp_invoke = CallsPerSecond(
        [&] {
          UniqueVariant result;
          return DispInvoke(tarnel.get(), info.get(), kEncrypt, DISPATCH_METHOD, &params,
                            result.get(), nullptr, nullptr);
        },
        budget);

    std::printf("%-34s %14s %10s\n", "path (Encrypt of \"ab\")", "calls/s", "vs early");
    std::printf("%-34s %14.0f %10.2f\n", "early binding (vtable)", early, 1.0);
    std::printf("%-34s %14.0f %10.2f\n", "IDispatch::Invoke (ours)", own_invoke,
                own_invoke / early);
    std::printf("%-34s %14.0f %10.2f\n", "DispInvoke (oleaut32, type library)", disp_invoke,
                disp_invoke / early);
    std::printf("ours / DispInvoke: %.2f\n", own_invoke / disp_invoke);

    // The timed pause: CPU seconds per second of pause (the pause waits, it does not spin).
    LONG secs = 2;
    FILETIME created, exited, kernel0, user0, kernel1, user1;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel0, &user0);
    const double wall0 = Seconds();
    UniqueVariant paused;
    tarnel->TimedPause(&secs, paused.get());
    const double wall = Seconds() - wall0;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel1, &user1);
    auto ticks = [](const FILETIME& f) {
      return static_cast<double>((static_cast<ULONGLONG>(f.dwHighDateTime) << 32) |
                                 f.dwLowDateTime);
    };
    const double cpu =
        (ticks(kernel1) - ticks(kernel0) + ticks(user1) - ticks(user0)) / 1e7;  // 100 ns units
    std::printf("TimedPause(2): %.2f s wall, %.4f CPU s per s of pause\n", wall, cpu / wall);
    status = 0;
  }
  CoUninitialize();
  return status;
}
