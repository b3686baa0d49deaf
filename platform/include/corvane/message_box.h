// The modal message box port: shows a prompt with an OK button, captioned "Corvane", and
// returns when it has been acknowledged.
//
// Windows: MessageBoxA on the caller's thread (a modal loop that can re-enter the component).
// POSIX: the prompt on standard error, returning at once; a library never waits for its host's
// input. Hosts and tests install their own (the corvane tool's interactive shell waits for
// Enter on the terminal).
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
