// The installed registry backend, the platform's own unless a host installed another.
#include "corvane/registry_api.h"

#include <atomic>
#include <mutex>

#include "registry/registry_store.h"
#include "registry/wide_registry.h"

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

std::shared_ptr<RegistryApi> SharedCurrentRegistry() {
  const std::lock_guard<std::mutex> lock(g_owner_mutex);
  RegistryApi* installed = g_registry.load(std::memory_order_acquire);
  if (installed != nullptr && installed == g_owner.get()) return g_owner;
  return std::shared_ptr<RegistryApi>(std::shared_ptr<RegistryApi>(),
                                      installed != nullptr ? installed : &SystemRegistry());
}

void InstallRegistryUnowned(RegistryApi* registry) {
  Install(registry, nullptr);
}

}  // namespace corvane::registry
