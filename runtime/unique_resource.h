// UniqueResource: the one owner of a resource that a C interface hands out (a BSTR, an HKEY, a
// SAFEARRAY, a SQLite connection or statement), with the same verbs for every kind: get, put,
// address, release, reset. Move-only; the resource is freed exactly once.
#pragma once

#include <utility>

namespace corvane {

// Owns one resource of type T, freed by Free(T) when not equal to Null.
template <class T, auto Free, T Null = T{}>
class UniqueResource {
 public:
  UniqueResource() = default;
  explicit UniqueResource(T value) : value_(value) {}
  UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    reset(other.release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  ~UniqueResource() { reset(); }

  T get() const { return value_; }
  // The address for an interface that writes a new resource; frees the old one first.
  T* put() {
    reset();
    return &value_;
  }
  // The address for an in-out parameter that reads the resource and may replace it; whatever
  // it holds afterwards is owned here.
  T* address() { return &value_; }
  T release() { return std::exchange(value_, Null); }
  void reset(T value = Null) {
    if (value_ != Null) Free(value_);
    value_ = value;
  }
  explicit operator bool() const { return value_ != Null; }

 private:
  T value_ = Null;
};

}  // namespace corvane
