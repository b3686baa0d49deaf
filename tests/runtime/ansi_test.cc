// The ANSI codec: code page 1252 natively (the tests run under the C locale), the system code
// page (1252 under Wine's default locale) in the Windows build. Every code page against the
// platform's: tests/runtime/code_page_platform_test.sh.
#include "runtime/ansi.h"

#include "runtime/text_ops.h"

#include <stdexcept>
#include <utility>

#include "corvane/code_page.h"
#if !defined(_WIN32)
#include "runtime/code_page.h"
#endif
#include "tests/support/test_support.h"

namespace corvane::rt {
namespace {

using corvane::testing::Show;

struct CodeRow {
  char16_t character;
  Integer code;
};

TEST(Ansi, CodePageCharacters) {
  const CodeRow rows[] = {
      {u'A', 65},        {u'\0', 0},        {u'\u00E9', 0xE9}, {u'\u00FF', 0xFF},
      {u'\u20AC', 0x80}, {u'\u2122', 0x99}, {u'\u0178', 0x9F}, {u'\u0152', 0x8C},
      {u'\u0100', '?'},  {u'\u4E2D', '?'},  {u'\u0080', '?'},  {static_cast<char16_t>(0xD83D), '?'},
  };
  for (const CodeRow& row : rows) {
    EXPECT_EQ(AnsiCodeOf(row.character), row.code) << static_cast<int>(row.character);
  }
}

TEST(Ansi, EveryByteSurvivesTheRoundTrip) {
  std::string bytes;
  for (int b = 0; b <= 255; ++b)
    bytes.push_back(static_cast<char>(b));
  const String text = FromAnsi(bytes);
  ASSERT_EQ(text.size(), 256u);
  EXPECT_EQ(ToAnsi(text), bytes);
  for (int b = 0; b <= 255; ++b)
    EXPECT_EQ(AnsiCodeOf(CharOfAnsiCode(static_cast<Byte>(b))), b);
}

TEST(Ansi, WithAnsiWritesTheConvertedTextBack) {
  String variable = u"a\u0100b";
  const size_t size = WithAnsi(variable, [](AnsiBuffer& buffer) {
    EXPECT_EQ(buffer.data()[buffer.size()], '\0');  // zero-terminated for the platform call
    buffer.data()[0] = 'X';                         // the call overwrites part of the buffer
    return buffer.size();
  });
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(variable, u"X?b") << Show(variable);
}

TEST(Ansi, WithAnsiWritesBackWhenTheCallThrows) {
  String variable = u"\u4E2D";
  EXPECT_THROW(
      WithAnsi(variable, [](AnsiBuffer&) -> int { throw RuntimeError(ErrorNumber::kOverflow); }),
      RuntimeError);
  EXPECT_EQ(variable, u"?");
}

#if !defined(_WIN32)
// The code page of a locale as Wine gives it, and a process that keeps the one it chose.
TEST(Ansi, CodePageChoice) {
  const std::pair<const char*, int> rows[] = {
      {"", 1252},           {"POSIX", 1252},         {"ru_RU.UTF-8", 1251},       {"ru", 1251},
      {"zh_TW.Big5", 950},  {"zh_SG.UTF-8", 936},    {"sr_RS.UTF-8@latin", 1250}, {"sr_RS.UTF-8", 1252},
      {"uz_UZ@cyrillic", 1251}, {"hi_IN.UTF-8", 1252}, {"@latin", 1252},          {"ja_JP.eucJP", 932},
  };
  for (const auto& [name, code_page] : rows) EXPECT_EQ(CodePageOfLocale(name), code_page) << name;
  EXPECT_EQ(corvane::AnsiCodePage(), 1252);
  EXPECT_NO_THROW(corvane::SetAnsiCodePage(1252));
  EXPECT_THROW(corvane::SetAnsiCodePage(932), std::logic_error);
  for (int refused : {437, 65001, 0, -1252}) EXPECT_THROW(corvane::SetAnsiCodePage(refused), std::invalid_argument);
}
#endif

}  // namespace
}  // namespace corvane::rt
