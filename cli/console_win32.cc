// Line input on Windows: the console's own line editing, through standard input.
#include <windows.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "cli/console.h"
#include "corvane/types.h"

namespace corvane::cli {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) {
    const auto* text = reinterpret_cast<const char16_t*>(wide[i]);
    out.push_back(rt::ToUtf8(text));
  }
  LocalFree(wide);
  return out;
}

bool InteractiveInput() {
  return _isatty(_fileno(stdin)) != 0;
}

int RunInteractive(Shell& shell) {
  std::fputs("corvane> ", stdout);
  std::fflush(stdout);
  return shell.RunAll(stdin);
}

}  // namespace corvane::cli
