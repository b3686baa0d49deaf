// `corvane reg`: looking into the registry store, moving keys in and out as .reg files, and
// keeping the whole store safe. The store is the POSIX build's registry; the Windows build
// answers that its registry is the system's (use regedit there).
#pragma once

#include <string>

namespace corvane::cli {

struct RegRequest {
  std::string action;     // show, export, import, dump, restore, check
  std::string key;        // show, export: "HKEY_CURRENT_USER\Software\..." (or HKCU\...)
  std::string file;       // export, import, dump, restore
  bool regedit4 = false;  // export: the REGEDIT4 format instead of Version 5.00
};

// Runs the request on the store in use; the process's exit status (0, 1 failed, 2 usage).
int RunReg(const RegRequest& request);

// Makes the store at `path` the registry of this process. False, with `why`, where there is no
// store to choose (Windows).
bool SelectStore(const std::string& path, std::string& why);

}  // namespace corvane::cli
