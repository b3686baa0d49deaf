// Variant: the automation's tagged value.
//
// The kinds that occur in the component: Empty (a never-assigned Variant), Null (only so that
// it can be refused), Integer, Long, Double, String, and Error, which marks an omitted argument.
#pragma once

#include <optional>
#include <variant>

#include "corvane/export.h"
#include "corvane/types.h"

namespace corvane {

enum class VariantKind { kEmpty, kNull, kInteger, kLong, kDouble, kString, kError };

class Variant {
 public:
  Variant() = default;  // Empty

  static Variant Null() { return Variant(NullTag{}); }
  static Variant OfInteger(Integer value) { return Variant(value); }
  static Variant OfLong(Long value) { return Variant(value); }
  static Variant OfDouble(double value) { return Variant(value); }
  static Variant OfString(String value) { return Variant(std::move(value)); }
  // An Error value; 0x80020004 (DISP_E_PARAMNOTFOUND) is the omitted-argument marker.
  static Variant OfError(Long scode) { return Variant(ErrorTag{scode}); }
  static Variant Missing() { return OfError(static_cast<Long>(0x80020004u)); }

  VariantKind kind() const { return static_cast<VariantKind>(value_.index()); }
  bool is_empty() const { return kind() == VariantKind::kEmpty; }
  bool is_null() const { return kind() == VariantKind::kNull; }

  // Accessors for the stored value; each requires the matching kind, and raises runtime error
  // 13 (Type mismatch, rt::RuntimeError) for another.
  Integer integer() const { return Get<Integer>(); }
  Long long_value() const { return Get<Long>(); }
  double double_value() const { return Get<double>(); }
  const String& string() const { return Get<String>(); }
  // The stored String moved out of a Variant that is about to go.
  String TakeString() && { return std::move(const_cast<String&>(Get<String>())); }
  Long error_code() const { return Get<ErrorTag>().scode; }

  // The same without an error: the value where the Variant holds that kind, else nothing (or
  // `fallback`).
  std::optional<Integer> as_integer() const { return As<Integer>(); }
  std::optional<Long> as_long() const { return As<Long>(); }
  std::optional<double> as_double() const { return As<double>(); }
  std::optional<String> as_string() const { return As<String>(); }
  String string_or(String fallback) const { return as_string().value_or(std::move(fallback)); }

  bool operator==(const Variant& other) const = default;

 private:
  struct NullTag {
    bool operator==(const NullTag&) const = default;
  };
  struct ErrorTag {
    Long scode;  // the SCODE the Error value carries
    bool operator==(const ErrorTag&) const = default;
  };

  template <class T>
  explicit Variant(T value) : value_(std::move(value)) {}

  [[noreturn]] CORVANE_API static void KindMismatch();
  template <class T>
  const T& Get() const {
    if (const T* value = std::get_if<T>(&value_)) return *value;
    KindMismatch();
  }
  template <class T>
  std::optional<T> As() const {
    if (const T* value = std::get_if<T>(&value_)) return *value;
    return std::nullopt;
  }

  // Alternatives in the order of VariantKind.
  std::variant<std::monostate, NullTag, Integer, Long, double, String, ErrorTag> value_;
};

// The name of a kind as the runtime's TypeName gives it ("Empty", "Integer", "String"...).
CORVANE_API const char* TypeName(VariantKind kind);

}  // namespace corvane
