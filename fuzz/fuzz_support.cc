// What every fuzz target shares: stopping on a broken invariant, and ports that never wait.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_input.h"

namespace corvane::fuzz {

void Violated(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

namespace {
std::string g_scratch;
void RemoveScratch() {
  for (const char* suffix : {"", "-wal", "-shm"}) ::unlink((g_scratch + suffix).c_str());
}
}  // namespace

std::string ScratchStorePath(const char* name) {
  const char* tmp = std::getenv("TMPDIR");
  g_scratch = std::string(tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/corvane-fuzz-" + name +
              "-" + std::to_string(::getpid()) + ".db";
  RemoveScratch();
  std::atexit(RemoveScratch);
  return g_scratch;
}

}  // namespace corvane::fuzz
