// UTF-8 <-> UTF-16: well-formed sequences, and every ill-formed one read as U+FFFD per byte.
#include <gtest/gtest.h>

#include "corvane/types.h"
#include "tests/support/test_support.h"

namespace corvane::rt {
namespace {

using corvane::testing::Show;

TEST(Utf8, ReadsShortestFormsAndRefusesTheRest) {
  struct Row {
    std::string bytes;
    String text;
  };
  const Row rows[] = {
      {"A/", u"A/"},
      {"\xC3\xA9", u"\u00E9"},
      {"\xE2\x82\xAC", u"\u20AC"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {std::string("\0", 1), String(1, u'\0')},
      {"\xC0\x80", u"\uFFFD\uFFFD"},            // overlong U+0000
      {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},  // overlong "/"
      {"\xF0\x80\x80\xAF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // a surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // beyond U+10FFFF
      {"\xC3", u"\uFFFD"},                                // cut short
      {"\xFF", u"\uFFFD"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(FromUtf8(row.bytes), row.text) << Show(row.text);
  }
  EXPECT_EQ(ToUtf8(FromUtf8("\xF0\x9F\x98\x80 \xC3\xA9")), "\xF0\x9F\x98\x80 \xC3\xA9");
}

}  // namespace
}  // namespace corvane::rt
