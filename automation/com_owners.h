// Move-only owners of the COM and Windows resources the server holds: BSTR, VARIANT, HKEY and
// interface pointers. No SysFreeString, VariantClear, RegCloseKey or Release outside them.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace corvane::win32 {

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
  // The address for an API that writes a new resource; frees the old one first.
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

inline void FreeBstr(BSTR b) {
  SysFreeString(b);
}
inline void CloseKey(HKEY key) {
  RegCloseKey(key);
}
inline void DestroySafeArray(SAFEARRAY* array) {
  SafeArrayDestroy(array);
}

using UniqueBstr = UniqueResource<BSTR, FreeBstr>;
using UniqueHkey = UniqueResource<HKEY, CloseKey>;
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

// Owns a VARIANT and clears it at the end.
class UniqueVariant {
 public:
  UniqueVariant() { VariantInit(&value_); }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;
  ~UniqueVariant() { VariantClear(&value_); }

  VARIANT* get() { return &value_; }
  // Moves the value out; this owner is Empty afterwards.
  VARIANT release() {
    VARIANT out = value_;
    VariantInit(&value_);
    return out;
  }

 private:
  VARIANT value_;
};

// Owns one reference of an interface pointer.
template <class I>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    reset(std::exchange(other.p_, nullptr));
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
  void reset(I* p = nullptr) {
    if (p_ != nullptr) p_->Release();
    p_ = p;
  }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  I* p_ = nullptr;
};

}  // namespace corvane::win32
