// Key: a registry key for C++ hosts. Names, paths and text are UTF-8 and may hold any Unicode
// character; values are read and written by type. It works on the registry in use
// (CurrentRegistry): the embedded store on Linux, the system's registry on Windows.
//
//   std::error_code ec;
//   auto key = corvane::registry::Key::Create(Hive::kCurrentUser, "Software\\MyApp", ec);
//   if (ec) { std::cerr << ec.message() << "\n"; return 1; }
//   key.WriteString("Name", "Grüße");
//   std::string name = key.ReadString("Name").value_or("(none)");
//
// Failures are never thrown: each call gives a std::error_code (registry_category()) whose
// value() is the registry's result code, 2 for a key or value that is not there, 1630 for a
// value of another type, and whose message() says it in words. A read gives std::nullopt on
// failure and sets `*ec` when one is given. A caller that wants an exception throws
// std::system_error(ec) itself.
//
// A Key owns its handle and closes it; it moves and does not copy. It works on the registry
// that was in use when it (or the key it was opened from) was opened, and keeps it alive. One Key
// is used by one thread at a time; any number of Keys may be used at once.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "corvane/export.h"
#include "corvane/registry_api.h"

namespace corvane::registry {

class WideRegistry;

// The predefined roots that keys are opened under.
enum class Hive : Long {
  kClassesRoot = registry::kClassesRoot,
  kCurrentUser = registry::kCurrentUser,
  kLocalMachine = registry::kLocalMachine,
  kUsers = registry::kUsers,
  kCurrentConfig = registry::kCurrentConfig,
};

// The value types (REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ, REG_QWORD);
// the registry may hold others, which Values() reports by their number.
enum class ValueType : uint32_t {
  kString = kRegSz,
  kExpandString = kRegExpandSz,
  kBinary = kRegBinary,
  kDword = kRegDword,
  kMultiString = kRegMultiSz,
  kQword = kRegQword,
};

// The registry's result codes as error codes: message() names each, and each that has one
// compares equal to its std::errc (2 and 3 no_such_file_or_directory, 5 permission_denied,
// 8 not_enough_memory, 87 invalid_argument, 112 no_space_on_device, 1113 illegal_byte_sequence).
// Success is the one value std::error_code(), whatever the call.
CORVANE_API const std::error_category& registry_category();
inline std::error_code MakeError(Result result) {
  return result == 0 ? std::error_code() : std::error_code(result, registry_category());
}
// Text that is not UTF-8 (ERROR_NO_UNICODE_TRANSLATION).
inline constexpr Result kNoUnicodeTranslation = 1113;
// A value of another type than the read asked for (ERROR_UNSUPPORTED_TYPE).
inline constexpr Result kUnsupportedType = 1630;

class CORVANE_API Key {
 public:
  enum class Access : uint32_t { kRead = kKeyRead, kAll = kKeyAllAccess };
  struct Value {
    std::string name;
    ValueType type;
  };

  Key() = default;  // no key: every call answers 6 (invalid handle)
  Key(Key&& other) noexcept
      : registry_(std::move(other.registry_)), handle_(std::exchange(other.handle_, 0)) {}
  Key& operator=(Key&& other) noexcept;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key();

  // The key at `path` below `root` ("" is the root itself); fails with 2 when it is not there.
  static Key Open(Hive root, std::string_view path, std::error_code& ec,
                  Access access = Access::kAll);
  // The key at `path` below `root`, made with the keys on the way when missing.
  static Key Create(Hive root, std::string_view path, std::error_code& ec);
  Key OpenSubkey(std::string_view path, std::error_code& ec, Access access = Access::kAll) const;
  Key CreateSubkey(std::string_view path, std::error_code& ec) const;

  explicit operator bool() const { return handle_ != 0; }

  // Reads; "" names the key's default value. Text is read from REG_SZ and REG_EXPAND_SZ
  // (unexpanded), without its terminator.
  std::optional<std::string> ReadString(std::string_view name, std::error_code* ec = nullptr) const;
  std::optional<uint32_t> ReadDword(std::string_view name, std::error_code* ec = nullptr) const;
  std::optional<uint64_t> ReadQword(std::string_view name, std::error_code* ec = nullptr) const;
  std::optional<std::vector<uint8_t>> ReadBinary(std::string_view name,
                                                 std::error_code* ec = nullptr) const;
  std::optional<std::vector<std::string>> ReadMultiString(std::string_view name,
                                                          std::error_code* ec = nullptr) const;

  // Writes, creating or replacing the value. A multi-string's texts cannot be empty or hold
  // NUL (87): the registry ends the list at the first empty one. Names, paths and text that are
  // not UTF-8 are refused with 1113, names holding NUL with 87.
  [[nodiscard]] std::error_code WriteString(std::string_view name, std::string_view text,
                                            ValueType type = ValueType::kString);
  [[nodiscard]] std::error_code WriteDword(std::string_view name, uint32_t value);
  [[nodiscard]] std::error_code WriteQword(std::string_view name, uint64_t value);
  [[nodiscard]] std::error_code WriteBinary(std::string_view name,
                                            const std::vector<uint8_t>& bytes);
  [[nodiscard]] std::error_code WriteMultiString(std::string_view name,
                                                 const std::vector<std::string>& texts);

  // The subkeys' names and the values' names and types, as the registry enumerates them.
  std::vector<std::string> Subkeys(std::error_code& ec) const;
  std::vector<Value> Values(std::error_code& ec) const;

  [[nodiscard]] std::error_code DeleteValue(std::string_view name);
  // Deletes the key at `path` below this one ("" is refused with 87), with everything below it.
  [[nodiscard]] std::error_code DeleteTree(std::string_view path);

 private:
  Key(std::shared_ptr<RegistryApi> registry, Long handle)
      : registry_(std::move(registry)), handle_(handle) {}
  // The wide calls of this key's registry: 0, or why there are none.
  Result Calls(WideRegistry** wide) const;
  static Key OpenUnder(const Key& parent, std::string_view path, bool create, uint32_t access,
                       std::error_code& ec);
  std::optional<std::string> Read(std::string_view name, uint32_t type_a, uint32_t type_b,
                                  std::error_code* ec) const;
  std::error_code Write(std::string_view name, uint32_t type, const std::string& data);

  // The registry the key was opened in, kept alive while the key is open: a key stays with it
  // when a host installs another.
  std::shared_ptr<RegistryApi> registry_;
  Long handle_ = 0;
};

}  // namespace corvane::registry
