// The installed registry backend, the platform's own unless a host installed another.
#include "corvane/registry_api.h"

#include <atomic>

namespace corvane::registry {
namespace {

std::atomic<RegistryApi*> g_registry{nullptr};

}  // namespace

RegistryApi& CurrentRegistry() {
  RegistryApi* installed = g_registry.load(std::memory_order_acquire);
  return installed != nullptr ? *installed : SystemRegistry();
}

void InstallRegistry(RegistryApi* registry) {
  g_registry.store(registry, std::memory_order_release);
}

}  // namespace corvane::registry
