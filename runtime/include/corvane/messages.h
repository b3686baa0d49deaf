// Where the library's own messages go: a store that cannot be used, a rejected key path's
// message on Linux, and the like. They go to standard error unless a host takes them.
#pragma once

#include <string>

#include "corvane/export.h"

namespace corvane {

// Called with each message (without a final line break); `context` is what the host gave.
using MessageSink = void (*)(const char* message, void* context);

// Sends every message of the library from now on to `sink`; a null sink keeps them (none is
// said). RestoreStandardErrorMessages undoes it. Any thread may say a message; the sink is
// called on that thread, one message at a time.
CORVANE_API void SetMessageSink(MessageSink sink, void* context);
CORVANE_API void RestoreStandardErrorMessages();

// Says `message` where messages go (the library's own use).
CORVANE_API void SayMessage(const std::string& message);

// While one lives, messages said on this thread are kept in `*into` (one line each) instead.
class CORVANE_API MessageCapture {
 public:
  explicit MessageCapture(std::string* into);
  ~MessageCapture();
  MessageCapture(const MessageCapture&) = delete;
  MessageCapture& operator=(const MessageCapture&) = delete;

 private:
  std::string* before_;
};

}  // namespace corvane
