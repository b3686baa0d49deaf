// The message box on POSIX systems. A library does not take its host's input: the message goes
// to standard error and the box returns at once. A host that wants a person to acknowledge it
// (the corvane tool's interactive shell, a desktop program's dialog) installs its own box.
#include <cstdio>
#include <string>

#include "corvane/message_box.h"
#include "corvane/messages.h"

namespace corvane::platform {
namespace {

class StandardErrorBox final : public ModalBox {
 public:
  void Show(StringView prompt) override {
    // The caption on a line of its own, then the prompt exactly as given, where the library's
    // messages go (standard error, or the host's sink).
    SayMessage("Corvane\n" + rt::ToUtf8(prompt));
  }
};

}  // namespace

ModalBox& SystemModalBox() {
  static StandardErrorBox box;
  return box;
}

}  // namespace corvane::platform
