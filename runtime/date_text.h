// Date-time text in the pattern "mm/dd/yyyy hh:nn:ss AM/PM", written and read back in the order
// in which it is written, with the platform's date and time separators in place of "/" and ":".
#pragma once

#include "corvane/local_time.h"
#include "corvane/types.h"

namespace corvane::rt {

// "12/06/2026 11:52:06 PM" for 6 December 2026 at 23:52:06 with "/" and ":". The fields are
// written as they are, also when out of range (a month 13 is written "13").
String FormatTimePattern(const LocalTime& time, StringView date_separator,
                         StringView time_separator);

// Reads a text written by FormatTimePattern with the same separators back as seconds since
// 1 January of year 1. Raises 13 for any other text and for a date or time that does not exist.
long long ReadTimePattern(StringView text, StringView date_separator, StringView time_separator);

}  // namespace corvane::rt
