// The installed ports, the platform's own unless a host installed others.
#include "platform/clock.h"

namespace corvane::platform {
namespace {

Clock* g_clock = nullptr;
MessagePump* g_pump = nullptr;

}  // namespace

Clock& CurrentClock() {
  return g_clock != nullptr ? *g_clock : SystemClock();
}
MessagePump& CurrentPump() {
  return g_pump != nullptr ? *g_pump : SystemPump();
}
void InstallClock(Clock* clock) {
  g_clock = clock;
}
void InstallPump(MessagePump* pump) {
  g_pump = pump;
}

}  // namespace corvane::platform
