// The ANSI code pages of the native library, as the platform converts with them.
//
// Two pairs of conversions, because the platform has two:
//   - a program's conversions (MultiByteToWideChar, WideCharToMultiByte without best fit, as
//     the classes make them): a character the code page lacks becomes the default byte "?"; a
//     lead byte at the end of the bytes, or before a zero byte, reads as the code page's
//     default character, and the zero byte stays a character of its own;
//   - the system's own (behind the registry's ANSI calls): a character the code page lacks
//     becomes its best fit ("Ā" becomes "A" under 1252); a lead byte takes whatever byte
//     follows it, and one at the very end reads as the lead byte's own entry (U+0000 under
//     932).
// The tables come from the platform's (code_page_tables.inc, made by code_page_tables.sh).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/types.h"

namespace corvane::rt {

// One code page as code_page_tables.inc holds it.
struct CodePageData {
  uint16_t number;
  uint8_t default_byte;
  char16_t default_char;
  const uint8_t* leads;
  size_t lead_count;
  const uint16_t* text;  // runs, see code_page_tables.awk
  size_t text_size;
  const uint32_t* bytes;  // (unit << 16) | bytes, where not the table read backwards
  size_t bytes_size;
};

// One code page, its tables unpacked.
class CodePage {
 public:
  explicit CodePage(const CodePageData& data);

  int number() const { return number_; }

  String Read(std::string_view bytes) const;
  String ReadAsSystem(std::string_view bytes) const;
  std::string Write(StringView text) const;
  std::string WriteAsSystem(StringView text) const;

 private:
  String ReadSingle(std::string_view bytes) const;
  String ReadPairs(std::string_view bytes, bool as_system) const;
  std::string WriteBy(const std::vector<uint16_t>& codes, StringView text) const;

  uint16_t number_;
  bool double_byte_;
  char16_t default_char_;
  std::array<char16_t, 256> single_{};     // the character of each byte
  std::array<uint16_t, 256> lead_row_{};   // 1 + the row of a lead byte in pairs_; 0 otherwise
  std::vector<char16_t> pairs_;            // 256 characters per lead byte
  std::vector<uint16_t> exact_;            // the code of each unit, the default where it lacks one
  std::vector<uint16_t> best_fit_;         // the code of each unit, best fit included
};

// The code page numbered `number`, unpacked at its first use; nullptr where it is not one of
// the supported ones.
const CodePage* FindCodePage(int number);
// "874, 932, 936, 949, 950 and 1250 to 1258"
const char* SupportedCodePages();
// The code page that Windows gives a program under the POSIX locale `name` ("ru_RU.UTF-8").
int CodePageOfLocale(std::string_view name);

// The process's code page (corvane/code_page.h tells how it is chosen).
const CodePage& ActiveCodePage();

}  // namespace corvane::rt
