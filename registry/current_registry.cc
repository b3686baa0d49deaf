// The installed registry backend, the platform's own unless a host installed another.
#include "corvane/registry_api.h"

namespace corvane::registry {
namespace {

RegistryApi* g_registry = nullptr;

}  // namespace

RegistryApi& CurrentRegistry() {
  return g_registry != nullptr ? *g_registry : SystemRegistry();
}

void InstallRegistry(RegistryApi* registry) {
  g_registry = registry;
}

}  // namespace corvane::registry
