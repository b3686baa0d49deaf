// The scrambler: the characters at even positions, then those at odd positions, each group in
// its order. Report mode.
#include "corvane/tarnel.h"
#include "runtime/convert.h"
#include "runtime/text_ops.h"

namespace corvane {

String Tarnel::scramb(ByRef<String> strString) {
  const StringView text = strString.get();
  // The length is an Integer: beyond 32767 characters the call fails before anything else.
  const Integer length = rt::Narrow<Integer>(rt::Len(text));
  String evens, odds;
  evens.reserve(static_cast<size_t>(length) / 2);
  odds.reserve(static_cast<size_t>(length) - static_cast<size_t>(length) / 2);
  // The position counter is wider than the length, so a text of 32767 characters is whole.
  for (Long i = 1; i <= length; ++i)
    (i % 2 == 0 ? evens : odds).push_back(text[static_cast<size_t>(i) - 1]);
  return evens + odds;
}

}  // namespace corvane
