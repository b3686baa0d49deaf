// Where the library's messages go. See corvane/messages.h.
#include "corvane/messages.h"

#include <cstdio>
#include <mutex>

namespace corvane {
namespace {

std::mutex g_mutex;  // guards the sink, and keeps one message whole
bool g_standard_error = true;
MessageSink g_sink = nullptr;
void* g_context = nullptr;
thread_local std::string* g_capture = nullptr;

}  // namespace

void SetMessageSink(MessageSink sink, void* context) {
  const std::lock_guard<std::mutex> lock(g_mutex);
  g_standard_error = false;
  g_sink = sink;
  g_context = context;
}

void RestoreStandardErrorMessages() {
  const std::lock_guard<std::mutex> lock(g_mutex);
  g_standard_error = true;
  g_sink = nullptr;
  g_context = nullptr;
}

void SayMessage(const std::string& message) {
  if (g_capture != nullptr) {
    *g_capture += message + "\n";
    return;
  }
  const std::lock_guard<std::mutex> lock(g_mutex);
  if (g_standard_error)
    std::fprintf(stderr, "%s\n", message.c_str());
  else if (g_sink != nullptr)
    g_sink(message.c_str(), g_context);
}

MessageCapture::MessageCapture(std::string* into) : before_(g_capture) {
  g_capture = into;
}

MessageCapture::~MessageCapture() {
  g_capture = before_;
}

}  // namespace corvane
