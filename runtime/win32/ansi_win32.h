// The Windows ANSI codec under a given code page, for the runtime's codec over the system's
// code page (CP_ACP) and for tests that try other code pages.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "corvane/types.h"

namespace corvane::platform {

// Text -> bytes of `code_page`. A character the code page lacks becomes "?" (no look-alike
// substitutes) where the code page accepts that request; UTF-8, UTF-7 and the other code pages
// that refuse it represent every character. Raises 5 when the conversion fails.
std::string EncodeAnsi(UINT code_page, StringView text);

// Bytes of `code_page` -> text. Raises 5 when the conversion fails.
String DecodeAnsi(UINT code_page, std::string_view bytes);

}  // namespace corvane::platform
