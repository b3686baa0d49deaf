// Line input on POSIX: libedit's readline interface, with history kept between sessions, Tab
// completion, and Ctrl-C that stops the running statement (or the line being typed) and comes
// back to the prompt.
#include <editline/readline.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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
#include "registry/key_storage_sqlite.h"

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

constexpr off_t kHistoryBytes = 256 * 1024;  // the history file is cut to its last lines past this

// Whether the history at `path` can be used: missing, or a regular file of the user's own that
// no one else can write, in a folder of the same kind; never followed through a link, and
// opened without waiting (a named pipe would hang the shell). Says why not, once. A longer file
// than kHistoryBytes is cut to its last lines, so loading it stays quick whatever it grew to.
bool UsableHistory(const std::string& path) {
  const std::string folder = path.substr(0, path.rfind('/'));
  struct stat st {};
  std::string why = ::lstat(folder.c_str(), &st) == 0 ? registry::WhyNotOwn(folder, st, true)
                                                      : folder + " cannot be made";
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (why.empty() && fd < 0 && errno != ENOENT)
    why = path + (errno == ELOOP ? " is a symbolic link" : " cannot be read");
  if (why.empty() && fd >= 0 && ::fstat(fd, &st) == 0) why = registry::WhyNotOwn(path, st);
  if (why.empty() && fd >= 0 && st.st_size > kHistoryBytes) {
    std::string tail(static_cast<size_t>(kHistoryBytes), '\0');
    const ssize_t got = ::pread(fd, tail.data(), tail.size(), st.st_size - kHistoryBytes);
    tail.resize(got > 0 ? static_cast<size_t>(got) : 0);
    const std::string kept =
        "_HiStOrY_V2_\n" + tail.substr(std::min(tail.size(), tail.find('\n') + 1));
    const std::string made = path + ".new";
    ::unlink(made.c_str());
    const int out =
        ::open(made.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    const bool written =
        out >= 0 && ::write(out, kept.data(), kept.size()) == static_cast<ssize_t>(kept.size());
    if (out >= 0) ::close(out);
    if (!written || ::rename(made.c_str(), path.c_str()) != 0) {
      ::unlink(made.c_str());
      why = path + " is too long and cannot be cut";
    }
  }
  if (fd >= 0) ::close(fd);
  if (!why.empty()) std::fprintf(stderr, "corvane: no history kept: %s\n", why.c_str());
  return why.empty();
}

// Saves the history, readable by the user alone: a line may hold a pass phrase.
void SaveHistory(const std::string& path) {
  if (path.empty()) return;
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (fd < 0) return;
  struct stat st {};
  const bool own = ::fstat(fd, &st) == 0 && registry::WhyNotOwn(path, st).empty();
  if (own) ::fchmod(fd, 0600);
  ::close(fd);
  if (own) write_history(path.c_str());
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
  std::string history = HistoryPath();
  if (!history.empty() && !UsableHistory(history)) history.clear();
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
