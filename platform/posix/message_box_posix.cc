// The message box on POSIX systems. It waits only for a person: when standard input and
// standard error are both a terminal, it shows the message on the controlling terminal and
// waits for Enter; otherwise (a service, a pipe, a program in the background with its streams
// redirected) it prints the message on standard error and returns at once.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "corvane/message_box.h"

namespace corvane::platform {
namespace {

class TerminalBox final : public ModalBox {
 public:
  void Show(StringView prompt) override {
    // The caption on a line of its own, then the prompt exactly as given.
    const std::string text = "Corvane\n" + rt::ToUtf8(prompt);
    const int tty = ::isatty(STDIN_FILENO) == 1 && ::isatty(STDERR_FILENO) == 1
                        ? ::open("/dev/tty", O_RDWR | O_CLOEXEC)
                        : -1;
    if (tty < 0) {
      std::fprintf(stderr, "%s\n", text.c_str());
      return;
    }
    const std::string shown = text + "\n[OK: press Enter] ";
    if (::write(tty, shown.data(), shown.size()) >= 0) {
      char c = 0;
      while (::read(tty, &c, 1) == 1 && c != '\n') {
      }
    }
    ::close(tty);
  }
};

}  // namespace

ModalBox& SystemModalBox() {
  static TerminalBox box;
  return box;
}

}  // namespace corvane::platform
