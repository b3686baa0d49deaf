// The registry store under load, every answer checked. Usage:
//   store_stress threads FILE THREADS SECONDS [--default]
//     THREADS threads, each with its own Registry, Declares and Tarnel on its own key, and all
//     through one RegistryApi on a handle of one shared key: text and DWORD values written and
//     read back, subkeys created and deleted, a value enciphered and deciphered. FILE is opened
//     and installed, or with --default named by CORVANE_REGISTRY and used as the platform's
//     own store.
//   store_stress processes FILE SECONDS
//     Processes at once on one file: two writers that report each acknowledged write through a
//     pipe, a deleter that deletes and creates again the key that a handle writer writes
//     through (which may only be told 0 or 1018), and two readers of a value that never
//     changes; the first writer is killed at random moments and started again. Afterwards the
//     store is checked as `corvane reg check` checks it, and every acknowledged write is there.
// Prints what it did and the number of wrong answers; exits 1 when there was any.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "corvane/declares.h"
#include "corvane/registry.h"
#include "corvane/store.h"
#include "corvane/tarnel.h"
#include "registry/registry_store.h"
#include "regtool/store_maintenance.h"

namespace {

using corvane::ByRef;
using corvane::Long;
using corvane::String;
using corvane::Variant;
namespace registry = corvane::registry;
using Clock = std::chrono::steady_clock;

std::atomic<long> g_calls{0};
std::atomic<long> g_wrong{0};

void Expect(bool right, const char* what) {
  ++g_calls;
  if (!right && ++g_wrong <= 10) std::fprintf(stderr, "wrong: %s\n", what);
}

String Text(const std::string& ascii) {
  return String(ascii.begin(), ascii.end());
}

registry::Result SetDword(registry::RegistryApi& api, Long key, const std::string& name, uint32_t value) {
  return api.SetValueEx(key, name.c_str(), 0, registry::kRegDword,
                        reinterpret_cast<const uint8_t*>(&value), sizeof value);
}

registry::Result GetDword(registry::RegistryApi& api, Long key, const std::string& name, uint32_t* value) {
  uint32_t count = sizeof *value;
  return api.QueryValueEx(key, name.c_str(), nullptr, nullptr, reinterpret_cast<uint8_t*>(value),
                          &count);
}

// One thread's work until `end`: its own instances on its own key, and the shared handle.
void Worker(int t, Long shared, Clock::time_point end) {
  corvane::Registry reg;
  corvane::Declares declares;
  corvane::Tarnel tarnel;
  registry::RegistryApi& api = registry::CurrentRegistry();
  const std::string own = "Software\\Stress\\T" + std::to_string(t);
  for (long i = 0; Clock::now() < end; ++i) {
    const std::string n = std::to_string(i);
    {  // Registry: text and DWORD
      Long root = registry::kCurrentUser;
      String path = Text(own), name = Text("s" + std::to_string(i % 5)), data = Text("text " + n);
      reg.savestring(root, path, name, data);
      const Variant got = reg.getstring(root, path, name);
      Expect(got.kind() == corvane::VariantKind::kString && got.string() == Text("text " + n),
             "getstring after savestring");
      reg.SaveDword(registry::kCurrentUser, Text(own), u"d", static_cast<Long>(i));
      Expect(reg.getdword(registry::kCurrentUser, Text(own), u"d") == static_cast<Long>(i),
             "getdword after SaveDword");
    }
    {  // Declares: a subkey created, written, read and deleted
      String key = Text("HKEY_CURRENT_USER\\" + own + "\\child");
      String k = key;
      declares.CreateKey(k);
      String p = key, e = u"v", v = Text(n);
      declares.SetStringValue(p, e, v);
      p = key;
      e = u"v";
      const Variant got = declares.GetStringValue(p, e);
      Expect(got.kind() == corvane::VariantKind::kString && got.string() == Text(n),
             "GetStringValue after SetStringValue");
      k = key;
      declares.DeleteKey(k);
      p = key;
      e = u"v";
      const Variant gone = declares.GetStringValue(p, e);
      Expect(gone.kind() != corvane::VariantKind::kString || gone.string() != Text(n),
             "GetStringValue after DeleteKey");
    }
    {  // the shared handle, opened on another thread
      const std::string name = "t" + std::to_string(t);
      uint32_t value = 0;
      Expect(SetDword(api, shared, name, static_cast<uint32_t>(i)) == registry::kSuccess &&
                 GetDword(api, shared, name, &value) == registry::kSuccess &&
                 value == static_cast<uint32_t>(i),
             "the shared handle's value");
    }
    if (i % 16 == 0) {  // the cipher, which shares nothing
      Variant text = Variant::OfString(Text("note " + n)), pass = Variant::OfString(u"pw");
      Variant cipher = tarnel.Encrypt(text, pass);
      Variant key = Variant::OfString(u"pw");
      const Variant plain = tarnel.Decrypt(cipher, key);
      Expect(plain.kind() == corvane::VariantKind::kString && plain.string() == Text("note " + n),
             "Decrypt(Encrypt)");
    }
  }
}

int Threads(const std::string& file, int threads, double seconds, bool platform_store) {
  std::unique_ptr<registry::RegistryApi> store;
  if (platform_store) {
    ::setenv("CORVANE_REGISTRY", file.c_str(), 1);
  } else {
    store = registry::OpenStore(file);
    registry::InstallRegistryUnowned(store.get());
  }
  registry::RegistryApi& api = registry::CurrentRegistry();
  Long shared = 0;
  if (api.CreateKey(registry::kCurrentUser, "Software\\Stress\\Shared", &shared) != 0) {
    std::fprintf(stderr, "the shared key cannot be made\n");
    return 1;
  }
  const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(seconds));
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t)
    pool.emplace_back(Worker, t, shared, end);
  for (std::thread& thread : pool)
    thread.join();
  api.CloseKey(shared);
  registry::InstallRegistryUnowned(nullptr);
  std::printf("threads: %d threads, %ld checked answers, %ld wrong\n", threads, g_calls.load(),
              g_wrong.load());
  return g_wrong == 0 ? 0 : 1;
}

// Children of the processes mode. Each runs until killed, or until `end`.

// What a writer reports after each write that the store acknowledged.
struct Acknowledged {
  int writer;
  int round;
  int index;
};

std::string WrittenName(int round, int index) {
  return "r" + std::to_string(round) + "-" + std::to_string(index);
}

[[noreturn]] void Writer(const std::string& file, int id, int round, int report) {
  auto store = registry::OpenStore(file);
  Long key = 0;
  if (store->CreateKey(registry::kCurrentUser, ("Software\\Stress\\W" + std::to_string(id)).c_str(),
                       &key) != 0)
    ::_exit(2);
  for (int i = 0;; ++i) {
    if (SetDword(*store, key, WrittenName(round, i), static_cast<uint32_t>(i)) != 0) ::_exit(3);
    const Acknowledged record{id, round, i};
    if (::write(report, &record, sizeof record) != sizeof record) ::_exit(4);
  }
}

[[noreturn]] void Deleter(const std::string& file, Clock::time_point end) {
  auto store = registry::OpenStore(file);
  long wrong = 0;
  while (Clock::now() < end) {
    Long key = 0;
    if (store->CreateKey(registry::kCurrentUser, "Software\\Stress\\Victim", &key) != 0) ++wrong;
    store->CloseKey(key);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const registry::Result r = store->DeleteKey(registry::kCurrentUser, "Software\\Stress\\Victim");
    if (r != 0 && r != registry::kFileNotFound) ++wrong;
  }
  ::_exit(wrong == 0 ? 0 : 1);
}

[[noreturn]] void HandleWriter(const std::string& file, Clock::time_point end) {
  auto store = registry::OpenStore(file);
  long wrong = 0;
  for (int i = 0; Clock::now() < end; ++i) {
    Long key = 0;
    if (store->OpenKeyEx(registry::kCurrentUser, "Software\\Stress\\Victim", 0,
                         registry::kKeyAllAccess, &key) != 0)
      continue;
    for (int j = 0; j < 20; ++j) {
      const registry::Result r = SetDword(*store, key, "v" + std::to_string(j), i);
      if (r != 0 && r != registry::kKeyDeleted) ++wrong;
    }
    store->CloseKey(key);
  }
  ::_exit(wrong == 0 ? 0 : 1);
}

[[noreturn]] void Reader(const std::string& file, Clock::time_point end) {
  auto store = registry::OpenStore(file);
  long wrong = 0;
  while (Clock::now() < end) {
    Long key = 0;
    uint32_t value = 0;
    if (store->OpenKeyEx(registry::kCurrentUser, "Software\\Stress\\Fixed", 0, registry::kKeyRead,
                         &key) != 0 ||
        GetDword(*store, key, "answer", &value) != 0 || value != 42)
      ++wrong;
    store->CloseKey(key);
  }
  ::_exit(wrong == 0 ? 0 : 1);
}

int Processes(const std::string& file, double seconds) {
  {
    auto store = registry::OpenStore(file);
    Long key = 0;
    if (store->CreateKey(registry::kCurrentUser, "Software\\Stress\\Fixed", &key) != 0 ||
        SetDword(*store, key, "answer", 42) != 0) {
      std::fprintf(stderr, "the fixed value cannot be written\n");
      return 1;
    }
    store->CloseKey(key);
  }
  const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(seconds));
  int reports[2];
  if (::pipe(reports) != 0) return 1;
  auto spawn = [&](auto body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(reports[0]);
      body();
    }
    return pid;
  };
  std::vector<pid_t> steady = {
      spawn([&] { Writer(file, 1, 0, reports[1]); }),
      spawn([&] { Deleter(file, end); }),
      spawn([&] { HandleWriter(file, end); }),
      spawn([&] { Reader(file, end); }),
      spawn([&] { Reader(file, end); }),
  };
  // The reports are read as they come, so that no writer waits on a full pipe.
  ::fcntl(reports[0], F_SETFL, O_NONBLOCK);
  std::vector<Acknowledged> records;
  auto drain = [&] {
    Acknowledged record{};
    while (::read(reports[0], &record, sizeof record) == sizeof record)
      records.push_back(record);
  };
  std::mt19937 random(20261209);
  int kills = 0;
  for (int round = 0; Clock::now() < end; ++round) {
    const pid_t writer = spawn([&] { Writer(file, 0, round, reports[1]); });
    const auto kill_at = Clock::now() + std::chrono::milliseconds(5 + random() % 100);
    while (Clock::now() < kill_at) {
      drain();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    ++kills;
  }
  ::kill(steady[0], SIGKILL);  // the steady writer runs until told
  ::waitpid(steady[0], nullptr, 0);
  ::close(reports[1]);
  long failed_children = 0;
  for (size_t c = 1; c < steady.size(); ++c) {
    int status = 0;
    ::waitpid(steady[c], &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failed_children;
  }
  drain();
  ::close(reports[0]);
  const auto store = registry::RegistryStore::Open(file);
  const registry::StoreReport report = registry::CheckStore(*store);
  for (const std::string& problem : report.problems)
    std::fprintf(stderr, "check: %s\n", problem.c_str());
  long lost = 0;
  Long keys[2] = {};
  for (int id = 0; id < 2; ++id)
    store->OpenKeyEx(registry::kCurrentUser, ("Software\\Stress\\W" + std::to_string(id)).c_str(),
                     0, registry::kKeyRead, &keys[id]);
  for (const Acknowledged& a : records) {
    uint32_t value = 0;
    if (GetDword(*store, keys[a.writer], WrittenName(a.round, a.index), &value) != 0 ||
        value != static_cast<uint32_t>(a.index))
      ++lost;
  }
  std::printf("processes: %zu acknowledged writes, %d kills, %ld lost, %ld children with wrong answers, "
              "%zu problems in the check\n",
              records.size(), kills, lost, failed_children, report.problems.size());
  return lost == 0 && failed_children == 0 && report.problems.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "threads" && argc >= 5)
    return Threads(argv[2], std::atoi(argv[3]), std::atof(argv[4]),
                   argc > 5 && std::strcmp(argv[5], "--default") == 0);
  if (mode == "processes" && argc >= 4) return Processes(argv[2], std::atof(argv[3]));
  std::fprintf(stderr,
               "usage: store_stress threads FILE THREADS SECONDS [--default]\n"
               "       store_stress processes FILE SECONDS\n");
  return 2;
}
