// Keys and values as regedit names and shows them. See regedit_view.h.
#include "regtool/regedit_view.h"

#include <cstdio>

#include "corvane/types.h"

namespace corvane::registry {

bool ParseKeyPath(StringView text, Long* root, std::vector<String>* components) {
  components->clear();
  if (text.empty() || text[0] == u'\\') return false;
  std::vector<String> parts = SplitKeyPath(text);
  const Root* found = RootByAnyName(parts.front());
  if (found == nullptr) return false;
  *root = found->handle;
  components->assign(parts.begin() + 1, parts.end());
  return true;
}

String RootName(Long root) {
  const Root* found = RootByHandle(root);
  return found != nullptr && found->kind == RootKind::kKeys ? String(found->name) : String();
}

std::string TypeName(uint32_t type) {
  static const char* const kNames[] = {"REG_NONE",
                                       "REG_SZ",
                                       "REG_EXPAND_SZ",
                                       "REG_BINARY",
                                       "REG_DWORD",
                                       "REG_DWORD_BIG_ENDIAN",
                                       "REG_LINK",
                                       "REG_MULTI_SZ",
                                       "REG_RESOURCE_LIST",
                                       "REG_FULL_RESOURCE_DESCRIPTOR",
                                       "REG_RESOURCE_REQUIREMENTS_LIST",
                                       "REG_QWORD"};
  if (type < std::size(kNames)) return kNames[type];
  char text[24];
  std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(type));
  return text;
}

namespace {

// The strings of text data: the first, or for REG_MULTI_SZ each up to the empty one, joined by
// spaces.
std::string ShownText(const StoredValue& value) {
  const String units = FromUtf16Bytes(value.data);
  std::string shown;
  size_t start = 0;
  while (start < units.size()) {
    size_t end = units.find(u'\0', start);
    if (end == String::npos) end = units.size();
    if (end == start) break;
    if (!shown.empty()) shown += ' ';
    shown += rt::ToUtf8(StringView(units).substr(start, end - start));
    if (value.type != kRegMultiSz) break;
    start = end + 1;
  }
  return shown;
}

}  // namespace

std::string ShownData(const StoredValue& value) {
  const std::string& data = value.data;
  char text[64];
  if (value.type == kRegDword) {
    if (data.size() != 4) return "(invalid DWORD (32-bit) value)";
    const auto number = static_cast<unsigned long long>(static_cast<uint32_t>(DwordOfData(data)));
    std::snprintf(text, sizeof text, "0x%08llx (%llu)", number, number);
    return text;
  }
  if (value.type == kRegQword) {
    if (data.size() != 8) return "(invalid QWORD (64-bit) value)";
    const unsigned long long number = LittleEndianValue(data);
    std::snprintf(text, sizeof text, "0x%016llx (%llu)", number, number);
    return text;
  }
  if (IsTextType(value.type) && data.size() % 2 == 0) return ShownText(value);
  if (data.empty()) return "(zero-length binary value)";
  std::string shown;
  for (unsigned char byte : data) {
    std::snprintf(text, sizeof text, shown.empty() ? "%02x" : " %02x", byte);
    shown += text;
  }
  return shown;
}

}  // namespace corvane::registry
