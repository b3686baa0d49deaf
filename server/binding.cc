// Argument conversions and the guarded call of a method's thunk.
#include "server/binding.h"

#include <new>
#include <utility>

#include "runtime/convert.h"

namespace corvane::server {

void LoadSlot(Slot& slot, const Variant& value) {
  switch (slot.type) {
    case ParamType::kString:
      slot.string = rt::TextOf(value);
      return;
    case ParamType::kLong:
      slot.long_value = rt::ToLong(value);
      return;
    case ParamType::kInteger:
      slot.integer = rt::ToInteger(value);
      return;
    case ParamType::kVariant:
      slot.variant = value;
      return;
    case ParamType::kStringArray:
      break;
  }
  rt::Raise(rt::ErrorNumber::kTypeMismatch);
}

Variant SlotValue(const Slot& slot) {
  switch (slot.type) {
    case ParamType::kString:
      return Variant::OfString(slot.string);
    case ParamType::kLong:
      return Variant::OfLong(slot.long_value);
    case ParamType::kInteger:
      return Variant::OfInteger(slot.integer);
    case ParamType::kVariant:
      return slot.variant;
    case ParamType::kStringArray:
      break;
  }
  return Variant();
}

Status BindingStatus(const rt::RuntimeError& error) {
  return error.number() == static_cast<int32_t>(rt::ErrorNumber::kOverflow) ? kOverflow
                                                                            : kTypeMismatch;
}

bool IsMissingArgument(const Variant& value) {
  return value.kind() == VariantKind::kError && value.error_code() == kParamNotFound;
}

Status LoadArgument(Slot& slot, const Variant& value) {
  if (IsMissingArgument(value)) return kParamNotOptional;
  try {
    LoadSlot(slot, value);
  } catch (const rt::RuntimeError& error) {
    return BindingStatus(error);
  }
  return kOk;
}

Status LoadArgument(Slot& slot, Variant&& value) {
  if (slot.type == ParamType::kVariant && !IsMissingArgument(value)) {
    slot.variant = std::move(value);
    return kOk;
  }
  if (slot.type == ParamType::kString && value.kind() == VariantKind::kString) {
    slot.string = std::move(value).TakeString();
    return kOk;
  }
  return LoadArgument(slot, std::as_const(value));
}

CallOutcome RunMethod(const MethodInfo& method, void* object, CallFrame& frame) {
  CallOutcome outcome;
  if (method.thunk == nullptr) {
    outcome.status = kNotImplemented;
    return outcome;
  }
  auto fail_with = [&outcome](const rt::RuntimeError& error) {
    outcome.status = RuntimeErrorStatus(error.number());
    outcome.error_number = error.number();
    outcome.description = error.what();
  };
  try {
    outcome.result = method.thunk(object, frame);
  } catch (const rt::RuntimeError& error) {
    fail_with(error);
  } catch (const std::bad_alloc&) {
    fail_with(rt::RuntimeError(rt::ErrorNumber::kOutOfMemory));
  } catch (...) {
    outcome.status = kUnexpected;
  }
  return outcome;
}

}  // namespace corvane::server
