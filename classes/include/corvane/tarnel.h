// Tarnel: the text utilities class. It keeps no state between calls.
#pragma once

#include <functional>

#include "corvane/export.h"
#include "corvane/by_ref.h"
#include "corvane/string_array.h"
#include "corvane/variant.h"

namespace corvane {

class CORVANE_API Tarnel {
 public:
  // Holds the caller until the local clock has moved `secs` whole seconds past the second in
  // which the call began, letting the host process its messages on every pass; returns Empty.
  // `secs` is read afresh before every test (a handler may change it); 0 or less returns at
  // once without processing messages. Raises 13 when a clock text cannot be read back.
  Variant TimedPause(const std::function<Long()>& secs);

  // Cuts `chaine` at every occurrence of `separ` into `tableau` from index `nb_elem` on, raising
  // `nb_elem` per element. Trap mode: returns 0 when the text was cut to the end, otherwise the
  // number of the runtime error that stopped it (5 for an empty separator, 6 at the Integer
  // limits, 9 for a negative nb_elem, 10 or 9 for an array that cannot be resized), with what
  // was stored until then kept. `chaine` receives the terminated text when the separator is
  // appended; `separ` is never written. Raises 6 only for an error number beyond an Integer.
  Integer Splits(ByRef<String> chaine, ByRef<String> separ, ByRef<StringArray> tableau,
                 ByRef<Integer> nb_elem);

  // Cuts `sStr1` at every character of `sDelims` into `sResult`, replacing all its former
  // contents; returns the last index, or -1 when the terminated text has at most one character.
  // An empty `sDelims` is set to the default set. Raises the resize's error (10, 9) with the
  // elements stored so far kept.
  Long sSplit(String sStr1, ByRef<String> sDelims, ByRef<StringArray> sResult);

  // The characters at even positions, then those at odd positions. Raises 6 for a text of more
  // than 32767 characters. `strString` is never written.
  String scramb(ByRef<String> strString);

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

  // The default delimiter set of sSplit: blank, ";", NUL, TAB, LF, CR.
  static const String& DefaultDelimiters();
};

}  // namespace corvane
