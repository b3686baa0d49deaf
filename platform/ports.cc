// The installed ports (clock, message pump, message box), the platform's own unless a host
// installed others.
#include "corvane/clock.h"
#include "corvane/message_box.h"

namespace corvane::platform {
namespace {

Clock* g_clock = nullptr;
MessagePump* g_pump = nullptr;
ModalBox* g_box = nullptr;

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
ModalBox& CurrentModalBox() {
  return g_box != nullptr ? *g_box : SystemModalBox();
}
void InstallModalBox(ModalBox* box) {
  g_box = box;
}

}  // namespace corvane::platform
