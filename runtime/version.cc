// The library's version.
#include "corvane/version.h"

namespace corvane {

const char* LibraryVersion() noexcept {
  return CORVANE_VERSION;
}

}  // namespace corvane
