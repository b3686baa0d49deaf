// Line input on POSIX: libedit's readline interface, with history kept between sessions, Tab
// completion, and Ctrl-C that stops the running statement (or the line being typed) and comes
// back to the prompt.
#include <editline/readline.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "cli/console.h"
#include "corvane/clock.h"
#include "corvane/errors.h"
#include "corvane/message_box.h"

namespace corvane::cli {
namespace {

// Ctrl-C: the flag, and a pipe that wakes a pause's wait.
volatile std::sig_atomic_t g_interrupted = 0;
int g_wake[2] = {-1, -1};

void OnInterrupt(int) {
  g_interrupted = 1;
  const int saved = errno;
  if (g_wake[1] >= 0 && ::write(g_wake[1], "x", 1) < 0) {
  }
  errno = saved;
}

// Whether Ctrl-C was pressed since the last look; forgets it.
bool TakeInterrupt() {
  if (!g_interrupted) return false;
  g_interrupted = 0;
  char drained[64];
  while (::read(g_wake[0], drained, sizeof drained) > 0) {
  }
  return true;
}

// The shell's pump: a pause waits on the wake pipe, and Ctrl-C ends it with runtime error 18.
class InterruptiblePump final : public platform::MessagePump {
 public:
  void ProcessWaiting() override {
    if (TakeInterrupt()) throw rt::RuntimeError(rt::ErrorNumber::kUserInterrupt);
  }
  void WaitForMessage(int milliseconds) override {
    pollfd wake{g_wake[0], POLLIN, 0};
    ::poll(&wake, 1, milliseconds);
  }
};

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

// Where the history is kept: $XDG_STATE_HOME/corvane/history, else
// ~/.local/state/corvane/history, its folder made private when missing; "" when there is no
// home.
std::string HistoryPath() {
  const char* state = std::getenv("XDG_STATE_HOME");
  const char* home = std::getenv("HOME");
  std::string folder;
  if (state != nullptr && state[0] == '/') {
    folder = state;
  } else if (home != nullptr && home[0] == '/') {
    folder = std::string(home) + "/.local/state";
  } else {
    return "";
  }
  for (size_t at = 1; at != std::string::npos;) {
    at = folder.find('/', at + 1);
    ::mkdir(folder.substr(0, at).c_str(), 0700);
  }
  folder += "/corvane";
  ::mkdir(folder.c_str(), 0700);
  return folder + "/history";
}

// Saves the history, readable by the user alone: a line may hold a pass phrase.
void SaveHistory(const std::string& path) {
  if (path.empty()) return;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return;
  ::fchmod(fd, 0600);
  ::close(fd);
  write_history(path.c_str());
}

Shell* g_shell = nullptr;

char* NextCompletion(const char* text, int state) {
  static std::vector<std::string> matches;
  static size_t next = 0;
  if (state == 0) {
    matches = g_shell->Completions(text);
    next = 0;
  }
  return next < matches.size() ? ::strdup(matches[next++].c_str()) : nullptr;
}

char** Complete(const char* text, int, int) {
  rl_attempted_completion_over = 1;  // never file names
  return rl_completion_matches(text, NextCompletion);
}

}  // namespace

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

bool InteractiveInput() {
  return ::isatty(STDIN_FILENO) == 1;
}

int RunInteractive(Shell& shell) {
  static TerminalBox box;
  static InterruptiblePump pump;
  if (g_wake[0] < 0 && ::pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0) g_wake[0] = g_wake[1] = -1;
  struct sigaction on_interrupt {};
  on_interrupt.sa_handler = OnInterrupt;  // no SA_RESTART: a wait for Enter ends too
  sigemptyset(&on_interrupt.sa_mask);
  struct sigaction before {};
  ::sigaction(SIGINT, &on_interrupt, &before);
  platform::InstallModalBox(&box);
  platform::InstallPump(&pump);
  g_shell = &shell;
  rl_attempted_completion_function = Complete;
  rl_basic_word_break_characters = const_cast<char*>(" \t\n\"(),=&");
  const std::string history = HistoryPath();
  stifle_history(1000);
  if (!history.empty()) read_history(history.c_str());

  int failures = 0;
  bool leave = false;
  while (!leave) {
    TakeInterrupt();
    std::unique_ptr<char, decltype(&std::free)> line(readline("corvane> "), &std::free);
    if (TakeInterrupt()) {  // Ctrl-C while typing: the line is dropped, the session goes on
      std::fputs("\n", stdout);
      continue;
    }
    if (!line) break;  // Ctrl-D
    if (*line != 0) {
      add_history(line.get());
      SaveHistory(history);
    }
    failures += shell.Run(line.get(), &leave) ? 0 : 1;
  }
  std::fputs(leave ? "" : "\n", stdout);
  platform::InstallPump(nullptr);
  platform::InstallModalBox(nullptr);
  ::sigaction(SIGINT, &before, nullptr);
  return failures;
}

}  // namespace corvane::cli
