// Date-time text in the time pattern, and its reading back.
#include "runtime/date_text.h"

#include "runtime/errors.h"

namespace corvane::rt {
namespace {

void AppendDigits(String& out, int value, int width) {
  String digits;
  for (long long v = value < 0 ? -static_cast<long long>(value) : value; v > 0 || width > 0;
       v /= 10, --width)
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + v % 10));
  if (value < 0) digits.insert(digits.begin(), u'-');
  out += digits;
}

// Reads exactly `width` digits at `at`; raises 13 otherwise.
int ReadDigits(StringView text, size_t& at, int width) {
  int value = 0;
  for (int i = 0; i < width; ++i, ++at) {
    if (at >= text.size() || text[at] < u'0' || text[at] > u'9') Raise(ErrorNumber::kTypeMismatch);
    value = value * 10 + (text[at] - u'0');
  }
  return value;
}

void Expect(StringView text, size_t& at, StringView literal) {
  if (text.substr(at, literal.size()) != literal) Raise(ErrorNumber::kTypeMismatch);
  at += literal.size();
}

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1 January of year 1 to the given date (proleptic Gregorian calendar).
long long DaysBefore(int year, int month, int day) {
  const long long y = year - 1;
  long long days = y * 365 + y / 4 - y / 100 + y / 400;
  for (int m = 1; m < month; ++m)
    days += DaysInMonth(year, m);
  return days + day - 1;
}

}  // namespace

String FormatTimePattern(const LocalTime& time, StringView date_separator,
                         StringView time_separator) {
  String out;
  AppendDigits(out, time.month, 2);
  out += date_separator;
  AppendDigits(out, time.day, 2);
  out += date_separator;
  AppendDigits(out, time.year, 4);
  out += u' ';
  // The 12-hour clock: midnight and noon are both 12.
  AppendDigits(out, time.hour % 12 == 0 ? 12 : time.hour % 12, 2);
  out += time_separator;
  AppendDigits(out, time.minute, 2);
  out += time_separator;
  AppendDigits(out, time.second, 2);
  out += time.hour < 12 ? u" AM" : u" PM";
  return out;
}

long long ReadTimePattern(StringView text, StringView date_separator, StringView time_separator) {
  size_t at = 0;
  const int month = ReadDigits(text, at, 2);
  Expect(text, at, date_separator);
  const int day = ReadDigits(text, at, 2);
  Expect(text, at, date_separator);
  const int year = ReadDigits(text, at, 4);
  Expect(text, at, u" ");
  const int hour12 = ReadDigits(text, at, 2);
  Expect(text, at, time_separator);
  const int minute = ReadDigits(text, at, 2);
  Expect(text, at, time_separator);
  const int second = ReadDigits(text, at, 2);
  Expect(text, at, u" ");
  const StringView half = text.substr(at);
  if ((half != u"AM" && half != u"PM") || year < 1 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month) || hour12 < 1 || hour12 > 12 || minute > 59 || second > 59)
    Raise(ErrorNumber::kTypeMismatch);
  const int hour = hour12 % 12 + (half == u"PM" ? 12 : 0);
  return DaysBefore(year, month, day) * 86400LL + hour * 3600LL + minute * 60LL + second;
}

}  // namespace corvane::rt
