// ByRef<T>: a method's view of a ByRef parameter, the caller's own variable.
//
// Reading gives the value. Every assignment goes through operator= or Update(), which mark the
// variable assigned; the call frame writes a ByRef parameter back into the caller's variable
// only when the method assigned it, and then in the kind the method gave it. A parameter that
// is only read leaves the caller's variable exactly as it was, whatever conversion its value
// took on the way in.
//
// A value that is no variable of the caller's (a literal, a constant, a temporary) is passed as
// VB passes a literal to a ByRef parameter: the method gets a variable of its own, which it may
// assign and read back, and the caller sees nothing of it.
#pragma once

#include <exception>
#include <memory>
#include <type_traits>
#include <utility>

namespace corvane {

template <class T>
class ByRef;

// A value that a ByRef<T> takes as its own: one that converts to T and is neither a T (taken as
// the caller's variable, or copied) nor a ByRef.
template <class U, class T>
concept ValueOf = !std::is_same_v<std::remove_cvref_t<U>, T> &&
                  !std::is_same_v<std::remove_cvref_t<U>, ByRef<T>> && std::is_convertible_v<U &&, T>;

template <class T>
class ByRef {
 public:
  // A parameter of a call frame: `value` is the frame's slot, `assigned` its flag (shared by
  // every parameter bound to the same caller variable).
  ByRef(T& value, bool& assigned) : value_(&value), assigned_(&assigned) {}
  // A variable of the caller's own, outside any call frame (native hosts, tests).
  ByRef(T& value) : value_(&value), assigned_(&own_flag_) {}  // NOLINT: implicit by design
  // A value, not a variable: the parameter's own copy (shared by the copies of this ByRef).
  ByRef(const T& value) : ByRef(kOwn, std::make_shared<T>(value)) {}       // NOLINT
  ByRef(T&& value) : ByRef(kOwn, std::make_shared<T>(std::move(value))) {}  // NOLINT
  template <ValueOf<T> U>
  ByRef(U&& value) : ByRef(kOwn, std::make_shared<T>(std::forward<U>(value))) {}  // NOLINT

  ByRef(const ByRef& other)
      : own_(other.own_),
        value_(other.value_),
        own_flag_(other.own_flag_),
        assigned_(other.assigned_ == &other.own_flag_ ? &own_flag_ : other.assigned_) {}
  ByRef& operator=(const ByRef& other) { return *this = T(other.get()); }

  ByRef& operator=(T value) {
    *value_ = std::move(value);
    *assigned_ = true;
    return *this;
  }
  template <ValueOf<T> U>
  ByRef& operator=(U&& value) {
    return *this = T(std::forward<U>(value));
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
  enum Own { kOwn };
  ByRef(Own, std::shared_ptr<T> own) : own_(std::move(own)), value_(own_.get()), assigned_(&own_flag_) {}

  std::shared_ptr<T> own_;  // the value's own variable, where the caller passed a value
  T* value_;
  bool own_flag_ = false;
  bool* assigned_;
};

}  // namespace corvane
