// The installed registry backend, the platform's own unless a host installed another.
#include "corvane/registry_api.h"

#include <atomic>
#include <mutex>

#include "registry/registry_store.h"

namespace corvane::registry {
namespace {

std::atomic<RegistryApi*> g_registry{nullptr};
std::mutex g_owner_mutex;
std::shared_ptr<RegistryApi> g_owner;  // guarded by g_owner_mutex: what keeps g_registry alive

void Install(RegistryApi* registry, std::shared_ptr<RegistryApi> owner) {
  const std::lock_guard<std::mutex> lock(g_owner_mutex);
  g_registry.store(registry, std::memory_order_release);
  g_owner.swap(owner);  // the old owner lets go as this returns
}

}  // namespace

RegistryApi& CurrentRegistry() {
  RegistryApi* installed = g_registry.load(std::memory_order_acquire);
  return installed != nullptr ? *installed : SystemRegistry();
}

void InstallRegistry(std::shared_ptr<RegistryApi> registry) {
  RegistryApi* raw = registry.get();
  Install(raw, std::move(registry));
}

void InstallRegistryUnowned(RegistryApi* registry) {
  Install(registry, nullptr);
}

}  // namespace corvane::registry
