// The native late-binding dispatcher.
#include "corvane/dispatcher.h"

#include "server/binding.h"

namespace corvane::server {
namespace {

// Binds argument `i` to the next parameter of the frame; returns a binding status.
Status Bind(const MethodInfo& method, size_t i, std::span<Argument* const> args, CallFrame& frame) {
  const ParamInfo& param = method.params[i];
  const int shared =
      SharedWith(method, i, [&](size_t earlier) { return args[earlier] == args[i]; });
  if (shared >= 0) {
    frame.ShareSlot(static_cast<size_t>(shared));
    return kOk;
  }
  Slot& slot = frame.AddSlot(param.type);
  Argument& arg = *args[i];
  if (param.type == ParamType::kStringArray) {
    if (auto* array = std::get_if<StringArray>(&arg)) {
      slot.array = *array;
      return kOk;
    }
    // An Empty variable receives the array; anything else is not an array.
    const Variant& value = std::get<Variant>(arg);
    if (IsMissingArgument(value)) return kParamNotOptional;
    return value.is_empty() ? kOk : kTypeMismatch;
  }
  const auto* value = std::get_if<Variant>(&arg);
  if (value == nullptr) return kTypeMismatch;
  if (param.direction == Direction::kByRef) {
    slot.source = [&arg] {
      if (const auto* now = std::get_if<Variant>(&arg)) return *now;
      rt::Raise(rt::ErrorNumber::kTypeMismatch);
    };
  }
  return LoadArgument(slot, *value);
}

void WriteBack(const MethodInfo& method, std::span<Argument* const> args, CallFrame& frame) {
  for (size_t i = 0; i < method.params.size(); ++i) {
    Slot& slot = frame.slot(i);
    if (method.params[i].direction != Direction::kByRef || !slot.assigned) continue;
    if (slot.type == ParamType::kStringArray) {
      *args[i] = slot.array;
    } else {
      *args[i] = SlotValue(slot);
    }
  }
}

DispatchResult Call(Instance& instance, const MethodInfo* method, std::span<Argument* const> args) {
  DispatchResult out;
  if (method == nullptr) {
    out.status = kMemberNotFound;
    return out;
  }
  if (args.size() != method->params.size()) {
    out.status = kBadParamCount;
    return out;
  }
  for (Argument* arg : args) {
    if (arg == nullptr) {
      out.status = kInvalidPointer;
      return out;
    }
  }
  CallFrame frame;
  for (size_t i = 0; i < args.size(); ++i) {
    const Status status = Bind(*method, i, args, frame);
    if (status != kOk) {
      out.status = status;
      out.arg_error = static_cast<int>(i);
      return out;
    }
  }
  CallOutcome outcome = RunMethod(*method, instance.core(), frame);
  WriteBack(*method, args, frame);
  out.status = outcome.status;
  out.result = std::move(outcome.result);
  out.error_number = outcome.error_number;
  out.description = std::move(outcome.description);
  if (outcome.error_number != 0) out.source = instance.info().prog_id;
  return out;
}

}  // namespace

DispatchResult Invoke(Instance& instance, std::string_view method_name,
                      std::span<Argument* const> args) {
  return Call(instance, FindMethod(instance.info(), method_name), args);
}

DispatchResult Invoke(Instance& instance, int32_t dispid, std::span<Argument* const> args) {
  return Call(instance, FindMethod(instance.info(), dispid), args);
}

}  // namespace corvane::server
