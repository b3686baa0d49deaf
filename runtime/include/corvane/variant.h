// Variant: the automation's tagged value.
//
// The kinds that occur in the component: Empty (a never-assigned Variant), Null (only so that
// it can be refused), Integer, Long, Double, String, and Error, which marks an omitted argument.
#pragma once

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

  // Accessors for the stored value; each requires the matching kind.
  Integer integer() const { return std::get<Integer>(value_); }
  Long long_value() const { return std::get<Long>(value_); }
  double double_value() const { return std::get<double>(value_); }
  const String& string() const { return std::get<String>(value_); }
  // The stored String moved out of a Variant that is about to go.
  String TakeString() && { return std::move(std::get<String>(value_)); }
  Long error_code() const { return std::get<ErrorTag>(value_).scode; }

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

  // Alternatives in the order of VariantKind.
  std::variant<std::monostate, NullTag, Integer, Long, double, String, ErrorTag> value_;
};

// The name of a kind as the runtime's TypeName gives it ("Empty", "Integer", "String"...).
CORVANE_API const char* TypeName(VariantKind kind);

}  // namespace corvane
