// The Windows ANSI codec under code pages other than the system's: "?" where the code page
// accepts that request, the code pages that refuse the request (UTF-8 among them) converted
// without it, and a failed conversion raised rather than returned as text.
#include "runtime/win32/ansi_win32.h"

#include <gtest/gtest.h>

#include <optional>

#include "tests/support/test_support.h"

namespace corvane::platform {
namespace {

using corvane::testing::ErrorOf;
using corvane::testing::Show;

TEST(AnsiWin32, EncodesUnderEachKindOfCodePage) {
  struct Row {
    UINT code_page;
    String text;
    std::string bytes;  // when no error
    std::optional<int32_t> error;
  };
  const Row rows[] = {
      {1252, u"A\u00E9\u20AC", "A\xE9\x80", std::nullopt},
      {1252, u"\u0100\u4E2D", "??", std::nullopt},  // no look-alike for A-macron
      {CP_UTF8, u"\u00E9\u03A9", "\xC3\xA9\xCE\xA9", std::nullopt},
      {CP_UTF8, u"\U0001F600", "\xF0\x9F\x98\x80", std::nullopt},
      {CP_UTF7, u"A", "A", std::nullopt},
      {932, u"\u4E2D", "\x92\x86", std::nullopt},
      {12345, u"A", "", 5},  // no such code page
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.code_page << " " << Show(row.text));
    std::string bytes;
    EXPECT_EQ(ErrorOf([&] { bytes = EncodeAnsi(row.code_page, row.text); }), row.error);
    if (row.error) continue;
    EXPECT_EQ(bytes, row.bytes);
    EXPECT_EQ(DecodeAnsi(row.code_page, bytes), row.bytes.find('?') == std::string::npos
                                                    ? row.text
                                                    : String(row.bytes.begin(), row.bytes.end()));
  }
  EXPECT_EQ(ErrorOf([] { DecodeAnsi(12345, "A"); }), 5);
}

}  // namespace
}  // namespace corvane::platform
