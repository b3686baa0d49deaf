// Declares: registry access on keys named by one line of text (HKEY_CURRENT_USER\Software\Demo),
// root names to root handles, and result codes to messages.
//
// Every value method runs in Report mode and begins by resolving its key path: the root name is
// turned into a root handle by GetMainKeyHandle, called through the object's own interface, and
// the caller's path variable is rewritten to the subkey path. A path that is not "HKEY_..."
// or ends in a backslash shows the message box "Incorrect Format:" + two line feeds + the path,
// and the method then returns Empty, as it does for an unknown root name. A key that a method
// opened or created is closed on every path out of it. Registry failures are never runtime
// errors: readers return "Error", the others Empty. Every text handed to the registry makes the
// ANSI round trip and is written back into the variable it came from.
#pragma once

#include <functional>
#include <vector>

#include "corvane/export.h"
#include "corvane/by_ref.h"
#include "corvane/variant.h"

namespace corvane {

class CORVANE_API Declares {
 public:
  // How the key path resolution reaches GetMainKeyHandle: through the object's own interface,
  // so that the callee runs its full call frame; a failure status becomes a runtime error. The
  // COM object and the native instance install it; by default the method is called directly.
  using SelfGetMainKeyHandle = std::function<Long(const String& main_key_name)>;
  void SetSelf(SelfGetMainKeyHandle self) { self_ = std::move(self); }

  // Writes `Value` as a REG_DWORD. Always Empty.
  Variant SetDWORDValue(ByRef<String> subkey, ByRef<String> entry, ByRef<Long> Value);
  // The value read into lDWordValue (kept between calls) as a Long, "Error", or Empty.
  Variant GetDWORDValue(ByRef<String> subkey, ByRef<String> entry);
  // Writes one byte per character of `Value` (a line feed as 0) as REG_BINARY. Always Empty.
  // Raises 9 for an empty Value and 6 beyond 32767 characters or for a code beyond a byte,
  // writing nothing.
  Variant SetBinaryValue(ByRef<String> subkey, ByRef<String> entry, ByRef<String> Value);
  // The value's bytes as a String of one character per byte, "Error", or Empty.
  Variant GetBinaryValue(ByRef<String> subkey, ByRef<String> entry);
  // Deletes the key that the path names. Always Empty.
  Variant DeleteKey(ByRef<String> keyname);
  // The root handle of a root name (exact, case-sensitive), or 0. Never writes its argument.
  Long GetMainKeyHandle(ByRef<String> MainKeyName);
  // The message for a registry result code. Never writes its argument.
  String ErrorMsg(ByRef<Long> lErrorCode);
  // The text read through a buffer of 255 blanks, trimmed, its last character dropped; "Error"
  // or Empty. Raises 5 when the trimmed buffer is empty.
  Variant GetStringValue(ByRef<String> subkey, ByRef<String> entry);
  // Creates the key and the missing keys above it. Always Empty.
  Variant CreateKey(ByRef<String> subkey);
  // Writes `Value` as REG_SZ with its length as the count. Always Empty.
  Variant SetStringValue(ByRef<String> subkey, ByRef<String> entry, ByRef<String> Value);

 private:
  class OpenedKey;

  void ResolveKeyPath(ByRef<String> strKeyPath, Long& hRoot);

  SelfGetMainKeyHandle self_;
  // The fields, in declaration order.
  Long hOpenKey = 0;            // the key the current method opened or created
  Long hMainKey = 0;            // the root of the path being worked on; 0: none
  Long lLastResult = 0;         // result of the latest registry call
  Long lDWordValue = 0;         // GetDWORDValue's buffer, not cleared between calls
  String strBuffer;             // the readers' text buffer
  Long lBufferSize = 0;         // the byte count handed to the query and returned by it
  Long lBinarySize = 0;         // the number of bytes SetBinaryValue writes
  std::vector<Byte> bytBinary;  // SetBinaryValue's bytes 0..lBinarySize (0 unused)
};

}  // namespace corvane
