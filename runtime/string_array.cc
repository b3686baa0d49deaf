// The array of String.
#include "corvane/string_array.h"

#include <new>
#include <stdexcept>

#include "runtime/errors.h"

namespace corvane {

using rt::ErrorNumber;
using rt::Raise;

namespace {

// Resizes the element storage; error 7 when the memory is not there.
void ResizeElements(std::vector<String>& elements, size_t count) {
  try {
    elements.resize(count);
  } catch (const std::bad_alloc&) {
    Raise(ErrorNumber::kOutOfMemory);
  } catch (const std::length_error&) {
    Raise(ErrorNumber::kOutOfMemory);
  }
}

}  // namespace

StringArray StringArray::WithBounds(Long lower, Long upper) {
  return WithDimensions({Bound{lower, upper}}, false);
}

StringArray StringArray::WithDimensions(std::vector<Bound> bounds, bool fixed_size) {
  if (bounds.empty()) Raise(ErrorNumber::kSubscript);
  size_t count = 1;
  for (const Bound& b : bounds) {
    if (b.upper < b.lower) Raise(ErrorNumber::kSubscript);
    // A caller's array may claim any bounds: a count beyond memory is refused, never wrapped.
    const long long size = static_cast<long long>(b.upper) - b.lower + 1;  // up to 2^32
    if (__builtin_mul_overflow(count, size, &count)) Raise(ErrorNumber::kOutOfMemory);
  }
  StringArray array;
  ResizeElements(array.elements_, count);
  array.bounds_ = std::move(bounds);
  array.fixed_size_ = fixed_size;
  return array;
}

StringArray StringArray::Of(std::vector<String> elements) {
  StringArray array;
  if (elements.empty()) return array;
  array.bounds_ = {Bound{0, static_cast<Long>(elements.size() - 1)}};
  array.elements_ = std::move(elements);
  return array;
}

Long StringArray::lower() const {
  if (bounds_.empty()) Raise(ErrorNumber::kSubscript);
  return bounds_[0].lower;
}

Long StringArray::upper() const {
  if (bounds_.empty()) Raise(ErrorNumber::kSubscript);
  return bounds_[0].upper;
}

const String& StringArray::at(Long index) const {
  if (bounds_.size() != 1 || index < bounds_[0].lower || index > bounds_[0].upper)
    Raise(ErrorNumber::kSubscript);
  return elements_[static_cast<size_t>(static_cast<long long>(index) - bounds_[0].lower)];
}

String& StringArray::at(Long index) {
  return const_cast<String&>(static_cast<const StringArray&>(*this).at(index));
}

void StringArray::ReserveElements(size_t count) noexcept {
  try {
    elements_.reserve(count);
  } catch (...) {
    // A hint only: the resizes themselves report a lack of memory.
  }
}

void StringArray::RedimPreserve(Long upper) {
  if (fixed_size_) Raise(ErrorNumber::kArrayFixed);
  if (bounds_.size() > 1 || (bounds_.size() == 1 && bounds_[0].lower != 0))
    Raise(ErrorNumber::kSubscript);
  if (upper < 0) Raise(ErrorNumber::kSubscript);
  ResizeElements(elements_, static_cast<size_t>(upper) + 1);
  bounds_ = {Bound{0, upper}};
}

}  // namespace corvane
