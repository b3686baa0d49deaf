// The ANSI codec where the platform has no ANSI code page: Windows code page 1252.
//
// The five bytes that 1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1
// control characters of the same number, as Windows maps them, so every byte survives the
// round trip bytes -> text -> bytes. Characters outside the page become "?".
#include <array>

#include "runtime/ansi.h"

namespace corvane::rt {
namespace {

// Characters of the bytes 0x80..0x9F; every other byte is the character of the same number.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

char ByteOf(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (size_t i = 0; i < kHighControls.size(); ++i)
    if (kHighControls[i] == c) return static_cast<char>(0x80 + i);
  return '?';
}

}  // namespace

std::string ToAnsi(StringView text) {
  std::string bytes(text.size(), '\0');
  for (size_t i = 0; i < text.size(); ++i)
    bytes[i] = ByteOf(text[i]);
  return bytes;
}

String FromAnsi(std::string_view bytes) {
  String text(bytes.size(), u'\0');
  for (size_t i = 0; i < bytes.size(); ++i)
    text[i] = CharOfAnsiCode(static_cast<Byte>(bytes[i]));
  return text;
}

Integer AnsiCodeOf(char16_t character) {
  return static_cast<Byte>(ByteOf(character));
}

char16_t CharOfAnsiCode(Byte code) {
  if (code >= 0x80 && code <= 0x9F) return kHighControls[code - 0x80];
  return code;
}

}  // namespace corvane::rt
