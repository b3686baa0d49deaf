// A fixture for the registry classes through the native dispatcher: natively over a store of the
// test program's own, on Windows over the real registry (Wine's under Wine), with a recording
// message box; calls take the caller's variables and leave the write-backs in them.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "corvane/message_box.h"
#include "corvane/registry_api.h"
#include "corvane/dispatcher.h"
#ifndef _WIN32
#include "registry/registry_store.h"
#endif

namespace corvane::testing {

class RecordingBox final : public platform::ModalBox {
 public:
  std::vector<String> shown;
  void Show(StringView prompt) override { shown.emplace_back(prompt); }
};

class RegistryClassTest : public ::testing::Test {
 protected:
  explicit RegistryClassTest(const char* prog_id) : prog_id_(prog_id) {}

  void SetUp() override {
#ifndef _WIN32
    static registry::RegistryStore* const store = [] {
      const std::string path = ::testing::TempDir() + "corvane-class-test.db";
      std::remove(path.c_str());
      return registry::RegistryStore::Open(path).release();
    }();
    store_ = store;
    registry::InstallRegistryUnowned(store_);
#endif
    platform::InstallModalBox(&box_);
    object_ = server::CreateInstance(prog_id_);
  }
  void TearDown() override {
#ifndef _WIN32
    EXPECT_EQ(store_->open_handles(), 0u) << "every key closed";
    registry::InstallRegistryUnowned(nullptr);
#endif
    platform::InstallModalBox(nullptr);
  }

  static server::Argument Text(const char16_t* text) {
    return Variant::OfString(text);
  }

  // Calls `method` with `args` as the caller's variables; Arg(i) holds the write-backs after.
  server::DispatchResult Call(const char* method, std::vector<server::Argument> args) {
    last_args_ = std::move(args);
    std::vector<server::Argument*> pointers;
    for (server::Argument& a : last_args_)
      pointers.push_back(&a);
    return server::Invoke(*object_, method, pointers);
  }
  Variant Arg(size_t i) const {
    return std::get<Variant>(last_args_[i]);
  }
  void NewObject() {
    object_ = server::CreateInstance(prog_id_);
  }

#ifndef _WIN32
  registry::RegistryStore* store_ = nullptr;
#endif
  RecordingBox box_;

 private:
  const char* prog_id_;
  std::unique_ptr<server::Instance> object_;
  std::vector<server::Argument> last_args_;
};

}  // namespace corvane::testing
