// The runtime's text operations.
#include "runtime/text_ops.h"

#include "runtime/ansi.h"
#include "runtime/errors.h"

namespace corvane::rt {
namespace {

void Require(bool valid) {
  if (!valid) Raise(ErrorNumber::kInvalidCall);
}

}  // namespace

// The ANSI code of a character and the character of a code, over the platform's codec: two
// bytes make a signed 16-bit code; a lone lead byte reads as the code page's default character.
Integer AnsiCodeOf(char16_t character) {
  const std::string bytes = ToAnsi(StringView(&character, 1));
  if (bytes.size() >= 2)
    return static_cast<Integer>((static_cast<Byte>(bytes[0]) << 8) | static_cast<Byte>(bytes[1]));
  return Integer{static_cast<Byte>(bytes[0])};
}

char16_t CharOfAnsiCode(Byte code) {
  const char byte = static_cast<char>(code);
  const String text = FromAnsi(std::string_view(&byte, 1));
  return text.empty() ? u'?' : text[0];
}

Long Len(StringView s) {
  return static_cast<Long>(s.size());
}

String Mid(StringView s, Long start) {
  Require(start >= 1);
  if (static_cast<size_t>(start) > s.size()) return String();
  return String(s.substr(start - 1));
}

String Mid(StringView s, Long start, Long n) {
  Require(start >= 1 && n >= 0);
  if (static_cast<size_t>(start) > s.size()) return String();
  return String(s.substr(start - 1, static_cast<size_t>(n)));
}

String Left(StringView s, Long n) {
  Require(n >= 0);
  return String(s.substr(0, static_cast<size_t>(n)));
}

String Right(StringView s, Long n) {
  Require(n >= 0);
  if (static_cast<size_t>(n) >= s.size()) return String(s);
  return String(s.substr(s.size() - n));
}

Long InStr(Long start, StringView s, StringView find) {
  Require(start >= 1);
  if (s.empty() || static_cast<size_t>(start) > s.size()) return 0;
  if (find.empty()) return start;
  const size_t at = s.find(find, start - 1);
  return at == StringView::npos ? 0 : static_cast<Long>(at + 1);
}

Integer Asc(StringView s) {
  Require(!s.empty());
  return AnsiCodeOf(s[0]);
}

String Chr(Long code) {
  Require(code >= 0 && code <= 255);
  return String(1, CharOfAnsiCode(static_cast<Byte>(code)));
}

String Trim(StringView s) {
  const size_t first = s.find_first_not_of(u' ');
  if (first == StringView::npos) return String();
  const size_t last = s.find_last_not_of(u' ');
  return String(s.substr(first, last - first + 1));
}

String Space(Long n) {
  Require(n >= 0);
  return String(static_cast<size_t>(n), u' ');
}

String StringFill(Long n, StringView c) {
  Require(n >= 0 && !c.empty());
  return String(static_cast<size_t>(n), c[0]);
}

String Concat(StringView a, StringView b) {
  String joined;
  joined.reserve(a.size() + b.size());
  joined.append(a).append(b);
  return joined;
}

}  // namespace corvane::rt
