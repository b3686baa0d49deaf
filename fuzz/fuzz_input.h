// Reading a fuzzer's bytes as the component's arguments: texts with any code units, lengths
// around every limit, numbers at their edges, arrays of every shape. When the bytes run out,
// every read gives zeros, so each input is a complete call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/dispatcher.h"

namespace corvane::fuzz {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  bool Bool() { return (Byte() & 1) != 0; }
  // A number in lo..hi.
  int Int(int lo, int hi) {
    const uint32_t raw = static_cast<uint32_t>(Byte()) << 8 | Byte();
    return lo + static_cast<int>(raw % static_cast<uint32_t>(hi - lo + 1));
  }
  template <class T>
  T Pick(std::initializer_list<T> choices) {
    return choices.begin()[Int(0, static_cast<int>(choices.size()) - 1)];
  }

  // A length near one of the limits the component knows, or a small one.
  size_t Length() {
    const long long edge = Pick<long long>({0, 1, 2, 6, 255, 256, 32766, 32767, 32768, 65536});
    const long long length = edge + Int(-2, 2);
    if (Byte() % 4 != 0) return Byte() % 24;
    return length < 0 ? 0 : static_cast<size_t>(length);
  }

  // A text of `length` code units drawn from a small alphabet that holds the interesting ones
  // (separators, the zero character, ANSI and non-ANSI letters, lone surrogates), repeated from
  // the input so long texts cost no input.
  String Text(size_t length) {
    static constexpr char16_t kUnits[] = {u'a',   u'b',   u',',   u';',   u' ',   u'\t', u'\n',
                                          u'\r',  u'\0',  u'-',   u'\\',  u'"',   0xE9,  0x20AC,
                                          0x0100, 0x4E2D, 0xD800, 0xDC00, 0xFFFF, 0x7F,  0x80,
                                          0xFF,   u'H',   u'K',   u'E',   u'Y',   u'_'};
    const size_t seed = Int(0, 15) + 1;
    String pattern;
    for (size_t i = 0; i < seed; ++i)
      pattern += kUnits[Byte() % std::size(kUnits)];
    String out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i)
      out += pattern[i % pattern.size()];
    return out;
  }
  String Text() { return Text(Length()); }

  Long EdgeLong() {
    return Pick<Long>({0, 1, -1, 2, 5, 255, 256, 32767, 32768, -32768, -32769, 2147483647,
                       -2147483647 - 1, static_cast<Long>(0x80000001u), Int(-1000, 1000)});
  }
  double EdgeDouble() {
    return Pick<double>({0.0, 0.5, 1.5, 2.5, -0.5, 32767.5, 32768.0, -32768.5, 2147483647.5,
                         -2147483648.5, 1e300, -1e-300, 3.0});
  }

  // A string array of any shape: undimensioned, one or more dimensions, any lower bound, fixed
  // or dynamic.
  StringArray Array() {
    switch (Int(0, 3)) {
      case 0:
        return StringArray();
      case 1: {
        std::vector<String> elements(Byte() % 6);
        for (String& e : elements)
          e = Text(Byte() % 5);
        return StringArray::Of(std::move(elements));
      }
      default: {
        std::vector<StringArray::Bound> bounds(Int(1, 3));
        for (auto& b : bounds) {
          b.lower = Pick<Long>({0, 1, -2});
          b.upper = b.lower + Int(0, 3);
        }
        return StringArray::WithDimensions(bounds, Bool());
      }
    }
  }

  // Any caller's variable.
  server::Argument Value() {
    switch (Int(0, 8)) {
      case 0:
        return Variant();
      case 1:
        return Variant::Null();
      case 2:
        return Variant::OfInteger(static_cast<Integer>(EdgeLong()));
      case 3:
        return Variant::OfLong(EdgeLong());
      case 4:
        return Variant::OfDouble(EdgeDouble());
      case 5:
        return Variant::Missing();
      case 6:
        return Array();
      default:
        return Variant::OfString(Text());
    }
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Whether a call's status is one the component documents: success, a binding status, or a
// runtime error of the documented set.
inline bool Documented(server::Status status) {
  using namespace server;
  for (Status s :
       {kOk, kTypeMismatch, kOverflow, kBadParamCount, kParamNotOptional, kInvalidPointer})
    if (status == s) return true;
  for (int32_t n : {5, 6, 7, 9, 10, 13})
    if (status == RuntimeErrorStatus(n)) return true;
  return false;
}

// Calls `method` of `object` with the caller's variables `args`; stops the fuzzer when the
// status is not a documented one.
server::DispatchResult CheckedInvoke(server::Instance& object, std::string_view method,
                                     std::vector<server::Argument>& args);
server::DispatchResult CheckedInvoke(server::Instance& object, std::string_view method,
                                     std::initializer_list<server::Argument*> args);

// 0 to 5 arguments of any kind and shape; `shape`, when given, may change each one as soon as
// it is drawn.
std::vector<server::Argument> AnyArguments(
    FuzzInput& in, const std::function<void(server::Argument&)>& shape = {});

// Stops the fuzzer with a message (libFuzzer records the input).
[[noreturn]] void Violated(const char* what);

// A fresh store file for this process in the temporary folder, removed (with its journal)
// when the process ends.
std::string ScratchStorePath(const char* name);

}  // namespace corvane::fuzz
