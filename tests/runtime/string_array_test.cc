// The array of String and its resize with preservation.
#include "corvane/string_array.h"

#include "tests/support/test_support.h"

namespace corvane {
namespace {

using corvane::testing::ErrorOf;

TEST(StringArray, StartsUndimensioned) {
  StringArray array;
  EXPECT_FALSE(array.dimensioned());
  EXPECT_EQ(array.dimensions(), 0);
  EXPECT_EQ(ErrorOf([&] { array.lower(); }), 9);
  EXPECT_EQ(ErrorOf([&] { array.upper(); }), 9);
  EXPECT_EQ(ErrorOf([&] { array.at(0); }), 9);
}

struct RedimRow {
  const char* name;
  StringArray before;
  Long upper;
  std::vector<String> after;  // elements afterwards, bounds 0..size-1
  int error;                  // the array is unchanged on an error
};

TEST(StringArray, RedimPreserve) {
  const StringArray xyz = StringArray::Of({u"x", u"y", u"z"});
  const RedimRow rows[] = {
      {"creates an undimensioned array", StringArray(), 2, {u"", u"", u""}, 0},
      {"grows with empty strings", xyz, 4, {u"x", u"y", u"z", u"", u""}, 0},
      {"keeps the size", xyz, 2, {u"x", u"y", u"z"}, 0},
      {"shrinks", xyz, 0, {u"x"}, 0},
      {"upper below the lower bound", xyz, -1, {}, 9},
      {"undimensioned, upper -1", StringArray(), -1, {}, 9},
      {"lower bound other than 0", StringArray::WithBounds(1, 3), 2, {}, 9},
      {"two dimensions", StringArray::WithDimensions({{0, 1}, {0, 1}}, false), 2, {}, 9},
      {"fixed size", StringArray::WithDimensions({{0, 2}}, true), 2, {}, 10},
      {"fixed size, two dimensions",
       StringArray::WithDimensions({{0, 1}, {0, 1}}, true),
       2,
       {},
       10},
  };
  for (const RedimRow& row : rows) {
    SCOPED_TRACE(row.name);
    StringArray array = row.before;
    EXPECT_EQ(ErrorOf([&] { array.RedimPreserve(row.upper); }).value_or(0), row.error);
    if (row.error != 0) {
      EXPECT_TRUE(array == row.before);
      continue;
    }
    EXPECT_EQ(array.lower(), 0);
    EXPECT_EQ(array.upper(), static_cast<Long>(row.after.size()) - 1);
    EXPECT_EQ(array.elements(), row.after);
  }
}

TEST(StringArray, BoundsAndIndexing) {
  StringArray array = StringArray::WithBounds(-2, 1);
  EXPECT_EQ(array.lower(), -2);
  EXPECT_EQ(array.upper(), 1);
  array.at(-2) = u"first";
  array.at(1) = u"last";
  EXPECT_EQ(array.elements().front(), u"first");
  EXPECT_EQ(array.elements().back(), u"last");
  EXPECT_EQ(ErrorOf([&] { array.at(2); }), 9);
  EXPECT_EQ(ErrorOf([&] { array.at(-3); }), 9);
  EXPECT_EQ(ErrorOf([] { StringArray::WithBounds(3, 2); }), 9);
  const StringArray grid = StringArray::WithDimensions({{0, 1}, {0, 2}}, false);
  EXPECT_EQ(grid.dimensions(), 2);
  EXPECT_EQ(grid.elements().size(), 6u);
  EXPECT_EQ(ErrorOf([&] { grid.at(0); }), 9);
  // Bounds whose element count exceeds memory, even where it wraps a size_t: refused with 7.
  const StringArray::Bound widest{-2147483647 - 1, 2147483647};
  EXPECT_EQ(ErrorOf([&] { StringArray::WithDimensions({widest, widest, widest}, false); }), 7);
}

}  // namespace
}  // namespace corvane
