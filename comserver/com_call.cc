// Binding VARIANTARGs to a method's parameters and writing ByRef results back.
#include "comserver/com_call.h"

#include <array>
#include <cstring>
#include <utility>

#include "automation/com_owners.h"
#include "automation/variant_convert.h"
#include "runtime/errors.h"

namespace corvane::win32 {
namespace {

using server::CallFrame;
using server::Direction;
using server::MethodInfo;
using server::ParamType;
using server::Slot;

// Where an argument came from, and so where a ByRef result goes.
struct Target {
  const VARIANTARG* arg = nullptr;
  VARIANT* variant_ref = nullptr;  // VT_BYREF | VT_VARIANT: the caller's variant
  VARTYPE typed_type = VT_EMPTY;   // VT_BYREF | type: the type without VT_BYREF
  void* typed_ref = nullptr;       // ... and the caller's storage

  void* identity() const {
    return variant_ref != nullptr ? static_cast<void*>(variant_ref) : typed_ref;
  }
};

Target TargetOf(const VARIANTARG* arg) {
  Target t;
  t.arg = arg;
  if (V_VT(arg) == (VT_BYREF | VT_VARIANT)) {
    t.variant_ref = V_VARIANTREF(arg);
    // A variant that itself refers to a typed variable: write through to that variable.
    if (t.variant_ref != nullptr && (V_VT(t.variant_ref) & VT_BYREF) != 0 &&
        V_VT(t.variant_ref) != (VT_BYREF | VT_VARIANT)) {
      t.typed_type = V_VT(t.variant_ref) & ~VT_BYREF;
      t.typed_ref = V_BYREF(t.variant_ref);
      t.variant_ref = nullptr;
    }
  } else if ((V_VT(arg) & VT_BYREF) != 0) {
    t.typed_type = V_VT(arg) & ~VT_BYREF;
    t.typed_ref = V_BYREF(arg);
  }
  return t;
}

bool IsNullReference(const VARIANTARG* arg) {
  return (V_VT(arg) & VT_BYREF) != 0 && V_BYREF(arg) == nullptr;
}

// Reads the array an argument holds into the slot; raises 13 when it holds something else.
void LoadArray(Slot& slot, const Target& t) {
  const VARIANT* holder = t.variant_ref != nullptr ? t.variant_ref : t.arg;
  if (t.typed_ref != nullptr) {
    if ((t.typed_type & VT_ARRAY) == 0) rt::Raise(rt::ErrorNumber::kTypeMismatch);
    slot.array = FromSafeArray(*static_cast<SAFEARRAY**>(t.typed_ref));
    return;
  }
  const VARTYPE type = V_VT(holder);
  if (type == VT_EMPTY) {
    slot.array = StringArray();
  } else if ((type & VT_ARRAY) != 0) {
    slot.array = FromSafeArray((type & VT_BYREF) != 0 ? *V_ARRAYREF(holder) : V_ARRAY(holder));
  } else {
    rt::Raise(rt::ErrorNumber::kTypeMismatch);
  }
}

// Size of the value stored behind a VT_BYREF of a fixed-size type; 0 for other types.
size_t FixedSizeOf(VARTYPE type) {
  switch (type) {
    case VT_I1:
    case VT_UI1:
      return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
      return 4;
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_I8:
    case VT_UI8:
      return 8;
    default:
      return 0;
  }
}

// Stores a scalar value into a typed caller variable, converted to its type; a value that the
// type cannot hold leaves the variable as it was.
void StoreTyped(const Variant& value, VARTYPE type, void* storage) {
  UniqueVariant v;
  ToVariant(value, v.get());
  if (type != V_VT(v.get()) && FAILED(VariantChangeType(v.get(), v.get(), 0, type))) return;
  if (type == VT_BSTR) {
    BSTR* target = static_cast<BSTR*>(storage);
    UniqueBstr old(*target);
    *target = V_BSTR(v.get());
    V_VT(v.get()) = VT_EMPTY;  // ownership moved to the caller
  } else if (type == VT_DECIMAL) {
    // A DECIMAL fills a whole VARIANT, its first word overlaying the type; the caller's first
    // word is kept.
    auto* target = static_cast<DECIMAL*>(storage);
    const USHORT reserved = target->wReserved;
    *target = V_DECIMAL(v.get());
    target->wReserved = reserved;
  } else if (const size_t size = FixedSizeOf(type); size != 0) {
    std::memcpy(storage, &V_I1(v.get()), size);
  }
}

void WriteBack(const Slot& slot, Target& t) {
  if (slot.type == ParamType::kStringArray) {
    if (t.typed_ref != nullptr) {
      auto** target = static_cast<SAFEARRAY**>(t.typed_ref);
      if (t.typed_type == (VT_ARRAY | VT_BSTR)) {
        StoreIntoSafeArray(slot.array, target);
      } else {
        SAFEARRAY* replacement = ToSafeArray(slot.array, VT_VARIANT);
        UniqueSafeArray old(*target);
        *target = replacement;
      }
      return;
    }
    // A script variable receives an array of variants holding strings.
    UniqueSafeArray replacement(ToSafeArray(slot.array, VT_VARIANT));
    const UniqueVariant old(*t.variant_ref);
    VariantInit(t.variant_ref);
    if (replacement) {
      V_VT(t.variant_ref) = VT_ARRAY | VT_VARIANT;
      V_ARRAY(t.variant_ref) = replacement.release();
    }
    return;
  }
  const Variant value = server::SlotValue(slot);
  if (t.typed_ref != nullptr) {
    StoreTyped(value, t.typed_type, t.typed_ref);
    return;
  }
  UniqueVariant fresh;
  ToVariant(value, fresh.get());
  const UniqueVariant old(*t.variant_ref);
  *t.variant_ref = fresh.release();
}

// Loads the argument `arg` of `param` into `slot`, converting it once: S_OK, or the binding
// status.
HRESULT LoadParam(const server::ParamInfo& param, const VARIANTARG* arg, const Target& t,
                  Slot& slot) {
  try {
    if (param.type == ParamType::kStringArray) {
      LoadArray(slot, t);
      return S_OK;
    }
    const ForeignKind foreign =
        param.type == ParamType::kString || param.type == ParamType::kVariant
            ? ForeignKind::kAsText
            : ForeignKind::kAsNumber;
    if (param.direction == Direction::kByRef && (V_VT(arg) & VT_BYREF) != 0)
      slot.source = [arg, foreign] { return FromVariant(*arg, foreign); };
    return server::LoadArgument(slot, FromVariant(*arg, foreign));
  } catch (const rt::RuntimeError& error) {
    return server::BindingStatus(error);
  }
}

// Binds every argument into `frame`, one runtime value for arguments that are one caller
// variable: S_OK, or the binding status with the failing argument's index in `bad`.
HRESULT BindArguments(const MethodInfo& method, const VARIANTARG* const* args, Target* targets,
                      CallFrame& frame, UINT* bad) {
  const size_t count = method.params.size();
  for (size_t i = 0; i < count; ++i) {
    if (args[i] == nullptr || IsNullReference(args[i])) {
      *bad = static_cast<UINT>(i);
      return E_POINTER;
    }
  }
  for (size_t i = 0; i < count; ++i) {
    Target& t = targets[i];
    t = TargetOf(args[i]);
    const int shared = server::SharedWith(method, i, [&](size_t earlier) {
      return t.identity() != nullptr && targets[earlier].identity() == t.identity();
    });
    if (shared >= 0) {
      frame.ShareSlot(static_cast<size_t>(shared));
      continue;
    }
    const server::ParamInfo& param = method.params[i];
    if (const HRESULT hr = LoadParam(param, args[i], t, frame.AddSlot(param.type)); hr != S_OK) {
      *bad = static_cast<UINT>(i);
      return hr;
    }
  }
  return S_OK;
}

// Writes what the method assigned to its ByRef parameters back into the caller's variables,
// and the result into `result`: false when memory ran out on the way.
bool WriteBackAll(const MethodInfo& method, Target* targets, CallFrame& frame,
                  const server::CallOutcome& outcome, VARIANT* result) {
  try {
    for (size_t i = 0; i < method.params.size(); ++i) {
      Target& t = targets[i];
      const Slot& slot = frame.slot(i);
      // A parameter the method only read leaves the caller's variable exactly as it was.
      if (method.params[i].direction != Direction::kByRef || t.identity() == nullptr ||
          !slot.assigned)
        continue;
      WriteBack(slot, t);
    }
    if (result != nullptr && outcome.status == server::kOk) ToVariant(outcome.result, result);
    return true;
  } catch (const rt::RuntimeError&) {
    return false;
  }
}

}  // namespace

ComCall CallMethod(const MethodInfo& method, void* core, const VARIANTARG* const* args,
                   VARIANT* result) {
  ComCall call;
  if (result != nullptr) VariantInit(result);
  std::array<Target, CallFrame::kMaxParams> targets;
  CallFrame frame;
  call.binding = BindArguments(method, args, targets.data(), frame, &call.bad_argument);
  if (call.binding != S_OK) return call;
  call.outcome = server::RunMethod(method, core, frame);
  if (!WriteBackAll(method, targets.data(), frame, call.outcome, result))
    call.outcome.status = E_OUTOFMEMORY;
  return call;
}

}  // namespace corvane::win32
