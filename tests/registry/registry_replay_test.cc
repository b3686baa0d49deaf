// The differential list: sequences of registry calls replayed against the embedded store
// (natively) and against Wine's registry (through the Windows build), each step with the result
// code, count and bytes that Windows gives. Where Wine differs from Windows, the step names the
// difference and why; the store always follows Windows.
#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "corvane/registry_api.h"
#ifndef _WIN32
#include "registry/registry_store.h"
#endif

namespace corvane::registry {
namespace {

enum class Op {
  kCreate,
  kOpenRead,
  kOpenWrite,
  kOpenKeyA,
  kSet,
  kQuery,
  kDeleteValue,
  kDeleteKey,
  kClose
};

// One call. `key` is the scratch key unless `on_current`, the key that the latest open or
// create of the sequence gave.
struct Step {
  Op op;
  std::string text{};   // subkey path or value name, as ANSI bytes (code page 1252)
  std::string data{};   // for kSet: the bytes (a zero always follows them)
  uint32_t number = 0;  // kSet: the count; kQuery: the buffer size
  Result result = kSuccess;
  uint32_t count = 0;   // kQuery: the count afterwards
  std::string bytes{};  // kQuery: the buffer afterwards, up to its size + 1 (filled with 'x')
  bool on_current = false;
  const char* wine = nullptr;  // where Wine differs: why
  Result wine_result = kSuccess;
};

struct Sequence {
  const char* name;
  std::vector<Step> steps;
};

bool UnderWine() {
#ifdef _WIN32
  return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
#else
  return false;
#endif
}

std::vector<Sequence> Sequences() {
  const std::string e_acute = "\xE9", E_acute = "\xC9", euro = "\x80";
  return {
      {"non-ASCII key and value names, any case",
       {{Op::kCreate, "Caf" + e_acute + "\\" + euro},
        {Op::kOpenRead, "CAF" + E_acute + "\\" + euro},
        {Op::kSet, "Pr" + e_acute + "nom", "abc", 3},
        {Op::kQuery, "PR" + E_acute + "NOM", "", 16, kSuccess, 4, std::string("abc\0x", 5)}}},
      {"text data outside ASCII",
       {{Op::kSet, "t", euro + e_acute, 2},
        {Op::kQuery, "t", "", 8, kSuccess, 3, euro + e_acute + std::string("\0x", 2)}}},
      {"buffers small, exact and large",
       {{Op::kSet, "v", "hello", 6},
        {Op::kQuery, "v", "", 5, kMoreData, 6, "xxxxxx"},
        {Op::kQuery, "v", "", 6, kSuccess, 6, std::string("hello\0x", 7)},
        {Op::kQuery, "v", "", 64, kSuccess, 6, std::string("hello\0x", 7)}}},
      {"binary data with zeros",
       {{Op::kSet, "b", std::string("\0\1\0", 3), 3},
        {Op::kQuery, "b", "", 3, kSuccess, 3, std::string("\0\1\0x", 4)}}},
      {"odd paths",
       {{Op::kCreate, "a\\\\b\\"},
        {Op::kOpenRead, "a\\b"},
        {Op::kOpenRead, "\\a", "", 0, kBadPathname},
        {Op::kOpenKeyA, ""},
        {Op::kDeleteKey, "a", "", 0, kAccessDenied},
        {Op::kDeleteKey, "a\\b"},
        {Op::kDeleteKey, "a"}}},
      {"a read-only key refuses writes",
       {{Op::kOpenRead, ""},
        {Op::kSet, "w", "x", 1, kAccessDenied, 0, "", true},
        {Op::kDeleteValue, "w", "", 0, kAccessDenied, 0, "", true},
        {Op::kClose, "", "", 0, kSuccess, 0, "", true},
        {Op::kClose, "", "", 0, kInvalidHandle, 0, "", true}}},
      {"a deleted key's handle",
       {{Op::kCreate, "gone"},
        {Op::kDeleteKey, "gone"},
        {Op::kQuery, "v", "", 4, kKeyDeleted, 4, "xxxxx", true}}},
  };
}

// The registry that Windows's answers are replayed against: Wine's, or natively the file store
// and the store over memory (which answer as Windows does, not as Wine does).
std::vector<RegistryApi*> Backends() {
#ifdef _WIN32
  return {&SystemRegistry()};
#else
  static const std::unique_ptr<RegistryStore> store = [] {
    const std::string path = ::testing::TempDir() + "corvane-replay.db";
    std::remove(path.c_str());
    return RegistryStore::Open(path);
  }();
  static const std::unique_ptr<RegistryStore> memory = RegistryStore::InMemory();
  return {store.get(), memory.get()};
#endif
}

void Replay(RegistryApi& api) {
  const bool wine = UnderWine();
  for (const Sequence& sequence : Sequences()) {
    SCOPED_TRACE(sequence.name);
    Long scratch = 0;
    ASSERT_EQ(api.CreateKey(kCurrentUser, "Software\\CorvaneReplay", &scratch), kSuccess);
    Long current = scratch;
    int index = 0;
    for (const Step& step : sequence.steps) {
      SCOPED_TRACE(::testing::Message() << "step " << index++ << " (" << step.text << ")");
      const Long key = step.on_current ? current : scratch;
      const std::string held = step.data + std::string(1, '\0');
      std::string buffer(step.number + 1, 'x');
      uint32_t count = step.number;
      Long opened = 0;
      Result r = kSuccess;
      switch (step.op) {
        case Op::kCreate:
          r = api.CreateKey(key, step.text.c_str(), &opened);
          break;
        case Op::kOpenRead:
          r = api.OpenKeyEx(key, step.text.c_str(), 0, kKeyRead, &opened);
          break;
        case Op::kOpenWrite:
          r = api.OpenKeyEx(key, step.text.c_str(), 0, kKeyWrite, &opened);
          break;
        case Op::kOpenKeyA:
          r = api.OpenKey(key, step.text.c_str(), &opened);
          break;
        case Op::kSet:
          r = api.SetValueEx(key, step.text.c_str(), 0, step.text == "b" ? kRegBinary : kRegSz,
                             reinterpret_cast<const uint8_t*>(held.data()), step.number);
          break;
        case Op::kQuery:
          r = api.QueryValueEx(key, step.text.c_str(), nullptr, nullptr,
                               reinterpret_cast<uint8_t*>(buffer.data()), &count);
          break;
        case Op::kDeleteValue:
          r = api.DeleteValue(key, step.text.c_str());
          break;
        case Op::kDeleteKey:
          r = api.DeleteKey(key, step.text.c_str());
          break;
        case Op::kClose:
          r = api.CloseKey(key);
          break;
      }
      const Result expected = wine && step.wine != nullptr ? step.wine_result : step.result;
      EXPECT_EQ(r, expected) << (wine && step.wine != nullptr ? step.wine : "");
      if (step.op == Op::kQuery) {
        EXPECT_EQ(count, step.count);
        EXPECT_EQ(buffer.substr(0, step.bytes.size()), step.bytes);
      }
      if (r == kSuccess && opened != 0) {
        if (current != scratch && current != opened) api.CloseKey(current);
        current = opened;
      }
    }
    if (current != scratch) api.CloseKey(current);
    api.CloseKey(scratch);
    for (const char* path :
         {"Software\\CorvaneReplay\\Caf\xE9\\\x80", "Software\\CorvaneReplay\\Caf\xE9",
          "Software\\CorvaneReplay\\a\\b", "Software\\CorvaneReplay\\a", "Software\\CorvaneReplay"})
      api.DeleteKey(kCurrentUser, path);
  }
}

TEST(RegistryReplay, EverySequenceGivesWhatWindowsGives) {
  int index = 0;
  for (RegistryApi* api : Backends()) {
    SCOPED_TRACE(::testing::Message() << "backend " << index++);
    Replay(*api);
  }
}

}  // namespace
}  // namespace corvane::registry
