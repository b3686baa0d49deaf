// The runtime's text operations with their documented edges.
//
// Positions count from 1. Lengths and positions are Long. Every operation raises error 5 for
// the invalid arguments listed with it.
#pragma once

#include "corvane/types.h"

namespace corvane::rt {

// Number of characters; "" gives 0.
Long Len(StringView s);

// Up to `n` characters from position `start`; without `n`, to the end. `start` < 1 or `n` < 0
// raises 5; `start` beyond the end gives "".
String Mid(StringView s, Long start);
String Mid(StringView s, Long start, Long n);

// First / last `n` characters; `n` < 0 raises 5; `n` >= Len(s) gives `s`.
String Left(StringView s, Long n);
String Right(StringView s, Long n);

// Position of the first occurrence of `find` in `s` at or after `start`, comparing character
// codes exactly; 0 when not found. In this order: `start` < 1 raises 5; `s` = "" gives 0;
// `start` > Len(s) gives 0; `find` = "" gives `start`.
Long InStr(Long start, StringView s, StringView find);

// ANSI code of the first character; "" raises 5.
Integer Asc(StringView s);

// The one-character string whose ANSI code is `code`; outside 0..255 raises 5. Chr(0) is an
// ordinary character.
String Chr(Long code);

// `s` without leading and trailing blanks (U+0020 only).
String Trim(StringView s);

// `n` blanks; `n` < 0 raises 5.
String Space(Long n);

// The runtime's String(n, c): `n` copies of the first character of `c`; `n` < 0 or `c` = ""
// raises 5.
String StringFill(Long n, StringView c);

// a & b.
String Concat(StringView a, StringView b);

}  // namespace corvane::rt
