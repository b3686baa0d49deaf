// Declares and Registry through COM: the real message box of a rejected key path, found by its
// caption, checked and dismissed by a watcher with a deadline; the early-bound write-back of a
// path; and repeated reads that leave no handle open in the process.
#include <atomic>
#include <string>
#include <thread>

#include "tests/com/com_support.h"

namespace corvane::comtest {
namespace {

ComPtr<_Declares> NewDeclares() {
  ComPtr<_Declares> declares;
  EXPECT_EQ(CoCreateInstance(kDeclaresClsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(_Declares),
                             reinterpret_cast<void**>(declares.put())),
            S_OK);
  return declares;
}

TEST(DeclaresCom, ARejectedPathShowsTheModalBoxUntilItIsDismissed) {
  if (GetEnvironmentVariableA("DISPLAY", nullptr, 0) == 0) GTEST_SKIP() << "no display";
  auto declares = NewDeclares();
  std::atomic<bool> seen{false}, returned{false};
  std::string text;
  std::thread watcher([&] {
    for (int waited = 0; waited < 15000; waited += 50) {
      HWND box = FindWindowA(nullptr, "Corvane");
      if (box != nullptr) {
        char buffer[256] = {};
        GetDlgItemTextA(box, 0xFFFF, buffer, sizeof buffer);
        text = buffer;
        seen = true;
        Sleep(200);
        EXPECT_FALSE(returned.load()) << "the call waits for the box";
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        return;
      }
      Sleep(50);
    }
  });
  UniqueBstr path = Bstr(L"HKEY_CURRENT_USER\\"), entry = Bstr(L"x");
  UniqueVariant result;
  EXPECT_EQ(declares->GetStringValue(path.address(), entry.address(), result.get()), S_OK);
  returned = true;
  watcher.join();
  ASSERT_TRUE(seen.load()) << "a box captioned Corvane appeared";
  EXPECT_EQ(text, "Incorrect Format:\n\nHKEY_CURRENT_USER\\");
  EXPECT_EQ(V_VT(result.get()), VT_EMPTY);
  EXPECT_EQ(ToWide(path.get()), L"HKEY_CURRENT_USER\\") << "a rejected path is left";
}

TEST(DeclaresCom, AnAcceptedPathIsWrittenBackEarlyBound) {
  auto declares = NewDeclares();
  UniqueBstr path = Bstr(L"HKEY_CURRENT_USER\\Software\\CorvaneCom");
  UniqueVariant result;
  ASSERT_EQ(declares->CreateKey(path.address(), result.get()), S_OK);
  EXPECT_EQ(ToWide(path.get()), L"Software\\CorvaneCom");
  UniqueBstr again = Bstr(L"HKEY_CURRENT_USER\\Software\\CorvaneCom");
  ASSERT_EQ(declares->DeleteKey(again.address(), result.get()), S_OK);
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\CorvaneCom", 0, KEY_READ, &key),
            ERROR_FILE_NOT_FOUND);
}

TEST(RegistryCom, RepeatedReadsLeaveNoHandleOpen) {
  ComPtr<_Registry> reg;
  ASSERT_EQ(CoCreateInstance(kRegistryClsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(_Registry),
                             reinterpret_cast<void**>(reg.put())),
            S_OK);
  LONG root = static_cast<LONG>(0x80000001u);
  UniqueBstr path = Bstr(L"Software\\CorvaneLeak"), name = Bstr(L"v"), data = Bstr(L"abc");
  ASSERT_EQ(reg->savestring(&root, path.address(), name.address(), data.address()), S_OK);
  // Wine counts no process handles (GetProcessHandleCount gives 0), but it hands out the lowest
  // free handle value: a handle opened after the reads lies far above one opened before them
  // when the reads leaked.
  const auto next_handle = [] {
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &key);
    RegCloseKey(key);
    return reinterpret_cast<ULONG_PTR>(key);
  };
  const ULONG_PTR before = next_handle();
  for (int i = 0; i < 100000; ++i) {
    UniqueVariant result;
    ASSERT_EQ(reg->getstring(&root, path.address(), name.address(), result.get()), S_OK);
    ASSERT_EQ(ToWide(V_BSTR(result.get())), L"abc");
  }
  const ULONG_PTR after = next_handle();
  EXPECT_LT(after, before + 64) << "handle before " << before << ", after " << after;
  UniqueVariant ignored;
  reg->DeleteKey(root, path.get(), ignored.get());
  EXPECT_EQ(root, static_cast<LONG>(0x80000001u)) << "hKey is never written";
}

}  // namespace
}  // namespace corvane::comtest
