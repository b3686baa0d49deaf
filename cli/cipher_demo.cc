// corvane-cipher: enciphers a text under a pass phrase, shows the cipher text and the key that
// Encrypt wrote back into the pass-phrase variable, and deciphers the cipher text again.
//
//   corvane-cipher TEXT PASSPHRASE
#include <cstdio>
#include <string>

#include "corvane/tarnel.h"
#include "runtime/ansi.h"
#include "runtime/convert.h"
#include "runtime/errors.h"
#include "runtime/text_ops.h"

namespace {

using corvane::String;
using corvane::Variant;
namespace rt = corvane::rt;

// The ANSI codes of a text, for a cipher text whose characters may not be printable.
std::string CodesOf(const String& text) {
  std::string codes;
  for (char16_t c : text) {
    if (!codes.empty()) codes += ' ';
    codes += std::to_string(rt::AnsiCodeOf(c));
  }
  return codes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s TEXT PASSPHRASE\n", argv[0]);
    return 2;
  }
  corvane::Tarnel tarnel;
  try {
    Variant text = Variant::OfString(rt::FromUtf8(argv[1]));
    Variant pass = Variant::OfString(rt::FromUtf8(argv[2]));
    const Variant cipher = tarnel.Encrypt(text, pass);
    std::printf("cipher text: %s\n", rt::ToUtf8(cipher.string()).c_str());
    std::printf("cipher codes: %s\n", CodesOf(cipher.string()).c_str());
    std::printf("key written back: %s (%s)\n", rt::ToUtf8(rt::TextOf(pass)).c_str(),
                corvane::TypeName(pass.kind()));

    Variant cipher_text = cipher;
    Variant pass_again = Variant::OfString(rt::FromUtf8(argv[2]));
    const Variant plain = tarnel.Decrypt(cipher_text, pass_again);
    std::printf("deciphered: %s\n", rt::ToUtf8(plain.string()).c_str());
    return 0;
  } catch (const rt::RuntimeError& error) {
    std::fprintf(stderr, "runtime error %d: %s\n", error.number(), error.what());
    return 1;
  }
}
