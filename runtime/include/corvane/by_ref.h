// ByRef<T>: a method's view of a ByRef parameter, the caller's own variable.
//
// Reading gives the value. Every assignment goes through operator= or Update(), which mark the
// variable assigned; the call frame writes a ByRef parameter back into the caller's variable
// only when the method assigned it, and then in the kind the method gave it. A parameter that
// is only read leaves the caller's variable exactly as it was, whatever conversion its value
// took on the way in.
#pragma once

#include <exception>
#include <utility>

namespace corvane {

template <class T>
class ByRef {
 public:
  // A parameter of a call frame: `value` is the frame's slot, `assigned` its flag (shared by
  // every parameter bound to the same caller variable).
  ByRef(T& value, bool& assigned) : value_(&value), assigned_(&assigned) {}
  // A variable of the caller's own, outside any call frame (native hosts, tests).
  ByRef(T& value) : value_(&value), assigned_(&own_flag_) {}  // NOLINT: implicit by design

  ByRef(const ByRef& other)
      : value_(other.value_),
        own_flag_(other.own_flag_),
        assigned_(other.assigned_ == &other.own_flag_ ? &own_flag_ : other.assigned_) {}
  ByRef& operator=(const ByRef& other) { return *this = T(other.get()); }

  ByRef& operator=(T value) {
    *value_ = std::move(value);
    *assigned_ = true;
    return *this;
  }

  const T& get() const { return *value_; }
  operator const T&() const { return *value_; }  // NOLINT: reads as the value
  const T* operator->() const { return value_; }

  // Changes the value in place (a resize, an element) and marks the variable assigned once
  // `change` returns. A change that raises, such as a refused resize that leaves the value as
  // it was, marks nothing. Returns what `change` returns.
  template <class Change>
  decltype(auto) Update(Change&& change) {
    struct Mark {
      bool* assigned;
      ~Mark() {
        if (std::uncaught_exceptions() == 0) *assigned = true;
      }
    } mark{assigned_};
    return change(*value_);
  }

  bool assigned() const { return *assigned_; }

 private:
  T* value_;
  bool own_flag_ = false;
  bool* assigned_;
};

}  // namespace corvane
