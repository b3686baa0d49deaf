// The local clock with the locale's separators, and the calling thread's message queue.
#include <windows.h>

#include "corvane/clock.h"

namespace corvane::platform {
namespace {

String LocaleText(LCTYPE item, const char16_t* fallback) {
  wchar_t buffer[16];
  const int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, item, buffer, 16);
  if (length <= 1) return fallback;
  return String(reinterpret_cast<const char16_t*>(buffer), static_cast<size_t>(length - 1));
}

class Win32Clock final : public Clock {
 public:
  rt::LocalTime Now() override {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
  }
  String DateSeparator() override { return LocaleText(LOCALE_SDATE, u"/"); }
  String TimeSeparator() override { return LocaleText(LOCALE_STIME, u":"); }
};

class Win32Pump final : public MessagePump {
 public:
  void ProcessWaiting() override {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        // The host's own loop ends on it: put it back rather than lose it.
        PostQuitMessage(static_cast<int>(message.wParam));
        return;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  void WaitForMessage(int milliseconds) override {
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(milliseconds), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
  }
};

}  // namespace

Clock& SystemClock() {
  static Win32Clock clock;
  return clock;
}

MessagePump& SystemPump() {
  static Win32Pump pump;
  return pump;
}

}  // namespace corvane::platform
