// A seam for failure injection: a RegistryApi over another one that answers a chosen
// operation with a chosen result code, without calling through, so that a test can see what
// a class does when the registry refuses (access denied, out of memory, a deleted key).
#pragma once

#include <optional>

#include "corvane/registry_api.h"

namespace corvane::registry {

enum class Operation {
  kOpenKey,
  kOpenKeyEx,
  kCreateKey,
  kQueryValueEx,
  kSetValueEx,
  kCloseKey,
  kDeleteKey,
  kDeleteValue,
};

class FailingRegistry final : public RegistryApi {
 public:
  explicit FailingRegistry(RegistryApi& inner) : inner_(inner) {}

  // From now on `operation` answers `result` (and writes a 0 handle where it gives one);
  // every other operation calls through.
  void Fail(Operation operation, Result result) {
    failing_ = operation;
    result_ = result;
  }
  void Heal() { failing_.reset(); }

  Result OpenKey(Long key, const char* subkey, Long* result) override {
    if (Fails(Operation::kOpenKey, result)) return result_;
    return inner_.OpenKey(key, subkey, result);
  }
  Result OpenKeyEx(Long key, const char* subkey, uint32_t options, uint32_t sam,
                   Long* result) override {
    if (Fails(Operation::kOpenKeyEx, result)) return result_;
    return inner_.OpenKeyEx(key, subkey, options, sam, result);
  }
  Result CreateKey(Long key, const char* subkey, Long* result) override {
    if (Fails(Operation::kCreateKey, result)) return result_;
    return inner_.CreateKey(key, subkey, result);
  }
  Result QueryValueEx(Long key, const char* name, uint32_t* reserved, uint32_t* type, uint8_t* data,
                      uint32_t* count) override {
    if (Fails(Operation::kQueryValueEx, nullptr)) return result_;
    return inner_.QueryValueEx(key, name, reserved, type, data, count);
  }
  Result SetValueEx(Long key, const char* name, uint32_t reserved, uint32_t type,
                    const uint8_t* data, uint32_t count) override {
    if (Fails(Operation::kSetValueEx, nullptr)) return result_;
    return inner_.SetValueEx(key, name, reserved, type, data, count);
  }
  Result CloseKey(Long key) override {
    if (Fails(Operation::kCloseKey, nullptr)) return result_;
    return inner_.CloseKey(key);
  }
  Result DeleteKey(Long key, const char* subkey) override {
    if (Fails(Operation::kDeleteKey, nullptr)) return result_;
    return inner_.DeleteKey(key, subkey);
  }
  Result DeleteValue(Long key, const char* name) override {
    if (Fails(Operation::kDeleteValue, nullptr)) return result_;
    return inner_.DeleteValue(key, name);
  }

 private:
  bool Fails(Operation operation, Long* handle) const {
    if (failing_ != operation) return false;
    if (handle != nullptr) *handle = 0;
    return true;
  }

  RegistryApi& inner_;
  std::optional<Operation> failing_;
  Result result_ = kSuccess;
};

}  // namespace corvane::registry
