// The embedded registry store of the native library: one SQLite file that answers the registry
// calls as Windows does.
//
// The platform's store is $CORVANE_REGISTRY, else $XDG_DATA_HOME/corvane/registry.db, else
// ~/.local/share/corvane/registry.db. A host that wants another file opens it and installs it
// (InstallRegistry, corvane/registry_api.h) before the first call, and keeps it open while it is
// installed.
#pragma once

#include <memory>
#include <string>

#include "corvane/export.h"
#include "corvane/key.h"
#include "corvane/registry_api.h"

namespace corvane::registry {

// The store in the file at `path`, made when missing. Never fails: a store that cannot be used
// (missing folder, read-only, not a database, damaged) answers every call with an error result
// and says once which file and why, where the library's messages go (corvane/messages.h).
CORVANE_API std::unique_ptr<RegistryApi> OpenStore(const std::string& path);
// The same for a host that wants to know: null when the store cannot be used, with `ec` its
// result (1016 it cannot be opened, 5 another user could reach it, 1015 damaged, 1017 another
// program's database) and `why`, when given, the reason in words; nothing is said.
CORVANE_API std::unique_ptr<RegistryApi> OpenStore(const std::string& path, std::error_code& ec,
                                                   std::string* why = nullptr);

// The file the platform's store uses; creates its folder when missing.
CORVANE_API std::string DefaultStorePath();

}  // namespace corvane::registry
