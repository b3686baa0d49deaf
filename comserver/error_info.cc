// Runtime errors as COM callers receive them. See error_info.h.
#include "comserver/error_info.h"

#include <cstring>
#include <string>

#include "automation/com_owners.h"
#include "comserver/module.h"

namespace corvane::win32 {

// Fills EXCEPINFO for a runtime error of `cls`.
void FillExcepInfo(const server::ClassInfo& cls, const server::CallOutcome& outcome,
                   EXCEPINFO* excep) {
  std::memset(excep, 0, sizeof *excep);
  excep->wCode = 0;
  excep->scode = outcome.status;
  excep->bstrSource = SysAllocString(Widen(cls.prog_id).c_str());
  excep->bstrDescription = SysAllocString(Widen(outcome.description.c_str()).c_str());
}

void SetRuntimeErrorInfo(const server::ClassInfo& cls, const char* description) {
  if (description == nullptr) {
    SetErrorInfo(0, nullptr);
    return;
  }
  ComPtr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(create.put()))) return;
  create->SetGUID(ParseGuid(cls.interface_id));
  std::wstring source = Widen(cls.prog_id);
  std::wstring text = Widen(description);
  create->SetSource(source.data());
  create->SetDescription(text.data());
  ComPtr<IErrorInfo> info;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(info.put()))))
    SetErrorInfo(0, info.get());
}

}  // namespace corvane::win32
