// The ANSI codec over the system's ANSI code page (CP_ACP).
//
// Conversions do not substitute look-alike characters: a character the code page lacks becomes
// "?", as the codec promises on every platform. Some code pages (UTF-8 among them, which a
// system may use as its ANSI code page) refuse the flags and the default character that ask for
// this; they are converted without them. Every return is checked: a conversion that fails
// raises 5 rather than hand back a wrong text.
#include "runtime/win32/ansi_win32.h"

#include "runtime/ansi.h"
#include "runtime/errors.h"

extern "C" NTSTATUS NTAPI RtlMultiByteToUnicodeN(PWCH, ULONG, PULONG, PCCH, ULONG);
extern "C" NTSTATUS NTAPI RtlUnicodeToMultiByteN(PCHAR, ULONG, PULONG, PCWCH, ULONG);

namespace corvane::platform {
namespace {

// The code pages for which WideCharToMultiByte refuses WC_NO_BEST_FIT_CHARS and a default
// character (ERROR_INVALID_FLAGS / ERROR_INVALID_PARAMETER).
bool RefusesDefaultChar(UINT code_page) {
  if (code_page == CP_ACP) code_page = GetACP();
  switch (code_page) {
    case CP_UTF7:
    case CP_UTF8:
    case 42:  // symbol
    case 50220:
    case 50221:
    case 50222:
    case 50225:
    case 50227:
    case 50229:
    case 52936:
    case 54936:
      return true;
    default:
      return code_page >= 57002 && code_page <= 57011;
  }
}

[[noreturn]] void ConversionFailed() {
  rt::Raise(rt::ErrorNumber::kInvalidCall);
}

}  // namespace

std::string EncodeAnsi(UINT code_page, StringView text) {
  if (text.empty()) return std::string();
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  const bool plain = RefusesDefaultChar(code_page);
  const DWORD flags = plain ? 0 : WC_NO_BEST_FIT_CHARS;
  const char* default_char = plain ? nullptr : "?";
  const int size =
      WideCharToMultiByte(code_page, flags, wide, length, nullptr, 0, default_char, nullptr);
  if (size <= 0) ConversionFailed();
  std::string bytes(static_cast<size_t>(size), '\0');
  if (WideCharToMultiByte(code_page, flags, wide, length, bytes.data(), size, default_char,
                          nullptr) != size)
    ConversionFailed();
  return bytes;
}

String DecodeAnsi(UINT code_page, std::string_view bytes) {
  if (bytes.empty()) return String();
  const int length = static_cast<int>(bytes.size());
  const int size = MultiByteToWideChar(code_page, 0, bytes.data(), length, nullptr, 0);
  if (size <= 0) ConversionFailed();
  String text(static_cast<size_t>(size), u'\0');
  if (MultiByteToWideChar(code_page, 0, bytes.data(), length,
                          reinterpret_cast<wchar_t*>(text.data()), size) != size)
    ConversionFailed();
  return text;
}

}  // namespace corvane::platform

namespace corvane::rt {

std::string ToAnsi(StringView text) {
  return platform::EncodeAnsi(CP_ACP, text);
}

String FromAnsi(std::string_view bytes) {
  return platform::DecodeAnsi(CP_ACP, bytes);
}

// The system's own conversions, which the registry's ANSI calls make.
std::string ToAnsiAsSystem(StringView text) {
  std::string bytes(text.size() * 2, '\0');
  ULONG size = 0;
  if (RtlUnicodeToMultiByteN(bytes.data(), static_cast<ULONG>(bytes.size()), &size,
                             reinterpret_cast<PCWCH>(text.data()),
                             static_cast<ULONG>(text.size() * 2)) != 0)
    Raise(ErrorNumber::kInvalidCall);
  bytes.resize(size);
  return bytes;
}

String FromAnsiAsSystem(std::string_view bytes) {
  String text(bytes.size(), u'\0');
  ULONG size = 0;
  if (RtlMultiByteToUnicodeN(reinterpret_cast<PWCH>(text.data()),
                             static_cast<ULONG>(text.size() * 2), &size, bytes.data(),
                             static_cast<ULONG>(bytes.size())) != 0)
    Raise(ErrorNumber::kInvalidCall);
  text.resize(size / 2);
  return text;
}


}  // namespace corvane::rt

namespace corvane {

int AnsiCodePage() { return static_cast<int>(GetACP()); }

}  // namespace corvane
