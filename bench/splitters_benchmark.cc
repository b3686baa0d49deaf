// The splitters on texts of 1 KiB to 1 MiB of 8-character elements: time per element at each
// size (flat means linear). Splits stops at its Integer positions, so it is measured up to the
// largest text it cuts whole.
#include <benchmark/benchmark.h>

#include "corvane/tarnel.h"

namespace {

using corvane::Integer;
using corvane::String;
using corvane::StringArray;

// `bytes` bytes of 16-bit characters: elements of 7 letters, each closed by `delimiter`.
String ListText(size_t bytes, char16_t delimiter) {
  String text;
  while ((text.size() + 8) * 2 <= bytes)
    text += String(u"element") + delimiter;
  return text;
}

void BM_SSplit(benchmark::State& state) {
  const String text = ListText(static_cast<size_t>(state.range(0)), u' ');
  corvane::Tarnel tarnel;
  int64_t elements = 0;
  for (auto _ : state) {
    String delims;
    StringArray result;
    elements = tarnel.sSplit(text, delims, result) + 1;
    benchmark::DoNotOptimize(result);
  }
  state.SetItemsProcessed(state.iterations() * elements);
  state.SetLabel("items = elements");
}

void BM_Splits(benchmark::State& state) {
  const String text = ListText(static_cast<size_t>(state.range(0)), u',');
  corvane::Tarnel tarnel;
  int64_t elements = 0;
  for (auto _ : state) {
    String chaine = text, separ = u",";
    StringArray tableau;
    Integer count = 0;
    if (tarnel.Splits(chaine, separ, tableau, count) != 0) state.SkipWithError("not cut whole");
    elements = count;
    benchmark::DoNotOptimize(tableau);
  }
  state.SetItemsProcessed(state.iterations() * elements);
  state.SetLabel("items = elements");
}

BENCHMARK(BM_SSplit)->Name("sSplit")->RangeMultiplier(4)->Range(1 << 10, 1 << 20);
// 64 KiB of characters is 32768 of them: the largest text Splits cuts whole is just below.
BENCHMARK(BM_Splits)->Name("Splits")->RangeMultiplier(4)->Range(1 << 10, 1 << 14)->Arg(65500);

}  // namespace
