// Tarnel's splitters with a typed caller's SAFEARRAY(BSTR)*, and a real timed pause during
// which a message posted from another thread is handled.
#include <atomic>
#include <thread>
#include <vector>

#include "tests/com/com_support.h"

namespace corvane::comtest {
namespace {

TEST(TarnelTyped, SplitsResizesTheCallersArrayInPlaceOrRefusesIt) {
  auto tarnel = NewTarnel();
  struct Row {
    const char* name;
    SAFEARRAY* array;
    short result;
    std::vector<std::wstring> after;
  };
  SAFEARRAY* fixed = BstrArray({L"f"});
  fixed->fFeatures |= FADF_FIXEDSIZE;
  SAFEARRAYBOUND square[2] = {{2, 0}, {2, 0}};
  const Row rows[] = {
      {"undimensioned (null)", nullptr, 0, {L"ab", L"cd"}},
      {"existing, cut to the elements stored", BstrArray({L"x", L"y", L"z"}), 0, {L"ab", L"cd"}},
      {"fixed size", fixed, 10, {L"f"}},
      {"lower bound 1", BstrArray({L"x"}, 1), 9, {L"x"}},
      {"two dimensions", SafeArrayCreate(VT_BSTR, 2, square), 9, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    SAFEARRAY* array = row.array;
    UniqueBstr chaine = Bstr(L"ab,cd"), separ = Bstr(L",");
    short count = 0, result = -1;
    ASSERT_EQ(tarnel->Splits(chaine.address(), separ.address(), &array, &count, &result), S_OK);
    EXPECT_EQ(result, row.result);
    if (row.array != nullptr) {
      EXPECT_EQ(array, row.array) << "the caller's own array";
    }
    if (array == nullptr || SafeArrayGetDim(array) == 1) {
      EXPECT_EQ(Elements(array), row.after);
    }
    EXPECT_EQ(count, row.result == 0 ? 2 : 0);
    if (array != nullptr) {
      array->fFeatures &= ~FADF_FIXEDSIZE;
      SafeArrayDestroy(array);
    }
  }
}

TEST(TarnelTyped, SSplitReplacesTheArrayAndSetsTheDefaultSet) {
  auto tarnel = NewTarnel();
  SAFEARRAY* array = BstrArray({L"1", L"2", L"3", L"4"});
  UniqueBstr text = Bstr(L"a b"), delims = Bstr(L"");
  LONG result = 0;
  ASSERT_EQ(tarnel->sSplit(text.get(), delims.address(), &array, &result), S_OK);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Elements(array), (std::vector<std::wstring>{L"a", L"b"}));
  EXPECT_EQ(ToWide(delims.get()), std::wstring(L" ;\0\t\n\r", 6));
  SafeArrayDestroy(array);
}

std::atomic<DWORD> g_handled_at{0};
LONG* g_secs_to_clear = nullptr;  // the caller's secs, which the handler sets to 0

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_APP) {
    g_handled_at = GetTickCount();
    if (g_secs_to_clear != nullptr) *g_secs_to_clear = 0;
    return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

HWND MessageWindow() {
  WNDCLASSW cls{};
  cls.lpfnWndProc = RecordingProc;
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.lpszClassName = L"CorvanePauseTest";
  RegisterClassW(&cls);
  return CreateWindowW(cls.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, cls.hInstance,
                       nullptr);
}

TEST(TarnelPause, AMessagePostedDuringThePauseIsHandledBeforeItEnds) {
  HWND window = MessageWindow();
  ASSERT_NE(window, nullptr);
  auto tarnel = NewTarnel();
  g_handled_at = 0;
  g_secs_to_clear = nullptr;
  const DWORD start = GetTickCount();
  std::thread poster([window] {
    Sleep(700);
    PostMessageW(window, WM_APP, 0, 0);
  });
  LONG secs = 3;
  UniqueVariant result;
  ASSERT_EQ(tarnel->TimedPause(&secs, result.get()), S_OK);
  const DWORD end = GetTickCount();
  poster.join();
  EXPECT_EQ(V_VT(result.get()), VT_EMPTY);
  EXPECT_EQ(secs, 3);
  ASSERT_NE(g_handled_at.load(), 0u) << "the message was handled during the pause";
  EXPECT_LT(g_handled_at.load(), end);
  // More than secs - 1 seconds; the margin is the tick counter's granularity.
  EXPECT_GE(end - start, 1950u) << "more than secs - 1 seconds";
  DestroyWindow(window);
}

TEST(TarnelPause, SecsChangedByAHandlerTakesEffectAtTheNextTest) {
  HWND window = MessageWindow();
  ASSERT_NE(window, nullptr);
  auto tarnel = NewTarnel();
  LONG secs = 60;
  g_secs_to_clear = &secs;
  g_handled_at = 0;
  const DWORD start = GetTickCount();
  PostMessageW(window, WM_APP, 0, 0);
  UniqueVariant result;
  ASSERT_EQ(tarnel->TimedPause(&secs, result.get()), S_OK);
  // Not a timing check: a pause that kept reading 60 would last a minute.
  EXPECT_LT(GetTickCount() - start, 30000u);
  EXPECT_NE(g_handled_at.load(), 0u);
  g_secs_to_clear = nullptr;
  DestroyWindow(window);
}

}  // namespace
}  // namespace corvane::comtest
