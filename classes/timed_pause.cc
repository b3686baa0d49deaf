// The timed pause: holds the caller for `secs` whole seconds of the local clock while the host
// processes its messages. Report mode.
//
// Elapsed time is the difference of two clock readings written as text in the time pattern and
// read back, so the pause follows the wall clock: setting the clock back lengthens it, and a
// pause across midnight is measured like any other. Between passes the thread waits until a
// message arrives or the clock reaches its next whole second, so the pause costs next to no CPU
// while a message posted during it is still handled at once.
#include <optional>

#include "corvane/tarnel.h"
#include "corvane/clock.h"
#include "runtime/date_text.h"

namespace corvane {

Variant Tarnel::TimedPause(const std::function<Long()>& secs) {
  platform::Clock& clock = platform::CurrentClock();
  platform::MessagePump& pump = platform::CurrentPump();
  const String date_separator = clock.DateSeparator();
  const String time_separator = clock.TimeSeparator();
  const String start = rt::FormatTimePattern(clock.Now(), date_separator, time_separator);
  long long elapsed = 0;  // Empty before the first pass
  // The start text is read back at the first pass (it may raise 13) and not again: it does
  // not change.
  std::optional<long long> started;
  while (elapsed < secs()) {
    const rt::LocalTime now = clock.Now();
    const String current = rt::FormatTimePattern(now, date_separator, time_separator);
    const long long at = rt::ReadTimePattern(current, date_separator, time_separator);
    if (!started) started = rt::ReadTimePattern(start, date_separator, time_separator);
    elapsed = at - *started;
    pump.ProcessWaiting();
    // While the clock still shows the second just measured, the next test would find nothing
    // new: wait for a message or the next second. Handlers that ran past it (a nested pause)
    // send the loop straight to its next test.
    const rt::LocalTime later = clock.Now();
    if (rt::FormatTimePattern(later, date_separator, time_separator) == current && elapsed < secs())
      pump.WaitForMessage(1000 - later.millisecond + 1);
  }
  return Variant();
}

}  // namespace corvane
