// The POSIX build's registry: the store in the user's SQLite file.
#include <sys/stat.h>

#include <cstdlib>

#include "registry/key_storage_sqlite.h"
#include "corvane/store.h"
#include "registry/registry_store.h"

namespace corvane::registry {

std::unique_ptr<RegistryStore> RegistryStore::Open(const std::string& path) {
  return std::make_unique<RegistryStore>(std::make_unique<SqliteStorage>(path));
}

std::string RegistryStore::DefaultPath() {
  if (const char* named = std::getenv("CORVANE_REGISTRY"); named != nullptr && *named != 0)
    return named;
  std::string folder;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data == '/') {
    folder = data;
  } else {
    const char* home = std::getenv("HOME");
    folder = std::string(home != nullptr ? home : ".") + "/.local/share";
  }
  folder += "/corvane";
  // Each missing folder on the way is made; the store's own folder is private.
  for (size_t slash = folder.find('/', 1); slash != std::string::npos;
       slash = folder.find('/', slash + 1))
    ::mkdir(folder.substr(0, slash).c_str(), 0755);
  ::mkdir(folder.c_str(), 0700);
  return folder + "/registry.db";
}

std::unique_ptr<RegistryApi> OpenStore(const std::string& path) {
  return RegistryStore::Open(path);
}

std::string DefaultStorePath() {
  return RegistryStore::DefaultPath();
}

RegistryApi& SystemRegistry() {
  static const std::unique_ptr<RegistryStore> store =
      RegistryStore::Open(RegistryStore::DefaultPath());
  return *store;
}

}  // namespace corvane::registry
