// The actions of `corvane reg` on the store, and the helpers they share.
#pragma once

#include <string>
#include <vector>

#include "cli/reg_command.h"
#include "registry/registry_store.h"

namespace corvane::cli {

using registry::RegistryStore;
using registry::Result;

// Says on standard error that `what` failed with the registry's result `result`; returns 1.
int Failed(const std::string& what, Result result);
// Reads a key path argument (HKEY_CURRENT_USER\..., HKCU\...); 0, or 2 after saying why.
int KeyArgument(const std::string& text, Long* root, std::vector<String>* path);

// One key or value: query (with --value, only that value), add, delete. 0, or 1 after saying
// why, as reg.exe.
int QueryAction(RegistryStore& store, const RegRequest& request);
int AddAction(RegistryStore& store, const RegRequest& request);
int DeleteAction(RegistryStore& store, const RegRequest& request);

}  // namespace corvane::cli
