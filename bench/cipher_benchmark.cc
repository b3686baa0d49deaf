// Time per call and characters per second of Encrypt and Decrypt on short and full-length texts.
#include <benchmark/benchmark.h>

#include "text/tarnel.h"

namespace {

using corvane::String;
using corvane::Variant;

String TextOfLength(size_t length) {
  String text;
  for (size_t i = 0; i < length; ++i)
    text.push_back(static_cast<char16_t>(u'a' + i % 26));
  return text;
}

template <bool kEncrypt>
void BM_Cipher(benchmark::State& state) {
  const size_t length = static_cast<size_t>(state.range(0));
  corvane::Tarnel tarnel;
  const Variant text = Variant::OfString(TextOfLength(length));
  const Variant pass = Variant::OfString(u"a pass phrase");
  for (auto _ : state) {
    Variant texti = text;
    Variant salasana = pass;  // the call overwrites it with the key
    benchmark::DoNotOptimize(kEncrypt ? tarnel.Encrypt(texti, salasana)
                                      : tarnel.Decrypt(texti, salasana));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * length));
  state.SetLabel("items = characters");
}

BENCHMARK(BM_Cipher<true>)->Name("Encrypt")->Arg(16)->Arg(255);
BENCHMARK(BM_Cipher<false>)->Name("Decrypt")->Arg(16)->Arg(255);

}  // namespace
