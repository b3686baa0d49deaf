// Values and key changes in the registry's Unicode terms, for moving keys in and out of the
// store whole (the .reg formats, the host tool).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/types.h"

namespace corvane::registry {

// The registry's limits: characters of one key name, characters of a value name, bytes of data.
inline constexpr size_t kMaxKeyName = 256;
inline constexpr size_t kMaxValueName = 16383;
inline constexpr uint32_t kMaxData = 1u << 20;

// The types whose data is text (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ).
inline bool IsTextType(uint32_t type) {
  return type == 1 || type == 2 || type == 7;
}

// Text as the UTF-16LE bytes the registry keeps, and back (an odd last byte is dropped).
inline std::string Utf16Bytes(StringView text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}
inline String FromUtf16Bytes(std::string_view bytes) {
  String text(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                    (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  return text;
}

// A value as the registry keeps it: the data of the text types (REG_SZ, REG_EXPAND_SZ,
// REG_MULTI_SZ) as UTF-16LE bytes with whatever terminators they were given, others as given.
struct StoredValue {
  String name;  // "" is the key's default value
  uint32_t type = 0;
  std::string data;
  bool operator==(const StoredValue&) const = default;
};

// One change of an import.
struct KeyEdit {
  enum class Kind {
    kCreateKey,    // makes the key and any missing key on the way
    kDeleteTree,   // removes the key with its subkeys and values; absent is no error
    kSetValue,     // makes the key when missing and sets `value`
    kDeleteValue,  // removes the value `value.name`; absent is no error
  };
  Kind kind = Kind::kCreateKey;
  Long root = 0;             // a predefined root's value
  std::vector<String> path;  // the components below the root
  StoredValue value;
  int line = 0;  // where the change came from, for messages
};

}  // namespace corvane::registry
