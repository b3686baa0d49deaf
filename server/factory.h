// The native factory: creates an instance of a class by programmatic identifier or class
// identifier, as the platform's object creation does for the COM server.
#pragma once

#include <memory>
#include <string_view>

#include "server/method_table.h"

namespace corvane::server {

// One object of one of the three classes.
class Instance {
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
std::unique_ptr<Instance> CreateInstance(const ClassInfo& cls);
// A new instance by "Corvane.Tarnel" or "{8CA88E33-...}" (case-insensitive; braces optional);
// null when no class has that identifier.
std::unique_ptr<Instance> CreateInstance(std::string_view prog_id_or_class_id);

}  // namespace corvane::server
