// Line input on POSIX: libedit's readline interface, with history for the session.
#include <editline/readline.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "cli/console.h"
#include "corvane/message_box.h"

namespace corvane::cli {
namespace {

// The interactive shell's message box: the prompt on the terminal, waiting for Enter.
class TerminalBox final : public platform::ModalBox {
 public:
  void Show(StringView prompt) override {
    const std::string text = "Corvane\n" + rt::ToUtf8(prompt);
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
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

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

bool InteractiveInput() {
  return ::isatty(STDIN_FILENO) == 1;
}

int RunInteractive(Shell& shell) {
  static TerminalBox box;
  platform::InstallModalBox(&box);
  int failures = 0;
  bool leave = false;
  while (!leave) {
    std::unique_ptr<char, decltype(&std::free)> line(readline("corvane> "), &std::free);
    if (!line) break;
    if (*line != 0) add_history(line.get());
    failures += shell.Run(line.get(), &leave) ? 0 : 1;
  }
  platform::InstallModalBox(nullptr);
  return failures;
}

}  // namespace corvane::cli
