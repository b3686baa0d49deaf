// Conversions, checked arithmetic and number text.
#include "runtime/convert.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace corvane::rt {
namespace {

template <class T>
T RoundInto(double value) {
  const double rounded = RoundHalfEven(value);
  // NaN fails both comparisons and lands in the error too.
  if (!(rounded >= static_cast<double>(std::numeric_limits<T>::min()) &&
        rounded <= static_cast<double>(std::numeric_limits<T>::max())))
    Raise(ErrorNumber::kOverflow);
  return static_cast<T>(rounded);
}

// The numeric rank of a Variant operand: 0 Integer, 1 Long, 2 Double.
int RankOf(const Variant& v) {
  switch (v.kind()) {
    case VariantKind::kEmpty:
    case VariantKind::kInteger:
      return 0;
    case VariantKind::kLong:
      return 1;
    case VariantKind::kDouble:
    case VariantKind::kString:
      return 2;
    case VariantKind::kNull:
    case VariantKind::kError:
      break;
  }
  Raise(ErrorNumber::kTypeMismatch);
}

template <class Op>
Variant Arithmetic(const Variant& a, const Variant& b, Op op) {
  if (a.kind() == VariantKind::kError || b.kind() == VariantKind::kError)
    Raise(ErrorNumber::kTypeMismatch);
  if (a.is_null() || b.is_null()) return Variant::Null();
  const int rank = std::max(RankOf(a), RankOf(b));
  if (rank == 2) {
    const double result = op(ToDouble(a), ToDouble(b));
    if (!std::isfinite(result)) Raise(ErrorNumber::kOverflow);
    return Variant::OfDouble(result);
  }
  const long long result = op(static_cast<long long>(ToLong(a)), static_cast<long long>(ToLong(b)));
  if (rank == 1) return Variant::OfLong(Narrow<Long>(result));
  return Variant::OfInteger(Narrow<Integer>(result));
}

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

}  // namespace

double RoundHalfEven(double value) {
  if (!std::isfinite(value)) return value;
  const double floor = std::floor(value);
  const double fraction = value - floor;
  if (fraction > 0.5) return floor + 1;
  if (fraction < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

Byte ToByte(double value) {
  return RoundInto<Byte>(value);
}
Integer ToInteger(double value) {
  return RoundInto<Integer>(value);
}
Long ToLong(double value) {
  return RoundInto<Long>(value);
}

double ToDouble(const Variant& value) {
  switch (value.kind()) {
    case VariantKind::kEmpty:
      return 0;
    case VariantKind::kInteger:
      return value.integer();
    case VariantKind::kLong:
      return value.long_value();
    case VariantKind::kDouble:
      return value.double_value();
    case VariantKind::kString:
      return ParseDouble(value.string());
    case VariantKind::kNull:
      Raise(ErrorNumber::kInvalidUseOfNull);
    case VariantKind::kError:
      break;
  }
  Raise(ErrorNumber::kTypeMismatch);
}

Byte ToByte(const Variant& value) {
  return ToByte(ToDouble(value));
}
Integer ToInteger(const Variant& value) {
  return ToInteger(ToDouble(value));
}
Long ToLong(const Variant& value) {
  if (value.kind() == VariantKind::kLong) return value.long_value();
  return ToLong(ToDouble(value));
}

Long IntDiv(double dividend, double divisor) {
  const long long a = ToLong(dividend);
  const long long b = ToLong(divisor);
  if (b == 0) Raise(ErrorNumber::kDivisionByZero);
  return Narrow<Long>(a / b);  // C++ division truncates toward zero
}

Variant Add(const Variant& a, const Variant& b) {
  return Arithmetic(a, b, [](auto x, auto y) { return x + y; });
}
Variant Sub(const Variant& a, const Variant& b) {
  return Arithmetic(a, b, [](auto x, auto y) { return x - y; });
}

String CStr(Long value) {
  const std::string digits = std::to_string(value);
  return String(digits.begin(), digits.end());
}

String CStr(double value) {
  if (value == 0) return u"0";  // also -0
  // to_chars is independent of the C locale: "." is always the decimal point.
  char buffer[40];
  const auto end =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15).ptr;
  String text(buffer, end);
  for (char16_t& c : text)
    if (c == u'e') c = u'E';
  return text;
}

String Str(Long value) {
  return value >= 0 ? u" " + CStr(value) : CStr(value);
}

namespace {

// The decimal exponent of the first non-zero digit of a number text in from_chars form
// (digits[.digits][e[+-]digits]): 399 for "1000e396", -401 for "0.0001e-397". The exponent is
// saturated, so no text overflows the count. Only called for a text out of Double's range,
// which has a non-zero digit.
long long LeadingDigitExponent(const std::string& ascii) {
  constexpr long long kSaturated = 1'000'000'000'000LL;
  const size_t e = std::min(ascii.find('e'), ascii.size());
  const size_t point = std::min(ascii.find('.'), e);
  long long exponent = 0;
  bool negative = false;
  for (size_t i = e + 1; i < ascii.size(); ++i) {
    if (ascii[i] == '-') negative = true;
    if (ascii[i] >= '0' && ascii[i] <= '9')
      exponent = std::min(kSaturated, exponent * 10 + (ascii[i] - '0'));
  }
  if (negative) exponent = -exponent;
  for (size_t i = 0; i < e; ++i) {
    if (ascii[i] < '1' || ascii[i] > '9') continue;
    // Digit i stands for 10^(point - 1 - i) before the point, 10^(point - i) after it.
    const long long place =
        static_cast<long long>(point) - static_cast<long long>(i) - (i < point ? 1 : 0);
    return place + exponent;
  }
  return -kSaturated;
}

}  // namespace

double ParseDouble(StringView text) {
  size_t i = 0;
  const size_t n = text.size();
  auto skip_blanks = [&] {
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
      ++i;
  };
  std::string ascii;  // the unsigned number as from_chars reads it
  skip_blanks();
  bool negative = false;
  if (i < n && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  size_t mantissa_digits = 0;
  while (i < n && IsDigit(text[i]))
    ascii.push_back(static_cast<char>(text[i++])), ++mantissa_digits;
  if (i < n && text[i] == u'.') {
    ascii.push_back('.');
    ++i;
    while (i < n && IsDigit(text[i]))
      ascii.push_back(static_cast<char>(text[i++])), ++mantissa_digits;
  }
  if (mantissa_digits == 0) Raise(ErrorNumber::kTypeMismatch);
  if (i < n && (text[i] == u'E' || text[i] == u'e' || text[i] == u'D' || text[i] == u'd')) {
    ascii.push_back('e');
    ++i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
      ascii.push_back(static_cast<char>(text[i++]));
    size_t exponent_digits = 0;
    while (i < n && IsDigit(text[i]))
      ascii.push_back(static_cast<char>(text[i++])), ++exponent_digits;
    if (exponent_digits == 0) Raise(ErrorNumber::kTypeMismatch);
  }
  skip_blanks();
  if (i != n) Raise(ErrorNumber::kTypeMismatch);
  double value = 0;
  const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
  if (error == std::errc::result_out_of_range) {
    // Underflow reads as 0; only a magnitude beyond Double overflows.
    if (LeadingDigitExponent(ascii) >= 0) Raise(ErrorNumber::kOverflow);
    value = 0;
  } else if (error != std::errc() || end != ascii.data() + ascii.size()) {
    Raise(ErrorNumber::kTypeMismatch);
  }
  return negative ? -value : value;
}

String TextOf(const Variant& value) {
  switch (value.kind()) {
    case VariantKind::kEmpty:
      return String();
    case VariantKind::kInteger:
      return CStr(static_cast<Long>(value.integer()));
    case VariantKind::kLong:
      return CStr(value.long_value());
    case VariantKind::kDouble:
      return CStr(value.double_value());
    case VariantKind::kString:
      return value.string();
    case VariantKind::kNull:
      Raise(ErrorNumber::kInvalidUseOfNull);
    case VariantKind::kError:
      break;
  }
  Raise(ErrorNumber::kTypeMismatch);
}

}  // namespace corvane::rt
