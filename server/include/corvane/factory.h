// The native factory: creates an instance of a class by programmatic identifier or class
// identifier, as the platform's object creation does for the COM server.
#pragma once

#include <memory>
#include <string_view>

#include "corvane/export.h"

namespace corvane::server {

// A class's row of the method tables (server/method_table.h, inside the library).
struct ClassInfo;

// One object of one of the three classes.
class CORVANE_API Instance {
 public:
  virtual ~Instance() = default;
  const ClassInfo& info() const { return *info_; }
  // The core object the method table's thunks take.
  virtual void* core() = 0;

 protected:
  explicit Instance(const ClassInfo& info) : info_(&info) {}

 private:
  const ClassInfo* info_;
};

// A new instance of `cls`.
CORVANE_API std::unique_ptr<Instance> CreateInstance(const ClassInfo& cls);
// A new instance by "Corvane.Tarnel" or "{8CA88E33-...}" (case-insensitive; braces optional);
// null when no class has that identifier.
CORVANE_API std::unique_ptr<Instance> CreateInstance(std::string_view prog_id_or_class_id);

}  // namespace corvane::server
