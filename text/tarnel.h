// Tarnel: the text utilities class. It keeps no state between calls.
#pragma once

#include "runtime/by_ref.h"
#include "runtime/variant.h"

namespace corvane {

class Tarnel {
 public:
  // Enciphers the text form of `texti` under the pass phrase `salasana` and returns the cipher
  // text as a String Variant. Never fails on the text itself: a character whose shifted code
  // falls outside 0..255 is left out, and the next character keeps the shift of its own
  // position.
  // Afterwards `salasana` holds the key as an Integer Variant; it is stored there before the
  // text is read, so one variable passed for both arguments enciphers the key's decimal text.
  // `texti` is never written.
  // Raises 6 when either text has more than 255 characters or is Null, and 13 when either
  // holds an Error value; both arguments are then unchanged.
  Variant Encrypt(ByRef<Variant> texti, ByRef<Variant> salasana);

  // Deciphers `texti` under `salasana`, with the opposite shifts; otherwise as Encrypt.
  Variant Decrypt(ByRef<Variant> texti, ByRef<Variant> salasana);
};

}  // namespace corvane
