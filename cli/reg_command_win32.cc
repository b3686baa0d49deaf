// `corvane reg` on Windows: the registry is the system's own.
#include <cstdio>

#include "cli/reg_command.h"

namespace corvane::cli {

int RunReg(const RegRequest&) {
  std::fputs(
      "corvane reg: this build uses the Windows registry; use regedit to show, export and "
      "import keys\n",
      stderr);
  return 2;
}

bool SelectStore(const std::string&, std::string& why) {
  why = "this build uses the Windows registry; --store is for the Linux build";
  return false;
}

}  // namespace corvane::cli
