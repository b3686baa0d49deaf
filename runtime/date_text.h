// Date-time text in the pattern "mm/dd/yyyy hh:nn:ss AM/PM", written and read back in the order
// in which it is written, with the platform's date and time separators in place of "/" and ":".
#pragma once

#include "runtime/types.h"

namespace corvane::rt {

// A local date and time as a clock reads it.
struct LocalTime {
  int year = 0;         // 1..9999
  int month = 0;        // 1..12
  int day = 0;          // 1..31
  int hour = 0;         // 0..23
  int minute = 0;       // 0..59
  int second = 0;       // 0..59
  int millisecond = 0;  // 0..999; not part of the text
};

// "12/06/2026 11:52:06 PM" for 6 December 2026 at 23:52:06 with "/" and ":". The fields are
// written as they are, also when out of range (a month 13 is written "13").
String FormatTimePattern(const LocalTime& time, StringView date_separator,
                         StringView time_separator);

// Reads a text written by FormatTimePattern with the same separators back as seconds since
// 1 January of year 1. Raises 13 for any other text and for a date or time that does not exist.
long long ReadTimePattern(StringView text, StringView date_separator, StringView time_separator);

}  // namespace corvane::rt
