// Registry work per second, the same workload on each backend: the Declares and Registry
// methods and the raw calls, then the raw query and set from 1, 2, 4 and 8 threads at once (each
// on its own key), on the embedded store natively and on Wine's registry under Wine.
// Prints one line per measurement, "name<TAB>calls per second", so that scripts/bench.sh can set
// the backends side by side.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "corvane/declares.h"
#include "corvane/registry.h"
#include "corvane/registry_api.h"
#ifndef _WIN32
#include "registry/registry_store.h"
#endif

namespace {

using corvane::ByRef;
using corvane::Declares;
using corvane::Long;
using corvane::String;
namespace registry = corvane::registry;

// Calls `body(i)` for about `seconds`; returns calls per second.
template <class Body>
double PerSecond(double seconds, Body body) {
  const auto start = std::chrono::steady_clock::now();
  long calls = 0;
  double elapsed = 0;
  do {
    for (int i = 0; i < 100; ++i)
      body(calls + i);
    calls += 100;
    elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  } while (elapsed < seconds);
  return static_cast<double>(calls) / elapsed;
}

void Report(const char* name, double rate) {
  std::printf("%s\t%.0f\n", name, rate);
}

// Calls per second of `threads` threads at once for about `seconds`, each on a key of its own:
// a query of a value, or (with `write`) a set of it.
double Threaded(registry::RegistryApi& api, int threads, double seconds, bool write) {
  std::vector<double> rates(threads);
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t)
    pool.emplace_back([&, t] {
      Long key = 0;
      const std::string path = "Software\\CorvaneBench\\Thread" + std::to_string(t);
      api.CreateKey(registry::kCurrentUser, path.c_str(), &key);
      const char text[] = "some setting text";
      api.SetValueEx(key, "v", 0, registry::kRegSz, reinterpret_cast<const uint8_t*>(text),
                     sizeof text);
      char buffer[64];
      rates[t] = PerSecond(seconds, [&](long) {
        uint32_t count = sizeof buffer;
        if (write)
          api.SetValueEx(key, "v", 0, registry::kRegSz, reinterpret_cast<const uint8_t*>(text),
                         sizeof text);
        else
          api.QueryValueEx(key, "v", nullptr, nullptr, reinterpret_cast<uint8_t*>(buffer), &count);
      });
      api.CloseKey(key);
      api.DeleteKey(registry::kCurrentUser, path.c_str());
    });
  for (std::thread& thread : pool)
    thread.join();
  double total = 0;
  for (const double rate : rates)
    total += rate;
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 1.0;
#ifndef _WIN32
  const std::string path = "/tmp/corvane-registry-bench.db";
  std::remove(path.c_str());
  const auto store = registry::RegistryStore::Open(path);
  registry::InstallRegistryUnowned(store.get());
#endif
  registry::RegistryApi& api = registry::CurrentRegistry();
  Declares declares;
  const String root = u"HKEY_CURRENT_USER\\Software\\CorvaneBench";
  {
    String p = root;
    declares.CreateKey(p);
  }
  Report("Declares.SetStringValue", PerSecond(seconds, [&](long i) {
           String p = root, e = u"v" + corvane::String(1, static_cast<char16_t>(u'a' + i % 26)),
                  v = u"some setting text";
           declares.SetStringValue(p, e, v);
         }));
  Report("Declares.GetStringValue", PerSecond(seconds, [&](long) {
           String p = root, e = u"va";
           declares.GetStringValue(p, e);
         }));
  Report("Declares.CreateKey+DeleteKey", PerSecond(seconds, [&](long) {
           String p = root + u"\\Child", q = p;
           declares.CreateKey(p);
           declares.DeleteKey(q);
         }));
  corvane::Registry reg;
  const Long hkcu = registry::kCurrentUser;
  Report("Registry.savestring", PerSecond(seconds, [&](long) {
           Long h = hkcu;
           String p = u"Software\\CorvaneBench", n = u"rs", d = u"some setting text";
           reg.savestring(h, p, n, d);
         }));
  Report("Registry.getstring", PerSecond(seconds, [&](long) {
           Long h = hkcu;
           String p = u"Software\\CorvaneBench", n = u"rs";
           reg.getstring(h, p, n);
         }));
  Report("Registry.SaveDword", PerSecond(seconds, [&](long i) {
           reg.SaveDword(hkcu, u"Software\\CorvaneBench", u"rd", static_cast<Long>(i));
         }));
  Report("Registry.getdword",
         PerSecond(seconds, [&](long) { reg.getdword(hkcu, u"Software\\CorvaneBench", u"rd"); }));
  Long key = 0;
  api.CreateKey(registry::kCurrentUser, "Software\\CorvaneBench", &key);
  char buffer[64];
  Report("raw open+query+close", PerSecond(seconds, [&](long) {
           Long k = 0;
           api.OpenKeyEx(registry::kCurrentUser, "Software\\CorvaneBench", 0, registry::kKeyRead,
                         &k);
           uint32_t count = sizeof buffer;
           api.QueryValueEx(k, "va", nullptr, nullptr, reinterpret_cast<uint8_t*>(buffer), &count);
           api.CloseKey(k);
         }));
  Report("raw query on an open key", PerSecond(seconds, [&](long) {
           uint32_t count = sizeof buffer;
           api.QueryValueEx(key, "va", nullptr, nullptr, reinterpret_cast<uint8_t*>(buffer),
                            &count);
         }));
  Report("raw set", PerSecond(seconds, [&](long i) {
           const std::string text = "value " + std::to_string(i);
           api.SetValueEx(key, "raw", 0, registry::kRegSz,
                          reinterpret_cast<const uint8_t*>(text.c_str()),
                          static_cast<uint32_t>(text.size() + 1));
         }));
  api.CloseKey(key);
  for (const int threads : {1, 2, 4, 8}) {
    const std::string suffix = ", " + std::to_string(threads) + (threads == 1 ? " thread" : " threads");
    Report(("raw query" + suffix).c_str(), Threaded(api, threads, seconds, false));
    Report(("raw set" + suffix).c_str(), Threaded(api, threads, seconds, true));
  }
  for (const char* child : {"Software\\CorvaneBench\\Child", "Software\\CorvaneBench"})
    api.DeleteKey(registry::kCurrentUser, child);
  return 0;
}
