// The runtime text operations and their edges.
#include "runtime/text_ops.h"

#include "tests/support/test_support.h"

namespace corvane::rt {
namespace {

using corvane::testing::ErrorOf;
using corvane::testing::Show;

struct MidRow {
  const char16_t* s;
  Long start;
  Long n;  // -2: Mid without a length
  const char16_t* expected;
  int error;
};

TEST(TextOps, Mid) {
  const MidRow rows[] = {
      {u"abc", 1, -2, u"abc", 0}, {u"abc", 2, -2, u"bc", 0}, {u"abc", 3, -2, u"c", 0},
      {u"abc", 4, -2, u"", 0},    {u"abc", 99, 1, u"", 0},   {u"abc", 2, 1, u"b", 0},
      {u"abc", 2, 5, u"bc", 0},   {u"abc", 1, 0, u"", 0},    {u"", 1, 1, u"", 0},
      {u"abc", 0, 1, u"", 5},     {u"abc", 0, -2, u"", 5},   {u"abc", -1, 1, u"", 5},
      {u"abc", 1, -1, u"", 5},
  };
  for (const MidRow& row : rows) {
    SCOPED_TRACE(::testing::Message() << Show(row.s) << " " << row.start << " " << row.n);
    const auto error = ErrorOf([&] {
      const String got = row.n == -2 ? Mid(row.s, row.start) : Mid(row.s, row.start, row.n);
      EXPECT_EQ(got, row.expected);
    });
    EXPECT_EQ(error.value_or(0), row.error);
  }
}

struct LeftRightRow {
  const char16_t* s;
  Long n;
  const char16_t* left;
  const char16_t* right;
  int error;
};

TEST(TextOps, LeftAndRight) {
  const LeftRightRow rows[] = {
      {u"abc", 0, u"", u"", 0},       {u"abc", 1, u"a", u"c", 0},     {u"abc", 2, u"ab", u"bc", 0},
      {u"abc", 3, u"abc", u"abc", 0}, {u"abc", 9, u"abc", u"abc", 0}, {u"", 1, u"", u"", 0},
      {u"abc", -1, u"", u"", 5},
  };
  for (const LeftRightRow& row : rows) {
    SCOPED_TRACE(::testing::Message() << Show(row.s) << " " << row.n);
    EXPECT_EQ(ErrorOf([&] { EXPECT_EQ(Left(row.s, row.n), row.left); }).value_or(0), row.error);
    EXPECT_EQ(ErrorOf([&] { EXPECT_EQ(Right(row.s, row.n), row.right); }).value_or(0), row.error);
  }
}

struct InStrRow {
  Long start;
  const char16_t* s;
  const char16_t* find;
  Long expected;
  int error;
};

TEST(TextOps, InStr) {
  const InStrRow rows[] = {
      {1, u"abc", u"", 1, 0},     {2, u"abc", u"", 2, 0},     {3, u"abc", u"", 3, 0},
      {4, u"abc", u"", 0, 0},     {1, u"", u"", 0, 0},        {1, u"", u"a", 0, 0},
      {1, u"abc", u"b", 2, 0},    {1, u"abc", u"bc", 2, 0},   {2, u"abcabc", u"a", 4, 0},
      {4, u"abcabc", u"a", 4, 0}, {5, u"abcabc", u"a", 0, 0}, {4, u"abc", u"c", 0, 0},
      {1, u"abc", u"B", 0, 0},    {1, u"abc", u"abcd", 0, 0}, {0, u"abc", u"a", 0, 5},
      {0, u"abc", u"", 0, 5},     {-3, u"", u"", 0, 5},
  };
  for (const InStrRow& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.start << " " << Show(row.s) << " " << Show(row.find));
    EXPECT_EQ(
        ErrorOf([&] { EXPECT_EQ(InStr(row.start, row.s, row.find), row.expected); }).value_or(0),
        row.error);
  }
  // An embedded zero is an ordinary character.
  const String with_nul(u"a\0b", 3);
  EXPECT_EQ(InStr(1, with_nul, String(1, u'\0')), 2);
}

TEST(TextOps, AscAndChr) {
  EXPECT_EQ(Asc(u"A"), 65);
  EXPECT_EQ(Asc(u"abc"), 97);
  EXPECT_EQ(Asc(String(1, u'\0')), 0);
  EXPECT_EQ(ErrorOf([] { Asc(u""); }), 5);
  EXPECT_EQ(Chr(0), String(1, u'\0'));
  EXPECT_EQ(Chr(65), u"A");
  EXPECT_EQ(Len(Chr(0)), 1);
  EXPECT_EQ(ErrorOf([] { Chr(256); }), 5);
  EXPECT_EQ(ErrorOf([] { Chr(-1); }), 5);
  // Chr and Asc are inverse over the whole byte range.
  for (Long code = 0; code <= 255; ++code)
    EXPECT_EQ(Asc(Chr(code)), code);
}

TEST(TextOps, TrimSpaceStringAndConcat) {
  EXPECT_EQ(Trim(u"  a b  "), u"a b");
  EXPECT_EQ(Trim(u"   "), u"");
  EXPECT_EQ(Trim(u""), u"");
  EXPECT_EQ(Trim(u"\ta\t"), u"\ta\t");  // blanks only
  EXPECT_EQ(Trim(String(u" a\0 ", 4)), String(u"a\0", 2));
  EXPECT_EQ(Space(0), u"");
  EXPECT_EQ(Space(3), u"   ");
  EXPECT_EQ(ErrorOf([] { Space(-1); }), 5);
  EXPECT_EQ(StringFill(3, u"xy"), u"xxx");
  EXPECT_EQ(StringFill(0, u"x"), u"");
  EXPECT_EQ(ErrorOf([] { StringFill(2, u""); }), 5);
  EXPECT_EQ(ErrorOf([] { StringFill(-1, u"x"); }), 5);
  EXPECT_EQ(Concat(u"ab", u"cd"), u"abcd");
  EXPECT_EQ(Concat(u"", u""), u"");
  EXPECT_EQ(Len(u""), 0);
  EXPECT_EQ(Len(u"abc"), 3);
}

}  // namespace
}  // namespace corvane::rt
