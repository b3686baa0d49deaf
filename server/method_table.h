// The method tables: one row per public method of each class, the single source from which
// both the COM server's Invoke and the native dispatcher bind arguments and call the core.
//
// A row gives the name, the dispatch identifier, the parameters with direction and type, the
// result type, and the thunk that calls the core method on a bound CallFrame. A row without a
// thunk is a method that is not built yet: callers get "not implemented".
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "corvane/by_ref.h"
#include "corvane/string_array.h"
#include "corvane/variant.h"

namespace corvane::server {

enum class ParamType { kString, kLong, kInteger, kVariant, kStringArray };
enum class Direction { kByVal, kByRef };
enum class ResultType { kNone, kVariant, kString, kLong, kInteger };

// One value slot of a call: the parameter's own runtime value. Two ByRef parameters bound to
// one caller variable share one slot, so the callee sees one value; a ByVal parameter always
// has a slot of its own.
struct Slot {
  ParamType type = ParamType::kVariant;
  bool assigned = false;  // the method assigned the value: a ByRef slot is written back
  // The caller's variable read afresh, for a ByRef parameter that a long call reads again after
  // the host ran (the timed pause's secs); null: the value as bound.
  std::function<Variant()> source;
  String string;
  Long long_value = 0;
  Integer integer = 0;
  Variant variant;
  StringArray array;
};

// The bound arguments of one call, in parameter order. The slots live in the frame itself, so
// binding a call allocates nothing beyond what the values hold.
class CallFrame {
 public:
  // The most parameters a method has (held by the tables at compile time).
  static constexpr size_t kMaxParams = 8;

  CallFrame() = default;
  CallFrame(const CallFrame&) = delete;
  CallFrame& operator=(const CallFrame&) = delete;

  // Adds a fresh slot of `type` for the next parameter and returns it. Throws
  // std::length_error past kMaxParams.
  Slot& AddSlot(ParamType type);
  // Binds the next parameter to an existing slot of an earlier parameter.
  void ShareSlot(size_t earlier_parameter);

  size_t size() const { return size_; }
  Slot& slot(size_t parameter) { return *params_[parameter]; }

  // The parameters as the method sees them: reads give the value, assignments mark the slot.
  ByRef<String> string(size_t i) { return {slot(i).string, slot(i).assigned}; }
  ByRef<Long> long_value(size_t i) { return {slot(i).long_value, slot(i).assigned}; }
  ByRef<Integer> integer(size_t i) { return {slot(i).integer, slot(i).assigned}; }
  ByRef<Variant> variant(size_t i) { return {slot(i).variant, slot(i).assigned}; }
  ByRef<StringArray> array(size_t i) { return {slot(i).array, slot(i).assigned}; }
  // A Long parameter read afresh from the caller's variable, converted as when it was bound;
  // raises the conversion's error (13, 6).
  Long FreshLong(size_t i);

 private:
  std::array<std::optional<Slot>, kMaxParams> storage_;  // the slots in use come first
  std::array<Slot*, kMaxParams> params_{};               // one per parameter, possibly shared
  size_t slots_ = 0;
  size_t size_ = 0;
};

struct ParamInfo {
  const char* name;
  ParamType type;
  Direction direction;
};

// Calls the core method on `object` with the frame's values; returns the result as a Variant
// of the row's result kind (Empty for kNone). Raises the method's runtime errors.
using Thunk = Variant (*)(void* object, CallFrame& frame);

struct MethodInfo {
  const char* name;
  int32_t dispid;
  std::span<const ParamInfo> params;
  ResultType result;
  Thunk thunk;  // null: not built yet
};

// True when no method of `methods` has more parameters than a call frame holds.
constexpr bool FitsCallFrame(std::span<const MethodInfo> methods) {
  for (const MethodInfo& method : methods)
    if (method.params.size() > CallFrame::kMaxParams) return false;
  return true;
}

struct ClassInfo {
  const char* name;            // "Tarnel"
  const char* prog_id;         // "Corvane.Tarnel"
  const char* class_id;        // "{8CA88E33-C0E8-11D5-B1AB-006097D869EE}"
  const char* interface_name;  // "_Tarnel"
  const char* interface_id;
  std::span<const MethodInfo> methods;  // in interface (vtable) order
};

// The library's identity.
inline constexpr const char* kLibraryName = "Corvane";
inline constexpr const char* kLibraryId = "{8CA88E31-C0E8-11D5-B1AB-006097D869EE}";

// The three classes, in the order Tarnel, Registry, Declares.
std::span<const ClassInfo> Classes();
const ClassInfo& TarnelClass();
const ClassInfo& RegistryClass();
const ClassInfo& DeclaresClass();

// Case-insensitive lookups (ASCII folding); null when absent.
const ClassInfo* FindClassByProgId(std::string_view prog_id);
const ClassInfo* FindClassById(std::string_view class_id);  // with or without braces
const MethodInfo* FindMethod(const ClassInfo& cls, std::string_view name);
const MethodInfo* FindMethod(const ClassInfo& cls, int32_t dispid);
// The index of the parameter called `name`, or -1.
int FindParam(const MethodInfo& method, std::string_view name);

// ASCII case-insensitive equality.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace corvane::server
