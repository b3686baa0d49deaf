// Move-only owners of the automation resources: BSTR, VARIANT, SAFEARRAY (and its locked data)
// and interface pointers, all with the verbs of UniqueResource (get, put, address, release,
// reset). No SysFreeString, VariantClear, SafeArrayDestroy or Release outside them.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

#include "runtime/unique_resource.h"

namespace corvane::win32 {

inline void FreeBstr(BSTR b) {
  SysFreeString(b);
}
inline void DestroySafeArray(SAFEARRAY* array) {
  SafeArrayDestroy(array);
}

using UniqueBstr = UniqueResource<BSTR, FreeBstr>;
using UniqueSafeArray = UniqueResource<SAFEARRAY*, DestroySafeArray>;

// Holds a SAFEARRAY's data locked (SafeArrayAccessData) and unlocks it at the end. The
// elements lie in memory with the first dimension varying fastest.
class SafeArrayData {
 public:
  explicit SafeArrayData(SAFEARRAY* array) : array_(array) {
    if (FAILED(SafeArrayAccessData(array_, &data_))) data_ = nullptr;
  }
  SafeArrayData(const SafeArrayData&) = delete;
  SafeArrayData& operator=(const SafeArrayData&) = delete;
  ~SafeArrayData() {
    if (data_ != nullptr) SafeArrayUnaccessData(array_);
  }

  // Null when the data could not be locked.
  template <class T>
  T* as() const {
    return static_cast<T*>(data_);
  }

 private:
  SAFEARRAY* array_;
  void* data_ = nullptr;
};

// Owns a VARIANT's contents and clears them at the end. Empty (VT_EMPTY) when it owns nothing.
class UniqueVariant {
 public:
  UniqueVariant() { VariantInit(&value_); }
  // Takes over `value`'s contents.
  explicit UniqueVariant(const VARIANT& value) : value_(value) {}
  UniqueVariant(UniqueVariant&& other) noexcept : value_(other.release()) {}
  UniqueVariant& operator=(UniqueVariant&& other) noexcept {
    reset(other.release());
    return *this;
  }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;
  ~UniqueVariant() { reset(); }

  VARIANT* get() { return &value_; }
  const VARIANT* get() const { return &value_; }
  // The address for an interface that writes a new value; clears the old one first.
  VARIANT* put() {
    reset();
    return &value_;
  }
  // Moves the contents out; this owner is Empty afterwards.
  VARIANT release() {
    VARIANT out = value_;
    VariantInit(&value_);
    return out;
  }
  // Clears the contents and takes over `value`'s (Empty when none is given).
  void reset() {
    VariantClear(&value_);
    VariantInit(&value_);
  }
  void reset(const VARIANT& value) {
    reset();
    value_ = value;
  }

 private:
  VARIANT value_;
};

// Owns one reference of an interface pointer.
template <class I>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(ComPtr&& other) noexcept : p_(other.release()) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() { reset(); }

  I* get() const { return p_; }
  I* operator->() const { return p_; }
  I** put() {
    reset();
    return &p_;
  }
  I* release() { return std::exchange(p_, nullptr); }
  void reset(I* p = nullptr) {
    if (p_ != nullptr) p_->Release();
    p_ = p;
  }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  I* p_ = nullptr;
};

}  // namespace corvane::win32
