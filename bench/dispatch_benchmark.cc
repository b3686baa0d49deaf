// The native dispatcher's cost over a direct call of the class method: Encrypt of "ab" under
// "p" called on a Tarnel directly, and by dispatch identifier and by name through the
// dispatcher, with the caller's variables as arguments.
#include <benchmark/benchmark.h>

#include "corvane/tarnel.h"
#include "corvane/dispatcher.h"

namespace {

using corvane::Variant;
using corvane::server::Argument;

void BM_EncryptDirect(benchmark::State& state) {
  corvane::Tarnel tarnel;
  for (auto _ : state) {
    Variant texti = Variant::OfString(u"ab");
    Variant salasana = Variant::OfString(u"p");
    benchmark::DoNotOptimize(tarnel.Encrypt(texti, salasana));
  }
}

template <bool kByName>
void BM_EncryptDispatched(benchmark::State& state) {
  const auto tarnel = corvane::server::CreateInstance("Corvane.Tarnel");
  for (auto _ : state) {
    Argument texti = Variant::OfString(u"ab");
    Argument salasana = Variant::OfString(u"p");
    Argument* args[] = {&texti, &salasana};
    benchmark::DoNotOptimize(kByName ? corvane::server::Invoke(*tarnel, "Encrypt", args)
                                     : corvane::server::Invoke(*tarnel, 0x60030004, args));
  }
}

}  // namespace

BENCHMARK(BM_EncryptDirect)->Name("Encrypt/direct");
BENCHMARK(BM_EncryptDispatched<false>)->Name("Encrypt/dispatcher_by_dispid");
BENCHMARK(BM_EncryptDispatched<true>)->Name("Encrypt/dispatcher_by_name");
