// The ANSI code page of this process, exhaustively: prints the code page's number, then every
// byte and every lead-and-trail pair as text, and every code unit of the Basic Multilingual
// Plane as bytes (with --number, only the number), each the way the classes convert (a character the code page lacks becomes
// "?") and the way the registry's ANSI calls convert (the code page's best fit).
// Built for Windows over the platform's conversions, and natively over the library's; the test
// runs both under the same locale and compares.
#include <cstdio>
#include <string>

#include "corvane/code_page.h"
#include "runtime/ansi.h"

namespace {

using corvane::String;
using corvane::StringView;
namespace rt = corvane::rt;

void Print(const String& text) {
  for (char16_t c : text) std::printf(" %04X", static_cast<unsigned>(c));
}
void Print(const std::string& bytes) {
  for (char b : bytes) std::printf(" %02X", static_cast<unsigned char>(b));
}

}  // namespace

int main(int argc, char** argv) {
  std::printf("code page %d\n", corvane::AnsiCodePage());
  if (argc > 1 && std::string(argv[1]) == "--number") return 0;
  for (unsigned b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    const String text = rt::FromAnsi(one);
    std::printf("%02X:", b);
    Print(text);
    std::printf(" |");
    Print(rt::FromAnsiAsSystem(one));
    std::printf("\n");
    // A lead byte: every pair it begins.
    if (text.size() == 1 && rt::FromAnsi(one + "A").size() == 1) {
      for (unsigned t = 0; t < 256; ++t) {
        const std::string pair = one + static_cast<char>(t);
        std::printf("%02X%02X:", b, t);
        Print(rt::FromAnsi(pair));
        std::printf(" |");
        Print(rt::FromAnsiAsSystem(pair));
        std::printf("\n");
      }
    }
  }
  for (unsigned u = 0; u < 0x10000; ++u) {
    const char16_t c = static_cast<char16_t>(u);
    std::printf("U+%04X:", u);
    Print(rt::ToAnsi(StringView(&c, 1)));
    std::printf(" |");
    Print(rt::ToAnsiAsSystem(StringView(&c, 1)));
    std::printf("\n");
  }
  return 0;
}
