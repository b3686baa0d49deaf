// The ports that the timed pause runs on: the local clock and the calling thread's messages.
//
// Each platform has its own (platform/posix, platform/win32). A host, or a test, can install
// another for the whole process; installing null puts the platform's own back.
#pragma once

#include "corvane/export.h"
#include "corvane/local_time.h"
#include "corvane/types.h"

namespace corvane::platform {

class CORVANE_API Clock {
 public:
  virtual ~Clock() = default;
  // The current local date and time, with its milliseconds.
  virtual rt::LocalTime Now() = 0;
  // The locale's date and time separators, in place of "/" and ":" in the time pattern.
  virtual String DateSeparator() = 0;
  virtual String TimeSeparator() = 0;
};

class CORVANE_API MessagePump {
 public:
  virtual ~MessagePump() = default;
  // Lets the host process every message waiting for the calling thread, then returns. Its
  // handlers may call into the component again.
  virtual void ProcessWaiting() = 0;
  // Waits until a message arrives for the calling thread or `milliseconds` have passed,
  // without processing anything.
  virtual void WaitForMessage(int milliseconds) = 0;
};

// The platform's own ports.
CORVANE_API Clock& SystemClock();
CORVANE_API MessagePump& SystemPump();

// The ports in use, and their replacement. Install before the threads that call the classes
// start; an installed port serves every thread at once (Tarnel's pause calls it from any).
CORVANE_API Clock& CurrentClock();
CORVANE_API MessagePump& CurrentPump();
CORVANE_API void InstallClock(Clock* clock);
CORVANE_API void InstallPump(MessagePump* pump);

}  // namespace corvane::platform
