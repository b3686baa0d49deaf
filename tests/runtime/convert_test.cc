// Conversions, checked arithmetic, Variant arithmetic and number text.
#include "runtime/convert.h"

#include <cmath>
#include <limits>
#include <optional>

#include "tests/support/test_support.h"

namespace corvane::rt {
namespace {

using corvane::testing::ErrorOf;
using corvane::testing::Show;

constexpr int kNoError = 0;

struct RoundRow {
  double input;
  long long expected;  // meaningful when error == kNoError
  int byte_error;      // error of ToByte
  int integer_error;   // error of ToInteger
  int long_error;      // error of ToLong
};

TEST(Convert, RoundsHalfToEvenAndTestsTheRange) {
  const RoundRow rows[] = {
      {2.5, 2, 0, 0, 0},
      {3.5, 4, 0, 0, 0},
      {-2.5, -2, 6, 0, 0},
      {-3.5, -4, 6, 0, 0},
      {0.5, 0, 0, 0, 0},
      {1.5, 2, 0, 0, 0},
      {2.4999999, 2, 0, 0, 0},
      {2.5000001, 3, 0, 0, 0},
      {-0.4, 0, 0, 0, 0},
      {-0.5, 0, 0, 0, 0},
      {-0.6, -1, 6, 0, 0},
      {255.4, 255, 0, 0, 0},
      {255.5, 256, 6, 0, 0},
      {32767.0, 32767, 6, 0, 0},
      {32767.5, 32768, 6, 6, 0},
      {-32768.5, -32768, 6, 0, 0},
      {-32769.0, -32769, 6, 6, 0},
      {2147483647.0, 2147483647, 6, 6, 0},
      {2147483647.5, 2147483648, 6, 6, 6},
      {-2147483648.5, -2147483648LL, 6, 6, 0},
      {1e300, 0, 6, 6, 6},
      {std::numeric_limits<double>::quiet_NaN(), 0, 6, 6, 6},
  };
  for (const RoundRow& row : rows) {
    SCOPED_TRACE(row.input);
    const auto byte_error = ErrorOf([&] { EXPECT_EQ(ToByte(row.input), row.expected); });
    EXPECT_EQ(byte_error.value_or(kNoError), row.byte_error);
    const auto integer_error = ErrorOf([&] { EXPECT_EQ(ToInteger(row.input), row.expected); });
    EXPECT_EQ(integer_error.value_or(kNoError), row.integer_error);
    const auto long_error = ErrorOf([&] { EXPECT_EQ(ToLong(row.input), row.expected); });
    EXPECT_EQ(long_error.value_or(kNoError), row.long_error);
  }
}

TEST(Convert, EveryByteAndIntegerValueConvertsToItself) {
  for (int v = -40000; v <= 40000; ++v) {
    const bool in_byte = v >= 0 && v <= 255;
    const bool in_integer = v >= -32768 && v <= 32767;
    ASSERT_EQ(ErrorOf([&] { ASSERT_EQ(ToByte(double(v)), v); }).has_value(), !in_byte) << v;
    ASSERT_EQ(ErrorOf([&] { ASSERT_EQ(ToInteger(double(v)), v); }).has_value(), !in_integer) << v;
  }
}

TEST(Convert, CheckedArithmeticRaisesOverflowAtTheEdges) {
  EXPECT_EQ(ErrorOf([] { CheckedAdd<Integer>(32767, 1); }), 6);
  EXPECT_EQ(ErrorOf([] { CheckedSub<Integer>(-32768, 1); }), 6);
  EXPECT_EQ(ErrorOf([] { CheckedAdd<Byte>(255, 1); }), 6);
  EXPECT_EQ(ErrorOf([] { CheckedSub<Byte>(0, 1); }), 6);
  EXPECT_EQ(ErrorOf([] { CheckedAdd<Long>(2147483647, 1); }), 6);
  EXPECT_EQ(ErrorOf([] { CheckedSub<Long>(-2147483647 - 1, 1); }), 6);
  EXPECT_EQ(CheckedAdd<Integer>(32766, 1), 32767);
  EXPECT_EQ(CheckedSub<Integer>(-32767, 1), -32768);
  EXPECT_EQ(CheckedAdd<Byte>(254, 1), 255);
  EXPECT_EQ(CheckedAdd<Integer>(-32768, 32767), -1);
}

struct IntDivRow {
  double dividend;
  double divisor;
  Long expected;
  int error;
};

TEST(Convert, IntegerDivisionRoundsOperandsAndTruncates) {
  const IntDivRow rows[] = {
      {7, 2, 3, 0},
      {-7, 2, -3, 0},
      {7, -2, -3, 0},
      {2.5, 1, 2, 0},
      {3.5, 1, 4, 0},
      {5.5, 2.5, 3, 0},  // 6 \ 2
      {327.7, 6, 54, 0},
      {-5.5, 6, -1, 0},
      {1, 0.4, 0, 11},  // divisor rounds to 0
      {-2147483648.0, -1, 0, 6},
      {3e9, 1, 0, 6},
  };
  for (const IntDivRow& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.dividend << " \\ " << row.divisor);
    const auto error = ErrorOf([&] { EXPECT_EQ(IntDiv(row.dividend, row.divisor), row.expected); });
    EXPECT_EQ(error.value_or(kNoError), row.error);
  }
}

struct ArithmeticRow {
  Variant a;
  Variant b;
  bool add;
  Variant expected;
  int error;
};

TEST(Convert, AVariantOfAnotherKindIsATypeMismatchOrNothing) {
  const Variant empty, text = Variant::OfString(u"7");
  EXPECT_EQ(ErrorOf([&] { (void)empty.string(); }), 13);
  EXPECT_EQ(ErrorOf([&] { (void)text.long_value(); }), 13);
  EXPECT_FALSE(empty.as_string().has_value());
  EXPECT_EQ(text.as_string(), String(u"7"));
  EXPECT_EQ(empty.string_or(u"none"), u"none");
}

TEST(Convert, VariantArithmeticTakesTheWiderKind) {
  const Variant empty;
  const auto I = Variant::OfInteger;
  const auto L = Variant::OfLong;
  const auto D = Variant::OfDouble;
  const auto S = [](const char16_t* s) { return Variant::OfString(s); };
  const ArithmeticRow rows[] = {
      {empty, empty, true, I(0), 0},
      {empty, I(5), true, I(5), 0},
      {I(5), empty, false, I(5), 0},
      {I(2), I(3), true, I(5), 0},
      {I(2), I(3), false, I(-1), 0},
      {I(32767), I(1), true, {}, 6},
      {I(-32768), I(1), false, {}, 6},
      {I(1), L(2), true, L(3), 0},
      {L(2147483647), I(1), true, {}, 6},
      {I(1), D(0.5), true, D(1.5), 0},
      {S(u"12"), I(1), true, D(13), 0},
      {I(1), S(u" 2.5 "), false, D(-1.5), 0},
      {S(u"1E+20"), S(u"1"), true, D(1e20 + 1), 0},
      {S(u"abc"), I(1), true, {}, 13},
      {S(u""), I(1), true, {}, 13},
      {Variant::Missing(), I(1), true, {}, 13},
      {Variant::Null(), I(1), true, Variant::Null(), 0},
      {D(1e308), D(1e308), true, {}, 6},
  };
  for (const ArithmeticRow& row : rows) {
    SCOPED_TRACE(::testing::Message() << "row " << (&row - rows));
    Variant result;
    const auto error = ErrorOf([&] { result = row.add ? Add(row.a, row.b) : Sub(row.a, row.b); });
    EXPECT_EQ(error.value_or(kNoError), row.error);
    if (row.error == kNoError) {
      EXPECT_TRUE(result == row.expected) << TypeName(result.kind());
    }
  }
}

struct VariantToIntegerRow {
  Variant input;
  Integer expected;
  int error;
};

TEST(Convert, VariantToInteger) {
  const VariantToIntegerRow rows[] = {
      {Variant(), 0, 0},
      {Variant::OfLong(32767), 32767, 0},
      {Variant::OfLong(32768), 0, 6},
      {Variant::OfDouble(2.5), 2, 0},
      {Variant::OfString(u"3.5"), 4, 0},
      {Variant::OfString(u"-12"), -12, 0},
      {Variant::OfString(u"x"), 0, 13},
      {Variant::OfString(u"40000"), 0, 6},
      {Variant::Null(), 0, 94},
      {Variant::Missing(), 0, 13},
  };
  for (const VariantToIntegerRow& row : rows) {
    SCOPED_TRACE(::testing::Message() << "row " << (&row - rows));
    const auto error = ErrorOf([&] { EXPECT_EQ(ToInteger(row.input), row.expected); });
    EXPECT_EQ(error.value_or(kNoError), row.error);
  }
}

struct NumberTextRow {
  double value;
  const char16_t* cstr;
};

TEST(Convert, CStrAndStrWriteNumbers) {
  EXPECT_EQ(CStr(Long{0}), u"0");
  EXPECT_EQ(CStr(Long{42}), u"42");
  EXPECT_EQ(CStr(Long{-42}), u"-42");
  EXPECT_EQ(CStr(Long{-2147483647 - 1}), u"-2147483648");
  EXPECT_EQ(Str(Long{0}), u" 0");
  EXPECT_EQ(Str(Long{42}), u" 42");
  EXPECT_EQ(Str(Long{-42}), u"-42");

  const NumberTextRow rows[] = {
      {0.0, u"0"},
      {-0.0, u"0"},
      {1.5, u"1.5"},
      {-0.25, u"-0.25"},
      {0.1, u"0.1"},
      {0.0001, u"0.0001"},
      {0.00001, u"1E-05"},
      {1.5e-7, u"1.5E-07"},
      {1e14, u"100000000000000"},
      {1e15, u"1E+15"},
      {1e20, u"1E+20"},
      {1.0 / 3.0, u"0.333333333333333"},
      {123456789012345678.0, u"1.23456789012346E+17"},
  };
  for (const NumberTextRow& row : rows) {
    EXPECT_EQ(CStr(row.value), row.cstr) << row.value;
  }
}

TEST(Convert, ParseDoubleReadsWhatCStrWrites) {
  const double values[] = {0,      1.5,   -0.25,  1e-5, 1.5e-7,    1e15, 1e20,        -1e300,
                           1e-300, 32767, -32768, 0.1,  1.0 / 3.0, 2.5,  12345678.875};
  for (double v : values) {
    const String text = CStr(v);
    const double back = ParseDouble(text);
    // CStr keeps 15 significant digits, so the text reads back to within that precision.
    EXPECT_NEAR(back, v, std::abs(v) * 1e-14) << Show(text);
    EXPECT_EQ(CStr(back), text);
  }
  EXPECT_EQ(ParseDouble(u"  -12.5  "), -12.5);
  EXPECT_EQ(ParseDouble(u"+3"), 3);
  EXPECT_EQ(ParseDouble(u".5"), 0.5);
  EXPECT_EQ(ParseDouble(u"5."), 5);
  EXPECT_EQ(ParseDouble(u"1D3"), 1000);
  EXPECT_EQ(ParseDouble(u"1e-400"), 0);
  const char16_t* refused[] = {u"", u" ", u"abc", u"1x", u"1e", u"--1", u".", u"1.2.3", u"1 2"};
  for (const char16_t* text : refused)
    EXPECT_EQ(ErrorOf([&] { ParseDouble(text); }), 13) << Show(text);
  EXPECT_EQ(ErrorOf([] { ParseDouble(u"1e400"); }), 6);
}

TEST(Convert, ParseDoubleTellsOverflowFromUnderflowByMagnitude) {
  const String zeros(400, u'0');
  struct Row {
    String text;
    double value;  // when no error
    std::optional<int32_t> error;
  };
  const Row rows[] = {
      {u"1" + zeros + u"e-1", 0, 6},            // 1E+399
      {u"0." + zeros + u"1", 0, std::nullopt},  // 1E-401
      {u"-0." + zeros + u"1e2", -0.0, std::nullopt},
      {u"0." + zeros + u"1e700", 1e299, std::nullopt},
      {u"1.7976931348623157e308", 1.7976931348623157e308, std::nullopt},
      {u"1.8e308", 0, 6},
      {u"-1e309", 0, 6},
      {u"1e-400", 0, std::nullopt},
      {u"0.0001e-397", 0, std::nullopt},
      {u"1e99999999999999999999", 0, 6},
      {u"1e-99999999999999999999", 0, std::nullopt},
  };
  for (const Row& row : rows) {
    double value = 0;
    EXPECT_EQ(ErrorOf([&] { value = ParseDouble(row.text); }), row.error) << Show(row.text);
    if (!row.error) {
      EXPECT_EQ(value, row.value) << Show(row.text);
    }
  }
}

TEST(Convert, TextOfEveryKind) {
  EXPECT_EQ(TextOf(Variant()), u"");
  EXPECT_EQ(TextOf(Variant::OfInteger(-7)), u"-7");
  EXPECT_EQ(TextOf(Variant::OfLong(123456)), u"123456");
  EXPECT_EQ(TextOf(Variant::OfDouble(2.5)), u"2.5");
  EXPECT_EQ(TextOf(Variant::OfString(u"x")), u"x");
  EXPECT_EQ(ErrorOf([] { TextOf(Variant::Null()); }), 94);
  EXPECT_EQ(ErrorOf([] { TextOf(Variant::Missing()); }), 13);
}

}  // namespace
}  // namespace corvane::rt
