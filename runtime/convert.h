// Numbers: conversions with their range test, checked arithmetic, and number <-> text.
//
// Every conversion to Byte, Integer or Long rounds a Double to the nearest whole number (ties
// to the even neighbour) and raises error 6 when the value lies outside the target type. Every
// addition and subtraction on those types raises error 6 when its result leaves the type.
#pragma once

#include <limits>

#include "runtime/errors.h"
#include "corvane/variant.h"

namespace corvane::rt {

// Rounds to the nearest whole number, ties to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
double RoundHalfEven(double value);

// Double -> integer type: rounds half to even; error 6 outside the type (NaN included).
Byte ToByte(double value);
Integer ToInteger(double value);
Long ToLong(double value);

// Variant -> number. Empty is 0; a String is read as a Double from its numeric text (error 13
// when it is not a number); Null raises 94; an Error value raises 13. Range as above.
double ToDouble(const Variant& value);
Byte ToByte(const Variant& value);
Integer ToInteger(const Variant& value);
Long ToLong(const Variant& value);

// Whole-number narrowing with the range test (error 6).
template <class T>
T Narrow(long long value) {
  if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max())
    Raise(ErrorNumber::kOverflow);
  return static_cast<T>(value);
}

// Checked addition and subtraction on Byte, Integer and Long: error 6 when the result leaves T.
template <class T>
T CheckedAdd(T a, T b) {
  return Narrow<T>(static_cast<long long>(a) + static_cast<long long>(b));
}
template <class T>
T CheckedSub(T a, T b) {
  return Narrow<T>(static_cast<long long>(a) - static_cast<long long>(b));
}

// Integer division (`\`): both operands rounded half to even into Long range (error 6), the
// quotient truncated toward zero. Division by zero raises 11; a quotient outside Long raises 6.
Long IntDiv(double dividend, double divisor);

// Variant addition and subtraction. A String operand counts as the Double of its numeric text
// (error 13 when it is not a number, "" included); Empty counts as an Integer 0; Null gives
// Null; an Error value raises 13. The result has the wider kind of the two (Integer < Long <
// Double; Double as soon as a String took part), and error 6 when it leaves that kind.
Variant Add(const Variant& a, const Variant& b);
Variant Sub(const Variant& a, const Variant& b);

// CStr: decimal digits, "-" in front of a negative number, no blank in front of a positive one.
// A Double is written with up to 15 significant digits, in exponent form ("1E+20", "1.5E-07")
// below 1E-04 and from 1E+15 on.
String CStr(Long value);
String CStr(double value);
// Str: the text of CStr with one blank in front of a number that is zero or positive.
String Str(Long value);

// Reads a decimal number: optional blanks, a sign, digits with at most one ".", an optional
// exponent (E or D, with a sign); everything CStr writes. Error 13 for anything else and for "".
double ParseDouble(StringView text);

// The text form of a Variant, as every text operation takes it: Empty is "", numbers as CStr,
// a String as it is. Null raises 94; an Error value raises 13.
String TextOf(const Variant& value);

// The text form of a Variant, without a copy when it holds a String. Valid while the Variant
// is unchanged.
class VariantText {
 public:
  explicit VariantText(const Variant& value)
      : owned_(value.kind() == VariantKind::kString ? String() : TextOf(value)),
        view_(value.kind() == VariantKind::kString ? StringView(value.string())
                                                   : StringView(owned_)) {}
  VariantText(const VariantText&) = delete;
  VariantText& operator=(const VariantText&) = delete;

  StringView view() const { return view_; }

 private:
  String owned_;     // the converted text when the Variant holds no String
  StringView view_;  // the text: into the Variant or into owned_
};

}  // namespace corvane::rt
