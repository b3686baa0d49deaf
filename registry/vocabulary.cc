// The registry's vocabulary. See vocabulary.h.
#include "registry/vocabulary.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "runtime/utf16.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace corvane::registry {

const Root* RootByHandle(Long handle) {
  for (const Root& root : kRoots)
    if (root.handle == handle) return &root;
  return nullptr;
}

const Root* RootByExactName(StringView name) {
  for (const Root& root : kRoots)
    if (name == root.name) return &root;
  return nullptr;
}

const Root* RootByAnyName(StringView name) {
  const String folded = Fold(name);
  for (const Root& root : kRoots)
    if (root.kind == RootKind::kKeys && (folded == root.name || folded == root.short_name))
      return &root;
  return nullptr;
}

namespace {
#include "registry/fold_table.inc"
}  // namespace

String CurrentUserSid() {
#ifdef _WIN32
  const unsigned long uid = 1000;  // the store is not the registry there; Wine's own number
#else
  const unsigned long uid = ::getuid();
#endif
  const std::string sid = "S-1-5-21-0-0-0-" + std::to_string(uid);
  return String(sid.begin(), sid.end());
}

const View* ViewOf(Long root) {
  static const View kUser{kUsers, {CurrentUserSid()}};
  static const View kConfig{kLocalMachine,
                            {u"System", u"CurrentControlSet", u"Hardware Profiles", u"Current"}};
  static const View kMachineClasses{kLocalMachine, {u"Software", u"Classes"}};
  switch (root) {
    case kCurrentUser:
      return &kUser;
    case kCurrentConfig:
      return &kConfig;
    case kClassesRoot:
      return &kMachineClasses;
    default:
      return nullptr;
  }
}

const View& UserClassesView() {
  static const View kUserClasses{kUsers, {CurrentUserSid(), u"Software", u"Classes"}};
  return kUserClasses;
}

char16_t FoldUnit(char16_t c) {
  return static_cast<char16_t>(c + kFoldDelta[kFoldBlock[c >> 8]][c & 0xFF]);
}

String Fold(StringView name) {
  String out(name);
  for (char16_t& c : out)
    c = FoldUnit(c);
  return out;
}

std::vector<String> SplitKeyPath(StringView path) {
  std::vector<String> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(u'\\', start);
    if (end == StringView::npos) end = path.size();
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::array<uint8_t, 4> DwordBytes(Long value) {
  const auto bits = static_cast<uint32_t>(value);
  return {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
          static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
}

Long DwordValue(const std::array<uint8_t, 4>& bytes) {
  return static_cast<Long>(
      static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
      (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24));
}

std::string DwordData(Long value) {
  const std::array<uint8_t, 4> bytes = DwordBytes(value);
  return std::string(bytes.begin(), bytes.end());
}

Long DwordOfData(std::string_view data) {
  std::array<uint8_t, 4> bytes{};
  for (size_t i = 0; i < bytes.size() && i < data.size(); ++i)
    bytes[i] = static_cast<uint8_t>(data[i]);
  return DwordValue(bytes);
}

std::string LittleEndianData(uint64_t value, size_t size) {
  std::string bytes;
  for (size_t i = 0; i < size; ++i)
    bytes.push_back(static_cast<char>(value >> (8 * i)));
  return bytes;
}

uint64_t LittleEndianValue(std::string_view data) {
  uint64_t value = 0;
  for (size_t i = std::min<size_t>(data.size(), 8); i-- > 0;)
    value = value << 8 | static_cast<uint8_t>(data[i]);
  return value;
}

std::vector<String> TextsOf(uint32_t type, std::string_view data) {
  String all = FromUtf16Bytes(data);
  if (data.size() % 2 != 0)  // a last byte that is half a unit is kept as a unit of its own
    all.push_back(static_cast<unsigned char>(data.back()));
  while (!all.empty() && all.back() == 0)
    all.pop_back();
  if (type != kRegMultiSz) return {all};
  std::vector<String> texts;  // none for empty data
  for (size_t start = 0; start < all.size();) {
    const size_t end = std::min(all.find(u'\0', start), all.size());
    texts.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  return texts;
}

std::string Utf16Bytes(StringView text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

String FromUtf16Bytes(std::string_view bytes) {
  String text(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                    (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  return text;
}

bool IsKeepableName(StringView name) {
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == 0) return false;
    if (rt::SurrogatePairAt(name, i))
      ++i;
    else if (rt::IsSurrogate(name[i]))
      return false;
  }
  return true;
}

namespace {

bool IsEscapedByte(StringView name, size_t i) {
  return name[i] >= 0xDC80 && name[i] <= 0xDCFF && !(i > 0 && rt::SurrogatePairAt(name, i - 1));
}

// `name` in UTF-8, each escaped byte as `byte(unit)`.
template <class Byte>
std::string Utf8With(StringView name, Byte byte) {
  std::string out;
  size_t start = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    if (!IsEscapedByte(name, i)) continue;
    out += rt::ToUtf8(name.substr(start, i - start)) + byte(name[i]);
    start = i + 1;
  }
  return out + rt::ToUtf8(name.substr(start));
}

}  // namespace

String FromStoredUtf8(std::string_view utf8) {
  String whole = rt::FromUtf8(utf8);
  // The decoder gives U+FFFD only for what is not UTF-8 (or a U+FFFD the text holds).
  if (whole.find(u'\uFFFD') == String::npos || rt::ToUtf8(whole) == utf8) return whole;
  String out;
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    const std::string_view sequence = utf8.substr(i, length);
    const String unit = rt::FromUtf8(sequence);
    if (lead >= 0x80 && (sequence.size() < length || rt::ToUtf8(unit) != sequence)) {
      out.push_back(static_cast<char16_t>(0xDC00 | lead));
      ++i;
      continue;
    }
    out += unit;
    i += length;
  }
  return out;
}

std::string StoredUtf8(StringView name) {
  return Utf8With(name,
                  [](char16_t unit) { return std::string(1, static_cast<char>(unit & 0xFF)); });
}

std::string ShownName(StringView name) {
  return Utf8With(name, [](char16_t unit) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", unit & 0xFF);
    return std::string(hex);
  });
}

}  // namespace corvane::registry
