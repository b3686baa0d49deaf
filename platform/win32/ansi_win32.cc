// The ANSI codec over the system's ANSI code page (CP_ACP).
//
// Conversions do not substitute look-alike characters: a character the code page lacks becomes
// "?", as the codec promises on every platform.
#include <windows.h>

#include "runtime/ansi.h"

namespace corvane::rt {
namespace {

std::string Encode(StringView text) {
  if (text.empty()) return std::string();
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  const int size =
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, length, nullptr, 0, "?", nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, length, bytes.data(), size, "?", nullptr);
  return bytes;
}

}  // namespace

std::string ToAnsi(StringView text) {
  return Encode(text);
}

String FromAnsi(std::string_view bytes) {
  if (bytes.empty()) return String();
  const int length = static_cast<int>(bytes.size());
  const int size = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
  String text(static_cast<size_t>(size), u'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, reinterpret_cast<wchar_t*>(text.data()),
                      size);
  return text;
}

Integer AnsiCodeOf(char16_t character) {
  const std::string bytes = Encode(StringView(&character, 1));
  if (bytes.size() >= 2)
    return static_cast<Integer>((static_cast<Byte>(bytes[0]) << 8) | static_cast<Byte>(bytes[1]));
  return bytes.empty() ? Integer{'?'} : Integer{static_cast<Byte>(bytes[0])};
}

char16_t CharOfAnsiCode(Byte code) {
  const char byte = static_cast<char>(code);
  wchar_t wide = 0;
  if (MultiByteToWideChar(CP_ACP, 0, &byte, 1, &wide, 1) != 1) return u'?';
  return static_cast<char16_t>(wide);
}

}  // namespace corvane::rt
