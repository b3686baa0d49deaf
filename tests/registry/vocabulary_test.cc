// The registry's vocabulary: the root lookups that the classes and the tool make differently,
// and the path splitter they share.
#include "registry/vocabulary.h"

#include <gtest/gtest.h>

namespace corvane::registry {
namespace {

TEST(Vocabulary, RootLookups) {
  const struct {
    const char16_t* name;
    Long exact;  // the classes: full names as written, every root (0: none)
    Long any;    // the tool: full or short names in any case, roots that hold keys (0: none)
  } kRows[] = {
      {u"HKEY_CURRENT_USER", kCurrentUser, kCurrentUser},
      {u"hkey_current_user", 0, kCurrentUser},
      {u"HKCU", 0, kCurrentUser},
      {u"hkcr", 0, kClassesRoot},
      {u"HKEY_PERFORMANCE_DATA", kPerformanceData, 0},
      {u"HKEY_DYN_DATA", kDynData, 0},
      {u"HKEY_CURRENT_USER ", 0, 0},
      {u"", 0, 0},
  };
  for (const auto& row : kRows) {
    const Root* exact = RootByExactName(row.name);
    const Root* any = RootByAnyName(row.name);
    EXPECT_EQ(exact != nullptr ? exact->handle : 0, row.exact) << rt::ToUtf8(row.name);
    EXPECT_EQ(any != nullptr ? any->handle : 0, row.any) << rt::ToUtf8(row.name);
  }
}

// Which names are one name (tests/registry/fold_platform_test.sh holds every code unit to the
// platform's registry; these are the letters that an earlier fold got wrong either way).
TEST(Vocabulary, NamesFoldAsThePlatformFoldsThem) {
  const struct {
    const char16_t* a;
    const char16_t* b;
    bool one;
  } kRows[] = {
      {u"Łódź", u"łÓDŹ", true},   {u"Ž", u"ž", true},   {u"Ключ", u"КЛЮЧ", true},
      {u"ΣΟΦΙΑ", u"σοφια", true}, {u"ǆ", u"Ǆ", true},   {u"ÿ", u"Ÿ", true},
      {u"Ĺ", u"ĸ", false},        {u"Ž", u"ż", false},  {u"Ź", u"Ÿ", false},
      {u"ſ", u"ž", false},        {u"ı", u"I", false},  {u"ſ", u"S", false},
      {u"ǅ", u"Ǆ", false},        {u"ß", u"SS", false}, {u"K", u"\u212A", false},
  };
  for (const auto& row : kRows)
    EXPECT_EQ(Fold(row.a) == Fold(row.b), row.one) << rt::ToUtf8(row.a) << " " << rt::ToUtf8(row.b);
}

TEST(Vocabulary, KeyPathsSplitAtBackslashesWithoutEmptyComponents) {
  EXPECT_EQ(SplitKeyPath(u"a\\b"), (std::vector<String>{u"a", u"b"}));
  EXPECT_EQ(SplitKeyPath(u"\\\\a\\\\b\\"), (std::vector<String>{u"a", u"b"}));
  EXPECT_EQ(SplitKeyPath(u""), std::vector<String>{});
}

TEST(Vocabulary, DwordDataIsLittleEndianTwosComplement) {
  EXPECT_EQ(DwordData(-2), std::string("\xFE\xFF\xFF\xFF", 4));
  EXPECT_EQ(DwordOfData(std::string("\x2A\x00\x00\x80", 4)), static_cast<Long>(0x8000002Au));
}

// A name from a file that is not UTF-8 comes back to the same bytes, and is shown escaped.
TEST(Vocabulary, NamesThatAreNotUtf8KeepTheirBytes) {
  const struct {
    std::string stored, shown;
  } kRows[] = {
      {"ok \xC5\x81\xC3\xB3"
       "d\xC5\xBA",
       "ok \xC5\x81\xC3\xB3"
       "d\xC5\xBA"},
      {"a\xFF"
       "b",
       "a\\xFFb"},
      {"\xC0\x80", "\\xC0\\x80"},           // an overlong NUL
      {"\xE2\x82", "\\xE2\\x82"},           // cut short
      {"\xED\xB3\xBF", "\\xED\\xB3\\xBF"},  // a surrogate
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(StoredUtf8(FromStoredUtf8(row.stored)), row.stored) << row.shown;
    EXPECT_EQ(ShownName(FromStoredUtf8(row.stored)), row.shown);
  }
}

}  // namespace
}  // namespace corvane::registry
