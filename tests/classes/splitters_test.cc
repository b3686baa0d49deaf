// The scrambler and the two splitters: every worked example as a table row, the failure table
// of Splits, and the Integer limits.
#include <optional>
#include <vector>

#include "corvane/tarnel.h"
#include "tests/support/test_support.h"

namespace corvane {
namespace {

using corvane::testing::ErrorOf;
using corvane::testing::Show;

using Elements = std::vector<String>;

TEST(Scramb, EvensThenOdds) {
  struct Row {
    String text;
    String expected;
  };
  const Row rows[] = {
      {u"abcdef", u"bdface"}, {u"abc", u"bac"}, {u"ab", u"ba"},
      {u"a", u"a"},           {u"", u""},       {String(u"\0x", 2), String(u"x\0", 2)}};
  Tarnel tarnel;
  for (const Row& row : rows) {
    String text = row.text;
    ByRef<String> ref(text);
    EXPECT_EQ(tarnel.scramb(ref), row.expected) << Show(row.text);
    EXPECT_FALSE(ref.assigned());
  }
  String longest(32767, u'a');
  longest[32765] = u'b';  // position 32766: even, so last of the evens
  const String out = tarnel.scramb(longest);
  EXPECT_EQ(out.size(), 32767u);
  EXPECT_EQ(out[16382], u'b');
  String too_long(32768, u'a');
  EXPECT_EQ(ErrorOf([&] { tarnel.scramb(too_long); }), 6);
}

// One call of Splits and everything the caller's variables hold afterwards.
struct SplitsRow {
  const char* name;
  String chaine;
  String separ;
  std::optional<Elements> tableau;  // nullopt: undimensioned
  Integer nb_elem;
  String chaine_after;
  std::optional<Elements> tableau_after;
  Integer nb_elem_after;
  Integer result;
};

StringArray ArrayOf(const std::optional<Elements>& elements) {
  return elements ? StringArray::Of(*elements) : StringArray();
}

TEST(Splits, WorkedExamplesAndFailures) {
  const SplitsRow rows[] = {
      {"two elements", u"ab,cd", u",", {}, 0, u"ab,cd,", Elements{u"ab", u"cd"}, 2, 0},
      {"already terminated", u"ab,cd,", u",", {}, 0, u"ab,cd,", Elements{u"ab", u"cd"}, 2, 0},
      {"empty middle", u"a,,b", u",", {}, 0, u"a,,b,", Elements{u"a", u"", u"b"}, 3, 0},
      {"separator first", u",a", u",", {}, 0, u",a,", Elements{u"", u"a"}, 2, 0},
      {"no separator", u"abc", u",", {}, 0, u"abc,", Elements{u"abc"}, 1, 0},
      {"empty text", u"", u",", {}, 0, u",", Elements{u""}, 1, 0},
      {"only the separator", u",", u",", {}, 0, u",", Elements{u""}, 1, 0},
      {"empty separator", u"abc", u"", {}, 0, u"abc", std::nullopt, 0, 5},
      {"appends", u"c,d", u",", Elements{u"x", u"y", u"z"}, 3, u"c,d,",
       Elements{u"x", u"y", u"z", u"c", u"d"}, 5, 0},
      {"shrinks", u"c,d", u",", Elements{u"x", u"y", u"z", u"w", u"v"}, 1, u"c,d,",
       Elements{u"x", u"c", u"d"}, 3, 0},
      {"fills a gap", u"c", u",", {}, 2, u"c,", Elements{u"", u"", u"c"}, 3, 0},
      {"two-character separator",
       u"ab--cd--",
       u"--",
       {},
       0,
       u"ab--cd----",
       Elements{u"ab", u"cd", u""},
       3,
       0},
      {"two-character separator, first found at 1",
       u"--a",
       u"--",
       {},
       0,
       u"--a--",
       Elements{u"", u"a"},
       2,
       0},
      {"negative nb_elem", u"a,b", u",", Elements{u"x"}, -1, u"a,b,", Elements{u"x"}, -1, 9},
      {"last slot", u"a,b", u",", {}, 32767, u"a,b,", std::nullopt, 32767, 6},
  };
  Tarnel tarnel;
  for (const SplitsRow& row : rows) {
    SCOPED_TRACE(row.name);
    String chaine = row.chaine, separ = row.separ;
    StringArray tableau = ArrayOf(row.tableau);
    Integer nb_elem = row.nb_elem;
    EXPECT_EQ(tarnel.Splits(chaine, separ, tableau, nb_elem), row.result);
    EXPECT_EQ(chaine, row.chaine_after);
    EXPECT_EQ(separ, row.separ);
    EXPECT_EQ(nb_elem, row.nb_elem_after);
    if (row.name == std::string("last slot")) {
      EXPECT_EQ(tableau.upper(), 32767);
      EXPECT_EQ(tableau.at(32767), u"a");
    } else {
      EXPECT_EQ(tableau, ArrayOf(row.tableau_after));
    }
  }
}

TEST(Splits, ResizeRefusalsStoreNothing) {
  struct Row {
    const char* name;
    StringArray tableau;
    Integer result;
  };
  const Row rows[] = {
      {"fixed size", StringArray::WithDimensions({{0, 0}}, true), 10},
      {"two dimensions", StringArray::WithDimensions({{0, 1}, {0, 1}}, false), 9},
      {"lower bound 1", StringArray::WithBounds(1, 2), 9},
  };
  Tarnel tarnel;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    String chaine = u"a,b", separ = u",";
    StringArray tableau = row.tableau;
    Integer nb_elem = 0;
    EXPECT_EQ(tarnel.Splits(chaine, separ, tableau, nb_elem), row.result);
    EXPECT_EQ(tableau, row.tableau);
    EXPECT_EQ(nb_elem, 0);
  }
}

TEST(Splits, PositionsStopAtTheIntegerLimit) {
  Tarnel tarnel;
  // Terminated texts of 32766 and 32767 characters, one-character elements.
  for (const size_t length : {32766u, 32767u}) {
    SCOPED_TRACE(length);
    String chaine;
    for (int k = 0; k < 16382; ++k)
      chaine += u"a,";
    chaine += length == 32766 ? u"a," : u"bb,";
    String separ = u",";
    StringArray tableau;
    Integer nb_elem = 0;
    const Integer result = tarnel.Splits(chaine, separ, tableau, nb_elem);
    EXPECT_EQ(chaine.size(), length);
    EXPECT_EQ(result, length == 32766 ? 0 : 6);
    EXPECT_EQ(nb_elem, 16383) << "every element stored";
  }
  // Beyond: the first separator past 32767 ends the split, its element not stored.
  String chaine = String(40000, u'x') + u",y";
  String separ = u",";
  StringArray tableau;
  Integer nb_elem = 0;
  EXPECT_EQ(tarnel.Splits(chaine, separ, tableau, nb_elem), 6);
  EXPECT_EQ(nb_elem, 0);
  EXPECT_FALSE(tableau.dimensioned());
}

struct SSplitRow {
  String text;
  String delims;
  Elements elements;
  Long result;
};

TEST(SSplit, WorkedExamples) {
  const String def = Tarnel::DefaultDelimiters();
  const SSplitRow rows[] = {
      {u"a b;c", u"", {u"a", u"b", u"c"}, 2},
      {u"a;b;", u"", {u"a", u"b", u""}, 2},
      {u"a  b", u"", {u"a", u"", u"b"}, 2},
      {u"a\r\nb", u"", {u"a", u"", u"b"}, 2},
      {u"x", u"", {u"x"}, 0},
      {u";", u"", {u"", u""}, 1},
      {u"", u"", {u""}, -1},
      {u"a,b,", u",", {u"a", u"b"}, 1},
      {u"a,b", u",", {u"a", u"b"}, 1},
      {u",", u",", {u""}, -1},
      {u"", u",", {u""}, -1},
      {u"a,b,", u",;", {u"a", u"b", u""}, 2},
      {u"a;b", u"x", {u"a;b"}, 0},
      {u"a;b;", u";", {u"a", u"b"}, 1},
      {String(u"a\0b", 3), u"", {u"a", u"b"}, 1},
      // A set longer than 16 is looked up through a table of every code unit.
      {u"a1b\uFFFFc9", u"0123456789\uFFFFxyzuvw", {u"a", u"b", u"c", u""}, 3},
      {u"a,b", u"0123456789\uFFFFxyzuvw,", {u"a", u"b"}, 1},
  };
  Tarnel tarnel;
  for (const SSplitRow& row : rows) {
    SCOPED_TRACE(Show(row.text) + " / " + Show(row.delims));
    String delims = row.delims;
    StringArray result = StringArray::Of({u"p", u"q", u"r"});
    const String text = row.text;
    EXPECT_EQ(tarnel.sSplit(text, delims, result), row.result);
    EXPECT_EQ(delims, row.delims.empty() ? def : row.delims);
    EXPECT_EQ(result, StringArray::Of(row.elements));
  }
}

TEST(SSplit, ARefusedResizeKeepsTheDefaultSet) {
  Tarnel tarnel;
  String delims;
  StringArray fixed = StringArray::WithDimensions({{0, 2}}, true);
  EXPECT_EQ(ErrorOf([&] { tarnel.sSplit(u"a b", delims, fixed); }), 10);
  EXPECT_EQ(delims, Tarnel::DefaultDelimiters());
}

}  // namespace
}  // namespace corvane
