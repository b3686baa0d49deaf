// What every fuzz target shares: stopping on a broken invariant, and ports that never wait.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_input.h"

namespace corvane::fuzz {

namespace {
server::DispatchResult Checked(server::Instance& object, std::string_view method,
                               std::span<server::Argument* const> args) {
  server::DispatchResult r = server::Invoke(object, method, args);
  if (!Documented(r.status)) Violated("an undocumented status");
  return r;
}
}  // namespace

server::DispatchResult CheckedInvoke(server::Instance& object, std::string_view method,
                                     std::initializer_list<server::Argument*> args) {
  return Checked(object, method, std::span<server::Argument* const>(args.begin(), args.size()));
}

server::DispatchResult CheckedInvoke(server::Instance& object, std::string_view method,
                                     std::vector<server::Argument>& args) {
  std::vector<server::Argument*> pointers;
  for (server::Argument& arg : args)
    pointers.push_back(&arg);
  return Checked(object, method, pointers);
}

std::vector<server::Argument> AnyArguments(FuzzInput& in,
                                           const std::function<void(server::Argument&)>& shape) {
  std::vector<server::Argument> values(in.Int(0, 5));
  for (server::Argument& value : values) {
    value = in.Value();
    if (shape) shape(value);
  }
  return values;
}

void Violated(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

namespace {
std::string g_scratch;
void RemoveScratch() {
  for (const char* suffix : {"", "-wal", "-shm"})
    ::unlink((g_scratch + suffix).c_str());
}
}  // namespace

std::string ScratchStorePath(const char* name) {
  const char* tmp = std::getenv("TMPDIR");
  g_scratch = std::string(tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/corvane-fuzz-" + name +
              "-" + std::to_string(::getpid()) + ".db";
  RemoveScratch();
  std::atexit(RemoveScratch);
  return g_scratch;
}

}  // namespace corvane::fuzz
