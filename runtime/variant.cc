// Kind names of the Variant.
#include "corvane/variant.h"

#include "corvane/errors.h"

namespace corvane {

void Variant::KindMismatch() {
  throw rt::RuntimeError(rt::ErrorNumber::kTypeMismatch);
}

const char* TypeName(VariantKind kind) {
  switch (kind) {
    case VariantKind::kEmpty:
      return "Empty";
    case VariantKind::kNull:
      return "Null";
    case VariantKind::kInteger:
      return "Integer";
    case VariantKind::kLong:
      return "Long";
    case VariantKind::kDouble:
      return "Double";
    case VariantKind::kString:
      return "String";
    case VariantKind::kError:
      return "Error";
  }
  return "Unknown";
}

}  // namespace corvane
