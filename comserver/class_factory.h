// The class object of one class: creates instances, counts server locks.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "server/method_table.h"

namespace corvane::win32 {

// The module's class object for `clsid`: one static factory per class, not counted as an
// instance. CLASS_E_CLASSNOTAVAILABLE for any other identifier.
HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** object);

}  // namespace corvane::win32
