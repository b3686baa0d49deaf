// Time per call and characters per second of Encrypt and Decrypt on short and full-length texts,
// side by side with a plain loop that does the cipher's arithmetic on bytes with a table: the
// floor that the cipher is measured against.
#include <benchmark/benchmark.h>

#include <array>
#include <string>

#include "corvane/tarnel.h"

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

// The cipher's arithmetic on bytes: a shift per cycle position from a table, codes outside
// 0..255 left out, characters from a table of 256.
void BM_PlainLoop(benchmark::State& state) {
  const size_t length = static_cast<size_t>(state.range(0));
  std::string bytes;
  for (size_t i = 0; i < length; ++i)
    bytes.push_back(static_cast<char>('a' + i % 26));
  const int key = 19;  // the key of "a pass phrase"
  static constexpr int kD[6] = {2, 5, 4, 2, 3, 5};
  static constexpr bool kAdds[6] = {false, true, false, true, false, true};
  std::array<int, 6> shift{};
  for (int n = 0; n < 6; ++n)
    shift[static_cast<size_t>(n)] = (kAdds[n] ? 1 : -1) * (key - kD[n]) + n;
  std::array<char16_t, 256> chars{};
  for (int c = 0; c < 256; ++c)
    chars[static_cast<size_t>(c)] = static_cast<char16_t>(c);
  for (auto _ : state) {
    String out;
    out.reserve(length);
    int n = 0;
    for (const char byte : bytes) {
      if (++n == 6) n = 0;
      const int x = static_cast<unsigned char>(byte) + shift[static_cast<size_t>(n)];
      if (x >= 0 && x <= 255) out.push_back(chars[static_cast<size_t>(x)]);
    }
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * length));
  state.SetLabel("items = characters");
}

BENCHMARK(BM_Cipher<true>)->Name("Encrypt")->Arg(16)->Arg(255);
BENCHMARK(BM_Cipher<false>)->Name("Decrypt")->Arg(16)->Arg(255);
BENCHMARK(BM_PlainLoop)->Name("PlainLoop")->Arg(255);

}  // namespace
