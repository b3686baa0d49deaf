// VARIANT, BSTR and SAFEARRAY <-> runtime values.
#include "automation/variant_convert.h"

#include <new>
#include <utility>
#include <vector>

#include "automation/com_owners.h"
#include "runtime/convert.h"
#include "runtime/errors.h"

namespace corvane::win32 {
namespace {

using rt::ErrorNumber;
using rt::Raise;

void Check(HRESULT hr) {
  if (hr == E_OUTOFMEMORY) Raise(ErrorNumber::kOutOfMemory);
  if (FAILED(hr)) Raise(ErrorNumber::kTypeMismatch);
}

// Converts `v` with oleaut32 into `out`; raises 13, 6 or 7 as the conversion fails.
void ChangeType(const VARIANT* v, VARTYPE to, USHORT flags, VARIANT* out) {
  const HRESULT hr =
      VariantChangeTypeEx(out, const_cast<VARIANT*>(v), LOCALE_USER_DEFAULT, flags, to);
  if (hr == DISP_E_OVERFLOW) Raise(ErrorNumber::kOverflow);
  Check(hr);
}

Variant ForeignText(const VARIANT* v) {
  UniqueVariant text;
  ChangeType(v, VT_BSTR, VARIANT_ALPHABOOL, text.get());
  return Variant::OfString(FromBstr(V_BSTR(text.get())));
}

Variant ForeignNumber(const VARIANT* v, VARTYPE type) {
  UniqueVariant number;
  switch (type) {
    case VT_BOOL:
    case VT_UI1:
      ChangeType(v, VT_I2, 0, number.get());
      return Variant::OfInteger(V_I2(number.get()));
    case VT_I1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
      // A whole number beyond a Long is beyond every parameter that reads numbers: its Double
      // is rounded, but still out of range, so the parameter raises 6 for it.
      if (SUCCEEDED(VariantChangeType(number.get(), const_cast<VARIANT*>(v), 0, VT_I4)))
        return Variant::OfLong(V_I4(number.get()));
      break;
    default:
      break;
  }
  ChangeType(v, VT_R8, 0, number.get());
  return Variant::OfDouble(V_R8(number.get()));
}

}  // namespace

String FromBstr(BSTR text) {
  if (text == nullptr) return String();
  return String(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
}

BSTR ToBstr(const String& text) {
  BSTR b = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                             static_cast<UINT>(text.size()));
  if (b == nullptr) Raise(ErrorNumber::kOutOfMemory);
  return b;
}

Variant FromVariant(const VARIANT& value, ForeignKind foreign) {
  const VARIANT* v = &value;
  if (V_VT(v) == (VT_BYREF | VT_VARIANT)) {
    if (V_VARIANTREF(v) == nullptr) Raise(ErrorNumber::kTypeMismatch);
    v = V_VARIANTREF(v);
  }
  const VARTYPE type = V_VT(v) & ~VT_BYREF;
  const bool by_ref = (V_VT(v) & VT_BYREF) != 0;
  if (by_ref && V_BYREF(v) == nullptr) Raise(ErrorNumber::kTypeMismatch);
  switch (type) {
    case VT_EMPTY:
      return Variant();
    case VT_NULL:
      return Variant::Null();
    case VT_I2:
      return Variant::OfInteger(by_ref ? *V_I2REF(v) : V_I2(v));
    case VT_I4:
      return Variant::OfLong(by_ref ? *V_I4REF(v) : V_I4(v));
    case VT_R8:
      return Variant::OfDouble(by_ref ? *V_R8REF(v) : V_R8(v));
    case VT_BSTR:
      return Variant::OfString(FromBstr(by_ref ? *V_BSTRREF(v) : V_BSTR(v)));
    case VT_ERROR:
      return Variant::OfError(by_ref ? *V_ERRORREF(v) : V_ERROR(v));
    case VT_BOOL:
    case VT_UI1:
    case VT_I1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_CY:
    case VT_DATE:
    case VT_DECIMAL:
      return foreign == ForeignKind::kAsText ? ForeignText(v) : ForeignNumber(v, type);
    default:
      break;
  }
  Raise(ErrorNumber::kTypeMismatch);
}

void ToVariant(const Variant& value, VARIANT* out) {
  VariantInit(out);
  switch (value.kind()) {
    case VariantKind::kEmpty:
      return;
    case VariantKind::kNull:
      V_VT(out) = VT_NULL;
      return;
    case VariantKind::kInteger:
      V_VT(out) = VT_I2;
      V_I2(out) = value.integer();
      return;
    case VariantKind::kLong:
      V_VT(out) = VT_I4;
      V_I4(out) = value.long_value();
      return;
    case VariantKind::kDouble:
      V_VT(out) = VT_R8;
      V_R8(out) = value.double_value();
      return;
    case VariantKind::kString:
      V_BSTR(out) = ToBstr(value.string());
      V_VT(out) = VT_BSTR;
      return;
    case VariantKind::kError:
      V_VT(out) = VT_ERROR;
      V_ERROR(out) = value.error_code();
      return;
  }
}

StringArray FromSafeArray(SAFEARRAY* array) {
  if (array == nullptr) return StringArray();
  VARTYPE element_type = VT_EMPTY;
  Check(SafeArrayGetVartype(array, &element_type));
  if (element_type != VT_BSTR && element_type != VT_VARIANT) Raise(ErrorNumber::kTypeMismatch);
  const UINT dims = SafeArrayGetDim(array);
  std::vector<StringArray::Bound> bounds(dims);
  for (UINT d = 0; d < dims; ++d) {
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(array, d + 1, &lower);
    SafeArrayGetUBound(array, d + 1, &upper);
    bounds[d] = {static_cast<Long>(lower), static_cast<Long>(upper)};
  }
  const bool fixed =
      (array->fFeatures & (FADF_FIXEDSIZE | FADF_STATIC | FADF_EMBEDDED)) != 0 || array->cLocks > 0;
  // An array with an empty dimension (upper = lower - 1) holds nothing; it counts as
  // undimensioned for the component, as a script's "Array()" does.
  for (const auto& b : bounds)
    if (b.upper < b.lower)
      return fixed ? StringArray::WithDimensions({{0, 0}}, true) : StringArray();
  StringArray result = StringArray::WithDimensions(bounds, fixed);
  // Storage order and memory order agree: the first dimension varies fastest in both.
  const SafeArrayData data(array);
  if (data.as<void>() == nullptr) Raise(ErrorNumber::kTypeMismatch);
  std::vector<String>& elements = result.elements();
  for (size_t k = 0; k < elements.size(); ++k) {
    elements[k] = element_type == VT_BSTR
                      ? FromBstr(data.as<BSTR>()[k])
                      : rt::TextOf(FromVariant(data.as<VARIANT>()[k], ForeignKind::kAsText));
  }
  return result;
}

namespace {

// Stores every element of `array`, in storage order, into the elements of `out` (VT_BSTR, or
// VT_VARIANT holding BSTRs; the same count, in memory order), replacing what they held. Each
// string is allocated once and handed over without a further copy.
void FillElements(const StringArray& array, SAFEARRAY* out, VARTYPE element_type) {
  const SafeArrayData data(out);
  if (data.as<void>() == nullptr) Raise(ErrorNumber::kOutOfMemory);
  const std::vector<String>& elements = array.elements();
  for (size_t k = 0; k < elements.size(); ++k) {
    UniqueBstr b(ToBstr(elements[k]));
    if (element_type == VT_BSTR) {
      BSTR& slot = data.as<BSTR>()[k];
      const UniqueBstr old(std::exchange(slot, b.release()));
    } else {
      VARIANT& slot = data.as<VARIANT>()[k];
      const UniqueVariant old(slot);
      V_VT(&slot) = VT_BSTR;
      V_BSTR(&slot) = b.release();
    }
  }
}

}  // namespace

SAFEARRAY* ToSafeArray(const StringArray& array, VARTYPE element_type) {
  if (!array.dimensioned()) return nullptr;
  std::vector<SAFEARRAYBOUND> bounds(array.dimensions());
  for (int d = 0; d < array.dimensions(); ++d) {
    bounds[d].lLbound = array.bounds()[d].lower;
    bounds[d].cElements = static_cast<ULONG>(array.bounds()[d].upper - array.bounds()[d].lower + 1);
  }
  UniqueSafeArray owner(
      SafeArrayCreate(element_type, static_cast<UINT>(bounds.size()), bounds.data()));
  if (!owner) Raise(ErrorNumber::kOutOfMemory);
  FillElements(array, owner.get(), element_type);
  return owner.release();
}

void StoreIntoSafeArray(const StringArray& array, SAFEARRAY** target) {
  SAFEARRAY* current = *target;
  VARTYPE current_type = VT_EMPTY;
  if (current != nullptr && array.dimensioned() && array.dimensions() == 1 &&
      SafeArrayGetDim(current) == 1 && SUCCEEDED(SafeArrayGetVartype(current, &current_type)) &&
      current_type == VT_BSTR && current->cLocks == 0 &&
      (current->fFeatures & (FADF_FIXEDSIZE | FADF_STATIC | FADF_EMBEDDED)) == 0) {
    LONG lower = 0;
    SafeArrayGetLBound(current, 1, &lower);
    SAFEARRAYBOUND bound{static_cast<ULONG>(array.upper() - array.lower() + 1), array.lower()};
    if (lower == array.lower() && SUCCEEDED(SafeArrayRedim(current, &bound))) {
      FillElements(array, current, VT_BSTR);
      return;
    }
  }
  SAFEARRAY* replacement = ToSafeArray(array, VT_BSTR);
  UniqueSafeArray old(current);
  *target = replacement;
}

}  // namespace corvane::win32
