// The text cipher: a position-dependent shift of ANSI codes under a key of the pass phrase.
//
// Both methods run in Skip mode: every statement goes through Skip(), so a statement that
// raises is abandoned and the next one runs. The key derivation and the reference shift loop are
// the statement lists of the cipher in their written order; what a failed statement leaves
// behind is part of the cipher text. The shift loop that runs is the same list with the
// arguments read once and the text's codes taken in one conversion, which gives the same text
// without copying it per character.
#include <array>
#include <cassert>
#include <optional>
#include <string>

#include "corvane/tarnel.h"
#include "runtime/ansi.h"
#include "runtime/convert.h"
#include "runtime/error_modes.h"
#include "runtime/text_ops.h"

namespace corvane {
namespace {

using rt::Skip;
using rt::SkipFor;
using rt::SkipIf;

enum class Direction { kEncrypt, kDecrypt };

// One row per cycle number n: the key offset d and whether Encrypt adds (code + (key - d)) or
// subtracts (code - (key - d)) before the cycle step. Decrypt does the opposite.
struct ShiftRow {
  Integer d;
  bool encrypt_adds;
};
constexpr ShiftRow kShiftTable[6] = {
    {2, false},  // n = 0: positions 6, 12, 18, ...
    {5, true},   // n = 1: positions 1, 7, 13, ...
    {4, false},  // n = 2
    {2, true},   // n = 3
    {3, false},  // n = 4
    {5, true},   // n = 5
};

// The text length of a Variant as the Byte a loop head takes: error 6 beyond 255 characters,
// 13 for an Error value.
Byte LengthOf(const Variant& value) {
  return rt::Narrow<Byte>(rt::Len(rt::VariantText(value).view()));
}

// Refuses an argument whose length a loop head cannot take: too long or Null (error 6), an
// Error value (error 13). A head that failed in Skip mode would leave the loop without a step.
void RequireCipherText(const Variant& argument) {
  if (argument.is_null()) rt::Raise(rt::ErrorNumber::kOverflow);
  LengthOf(argument);
}

// Reduces the pass phrase in `salasana` to the key and stores it there as an Integer.
void DeriveKey(ByRef<Variant>& salasana) {
  Byte length = 0;
  Integer sum = 0;
  Byte p = 0;
  Integer key = 0;
  Skip([&] { length = LengthOf(salasana); });
  Skip([&] { sum = 0; });
  SkipFor<Byte>(p, 1, length, [&] {
    // An addition that would leave the Integer range is skipped; the sum keeps its value.
    Skip([&] {
      const Integer code = rt::Asc(rt::Mid(rt::VariantText(salasana).view(), p, 1));
      sum = rt::CheckedAdd<Integer>(sum, code);
    });
  });
  Skip([&] { key = rt::Narrow<Integer>(rt::IntDiv(rt::ToLong(sum * 0.1), 6)); });
  Skip([&] { salasana = Variant::OfInteger(key); });
}

// The shift loop as the statement list it is, each statement in Skip mode: the reference that
// the fast loop below is held to, and the path for a text whose ANSI codes cannot be taken in
// one conversion.
Variant ShiftByStatements(ByRef<Variant> texti, ByRef<Variant> salasana, Direction direction) {
  Integer n = 0;
  Integer code = 0;
  Integer x = 0;
  String result;
  Byte length = 0;
  Byte p = 0;
  Skip([&] { n = 0; });
  Skip([&] { result.clear(); });
  Skip([&] { length = LengthOf(texti); });
  SkipFor<Byte>(p, 1, length, [&] {
    Skip([&] { code = rt::Asc(rt::Mid(rt::VariantText(texti).view(), p, 1)); });
    Skip([&] { n = rt::CheckedAdd<Integer>(n, 1); });
    SkipIf([&] { return n == 6; }, [&] { Skip([&] { n = 0; }); });
    Skip([&] { x = 0; });
    Skip([&] {
      assert(n >= 0 && n <= 5);
      const ShiftRow& row = kShiftTable[n];
      // The key is read back from the caller's argument at every use.
      const Variant m = rt::Sub(salasana, Variant::OfInteger(row.d));
      const bool adds = row.encrypt_adds == (direction == Direction::kEncrypt);
      const Variant c = Variant::OfInteger(code);
      x = rt::ToInteger(adds ? rt::Add(c, m) : rt::Sub(c, m));
    });
    Skip([&] {
      x = direction == Direction::kEncrypt ? rt::CheckedAdd<Integer>(x, n)
                                           : rt::CheckedSub<Integer>(x, n);
    });
    // Chr refuses a code outside 0..255: the character is left out.
    Skip([&] { result += rt::Chr(x); });
  });
  return Variant::OfString(std::move(result));
}

// The ANSI code of every character as Asc gives it one at a time, or nothing when the text
// cannot be converted in one piece with one byte per character (a double-byte code page, a
// conversion that fails).
std::optional<std::string> SingleByteCodes(StringView text) {
  std::string bytes;
  if (!Skip([&] { bytes = rt::ToAnsi(text); }) || bytes.size() != text.size()) return std::nullopt;
  return bytes;
}

// The character of every ANSI code 0..255, as Chr gives it.
const std::array<char16_t, 256>& CharsOfCodes() {
  static const std::array<char16_t, 256> table = [] {
    std::array<char16_t, 256> t{};
    for (int code = 0; code < 256; ++code)
      t[static_cast<size_t>(code)] = rt::CharOfAnsiCode(static_cast<Byte>(code));
    return t;
  }();
  return table;
}

bool FitsInteger(int value) {
  return value >= -32768 && value <= 32767;
}

Variant Shift(ByRef<Variant> texti, ByRef<Variant> salasana, Direction direction) {
  RequireCipherText(texti);
  RequireCipherText(salasana);

  DeriveKey(salasana);

  // From here on nothing writes either argument: the text, and the key read back from salasana
  // at every use, are the same at every character, so each is read once. The statements that
  // can fail are the two Integer sums; a failed one leaves x as it was, exactly as the statement
  // list does.
  const rt::VariantText text(texti);
  const std::optional<std::string> codes = SingleByteCodes(text.view());
  if (!codes || salasana->kind() != VariantKind::kInteger)
    return ShiftByStatements(texti, salasana, direction);
  const int key = salasana->integer();
  const std::array<char16_t, 256>& chars = CharsOfCodes();
  const bool encrypt = direction == Direction::kEncrypt;

  String result;
  result.reserve(codes->size());
  int n = 0;
  for (const char byte : *codes) {
    const int code = static_cast<Byte>(byte);
    if (++n == 6) n = 0;
    const ShiftRow& row = kShiftTable[n];
    const int m = key - row.d;
    int x = 0;
    const int shifted = row.encrypt_adds == encrypt ? code + m : code - m;
    if (FitsInteger(shifted)) x = shifted;
    const int stepped = encrypt ? x + n : x - n;
    if (FitsInteger(stepped)) x = stepped;
    // Chr refuses a code outside 0..255: the character is left out.
    if (x >= 0 && x <= 255) result.push_back(chars[static_cast<size_t>(x)]);
  }
  return Variant::OfString(std::move(result));
}

}  // namespace

Variant Tarnel::Encrypt(ByRef<Variant> texti, ByRef<Variant> salasana) {
  return Shift(texti, salasana, Direction::kEncrypt);
}

Variant Tarnel::Decrypt(ByRef<Variant> texti, ByRef<Variant> salasana) {
  return Shift(texti, salasana, Direction::kDecrypt);
}

}  // namespace corvane
