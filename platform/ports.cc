// The installed ports (clock, message pump, message box), the platform's own unless a host
// installed others. Hosts install them before their threads start; the pointers are atomic so
// that a thread never reads one half-written.
#include <atomic>

#include "corvane/clock.h"
#include "corvane/message_box.h"

namespace corvane::platform {
namespace {

std::atomic<Clock*> g_clock{nullptr};
std::atomic<MessagePump*> g_pump{nullptr};
std::atomic<ModalBox*> g_box{nullptr};

template <class Port>
Port& InstalledOr(const std::atomic<Port*>& installed, Port& own) {
  Port* port = installed.load(std::memory_order_acquire);
  return port != nullptr ? *port : own;
}

}  // namespace

Clock& CurrentClock() {
  return InstalledOr(g_clock, SystemClock());
}
MessagePump& CurrentPump() {
  return InstalledOr(g_pump, SystemPump());
}
void InstallClock(Clock* clock) {
  g_clock.store(clock, std::memory_order_release);
}
void InstallPump(MessagePump* pump) {
  g_pump.store(pump, std::memory_order_release);
}
ModalBox& CurrentModalBox() {
  return InstalledOr(g_box, SystemModalBox());
}
void InstallModalBox(ModalBox* box) {
  g_box.store(box, std::memory_order_release);
}

}  // namespace corvane::platform
