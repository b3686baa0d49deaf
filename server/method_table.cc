// Lookups over the method tables, and the call frame.
#include "server/method_table.h"

#include <stdexcept>

#include "runtime/convert.h"

namespace corvane::server {

Slot& CallFrame::AddSlot(ParamType type) {
  if (size_ == kMaxParams) throw std::length_error("more parameters than a call frame holds");
  Slot& slot = storage_[slots_++].emplace();
  slot.type = type;
  params_[size_++] = &slot;
  return slot;
}

void CallFrame::ShareSlot(size_t earlier_parameter) {
  if (size_ == kMaxParams || earlier_parameter >= size_)
    throw std::length_error("a call frame's parameter out of range");
  params_[size_] = params_[earlier_parameter];
  ++size_;
}

Long CallFrame::FreshLong(size_t i) {
  Slot& s = slot(i);
  if (s.source) s.long_value = rt::ToLong(s.source());
  return s.long_value;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

const ClassInfo* FindClassByProgId(std::string_view prog_id) {
  for (const ClassInfo& cls : Classes())
    if (EqualsIgnoringCase(cls.prog_id, prog_id)) return &cls;
  return nullptr;
}

const ClassInfo* FindClassById(std::string_view class_id) {
  if (class_id.size() == 36) {
    for (const ClassInfo& cls : Classes())
      if (EqualsIgnoringCase(std::string_view(cls.class_id).substr(1, 36), class_id)) return &cls;
    return nullptr;
  }
  for (const ClassInfo& cls : Classes())
    if (EqualsIgnoringCase(cls.class_id, class_id)) return &cls;
  return nullptr;
}

const MethodInfo* FindMethod(const ClassInfo& cls, std::string_view name) {
  for (const MethodInfo& method : cls.methods)
    if (EqualsIgnoringCase(method.name, name)) return &method;
  return nullptr;
}

const MethodInfo* FindMethod(const ClassInfo& cls, int32_t dispid) {
  for (const MethodInfo& method : cls.methods)
    if (method.dispid == dispid) return &method;
  return nullptr;
}

int FindParam(const MethodInfo& method, std::string_view name) {
  for (size_t i = 0; i < method.params.size(); ++i)
    if (EqualsIgnoringCase(method.params[i].name, name)) return static_cast<int>(i);
  return -1;
}

}  // namespace corvane::server
