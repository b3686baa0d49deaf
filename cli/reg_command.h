// `corvane reg`: looking into the registry store, one key or value at a time or as .reg files,
// and keeping the whole store safe. The store is the POSIX build's registry; the Windows build
// answers that its registry is the system's (use regedit there).
#pragma once

#include <optional>
#include <string>

namespace corvane::cli {

struct RegRequest {
  std::string action;     // show, export, import, dump, restore, check, query, add, delete
  std::string key;        // show, export, query, add, delete: "HKEY_CURRENT_USER\Software\..."
  std::string file;       // export, import, dump, restore
  bool regedit4 = false;  // export: the REGEDIT4 format instead of Version 5.00
  std::optional<std::string> value;  // query, add, delete: one value ("" the default value)
  std::string type;                  // add: REG_SZ (when empty), REG_DWORD, ...
  std::optional<std::string> data;   // add: the value's data, written as reg.exe takes it
  bool json = false;                 // query: one JSON object
};

// Runs the request on the store in use; the process's exit status (0, 1 failed, 2 usage).
int RunReg(const RegRequest& request);

// Chooses the store for what follows: the file `path`, or (when empty) the default one
// (CORVANE_REGISTRY, else the user's own). With `for_classes` (call, shell) it becomes the
// process's registry, opened by the classes' first registry call (see AfterClasses). 0, or the exit
// status after saying why: 1 for a store that is a folder, a device or unreadable, or that cannot
// be used; 2 for --store on a build whose registry is the system's (Windows).
int UseStore(const std::string& path, bool for_classes);
// After the classes ran: 1 when they opened a store that could not be used (it said why), else
// `status`.
int AfterClasses(int status);

}  // namespace corvane::cli
