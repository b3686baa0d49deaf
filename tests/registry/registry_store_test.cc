// The embedded store as a file: where it lives and with which modes, stores that cannot be
// used, writes that survive a killed writer, and several processes writing at once.
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "corvane/messages.h"
#include "corvane/store.h"
#include "registry/key_storage_sqlite.h"
#include "registry/registry_store.h"
#include "regtool/store_maintenance.h"

namespace corvane::registry {
namespace {

std::string Scratch(const std::string& name) {
  const std::string path = ::testing::TempDir() + "corvane-store-" + name;
  std::system(("rm -rf '" + path + "'").c_str());
  return path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

Result SetText(RegistryApi& api, Long key, const std::string& name, const std::string& text) {
  return api.SetValueEx(key, name.c_str(), 0, kRegSz,
                        reinterpret_cast<const uint8_t*>(text.c_str()),
                        static_cast<uint32_t>(text.size() + 1));
}

std::string GetText(RegistryApi& api, Long key, const std::string& name) {
  char buffer[64] = {};
  uint32_t count = sizeof buffer;
  if (api.QueryValueEx(key, name.c_str(), nullptr, nullptr, reinterpret_cast<uint8_t*>(buffer),
                       &count) != kSuccess)
    return "<missing>";
  return buffer;
}

TEST(RegistryStore, DefaultPlaceIsPrivate) {
  const std::string home = Scratch("xdg");
  ::mkdir(home.c_str(), 0755);
  ::setenv("XDG_DATA_HOME", home.c_str(), 1);
  ::unsetenv("CORVANE_REGISTRY");
  const std::string path = RegistryStore::DefaultPath();
  EXPECT_EQ(path, home + "/corvane/registry.db");
  auto store = RegistryStore::Open(path);
  EXPECT_EQ(store->health(), kSuccess);
  struct stat folder {
  }, file{};
  ASSERT_EQ(::stat((home + "/corvane").c_str(), &folder), 0);
  ASSERT_EQ(::stat(path.c_str(), &file), 0);
  EXPECT_EQ(folder.st_mode & 0777, 0700u);
  EXPECT_EQ(file.st_mode & 0777, 0600u);
  ::setenv("CORVANE_REGISTRY", "/elsewhere/store.db", 1);
  EXPECT_EQ(RegistryStore::DefaultPath(), "/elsewhere/store.db");
  ::unsetenv("CORVANE_REGISTRY");
  ::unsetenv("XDG_DATA_HOME");
}

TEST(RegistryStore, AStoreThatCannotBeUsedAnswersEveryCallAndIsLeftAlone) {
  const std::string folder = Scratch("bad");
  ::mkdir(folder.c_str(), 0700);
  const std::string not_a_database = folder + "/text.db";
  std::ofstream(not_a_database) << std::string(4096, 'x');
  const std::string read_only = folder + "/readonly.db";
  RegistryStore::Open(read_only).reset();  // a sound, empty store
  ::chmod(read_only.c_str(), 0400);
  const std::string truncated = folder + "/truncated.db";
  {
    auto store = RegistryStore::Open(truncated);
    Long key = 0;
    store->CreateKey(kCurrentUser, "Software\\Big", &key);
    for (int i = 0; i < 200; ++i)
      SetText(*store, key, "v" + std::to_string(i), std::string(500, 'a'));
  }
  ::truncate(truncated.c_str(), 3 * 4096);

  struct Row {
    const char* name;
    std::string path;
    Result expected;
  };
  const Row rows[] = {
      {"missing folder", folder + "/missing/store.db", 1016},
      {"not a database", not_a_database, 1015},
      {"truncated database", truncated, 1015},
  };
  // Opening does not scan the file: damage past its first pages is found by the calls that
  // meet it, and said then.
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string before = ReadFile(row.path);
    ::testing::internal::CaptureStderr();
    auto store = RegistryStore::Open(row.path);
    Long key = 0;
    EXPECT_EQ(store->OpenKeyEx(kCurrentUser, "Software", 0, kKeyRead, &key), row.expected);
    EXPECT_EQ(SetText(*store, kCurrentUser, "v", "x"), row.expected);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(row.path), std::string::npos) << said;
    EXPECT_EQ(said.find(row.path), said.rfind(row.path)) << "said once: " << said;
    store.reset();
    EXPECT_EQ(ReadFile(row.path), before) << "nothing overwritten";
  }
  // A host that wants to know: why, without a word on standard error; and the messages taken.
  for (const Row& row : {rows[0], rows[1]}) {
    SCOPED_TRACE(row.name);
    std::error_code ec;
    std::string why;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(OpenStore(row.path, ec, &why), nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(ec, MakeError(row.expected));
    EXPECT_NE(why.find(row.path), std::string::npos) << why;
  }
  std::string taken;
  SetMessageSink([](const char* message, void* into) { *static_cast<std::string*>(into) += message; },
                 &taken);
  ::testing::internal::CaptureStderr();
  RegistryStore::Open(not_a_database).reset();
  RestoreStandardErrorMessages();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_NE(taken.find(not_a_database + " cannot be used"), std::string::npos) << taken;
  if (::geteuid() != 0) {  // root writes through any mode
    ::testing::internal::CaptureStderr();
    auto store = RegistryStore::Open(read_only);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(store->health(), kAccessDenied);
  }
}

// Another user plants a side file in a sticky shared folder after the store was checked, in
// the moment before the engine opens that file (the store's first statement, through the
// fault seam): the engine's open is refused, and nothing written reaches the planted file.
std::string g_planted;

int PlantAsNobody(const char*) {
  if (g_planted.empty()) return 0;
  const passwd* other = ::getpwnam("nobody");
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(other->pw_gid) != 0 || ::setuid(other->pw_uid) != 0) ::_exit(1);
    ::umask(0);
    ::_exit(::open(g_planted.c_str(), O_CREAT | O_EXCL | O_RDWR, 0666) >= 0 ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "planting " << g_planted;
  g_planted.clear();
  return 0;
}

TEST(RegistryStore, ASideFilePlantedAfterTheCheckIsRefusedWhenTheEngineOpensIt) {
  if (::geteuid() != 0 || ::getpwnam("nobody") == nullptr)
    GTEST_SKIP() << "a second user's files need root and the user nobody";
  const std::string folder = Scratch("sticky");
  ::mkdir(folder.c_str(), 01777);
  ::chmod(folder.c_str(), 01777);
  const std::string path = folder + "/p.db";
  for (const std::string side : {"-wal", "-shm"}) {
    SCOPED_TRACE(side);
    {
      auto store = RegistryStore::Open(path);
      ASSERT_EQ(SetText(*store, kCurrentUser, "first", "x"), kSuccess);
    }
    ::unlink((path + side).c_str());
    g_planted = path + side;
    SetStoreFault(&PlantAsNobody);
    ::testing::internal::CaptureStderr();
    auto store = RegistryStore::Open(path);
    SetStoreFault(nullptr);
    EXPECT_EQ(SetText(*store, kCurrentUser, "secret", "alice secret value"), kAccessDenied);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("p.db" + side + " belongs to user nobody"), std::string::npos) << said;
    store.reset();
    EXPECT_EQ(ReadFile(path + side), "") << "nothing reached the planted file";
    ::unlink((path + side).c_str());
  }
}

// A writer killed at 100 random moments (a fixed seed, so a failure can be replayed): every write
// it acknowledged is there afterwards, and the store passes its integrity check each time.
TEST(RegistryStore, AKilledWriterLosesNoAcknowledgedWrite) {
  const std::string path = Scratch("durable.db");
  unsigned seed = 20261208;
  for (int round = 0; round < 100; ++round) {
    SCOPED_TRACE(round);
    int acknowledged[2];
    ASSERT_EQ(::pipe(acknowledged), 0);
    const pid_t writer = ::fork();
    if (writer == 0) {
      auto store = RegistryStore::Open(path);
      Long key = 0;
      store->CreateKey(kCurrentUser, "Software\\Durable", &key);
      for (int i = 0;; ++i) {
        const std::string name = "r" + std::to_string(round) + "-" + std::to_string(i);
        if (SetText(*store, key, name, name) != kSuccess) ::_exit(1);
        if (::write(acknowledged[1], &i, sizeof i) != sizeof i) ::_exit(1);
      }
    }
    ::close(acknowledged[1]);
    ::usleep(2000 + ::rand_r(&seed) % 60000);
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    int last = -1, i = 0;
    while (::read(acknowledged[0], &i, sizeof i) == sizeof i)
      last = i;
    ::close(acknowledged[0]);
    auto store = RegistryStore::Open(path);
    ASSERT_EQ(store->health(), kSuccess);
    const StoreReport report = CheckStore(*store);
    ASSERT_TRUE(report.problems.empty()) << report.problems[0];
    if (last < 0) continue;  // killed before its first write was acknowledged
    Long key = 0;
    ASSERT_EQ(store->OpenKeyEx(kCurrentUser, "Software\\Durable", 0, kKeyRead, &key), kSuccess);
    for (int k = 0; k <= last; ++k) {
      const std::string name = "r" + std::to_string(round) + "-" + std::to_string(k);
      ASSERT_EQ(GetText(*store, key, name), name);
    }
    store->CloseKey(key);
  }
}

TEST(RegistryStore, FourProcessesWritingAtOnceLoseNothing) {
  const std::string path = Scratch("shared.db");
  RegistryStore::Open(path).reset();
  constexpr int kProcesses = 4, kWrites = 10000;
  pid_t children[kProcesses];
  for (int p = 0; p < kProcesses; ++p) {
    children[p] = ::fork();
    if (children[p] == 0) {
      auto store = RegistryStore::Open(path);
      Long key = 0;
      if (store->CreateKey(kCurrentUser, "Software\\Shared", &key) != kSuccess) ::_exit(2);
      for (int i = 0; i < kWrites; ++i) {
        const std::string name = "p" + std::to_string(p) + "-" + std::to_string(i);
        if (const Result r = SetText(*store, key, name, name); r != kSuccess) {
          std::fprintf(stderr, "writer %d: write %d answered %d\n", p, i, static_cast<int>(r));
          ::_exit(3);
        }
      }
      ::_exit(0);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  auto store = RegistryStore::Open(path);
  Long key = 0;
  ASSERT_EQ(store->OpenKeyEx(kCurrentUser, "Software\\Shared", 0, kKeyRead, &key), kSuccess);
  int present = 0;
  for (int p = 0; p < kProcesses; ++p)
    for (int i = 0; i < kWrites; ++i) {
      const std::string name = "p" + std::to_string(p) + "-" + std::to_string(i);
      present += GetText(*store, key, name) == name ? 1 : 0;
    }
  EXPECT_EQ(present, kProcesses * kWrites);
}

// Another process's long write: a connection of its own that holds the file's write lock.
class HeldWriteLock {
 public:
  explicit HeldWriteLock(const std::string& path) {
    sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    held_ = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  ~HeldWriteLock() {
    Release();
    sqlite3_close(db_);
  }
  bool held() const { return held_; }
  void Release() {
    if (held_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    held_ = false;
  }

 private:
  sqlite3* db_ = nullptr;
  bool held_ = false;
};

// While another process writes, a store opens sound and reads without waiting; a write waits
// out one deadline and answers 1016 once; the next call starts afresh. A new file caught busy
// while it is set up is not kept as unusable either.
TEST(RegistryStore, AnotherProcessWritingSpoilsNoOpenAndNoRead) {
  const std::string path = Scratch("busy.db");
  {
    auto store = RegistryStore::Open(path);
    Long key = 0;
    ASSERT_EQ(store->CreateKey(kCurrentUser, "Software\\Busy", &key), kSuccess);
    ASSERT_EQ(SetText(*store, key, "v", "kept"), kSuccess);
  }
  RegistryStore::SetCallBudget(std::chrono::milliseconds(300));
  {
    HeldWriteLock writer(path);
    ASSERT_TRUE(writer.held());
    auto store = RegistryStore::Open(path);
    EXPECT_EQ(store->health(), kSuccess);
    Long key = 0;
    ASSERT_EQ(store->OpenKeyEx(kCurrentUser, "Software\\Busy", 0, kKeyAllAccess, &key), kSuccess);
    EXPECT_EQ(GetText(*store, key, "v"), "kept");
    EXPECT_EQ(SetText(*store, key, "v", "new"), 1016);
    writer.Release();
    EXPECT_EQ(SetText(*store, key, "v", "new"), kSuccess);
    EXPECT_EQ(GetText(*store, key, "v"), "new");
  }
  const std::string fresh = Scratch("busy-new.db");
  {
    HeldWriteLock writer(fresh);
    ASSERT_TRUE(writer.held());
    ::testing::internal::CaptureStderr();
    auto store = RegistryStore::Open(fresh);
    Long key = 0;
    EXPECT_EQ(store->CreateKey(kCurrentUser, "Software\\New", &key), 1016);
    writer.Release();
    EXPECT_EQ(store->CreateKey(kCurrentUser, "Software\\New", &key), kSuccess);
    EXPECT_EQ(store->health(), kSuccess);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "a busy moment is no fault";
  }
  RegistryStore::SetCallBudget(std::chrono::seconds(10));
}

// A handle whose key another process deleted writes nothing and answers 1018; the file itself
// refuses an orphan, whoever writes to it.
TEST(RegistryStore, NoValueOutlivesItsKey) {
  const std::string path = Scratch("orphans.db");
  auto writer = RegistryStore::Open(path);
  auto deleter = RegistryStore::Open(path);
  Long key = 0, child = 0;
  ASSERT_EQ(writer->CreateKey(kCurrentUser, "Software\\Gone", &key), kSuccess);
  ASSERT_EQ(SetText(*writer, key, "v", "x"), kSuccess);
  ASSERT_EQ(deleter->DeleteKey(kCurrentUser, "Software\\Gone"), kSuccess);
  EXPECT_EQ(SetText(*writer, key, "w", "y"), kKeyDeleted);
  EXPECT_EQ(writer->DeleteValue(key, "v"), kKeyDeleted);
  EXPECT_EQ(writer->CreateKey(key, "child", &child), kKeyDeleted);
  EXPECT_EQ(writer->CloseKey(key), kSuccess);

  ASSERT_EQ(SetText(*writer, kCurrentUser, "kept", "x"), kSuccess);
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
  const struct {
    const char* sql;
    bool refused;
  } rows[] = {
      {"INSERT INTO vals(key, name, fold, type, data, seq) VALUES(99999, 'v', 'V', 1, x'', 1)",
       true},
      {"INSERT INTO keys(parent, name, fold) VALUES(99999, 'k', 'K')", true},
      {"UPDATE vals SET key = 99999", true},
      {"DELETE FROM keys WHERE id = 4", true},  // HKEY_USERS, which holds HKEY_CURRENT_USER
  };
  for (const auto& row : rows)
    EXPECT_EQ(sqlite3_exec(raw, row.sql, nullptr, nullptr, nullptr) != SQLITE_OK, row.refused)
        << row.sql;
  sqlite3_close(raw);
  const StoreReport report = CheckStore(*writer);
  EXPECT_TRUE(report.problems.empty()) << report.problems[0];
}

// A store written before the guards gets them at its first open, and is then opened without a
// write, also beside another process's write.
TEST(RegistryStore, AnOlderStoreGetsTheGuardsOnce) {
  const std::string path = Scratch("older.db");
  ASSERT_EQ(SetText(*RegistryStore::Open(path), kLocalMachine, "kept", "before"), kSuccess);
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(raw,
                         "DROP TRIGGER vals_need_key; DROP TRIGGER keys_need_parent;"
                         " PRAGMA user_version = 0",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  // With no room for the upgrade, it is read as it is and says why it stays at its version.
  SetStoreFault([](const char* sql) { return std::strcmp(sql, "COMMIT") == 0 ? SQLITE_FULL : 0; });
  ::testing::internal::CaptureStderr();
  auto full = RegistryStore::Open(path);
  SetStoreFault(nullptr);
  EXPECT_EQ(full->health(), kSuccess);
  EXPECT_EQ(GetText(*full, kLocalMachine, "kept"), "before");
  EXPECT_EQ(SetText(*full, kLocalMachine, "kept", "after"), 112);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("stays at version 0: there is no room"),
            std::string::npos);
  full.reset();
  auto store = RegistryStore::Open(path);
  EXPECT_EQ(store->health(), kSuccess);
  EXPECT_EQ(GetText(*store, kLocalMachine, "kept"), "before");
  EXPECT_NE(sqlite3_exec(raw, "INSERT INTO keys(parent, name, fold) VALUES(99999, 'k', 'K')",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  store.reset();
  HeldWriteLock writer(path);
  ASSERT_TRUE(writer.held());
  EXPECT_EQ(RegistryStore::Open(path)->health(), kSuccess) << "set up: opened without a write";
  sqlite3_close(raw);
}

// The seam's answer, for the statements that `g_pattern` names, `g_remaining` times (-1: always).
int g_answer = 0;
int g_remaining = 0;
const char* g_pattern = "";

int Injected(const char* sql) {
  if (g_remaining == 0 || std::strstr(sql, g_pattern) == nullptr) return 0;
  if (g_remaining > 0) --g_remaining;
  return g_answer;
}

TEST(RegistryStore, FaultsGiveAnErrorResultAndLoseNothing) {
  auto store = RegistryStore::Open(Scratch("faults.db"));
  Long key = 0;
  ASSERT_EQ(store->CreateKey(kCurrentUser, "Software\\Faults", &key), kSuccess);
  ASSERT_EQ(SetText(*store, key, "kept", "before"), kSuccess);
  enum class Op { kSet, kDelete, kCreate };
  struct Row {
    const char* name;
    int answer;
    const char* pattern;  // the statements that fail
    Op op;
    Result expected;
  };
  const Row rows[] = {
      {"disk full at commit", SQLITE_FULL, "COMMIT", Op::kSet, 112},
      {"I/O error in the write", SQLITE_IOERR, "INSERT INTO vals", Op::kSet, 1016},
      {"read-only at begin", SQLITE_READONLY, "BEGIN", Op::kDelete, kAccessDenied},
      {"busy for good", SQLITE_BUSY, "BEGIN", Op::kCreate, 1016},
      {"I/O error creating a key", SQLITE_IOERR, "INSERT INTO keys", Op::kCreate, 1016},
      {"corrupt on read", SQLITE_CORRUPT, "SELECT", Op::kSet, 1015},
  };
  SetStoreFault(&Injected);
  RegistryStore::SetCallBudget(std::chrono::milliseconds(200));  // "busy for good" waits it out
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    g_answer = row.answer;
    g_pattern = row.pattern;
    g_remaining = -1;
    Long child = 0;
    const Result result = row.op == Op::kSet      ? SetText(*store, key, "kept", "after")
                          : row.op == Op::kDelete ? store->DeleteValue(key, "kept")
                                                  : store->CreateKey(key, "child\\deep", &child);
    g_remaining = 0;
    EXPECT_EQ(result, row.expected);
    EXPECT_EQ(GetText(*store, key, "kept"), "before") << "nothing stored was lost or changed";
    EXPECT_EQ(store->OpenKeyEx(key, "child", 0, kKeyRead, &child), kFileNotFound)
        << "a failed create leaves no half-made key";
  }
  // Busy a few times, then free: the retries carry the write through.
  g_answer = SQLITE_BUSY;
  g_pattern = "BEGIN";
  g_remaining = 3;
  EXPECT_EQ(SetText(*store, key, "kept", "after"), kSuccess);
  SetStoreFault(nullptr);
  RegistryStore::SetCallBudget(std::chrono::seconds(10));
  EXPECT_EQ(GetText(*store, key, "kept"), "after");
  store->CloseKey(key);
}

TEST(RegistryStore, RootsAndHandlesAnswerAsWindowsDoes) {
  auto store = RegistryStore::Open(Scratch("roots.db"));
  Long key = 0;
  uint32_t count = 7;
  EXPECT_EQ(store->OpenKeyEx(kPerformanceData, "x", 0, kKeyRead, &key), kInvalidHandle);
  EXPECT_EQ(store->QueryValueEx(kPerformanceData, "x", nullptr, nullptr, nullptr, &count),
            kMoreData);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(store->CloseKey(kPerformanceData), kSuccess);
  EXPECT_EQ(store->CreateKey(kDynData, "x", &key), kInvalidHandle);
  // Under HKEY_CLASSES_ROOT one leading backslash is skipped; elsewhere it is refused.
  EXPECT_EQ(store->CreateKey(kClassesRoot, "\\Corvane.Test", &key), kSuccess);
  store->CloseKey(key);
  EXPECT_EQ(store->CreateKey(kCurrentUser, "\\Software", &key), kBadPathname);
  // Key names up to 256 characters, trees 512 levels deep, data up to 32 MiB.
  EXPECT_EQ(store->CreateKey(kCurrentUser, std::string(256, 'k').c_str(), &key), kSuccess);
  store->CloseKey(key);
  EXPECT_EQ(store->CreateKey(kCurrentUser, std::string(257, 'k').c_str(), &key), kInvalidParameter);
  std::string levels;
  for (int i = 0; i < 511; ++i)
    levels += "l\\";
  Long deep = 0;
  ASSERT_EQ(store->CreateKey(kCurrentUser, levels.c_str(), &deep), kSuccess);  // 511 levels
  EXPECT_EQ(store->CreateKey(deep, "last", &key), kSuccess);                   // the 512th
  store->CloseKey(key);
  EXPECT_EQ(store->CreateKey(deep, "last\\past", &key), kInvalidParameter);
  EXPECT_EQ(store->CreateKey(kCurrentUser, (levels + "x\\y").c_str(), &key), kInvalidParameter);
  store->CloseKey(deep);
  const std::string most(kMaxData, 'd');
  const auto* bytes = reinterpret_cast<const uint8_t*>(most.data());
  EXPECT_EQ(store->SetValueEx(kCurrentUser, "big", 0, kRegBinary, bytes, kMaxData), kSuccess);
  EXPECT_EQ(store->SetValueEx(kCurrentUser, "big", 0, kRegBinary, bytes, kMaxData + 1),
            kInvalidParameter);
  // Handles are positive, distinct and not reused while open; none leaks.
  Long a = 0, b = 0;
  store->OpenKeyEx(kCurrentUser, "", 0, kKeyRead, &a);
  store->CreateKey(kCurrentUser, "Software", &a);
  store->CreateKey(kCurrentUser, "Software", &b);
  EXPECT_GT(a, 0);
  EXPECT_NE(a, b);
  EXPECT_EQ(store->open_handles(), 2u);
  store->CloseKey(a);
  store->CloseKey(b);
  EXPECT_EQ(store->open_handles(), 0u);
}

}  // namespace
}  // namespace corvane::registry

namespace corvane::registry {
namespace {

// A view's key removed and made again by another process: the next call through the view
// finds the new one, for reading and for writing, as HKEY_CURRENT_USER never goes stale.
TEST(RegistryStore, AViewRemadeByAnotherStoreIsFoundAgain) {
  const std::string path = Scratch("remade.db");
  const std::string sid = "S-1-5-21-0-0-0-" + std::to_string(::getuid());
  auto a = RegistryStore::Open(path), b = RegistryStore::Open(path);
  ASSERT_EQ(SetText(*a, kCurrentUser, "first", "a"), kSuccess);
  Long key = 0;
  ASSERT_EQ(b->DeleteTreeW(kUsers, rt::FromUtf8(sid)), kSuccess);
  ASSERT_EQ(b->CreateKey(kCurrentUser, "Software\\Demo", &key), kSuccess);
  ASSERT_EQ(SetText(*b, key, "v", "remade"), kSuccess);
  ASSERT_EQ(a->OpenKeyEx(kCurrentUser, "Software\\Demo", 0, kKeyRead, &key), kSuccess);
  EXPECT_EQ(GetText(*a, key, "v"), "remade");
  EXPECT_EQ(SetText(*a, kCurrentUser, "second", "a"), kSuccess);
  EXPECT_EQ(GetText(*b, kCurrentUser, "second"), "a");
  ASSERT_EQ(b->DeleteTreeW(kUsers, rt::FromUtf8(sid)), kSuccess);
  EXPECT_EQ(a->CreateKey(kCurrentUser, "Software\\Again", &key), kSuccess);
}

// The roots that are views on the platform are views here: what is written through one is
// read through the key it stands for, and HKEY_CLASSES_ROOT looks in the user's classes first.
TEST(RegistryStore, ViewsAreTheKeysTheyStandFor) {
  auto store = RegistryStore::InMemory();
  const std::string sid = "S-1-5-21-0-0-0-" + std::to_string(::getuid());
  const struct {
    Long write_root;
    std::string write;
    Long read_root;
    std::string read;
  } kRows[] = {
      {kClassesRoot, "Corvane.A", kLocalMachine, "Software\\Classes\\Corvane.A"},
      {kLocalMachine, "SOFTWARE\\Classes\\Corvane.B", kClassesRoot, "corvane.b"},
      {kCurrentUser, "Software\\Classes\\Corvane.C", kClassesRoot, "Corvane.C"},
      {kCurrentUser, "Software\\X", kUsers, sid + "\\Software\\X"},
      {kCurrentConfig, "Software\\Y", kLocalMachine,
       "System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Y"},
      // In both: the user's key is the one HKEY_CLASSES_ROOT reads, and writes through.
      {kLocalMachine, "Software\\Classes\\Corvane.D", kLocalMachine,
       "Software\\Classes\\Corvane.D"},
      {kCurrentUser, "Software\\Classes\\Corvane.D", kClassesRoot, "Corvane.D"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.write);
    Long key = 0;
    ASSERT_EQ(store->CreateKey(row.write_root, row.write.c_str(), &key), kSuccess);
    ASSERT_EQ(SetText(*store, key, "v", row.write), kSuccess);
    store->CloseKey(key);
    ASSERT_EQ(store->OpenKeyEx(row.read_root, row.read.c_str(), 0, kKeyRead, &key), kSuccess);
    EXPECT_EQ(GetText(*store, key, "v"), row.write);
    store->CloseKey(key);
  }
  Long key = 0;
  ASSERT_EQ(store->CreateKey(kClassesRoot, "Corvane.D", &key), kSuccess);
  ASSERT_EQ(SetText(*store, key, "w", "through HKCR"), kSuccess);
  store->CloseKey(key);
  ASSERT_EQ(store->OpenKeyEx(kCurrentUser, "Software\\Classes\\Corvane.D", 0, kKeyRead, &key),
            kSuccess);
  EXPECT_EQ(GetText(*store, key, "w"), "through HKCR");
  store->CloseKey(key);
  EXPECT_EQ(store->DeleteKey(kClassesRoot, "Corvane.D"), kSuccess);  // the user's
  EXPECT_EQ(store->OpenKeyEx(kClassesRoot, "Corvane.D", 0, kKeyRead, &key), kSuccess);
  EXPECT_EQ(GetText(*store, key, "v"), "Software\\Classes\\Corvane.D");  // the machine's
  store->CloseKey(key);
  EXPECT_EQ(store->DeleteKey(kCurrentUser, ""), kAccessDenied);
}

}  // namespace
}  // namespace corvane::registry
