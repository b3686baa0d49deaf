// What every fuzz target shares: stopping on a broken invariant, and ports that never wait.
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_input.h"

namespace corvane::fuzz {

void Violated(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

}  // namespace corvane::fuzz
