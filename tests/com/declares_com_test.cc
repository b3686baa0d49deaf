// Declares through COM: the real message box of a rejected key path, found by its caption,
// checked and dismissed by a watcher with a deadline; and the early-bound write-back of a path.
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

}  // namespace
}  // namespace corvane::comtest
