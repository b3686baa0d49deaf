// The VFS through which the SQLite storage opens its files: the platform's, claiming each file
// (ClaimStoreFile) at the moment the engine opens it.
#include <sqlite3.h>

#include <mutex>
#include <string>
#include <string_view>

#include "registry/key_storage_sqlite.h"

namespace corvane::registry {

// The store's files are opened through a VFS of its own: the platform's, but every file the
// engine opens (the database, its write-ahead log, its journal, and the shared memory beside the
// log, whenever each is opened) is first claimed (ClaimStoreFile). A file that another user
// could reach fails the open, and the reason waits here for the call that met it.
namespace {

thread_local std::string g_refused;
sqlite3_vfs* g_platform_vfs = nullptr;
sqlite3_vfs g_claiming_vfs;

int ClaimingOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* out) {
  if (name != nullptr) {
    const bool create = (flags & SQLITE_OPEN_CREATE) != 0 && (flags & SQLITE_OPEN_EXCLUSIVE) == 0;
    std::string why = ClaimStoreFile(name, create && (flags & SQLITE_OPEN_MAIN_DB) == 0);
    const std::string_view wal = "-wal";
    if (std::string shm = name; why.empty() && (flags & SQLITE_OPEN_WAL) != 0 &&
                                shm.size() > wal.size() && shm.ends_with(wal)) {
      shm.replace(shm.size() - wal.size(), wal.size(), "-shm");
      why = ClaimStoreFile(shm, create);
    }
    if (!why.empty()) {
      g_refused = std::move(why);
      file->pMethods = nullptr;
      return SQLITE_PERM;
    }
  }
  return g_platform_vfs->xOpen(g_platform_vfs, name, file, flags, out);
}

}  // namespace

const char* ClaimingVfs() {
  static std::once_flag once;
  std::call_once(once, [] {
    g_platform_vfs = sqlite3_vfs_find(nullptr);
    g_claiming_vfs = *g_platform_vfs;
    g_claiming_vfs.zName = "corvane-claiming";
    g_claiming_vfs.xOpen = &ClaimingOpen;
    sqlite3_vfs_register(&g_claiming_vfs, 0);
  });
  return g_claiming_vfs.zName;
}

std::string TakeClaimRefusal() {
  std::string why;
  why.swap(g_refused);
  return why;
}

}  // namespace corvane::registry
