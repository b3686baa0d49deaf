// The native caller: the factory and the late-binding dispatcher, in process.
#include <map>

#include "cli/caller.h"
#include "corvane/dispatcher.h"

namespace corvane::cli {
namespace {

class NativeCaller final : public Caller {
 public:
  CallOutcome Call(const server::ClassInfo& cls, const std::string& method,
                   const std::vector<Value*>& args) override {
    std::unique_ptr<server::Instance>& instance = instances_[&cls];
    if (!instance) instance = server::CreateInstance(cls);
    const server::DispatchResult r =
        server::Invoke(*instance, method, std::span<server::Argument* const>(args));
    CallOutcome outcome;
    outcome.ok = r.status == server::kOk;
    outcome.result = r.result;
    if (!outcome.ok)
      outcome.error = FailureText(r.status, r.error_number, r.description, r.arg_error);
    return outcome;
  }

 private:
  std::map<const server::ClassInfo*, std::unique_ptr<server::Instance>> instances_;
};

}  // namespace

std::unique_ptr<Caller> MakeCaller(std::string&) {
  return std::make_unique<NativeCaller>();
}

}  // namespace corvane::cli
