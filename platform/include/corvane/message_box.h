// The modal message box port: shows a prompt with an OK button, captioned "Corvane", and
// returns when it has been acknowledged.
//
// Windows: MessageBoxA on the caller's thread (a modal loop that can re-enter the component).
// POSIX: when standard input and standard error are both a terminal, the prompt on the
// controlling terminal, waiting for Enter; otherwise the prompt on standard error, returning at
// once. Hosts and tests install their own.
#pragma once

#include "corvane/export.h"
#include "corvane/types.h"

namespace corvane::platform {

class CORVANE_API ModalBox {
 public:
  virtual ~ModalBox() = default;
  virtual void Show(StringView prompt) = 0;
};

CORVANE_API ModalBox& SystemModalBox();
CORVANE_API ModalBox& CurrentModalBox();
// Null puts the platform's own back. Install before the threads that call the classes start;
// an installed box may be shown from any of them, also from several at once.
CORVANE_API void InstallModalBox(ModalBox* box);

}  // namespace corvane::platform
