// The array of String: dynamic or fixed, undimensioned or with explicit bounds.
//
// Arrays that reach the component from a caller may have several dimensions or a lower bound
// other than 0; the component itself only ever resizes a one-dimensional array to 0..n.
#pragma once

#include <vector>

#include "corvane/export.h"
#include "corvane/types.h"

namespace corvane {

class CORVANE_API StringArray {
 public:
  struct Bound {
    Long lower;  // lowest index of the dimension
    Long upper;  // highest index; upper >= lower
    bool operator==(const Bound&) const = default;
  };

  // An undimensioned dynamic array.
  StringArray() = default;
  // A dynamic array with one dimension lower..upper of empty strings; error 9 when upper < lower.
  static StringArray WithBounds(Long lower, Long upper);
  // An array of the given dimensions (first dimension first) of empty strings, dynamic unless
  // `fixed_size`; error 9 for an empty list or a dimension with upper < lower.
  static StringArray WithDimensions(std::vector<Bound> bounds, bool fixed_size);
  // A dynamic array 0..n-1 holding `elements` (undimensioned when there are none).
  static StringArray Of(std::vector<String> elements);

  bool dimensioned() const { return !bounds_.empty(); }
  int dimensions() const { return static_cast<int>(bounds_.size()); }
  bool fixed_size() const { return fixed_size_; }
  const std::vector<Bound>& bounds() const { return bounds_; }
  // Bounds of the first dimension; error 9 when undimensioned.
  Long lower() const;
  Long upper() const;

  // The element at `index` of a one-dimensional array; error 9 outside the bounds, for an
  // undimensioned array and for an array of more than one dimension.
  String& at(Long index);
  const String& at(Long index) const;

  // Every element in storage order (the first dimension varies fastest).
  std::vector<String>& elements() { return elements_; }
  const std::vector<String>& elements() const { return elements_; }

  // Resizes with preservation to bounds 0..upper: slots 0..upper that existed keep their
  // element, new slots hold "", slots above `upper` are dropped; an undimensioned array is
  // created. Refused, with the array unchanged: a fixed-size array (error 10), more than one
  // dimension or a lower bound other than 0 (error 9), upper < 0 (error 9), no memory (error 7).
  void RedimPreserve(Long upper);

  // Makes room for `count` elements without changing the array: a caller that knows how many
  // resizes will follow avoids moving the elements on each growth. Only a hint: when the memory
  // is not there, nothing happens.
  void ReserveElements(size_t count) noexcept;

  bool operator==(const StringArray&) const = default;

 private:
  std::vector<Bound> bounds_;     // empty while undimensioned
  std::vector<String> elements_;  // product of the dimension sizes
  bool fixed_size_ = false;       // true: the array may not be resized
};

}  // namespace corvane
