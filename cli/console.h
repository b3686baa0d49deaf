// The tool's console: its arguments as UTF-8, and the shell's lines read from a person at a
// terminal, with line editing and history where the platform has them.
#pragma once

#include <string>
#include <vector>

#include "cli/session.h"

namespace corvane::cli {

// True when standard input is a terminal.
bool InteractiveInput();
// The command line as UTF-8, program name first (on Windows read as Unicode, whatever the code
// page).
std::vector<std::string> Utf8Arguments(int argc, char** argv);
// Runs the shell on lines typed at the terminal, with a prompt, until end of input or "exit";
// the number of lines that failed.
int RunInteractive(Shell& shell);

}  // namespace corvane::cli
