// CPU seconds that the timed pause spends per second of pause, on the platform's own clock and
// pump. The goal is next to nothing: the pause waits for a message or the clock's next second.
#include <benchmark/benchmark.h>

#include <time.h>

#include "corvane/tarnel.h"

namespace {

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}
double WallSeconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void BM_TimedPause(benchmark::State& state) {
  corvane::Tarnel tarnel;
  const corvane::Long secs = static_cast<corvane::Long>(state.range(0));
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    const double cpu0 = ProcessCpuSeconds(), wall0 = WallSeconds();
    tarnel.TimedPause([secs] { return secs; });
    cpu += ProcessCpuSeconds() - cpu0;
    wall += WallSeconds() - wall0;
  }
  state.counters["cpu_s_per_s"] = cpu / wall;
}

BENCHMARK(BM_TimedPause)->Name("TimedPause")->Arg(2)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
