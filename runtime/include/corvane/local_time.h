// A local date and time, as the clock port gives it.
#pragma once

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

}  // namespace corvane::rt
