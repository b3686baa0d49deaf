// The tool's values and their written form, shared by `corvane call` and `corvane shell`.
//
// A value is what a caller's variable can hold: a Variant (Empty, Integer, Long, Double, String)
// or an array of String. Written forms (the same everywhere the tool reads a value):
//
//   "text"        a String; "" inside stands for one quote
//   42  -7        an Integer when it fits -32768..32767, else a Long, else a Double
//   42&  42%      a Long, an Integer (the type characters); out of range is an error
//   &H80000001    a Long (an Integer for up to 4 hex digits), the bits as two's complement
//   1.5  2e3  3#  a Double
//   Empty         an Empty value
//   ChrW(7)       the one-character String of that code unit (0..65535)
//   Array("a", "b")   a string array 0..1; Array() is an undimensioned array
//   a & b         the texts of two values joined
//
// In the shell a bare name is a variable; on the command line a bare word that is none of the
// above is taken as text, so `corvane call Corvane.Tarnel scramb hello` needs no quotes.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "corvane/dispatcher.h"

namespace corvane::cli {

using Value = server::Argument;  // a Variant or an array of String

// A written form that cannot be read; what() says where and why.
class SyntaxError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// ChrW( and Array( nested deeper than kMaxNesting: refused, also where a bare word would be text.
class NestingTooDeep : public SyntaxError {
 public:
  using SyntaxError::SyntaxError;
};
inline constexpr int kMaxNesting = 64;

// Reads one value from `text` (the whole text). A bare name is looked up through `variable`
// (which returns null for an unknown name); with no lookup a bare word is text. Raises
// SyntaxError, and NestingTooDeep past kMaxNesting levels of ChrW( and Array(.
using VariableLookup = std::function<const Value*(std::string_view name)>;
Value ParseValue(std::string_view text, const VariableLookup& variable = {});

// The written form of a value, which ParseValue reads back as the same value: "a" & ChrW(7),
// 42, 42&, 1.5#, Empty, Array("a", "b").
std::string WrittenForm(const Value& value);
// The value with its kind, for showing: `String "abc"`, `Long 1234`, `String(0 to 2) Array(...)`;
// a text longer than 128 characters by its first 64 and its length.
std::string Describe(const Value& value);

}  // namespace corvane::cli
