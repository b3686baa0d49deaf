// Kind names of the Variant.
#include "corvane/variant.h"

namespace corvane {

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
