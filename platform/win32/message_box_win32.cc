// The message box on Windows: MessageBoxA, OK only, no icon, captioned with the component's
// title.
#include <windows.h>

#include "corvane/message_box.h"
#include "runtime/ansi.h"

namespace corvane::platform {
namespace {

class Win32Box final : public ModalBox {
 public:
  void Show(StringView prompt) override {
    const std::string text = rt::ToAnsi(prompt);
    MessageBoxA(nullptr, text.c_str(), "Corvane", MB_OK);
  }
};

}  // namespace

ModalBox& SystemModalBox() {
  static Win32Box box;
  return box;
}

}  // namespace corvane::platform
