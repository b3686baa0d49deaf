// Line input on POSIX: libedit's readline interface, with history for the session.
#include <editline/readline.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "cli/console.h"

namespace corvane::cli {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

bool InteractiveInput() {
  return ::isatty(STDIN_FILENO) == 1;
}

int RunInteractive(Shell& shell) {
  int failures = 0;
  bool leave = false;
  while (!leave) {
    std::unique_ptr<char, decltype(&std::free)> line(readline("corvane> "), &std::free);
    if (!line) break;
    if (*line != 0) add_history(line.get());
    failures += shell.Run(line.get(), &leave) ? 0 : 1;
  }
  return failures;
}

}  // namespace corvane::cli
