// The tool's written form of values: what each form reads as, and reading back what is shown.
#include "cli/value_syntax.h"

#include <gtest/gtest.h>

namespace corvane::cli {
namespace {

TEST(ValueSyntax, FormsReadAsTheirKinds) {
  const struct {
    const char* text;
    const char* described;  // null: a syntax error
  } kCases[] = {
      {"\"a \"\"q\"\" b\"", "String \"a \"\"q\"\" b\""},
      {"32767", "Integer 32767"},
      {"-32768", "Integer -32768"},
      {"32768", "Long 32768"},
      {"-2147483648", "Long -2147483648"},
      {"2147483648", "Double 2147483648"},
      {"5&", "Long 5"},
      {"5%", "Integer 5"},
      {"5#", "Double 5"},
      {"40000%", nullptr},
      {"1.5", "Double 1.5"},
      {"-2e-3", "Double -0.002"},
      {"&H8000", "Integer -32768"},
      {"&H80000001", "Long -2147483647"},
      {"&HFF&", "Long 255"},
      {"&H123456789", nullptr},
      {"empty", "Empty"},
      {"ChrW(65) & ChrW(&H263A)", "String \"A\xE2\x98\xBA\""},
      {"ChrW(65536)", nullptr},
      {"ChrW(-32769)", nullptr},
      {"ChrW(&HD800)", "String ChrW(55296)"},
      {"ChrW(&HFFFF)", "String \"\xEF\xBF\xBF\""},
      {"\"x\" & 1.5 & 7", "String \"x1.57\""},
      {"Array()", "String() undimensioned"},
      {"Array(\"a\", 2)", "String(0 to 1) Array(\"a\", \"2\")"},
      {"Array(\"a\") & \"b\"", nullptr},
      {"\"open", nullptr},
      {"1 2", nullptr},
      {"v", "Long 9"},
      {"unknown", "Empty"},
  };
  const Value nine = Variant::OfLong(9);
  const VariableLookup lookup = [&](std::string_view name) -> const Value* {
    return name == "v" ? &nine : nullptr;
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text);
    if (c.described == nullptr) {
      EXPECT_THROW(ParseValue(c.text, lookup), SyntaxError);
    } else {
      EXPECT_EQ(Describe(ParseValue(c.text, lookup)), c.described);
    }
  }
  // On the command line a bare word is text.
  EXPECT_EQ(Describe(ParseValue("hello world")), "String \"hello world\"");
}

TEST(ValueSyntax, WrittenFormsReadBackAsTheSameValue) {
  const Value kValues[] = {
      Variant(),
      Variant::OfInteger(-7),
      Variant::OfLong(7),
      Variant::OfDouble(0.1),
      Variant::OfDouble(1e300),
      Variant::OfString(u"tab\there \"q\" \u00e9 \xD800 end\x7F"),
      Variant::OfString(u""),
      StringArray::Of({u"a", u"", u"\x01"}),
  };
  for (const Value& value : kValues) {
    SCOPED_TRACE(WrittenForm(value));
    EXPECT_EQ(ParseValue(WrittenForm(value), [](std::string_view) { return nullptr; }), value);
  }
}

}  // namespace
}  // namespace corvane::cli
