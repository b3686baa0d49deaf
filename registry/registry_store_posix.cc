// The POSIX build's registry: the store in the user's SQLite file.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "corvane/messages.h"
#include "corvane/store.h"
#include "registry/key_storage_sqlite.h"
#include "registry/registry_store.h"

namespace corvane::registry {

namespace {

std::string OwnerName(uid_t uid) {
  const passwd* pw = ::getpwuid(uid);
  return (pw != nullptr ? std::string(pw->pw_name) + " " : std::string()) + "(uid " +
         std::to_string(uid) + ")";
}

}  // namespace

std::string WhyNotOwn(const std::string& file, const struct stat& st, bool folder) {
  if (S_ISLNK(st.st_mode)) return file + " is a symbolic link";
  if (folder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode))
    return file + (folder ? " is not a folder" : " is not a regular file");
  if (st.st_uid != ::geteuid())
    return file + " belongs to user " + OwnerName(st.st_uid) + ", not to you";
  if ((st.st_mode & 022) != 0) return file + " can be written by other users";
  return "";
}

// Whether no other user can reach the store: the file and its side files (write-ahead log,
// shared memory, journal) are this user's own, no symbolic link and no file that others can
// write; the folder is one that others cannot write, or a sticky one (where no one else can
// replace this user's files). A reason to refuse, or "".
std::string WhoElseCanReach(const std::string& path, const std::string& folder) {
  for (const char* side : {"", "-wal", "-shm", "-journal"}) {
    const std::string file = path + side;
    struct stat st {};
    if (::lstat(file.c_str(), &st) != 0) continue;
    if (std::string why = WhyNotOwn(file, st); !why.empty()) return why;
  }
  struct stat st {};
  if (::stat(folder.c_str(), &st) == 0 && (st.st_mode & 022) != 0 && (st.st_mode & S_ISVTX) == 0)
    return "its folder " + folder +
           " can be written by other users; keep the store in a folder of your own";
  return "";
}

// The same, for one file at the moment the engine is about to open it: the file is made here
// (mode 0600, never through a link) where it is missing and `create` allows, else looked at
// through a descriptor of its own. Once a file of this user's stands at the name, no one else
// can put another in its place (the folder is this user's, or sticky), so the engine's open
// that follows gets this very file.
std::string ClaimStoreFile(const std::string& file, bool create) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT && create) {
      fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
      if (fd < 0 && errno == EEXIST) continue;  // another made it meanwhile: look at it
    }
    if (fd < 0) {
      if (errno == ELOOP) return file + " is a symbolic link";
      return "";  // missing, or not to be opened: the engine answers for it
    }
    struct stat st {};
    const int rc = ::fstat(fd, &st);
    ::close(fd);
    if (rc != 0) return file + " cannot be looked at";
    return WhyNotOwn(file, st);
  }
  return file + " keeps changing";
}

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

std::unique_ptr<RegistryApi> OpenStore(const std::string& path, std::error_code& ec,
                                       std::string* why) {
  std::string said;
  std::unique_ptr<RegistryStore> store;
  {
    const MessageCapture capture(&said);
    store = RegistryStore::Open(path);
    ec = MakeError(store->health());
  }
  if (!ec) return store;
  while (!said.empty() && said.back() == '\n') said.pop_back();
  if (why != nullptr) *why = said.empty() ? ec.message() : said;
  return nullptr;
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
