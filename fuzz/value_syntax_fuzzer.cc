// The tool's value syntax on arbitrary text, as an argument (a bare word is text) and as a
// statement's value (a bare word is a variable): it never crashes, however deep the nesting; a
// refusal is a SyntaxError; what it reads, written again, reads back as the same value.
#include <string_view>

#include "cli/value_syntax.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace corvane;
  using namespace corvane::cli;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const Value known = Variant::OfString(u"known");
  const VariableLookup lookup = [&](std::string_view name) -> const Value* {
    return name == "v" ? &known : nullptr;
  };
  for (const bool statement : {false, true}) {
    Value value;
    try {
      value = statement ? ParseValue(text, lookup) : ParseValue(text);
    } catch (const SyntaxError&) {
      continue;
    }
    try {
      if (ParseValue(WrittenForm(value), lookup) != value)
        fuzz::Violated("a value written and read again differs");
    } catch (const SyntaxError&) {
      fuzz::Violated("a written value is refused");
    }
  }
  return 0;
}
