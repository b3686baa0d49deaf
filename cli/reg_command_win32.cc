// `corvane reg` on Windows: the registry is the system's own.
#include <cstdio>

#include "cli/reg_command.h"

namespace corvane::cli {

int RunReg(const RegRequest&) {
  std::fputs(
      "corvane reg: this build uses the Windows registry; use reg.exe (query, add, delete, "
      "export, import) or regedit\n",
      stderr);
  return 2;
}

int AfterClasses(int status) {
  return status;
}

int UseStore(const std::string& path, bool) {
  if (path.empty()) return 0;
  std::fputs("corvane: this build uses the Windows registry; --store is for the Linux build\n",
             stderr);
  return 2;
}

}  // namespace corvane::cli
