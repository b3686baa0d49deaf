// The local clock and the message pump on POSIX systems. There are no window messages: the
// pump processes nothing and waits by sleeping; a host with an event loop installs its own.
#include <time.h>

#include <chrono>
#include <thread>

#include "corvane/clock.h"

namespace corvane::platform {
namespace {

class PosixClock final : public Clock {
 public:
  rt::LocalTime Now() override {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    return {local.tm_year + 1900,
            local.tm_mon + 1,
            local.tm_mday,
            local.tm_hour,
            local.tm_min,
            local.tm_sec,
            static_cast<int>(now.tv_nsec / 1000000)};
  }
  String DateSeparator() override { return u"/"; }
  String TimeSeparator() override { return u":"; }
};

class PosixPump final : public MessagePump {
 public:
  void ProcessWaiting() override {}
  void WaitForMessage(int milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
};

}  // namespace

Clock& SystemClock() {
  static PosixClock clock;
  return clock;
}

MessagePump& SystemPump() {
  static PosixPump pump;
  return pump;
}

}  // namespace corvane::platform
