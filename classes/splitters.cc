// The delimited splitters: Splits cuts at every occurrence of one separator text (Trap mode),
// sSplit at every character of a delimiter set (Report mode).
//
// Both resize the caller's array once per element, to exactly the size needed, in place: the
// array's storage grows geometrically underneath, so cutting n elements costs O(n) and never
// copies the array per element.
#include <vector>

#include "corvane/tarnel.h"
#include "runtime/convert.h"
#include "runtime/error_modes.h"
#include "runtime/text_ops.h"

namespace corvane {

const String& Tarnel::DefaultDelimiters() {
  static const String kDefault = {u' ', u';', u'\0', u'\t', u'\n', u'\r'};
  return kDefault;
}

namespace {

// Resizes `array` with preservation to 0..index and stores `element` at `index`. The resize is
// refused (10, 9) with the array unchanged and unassigned.
template <class Index>
void StoreElement(ByRef<StringArray>& array, Index index, String element) {
  array.Update([&](StringArray& a) { a.RedimPreserve(index); });
  array.Update([&](StringArray& a) { a.at(index) = std::move(element); });
}

}  // namespace

Integer Tarnel::Splits(ByRef<String> chaine, ByRef<String> separ, ByRef<StringArray> tableau,
                       ByRef<Integer> nb_elem) {
  // NOTE: chaine and separ may be one variable; separ is read afresh at every use.
  return rt::Trap(
      [&]() -> Integer {
        // The terminator rule. An empty separator leaves the text as it is.
        if (!separ->empty() && rt::Right(chaine.get(), 1) != separ.get())
          chaine = rt::Concat(chaine.get(), separ.get());
        Integer p = 0;
        // The first search begins at 1 (at 0 for an empty separator, which InStr refuses);
        // each later one a separator's length past the latest find.
        Integer start = separ->empty() ? 0 : 1;
        for (;;) {
          p = rt::Narrow<Integer>(rt::InStr(start, chaine.get(), separ.get()));
          if (p == 0) return Integer{0};
          StoreElement(tableau, nb_elem.get(),
                       rt::Mid(chaine.get(), start, rt::CheckedSub<Integer>(p, start)));
          nb_elem = rt::CheckedAdd<Integer>(nb_elem, Integer{1});
          start = rt::Narrow<Integer>(static_cast<long long>(p) + rt::Len(separ.get()));
        }
      },
      // The handler: the error's number is the result; one beyond an Integer raises 6.
      [](const rt::RuntimeError& error) { return rt::Narrow<Integer>(error.number()); });
}

Long Tarnel::sSplit(String sStr1, ByRef<String> sDelims, ByRef<StringArray> sResult) {
  return rt::Report([&]() -> Long {
    String w = std::move(sStr1);
    if (sDelims->empty()) sDelims = DefaultDelimiters();
    const StringView delimiters = sDelims.get();
    if (rt::Right(w, 1) != delimiters) w += rt::Left(delimiters, 1);
    // Membership by a table of every code unit when the set is long, so that the time stays
    // linear in the text whatever the set's length.
    std::vector<bool> table;
    if (delimiters.size() > 16) {
      table.assign(0x10000, false);
      for (const char16_t c : delimiters)
        table[c] = true;
    }
    const auto is_delimiter = [&](char16_t c) {
      return table.empty() ? delimiters.find(c) != StringView::npos : table[c];
    };
    Long i = -1;
    long long m = 1;
    const long long n = static_cast<long long>(w.size());
    // Every delimiter closes one element: room for all of them is made with the first resize,
    // so the later ones never move the elements.
    size_t count = 0;
    for (const char16_t c : w)
      count += is_delimiter(c) ? 1 : 0;
    for (long long j = 1; j <= n; ++j) {
      // InStr(1, sDelims, Mid(w, j, 1)) > 0
      if (!is_delimiter(w[static_cast<size_t>(j - 1)])) continue;
      i = rt::CheckedAdd<Long>(i, Long{1});
      if (i == 0) {
        sResult.Update([&](StringArray& a) {
          a.RedimPreserve(0);
          a.ReserveElements(count);
        });
      }
      StoreElement(sResult, i, w.substr(static_cast<size_t>(m - 1), static_cast<size_t>(j - m)));
      m = j + 1;
    }
    return m >= 3 ? i : Long{-1};
  });
}

}  // namespace corvane
