// Class Tarnel under arbitrary calls. Every method is called through the dispatcher with
// arguments of any kind and shape; every answer must be a documented status. For well-typed
// calls the methods' promises are checked: Decrypt(Encrypt(t, p), p) = t when no character was
// dropped, scramb a permutation (evens, then odds), sSplit's elements joined with their
// delimiters give back the text, Splits' elements joined with the separator give its text.
#include <algorithm>
#include <cstdio>

#include "fuzz/fuzz_input.h"
#include "corvane/clock.h"
#include "runtime/ansi.h"

namespace corvane::fuzz {
namespace {

using server::Argument;

// A clock that moves on a second at each reading, and a pump that never waits, so a pause of
// a few seconds ends at once.
class SteppingClock final : public platform::Clock {
 public:
  rt::LocalTime Now() override {
    rt::LocalTime t{2026, 12, 1, 0, 0, 0, 0};
    t.day = static_cast<int>(1 + ticks_ / 86400 % 28);
    t.hour = static_cast<int>(ticks_ / 3600 % 24);
    t.minute = static_cast<int>(ticks_ / 60 % 60);
    t.second = static_cast<int>(ticks_++ % 60);
    return t;
  }
  String DateSeparator() override { return u"/"; }
  String TimeSeparator() override { return u":"; }

 private:
  long long ticks_ = 0;
};
class IdlePump final : public platform::MessagePump {
 public:
  void ProcessWaiting() override {}
  void WaitForMessage(int) override {}
};

server::Instance& Tarnel() {
  static auto tarnel = server::CreateInstance("Corvane.Tarnel");
  return *tarnel;
}

server::DispatchResult Call(const char* method, std::initializer_list<Argument*> args) {
  return CheckedInvoke(Tarnel(), method, args);
}

const String& StringOf(const Argument& a) {
  return std::get<Variant>(a).string();
}

// The code units of a text, for the report of a broken invariant.
void Dump(const char* label, const String& text) {
  std::fprintf(stderr, "%s (%zu):", label, text.size());
  for (size_t i = 0; i < text.size() && i < 64; ++i)
    std::fprintf(stderr, " %04X", text[i]);
  std::fprintf(stderr, "\n");
}

void CipherRoundTrip(FuzzInput& in) {
  const String text = in.Bool() ? in.Text(in.Byte()) : in.Text(), phrase = in.Text(in.Byte() + 2);
  Argument t = Variant::OfString(text), p = Variant::OfString(phrase);
  const server::DispatchResult enciphered = Call("Encrypt", {&t, &p});
  // Positions count to 255: a longer text or phrase is refused with 6 rather than looping.
  if (text.size() > 255 || phrase.size() > 255) {
    if (enciphered.status != server::RuntimeErrorStatus(6)) Violated("a long text must give 6");
    return;
  }
  if (enciphered.status != server::kOk) Violated("Encrypt failed");
  if (std::get<Variant>(p).kind() != VariantKind::kInteger) Violated("the key is no Integer");
  const String cipher = enciphered.result.string();
  Argument c = Variant::OfString(cipher), again = Variant::OfString(phrase);
  const server::DispatchResult deciphered = Call("Decrypt", {&c, &again});
  if (deciphered.status != server::kOk) Violated("Decrypt failed");
  // Characters are taken by their ANSI codes: only a text the code page holds comes back.
  const bool ansi = rt::FromAnsi(rt::ToAnsi(text)) == text;
  if (ansi && cipher.size() == text.size() && deciphered.result.string() != text)
    Violated("Decrypt(Encrypt(t, p), p) differs from t");
}

void Scramble(FuzzInput& in) {
  const String text = in.Text();
  Argument t = Variant::OfString(text);
  const server::DispatchResult r = Call("scramb", {&t});
  if (text.size() > 32767) {
    if (r.status != server::RuntimeErrorStatus(6)) Violated("scramb beyond 32767 must give 6");
    return;
  }
  if (r.status != server::kOk) Violated("scramb failed");
  String expected;
  for (size_t i = 1; i < text.size(); i += 2)
    expected += text[i];
  for (size_t i = 0; i < text.size(); i += 2)
    expected += text[i];
  if (r.result.string() != expected) Violated("scramb is not evens then odds");
  if (StringOf(t) != text) Violated("scramb wrote its argument");
}

void SplitByDelimiters(FuzzInput& in) {
  const String text = in.Text();
  Argument s = Variant::OfString(text), d = Variant::OfString(in.Text(in.Byte() % 4));
  Argument parts = StringArray::Of(std::vector<String>(in.Byte() % 3, u"old"));
  const server::DispatchResult r = Call("sSplit", {&s, &d, &parts});
  if (r.status != server::kOk) Violated("sSplit failed on a dynamic array");
  const String& delimiters = StringOf(d);
  const StringArray& array = std::get<StringArray>(parts);
  // -1 stands for a working text of at most one character: "", or the one delimiter alone;
  // the array then holds one "".
  if (r.result.long_value() == -1) {
    if (!(text.empty() || (delimiters.size() == 1 && text == delimiters)) ||
        array.elements() != std::vector<String>{String()})
      Violated("sSplit gave -1 for a text of more than one character");
  } else if (r.result.long_value() != array.upper()) {
    Violated("sSplit's result is not the upper bound");
  }
  size_t pos = 0;
  for (const String& element : array.elements()) {
    if (text.compare(pos, element.size(), element) != 0) Violated("an element is not the text");
    pos += element.size();
    if (pos < text.size()) {
      if (delimiters.find(text[pos]) == String::npos) Violated("elements end at a non-delimiter");
      ++pos;
    }
  }
  if (pos != text.size()) Violated("sSplit's elements do not cover the text");
}

void SplitBySeparator(FuzzInput& in) {
  const String separator = in.Text(in.Byte() % 4);
  const String original = in.Text();
  Argument c = Variant::OfString(original), s = Variant::OfString(separator);
  Argument parts = StringArray(), next = Variant::OfInteger(static_cast<Integer>(in.Int(-1, 3)));
  const Integer first = std::get<Variant>(next).integer();
  const server::DispatchResult r = Call("Splits", {&c, &s, &parts, &next});
  if (r.status != server::kOk) Violated("Splits must trap its errors");
  const Integer result = r.result.integer();
  if (result != 0 && result != 5 && result != 6 && result != 9)
    Violated("Splits answered an undocumented error");
  if (result != 0) return;
  const StringArray& array = std::get<StringArray>(parts);
  String joined;
  for (Long i = first; i < std::get<Variant>(next).integer(); ++i)
    joined += array.at(i) + separator;
  // The elements and separators make up the terminated text up to the last separator found;
  // what follows holds no separator (a separator that overlaps the appended one can leave a
  // tail, "Āa" with "aaa" gives "Āaaaa" and one element "Ā").
  const String& after = StringOf(c);
  if (after.compare(0, joined.size(), joined) != 0 ||
      after.find(separator, joined.size()) != String::npos) {
    Dump("text", original);
    Dump("separator", separator);
    Dump("text after", StringOf(c));
    for (const String& element : array.elements())
      Dump("element", element);
    Violated("Splits' elements joined with the separator are not the text");
  }
}

void Pause(FuzzInput& in) {
  Argument secs = Variant::OfLong(in.Int(-3, 3));
  const server::DispatchResult r = Call("TimedPause", {&secs});
  if (r.status != server::kOk || !r.result.is_empty()) Violated("TimedPause failed");
}

}  // namespace
}  // namespace corvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace corvane;
  using namespace corvane::fuzz;
  static SteppingClock clock;
  static IdlePump pump;
  static const bool installed =
      (platform::InstallClock(&clock), platform::InstallPump(&pump), true);
  (void)installed;
  FuzzInput in(data, size);
  switch (in.Int(0, 5)) {
    case 0:
      CipherRoundTrip(in);
      break;
    case 1:
      Scramble(in);
      break;
    case 2:
      SplitByDelimiters(in);
      break;
    case 3:
      SplitBySeparator(in);
      break;
    case 4:
      Pause(in);
      break;
    default: {
      // Any method, any arguments of any kind and shape, any count.
      static const char* const kMethods[] = {"Encrypt", "Decrypt", "scramb",
                                             "Splits",  "sSplit",  "TimedPause"};
      const char* method = kMethods[in.Int(0, 5)];
      std::vector<server::Argument> values = AnyArguments(in);
      if (std::string_view(method) == "TimedPause" && !values.empty())
        if (auto* v = std::get_if<Variant>(&values[0]); v != nullptr)
          *v = Variant::OfLong(in.Int(-3, 3));  // a real wait would stall the fuzzer
      CheckedInvoke(Tarnel(), method, values);
    }
  }
  return 0;
}
