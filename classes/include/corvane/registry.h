// Registry: registry access below a root or key handle that the caller passes, and text values
// below the settings key "Software\QUOLV\Registry" of the current user.
//
// Every method runs in Report mode and makes every call of its sequence, whatever the earlier
// calls returned. Registry failures are never runtime errors: text readers return Empty, getdword
// 0, the others nothing. Every ByRef text makes the ANSI round trip at each registry call that
// takes it; ByVal arguments are the method's own; hKey is never written. getstring and
// getstringx close the key they opened once the value is read (never the caller's own handle).
#pragma once

#include "corvane/export.h"
#include "corvane/by_ref.h"
#include "corvane/variant.h"

namespace corvane {

class CORVANE_API Registry {
 public:
  // Creates `strPath` under `hKey` and closes it.
  void savekey(ByRef<Long> hKey, ByRef<String> strPath);
  // The REG_SZ value `strValue` of `strPath` up to its first zero character, or Empty. Raises 6
  // when that zero lies at position 32768 or later, or a result code is beyond an Integer.
  Variant getstring(ByRef<Long> hKey, ByRef<String> strPath, ByRef<String> strValue);
  // getstring under HKEY_CURRENT_USER of "Software\QUOLV\Registry" & strPath, which is written
  // into the caller's variable first.
  Variant getstringx(ByRef<String> strPath, ByRef<String> strValue);
  // Writes `strdata` as REG_SZ with its length as the count, creating the key.
  void savestring(ByRef<Long> hKey, ByRef<String> strPath, ByRef<String> strValue,
                  ByRef<String> strdata);
  // The REG_DWORD value, or 0.
  Long getdword(Long hKey, String strPath, String strValueName);
  // Writes `lData` as REG_DWORD, creating the key. Always Empty.
  Variant SaveDword(Long hKey, String strPath, String strValueName, Long lData);
  // Deletes `strKey` under `hKey`. Always Empty.
  Variant DeleteKey(Long hKey, String strKey);
  // Deletes the value `strValue` of `strPath`. Always Empty.
  Variant DeleteValue(Long hKey, String strPath, String strValue);

 private:
  Variant ReadText(Long hKey, ByRef<String>& strPath, ByRef<String>& strValue);
  void Store(int32_t result);

  Long lValueType = 0;      // the type the latest sizing query reported; kept between calls
  Integer iLastResult = 0;  // the latest stored result code
};

}  // namespace corvane
