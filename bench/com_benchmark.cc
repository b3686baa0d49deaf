// Calls per second of three calls on one Tarnel, each through the vtable, through the server's
// own IDispatch::Invoke and through oleaut32's type-library-driven DispInvoke on the same
// object, side by side with the ratios: Encrypt of "ab" (small; its arguments as a script
// passes them), sSplit of a 1 KiB text into 64 elements (arrays) and scramb of a ByRef String
// (both with exactly typed arguments, as a C++ late-binding client passes them, the only kind
// DispInvoke binds to BSTR* parameters).
//
// A plain timing harness for Wine: Corvane.dll must be registered (scripts/bench.sh does it).
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "automation/com_owners.h"
#include "server/corvane_h.h"

namespace {

using corvane::win32::ComPtr;
using corvane::win32::UniqueBstr;
using corvane::win32::UniqueSafeArray;
using corvane::win32::UniqueVariant;

const CLSID kTarnelClsid = {
    0x8CA88E33, 0xC0E8, 0x11D5, {0xB1, 0xAB, 0x00, 0x60, 0x97, 0xD8, 0x69, 0xEE}};
constexpr DISPID kSSplit = 0x60030002;
constexpr DISPID kScramb = 0x60030003;
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

VARIANTARG Ref(VARTYPE type, void* storage) {
  VARIANTARG arg;
  V_VT(&arg) = VT_BYREF | type;
  V_BYREF(&arg) = storage;
  return arg;
}

// One call three ways; prints its row and returns the early-bound rate.
template <class Early>
double Row(const char* name, Early early, ITypeInfo* info, IDispatch* object, DISPID id,
           DISPPARAMS& params, double budget) {
  const double vtable = CallsPerSecond(early, budget);
  const double own = CallsPerSecond(
      [&] {
        UniqueVariant result;
        return object->Invoke(id, IID_NULL, 0x409, DISPATCH_METHOD, &params, result.get(), nullptr,
                              nullptr);
      },
      budget);
  const double disp = CallsPerSecond(
      [&] {
        UniqueVariant result;
        return DispInvoke(object, info, id, DISPATCH_METHOD, &params, result.get(), nullptr,
                          nullptr);
      },
      budget);
  std::printf("%-22s %12.0f %12.0f %12.0f %10.2f %10.2f %9.3f\n", name, vtable, own, disp,
              vtable / own, own / disp, 1e6 / vtable);
  return vtable;
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
    std::printf("%-22s %12s %12s %12s %10s %10s %9s\n", "calls/s", "vtable", "Invoke", "DispInvoke",
                "vt/Inv", "Inv/Disp", "us/vtable");

    // Encrypt("ab", "p"): the script's way of passing variables, VT_BYREF | VT_VARIANT.
    UniqueVariant text, pass;
    V_VT(text.get()) = VT_BSTR;
    V_BSTR(text.get()) = SysAllocString(L"ab");
    VARIANTARG cipher_args[2] = {Ref(VT_VARIANT, pass.get()), Ref(VT_VARIANT, text.get())};
    DISPPARAMS cipher{cipher_args, nullptr, 2, 0};
    const double encrypt = Row(
        "Encrypt \"ab\"",
        [&] {
          UniqueVariant result;
          return tarnel->Encrypt(text.get(), pass.get(), result.get());
        },
        info.get(), tarnel.get(), kEncrypt, cipher, budget);
    std::printf("vtable Encrypt: %.3f us per call\n", 1e6 / encrypt);

    // sSplit of 1 KiB into 64 elements of 15 characters and a comma, into one typed array.
    std::wstring long_text;
    for (int i = 0; i < 64; ++i)
      long_text += std::wstring(15, static_cast<wchar_t>(L'a' + i % 26)) + (i < 63 ? L"," : L"x");
    UniqueBstr source(SysAllocString(long_text.c_str())), delims(SysAllocString(L","));
    SAFEARRAY* pieces = nullptr;
    VARIANTARG split_args[3];
    VariantInit(&split_args[2]);
    V_VT(&split_args[2]) = VT_BSTR;
    V_BSTR(&split_args[2]) = source.get();
    split_args[1] = Ref(VT_BSTR, delims.address());
    split_args[0] = Ref(VT_ARRAY | VT_BSTR, &pieces);
    DISPPARAMS split{split_args, nullptr, 3, 0};
    Row(
        "sSplit 1 KiB / 64",
        [&] {
          LONG count = 0;
          return tarnel->sSplit(source.get(), delims.address(), &pieces, &count);
        },
        info.get(), tarnel.get(), kSSplit, split, budget);
    const UniqueSafeArray pieces_owner(pieces);

    // scramb of a ByRef String.
    UniqueBstr word(SysAllocString(L"Meet me at noon"));
    VARIANTARG scramb_args[1] = {Ref(VT_BSTR, word.address())};
    DISPPARAMS scramb{scramb_args, nullptr, 1, 0};
    Row(
        "scramb ByRef String",
        [&] {
          UniqueBstr result;
          return tarnel->scramb(word.address(), result.put());
        },
        info.get(), tarnel.get(), kScramb, scramb, budget);

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
