// The ANSI codec: the ANSI code page between Strings and bytes, as a program converts.
//
// Windows uses the system's ANSI code page; natively, the process has one of the same code
// pages (corvane/code_page.h). A character that the code page cannot represent becomes "?".
// Under a single-byte code page every 16-bit code unit becomes exactly one byte, so a String's
// length equals its byte count; under a double-byte one a character may take two.
#pragma once

#include <string>
#include <string_view>

#include "corvane/types.h"

namespace corvane::rt {

// Text -> ANSI bytes (no terminator counted).
std::string ToAnsi(StringView text);
// ANSI bytes -> text; every byte of a single-byte code page becomes one character, a pair of a
// double-byte one a character.
String FromAnsi(std::string_view bytes);

// The same conversions as the system's own ANSI calls make them (the registry's): a character
// that the code page lacks becomes its best fit ("A" for "Ā" under 1252); a lead byte takes
// whatever byte follows it, and one at the very end reads as the code page's entry for that
// byte alone.
std::string ToAnsiAsSystem(StringView text);
String FromAnsiAsSystem(std::string_view bytes);

// The ANSI code of one character: 0..255 for a single-byte character, the two bytes as a signed
// 16-bit number for a double-byte one, the code of "?" when the code page lacks it.
Integer AnsiCodeOf(char16_t character);
// The character whose ANSI code is `code` (0..255); a lead byte of a double-byte code page
// alone reads as the code page's default character.
char16_t CharOfAnsiCode(Byte code);

// A String turned into ANSI bytes for one platform call, with a zero byte after the counted
// bytes. The call may overwrite the bytes; `Text()` reads them back as the variable's new text.
class AnsiBuffer {
 public:
  explicit AnsiBuffer(StringView text) : bytes_(ToAnsi(text)) {}

  char* data() { return bytes_.data(); }  // zero-terminated
  size_t size() const { return bytes_.size(); }
  String Text() const { return FromAnsi(bytes_); }

 private:
  std::string bytes_;  // std::string keeps one zero byte past size()
};

// Hands the ANSI form of `variable` to `call` and stores the converted-back text into the same
// variable afterwards, also when the call throws. Returns what the call returns.
template <class Call>
auto WithAnsi(String& variable, Call&& call) {
  AnsiBuffer buffer(variable);
  struct WriteBack {
    String& variable;
    AnsiBuffer& buffer;
    ~WriteBack() { variable = buffer.Text(); }
  } write_back{variable, buffer};
  return call(buffer);
}

}  // namespace corvane::rt
