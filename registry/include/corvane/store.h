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
#include "corvane/registry_api.h"

namespace corvane::registry {

// The store in the file at `path`, made when missing. Never fails: a store that cannot be used
// (missing folder, read-only, not a database, damaged) answers every call with an error result
// and says once on standard error which file and why.
CORVANE_API std::unique_ptr<RegistryApi> OpenStore(const std::string& path);

// The file the platform's store uses; creates its folder when missing.
CORVANE_API std::string DefaultStorePath();

}  // namespace corvane::registry
