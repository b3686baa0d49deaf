// The native factory.
#include "corvane/factory.h"

#include <type_traits>

#include "runtime/errors.h"
#include "server/method_table.h"

#include "corvane/declares.h"
#include "corvane/registry.h"
#include "corvane/tarnel.h"
#include "corvane/dispatcher.h"

namespace corvane::server {
namespace {

template <class Core>
class InstanceOf final : public Instance {
 public:
  explicit InstanceOf(const ClassInfo& info) : Instance(info) {
    if constexpr (std::is_same_v<Core, Declares>) {
      // The key path resolution calls GetMainKeyHandle through the dispatcher, so that the
      // callee runs its call frame and its status is tested.
      core_.SetSelf([this](const String& name) {
        Argument argument = Variant::OfString(name);
        Argument* args[] = {&argument};
        const DispatchResult r = Invoke(*this, "GetMainKeyHandle", args);
        if (r.status != kOk) rt::RaiseStatus(r.status);
        return r.result.long_value();
      });
    }
  }
  void* core() override { return &core_; }

 private:
  Core core_;
};

}  // namespace

std::unique_ptr<Instance> CreateInstance(const ClassInfo& cls) {
  if (&cls == &TarnelClass()) return std::make_unique<InstanceOf<Tarnel>>(cls);
  if (&cls == &RegistryClass()) return std::make_unique<InstanceOf<Registry>>(cls);
  if (&cls == &DeclaresClass()) return std::make_unique<InstanceOf<Declares>>(cls);
  return nullptr;
}

std::unique_ptr<Instance> CreateInstance(std::string_view prog_id_or_class_id) {
  const ClassInfo* cls = FindClassByProgId(prog_id_or_class_id);
  if (cls == nullptr) cls = FindClassById(prog_id_or_class_id);
  return cls == nullptr ? nullptr : CreateInstance(*cls);
}

}  // namespace corvane::server
