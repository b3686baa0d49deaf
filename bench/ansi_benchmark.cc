// The ANSI codec in the process's code page (CORVANE_CODEPAGE=932 for a double-byte one): text
// to bytes and back, on 1 KiB and 1 MiB of the code page's own characters.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "runtime/ansi.h"

namespace {

using corvane::String;

// Latin letters with accents and typographic marks under a single-byte code page; kana and
// ideographs with them under 932.
String TextOfBytes(size_t bytes) {
  const char* code_page = std::getenv("CORVANE_CODEPAGE");
  const bool japanese = code_page != nullptr && std::string(code_page) == "932";
  const String letters = japanese ? u"abc\u65e5\u672c\u8a9e\uff71\u30a2\u3042 " : u"abc\u00e9\u00fc\u20ac\u2122 ";
  String text;
  for (size_t made = 0; made < bytes;) {
    const char16_t letter = letters[text.size() % letters.size()];
    made += corvane::rt::ToAnsi(corvane::StringView(&letter, 1)).size();
    text.push_back(letter);
  }
  return text;
}

void BM_ToAnsi(benchmark::State& state) {
  const String text = TextOfBytes(static_cast<size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(corvane::rt::ToAnsi(text));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_FromAnsi(benchmark::State& state) {
  const std::string bytes = corvane::rt::ToAnsi(TextOfBytes(static_cast<size_t>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(corvane::rt::FromAnsi(bytes));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_ToAnsi)->Arg(1 << 10)->Arg(1 << 20);
BENCHMARK(BM_FromAnsi)->Arg(1 << 10)->Arg(1 << 20);

}  // namespace
