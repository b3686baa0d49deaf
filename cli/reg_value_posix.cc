// `corvane reg query`, `add` and `delete`: one key or value at a time, as reg.exe does them,
// over the store's wide calls.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/json_output.h"
#include "cli/reg_actions_posix.h"
#include "regtool/regedit_view.h"
#include "regtool/store_maintenance.h"

namespace corvane::cli {
namespace {

using registry::kSuccess;
using registry::StoredValue;

// The key that a command names: its root, its path below the root, and its full name.
struct NamedKey {
  Long root = 0;
  String path;
  std::string name;  // "HKEY_CURRENT_USER\Software\Demo"
};

bool IsUtf8(const std::optional<std::string>& text) {
  return !text || rt::ToUtf8(rt::FromUtf8(*text)) == *text;
}

// The request's key; false after saying why when it names none, or when a name or the data is
// not UTF-8 (which would not be kept as given).
bool ParseKey(const RegRequest& request, NamedKey* key) {
  if (!IsUtf8(request.key) || !IsUtf8(request.value) || !IsUtf8(request.data)) {
    std::fprintf(stderr, "corvane reg: the key, the value's name and the data must be UTF-8\n");
    return false;
  }
  std::vector<String> components;
  if (KeyArgument(request.key, &key->root, &components) != 0) return false;
  String name = registry::RootName(key->root);
  for (const String& component : components) {
    key->path += (key->path.empty() ? u"" : u"\\") + component;
    name += u"\\" + component;
  }
  key->name = rt::ToUtf8(name);
  return true;
}

// A handle that closes itself.
class OpenedKey {
 public:
  explicit OpenedKey(RegistryStore& store) : store_(store) {}
  ~OpenedKey() {
    if (handle_ != 0) store_.CloseKey(handle_);
  }
  Long* out() { return &handle_; }
  Long get() const { return handle_; }

 private:
  RegistryStore& store_;
  Long handle_ = 0;
};

std::string ValueLabel(const std::string& name) {
  return name.empty() ? "(Default)" : name;
}

std::string Hex(const std::string& bytes, const char* format) {
  std::string out;
  char pair[4];
  for (const char byte : bytes) {
    std::snprintf(pair, sizeof pair, format, static_cast<unsigned char>(byte));
    out += pair;
  }
  return out;
}

std::vector<String> Texts(const StoredValue& value) {
  return registry::TextsOf(value.type, value.data);
}

// A DWORD or QWORD of the right size, as a number.
bool Number(const StoredValue& value, unsigned long long* number) {
  const size_t size = value.type == registry::kRegDword   ? 4
                      : value.type == registry::kRegQword ? 8
                                                          : 0;
  if (size == 0 || value.data.size() != size) return false;
  *number = registry::LittleEndianValue(value.data);
  return true;
}

// The data as reg.exe shows it: text as it is, REG_MULTI_SZ joined by \0, numbers in hex,
// anything else as hex digits.
std::string QueryData(const StoredValue& value) {
  unsigned long long number = 0;
  if (Number(value, &number)) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", number);
    return text;
  }
  if (!registry::IsTextType(value.type)) return Hex(value.data, "%02X");
  std::string out;
  for (const String& text : Texts(value))
    out += (out.empty() ? "" : "\\0") + rt::ToUtf8(text);
  return out;
}

std::string JsonData(const StoredValue& value) {
  unsigned long long number = 0;
  // A QWORD as a string of decimal digits: a JSON number past 2^53 reads back changed in
  // JavaScript and in jq.
  if (Number(value, &number))
    return value.type == registry::kRegQword ? "\"" + std::to_string(number) + "\""
                                             : std::to_string(number);
  if (!registry::IsTextType(value.type))
    return JsonString(std::string_view(Hex(value.data, "%02x")));
  if (value.type != registry::kRegMultiSz) return JsonString(StringView(Texts(value).front()));
  std::string out;
  for (const String& text : Texts(value))
    out += (out.empty() ? "" : ", ") + JsonString(StringView(text));
  return "[" + out + "]";
}

// The value type that `name` names (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD,
// REG_BINARY, REG_NONE, in any case).
bool TypeNamed(const std::string& name, uint32_t* type) {
  for (const uint32_t candidate : {1u, 2u, 7u, 4u, 11u, 3u, 0u})
    if (strcasecmp(registry::TypeName(candidate).c_str(), name.c_str()) == 0) {
      *type = candidate;
      return true;
    }
  return false;
}

// The bytes of `data` as a value of `type`: text as it is (REG_MULTI_SZ's texts separated by
// \0, none of them empty), a number in decimal or 0x hex, binary as hex digits. "" when it is not
// one.
std::string Encode(uint32_t type, const std::string& data, bool* ok) {
  *ok = true;
  if (registry::IsTextType(type)) {
    String text = rt::FromUtf8(data);
    if (type == registry::kRegMultiSz) {
      for (size_t at = 0; (at = text.find(u"\\0", at)) != String::npos;)
        text.replace(at, 2, 1, u'\0');
      // An empty text would end the list there: only the whole list may be empty.
      *ok = text.empty() ||
            (text.front() != 0 && text.back() != 0 && text.find(String(2, u'\0')) == String::npos);
    }
    return registry::Utf16Bytes(
        text + (type == registry::kRegMultiSz ? String(2, u'\0') : String(1, u'\0')));
  }
  if (type == registry::kRegDword || type == registry::kRegQword) {
    // Decimal digits, or 0x and hex digits: no sign, blank or octal.
    const bool hex = data.size() > 2 && data[0] == '0' && (data[1] == 'x' || data[1] == 'X');
    const std::string digits = hex ? data.substr(2) : data;
    char* end = nullptr;
    errno = 0;
    const unsigned long long number = std::strtoull(digits.c_str(), &end, hex ? 16 : 10);
    const unsigned long long most = type == registry::kRegDword ? 0xFFFFFFFFull : ~0ull;
    *ok = !digits.empty() &&
          digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") ==
              std::string::npos &&
          errno == 0 && number <= most;
    return registry::LittleEndianData(number, type == registry::kRegDword ? 4 : 8);
  }
  // Hex digits in pairs, as they are or as the export writes them: deadbeef, de ad be ef,
  // de,ad,be,ef.
  std::string digits;
  for (size_t i = 0; i < data.size(); ++i) {
    const bool separator = data[i] == ' ' || data[i] == ',';
    if (separator && (i == 0 || i + 1 == data.size() || digits.size() % 2 != 0)) *ok = false;
    if (!separator) digits += data[i];
  }
  *ok = *ok && digits.size() % 2 == 0 &&
        digits.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
  std::string bytes;
  for (size_t i = 0; *ok && i < digits.size(); i += 2)
    bytes.push_back(static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  return bytes;
}

// What a value of `type` takes as --data, for a refusal.
const char* DataForm(uint32_t type) {
  if (type == registry::kRegDword || type == registry::kRegQword)
    return "decimal digits, or 0x and hex digits";
  if (type == registry::kRegMultiSz) return "texts separated by \\0, none of them empty";
  return "hex digits in pairs: deadbeef, de ad be ef or de,ad,be,ef";
}

void PrintQuery(const NamedKey& key, const std::vector<StoredValue>& values,
                const std::vector<String>* subkeys, bool json) {
  if (json) {
    std::string shown;
    for (const StoredValue& value : values)
      shown += (shown.empty() ? "" : ", ") + std::string("{\"name\": ") +
               JsonString(StringView(value.name)) + ", \"type\": \"" +
               registry::TypeName(value.type) + "\", \"data\": " + JsonData(value) + "}";
    std::string below;
    for (const String& name : subkeys ? *subkeys : std::vector<String>{})
      below += (below.empty() ? "" : ", ") + JsonString(StringView(name));
    std::printf("{\"key\": %s, \"values\": [%s]%s}\n",
                JsonString(std::string_view(key.name)).c_str(), shown.c_str(),
                subkeys ? (", \"subkeys\": [" + below + "]").c_str() : "");
    return;
  }
  std::printf("%s\n", Printable(key.name).c_str());
  for (const StoredValue& value : values)
    std::printf("    %s    %s    %s\n",
                Printable(ValueLabel(registry::ShownName(value.name))).c_str(),
                registry::TypeName(value.type).c_str(), Printable(QueryData(value)).c_str());
  if (subkeys == nullptr) return;
  if (!subkeys->empty()) std::printf("\n");
  for (const String& name : *subkeys)
    std::printf("%s\\%s\n", Printable(key.name).c_str(),
                Printable(registry::ShownName(name)).c_str());
}

}  // namespace

int QueryAction(RegistryStore& store, const RegRequest& request) {
  NamedKey key;
  if (!ParseKey(request, &key)) return 1;
  OpenedKey opened(store);
  if (const Result r = store.OpenKeyW(key.root, key.path, registry::kKeyRead, opened.out());
      r != kSuccess)
    return Failed(r == 2 ? "no key " + key.name : "cannot open " + key.name, r);
  std::vector<StoredValue> values;
  std::vector<String> subkeys;
  if (request.value) {
    StoredValue value{rt::FromUtf8(*request.value), 0, {}};
    if (const Result r = store.QueryValueW(opened.get(), value.name, &value.type, &value.data);
        r != kSuccess)
      return Failed((r == 2 ? "no value " : "cannot read the value ") + ValueLabel(*request.value) +
                        " in " + key.name,
                    r);
    values.push_back(std::move(value));
  } else if (const Result r = registry::ListKey(store, key.root, registry::SplitKeyPath(key.path),
                                                nullptr, &subkeys, &values);
             r != kSuccess) {
    return Failed("cannot read " + key.name, r);
  }
  PrintQuery(key, values, request.value ? nullptr : &subkeys, request.json);
  return 0;
}

int AddAction(RegistryStore& store, const RegRequest& request) {
  NamedKey key;
  if (!ParseKey(request, &key)) return 1;
  uint32_t type = registry::kRegSz;
  if (!request.type.empty() && !TypeNamed(request.type, &type)) {
    std::fprintf(stderr,
                 "corvane reg: %s is not a value type (REG_SZ, REG_EXPAND_SZ, "
                 "REG_MULTI_SZ, REG_DWORD, REG_QWORD, REG_BINARY, REG_NONE)\n",
                 request.type.c_str());
    return 1;
  }
  if (!request.value && (request.data || !request.type.empty())) {
    std::fprintf(stderr,
                 "corvane reg: --type and --data need --value NAME (\"\" for the key's "
                 "default value)\n");
    return 1;
  }
  const bool number = type == registry::kRegDword || type == registry::kRegQword;
  if (request.value && number && !request.data) {
    std::fprintf(stderr, "corvane reg: a %s value needs --data (%s)\n",
                 registry::TypeName(type).c_str(), DataForm(type));
    return 1;
  }
  bool ok = true;
  const std::string bytes = Encode(type, request.data.value_or(""), &ok);
  if (!ok) {
    std::fprintf(stderr, "corvane reg: %s is not %s data: give %s\n",
                 Printable(request.data.value_or("")).c_str(), registry::TypeName(type).c_str(),
                 DataForm(type));
    return 1;
  }
  OpenedKey opened(store);
  if (const Result r = store.CreateKeyW(key.root, key.path, opened.out()); r != kSuccess)
    return Failed("cannot create " + key.name, r);
  if (!request.value) {
    std::printf("added %s\n", Printable(key.name).c_str());
    return 0;
  }
  const std::string label = ValueLabel(*request.value);
  if (const Result r = store.SetValueW(opened.get(), rt::FromUtf8(*request.value), type, bytes);
      r != kSuccess)
    return Failed("cannot set " + label + " in " + key.name, r);
  std::printf("added %s to %s\n", Printable(label).c_str(), Printable(key.name).c_str());
  return 0;
}

int DeleteAction(RegistryStore& store, const RegRequest& request) {
  NamedKey key;
  if (!ParseKey(request, &key)) return 1;
  if (!request.value) {
    if (key.path.empty())
      return Failed("cannot delete " + key.name + ": it is a root", registry::kAccessDenied);
    if (const Result r = store.DeleteTreeW(key.root, key.path); r != kSuccess)
      return Failed(r == 2 ? "no key " + key.name : "cannot delete " + key.name, r);
    std::printf("deleted %s\n", Printable(key.name).c_str());
    return 0;
  }
  const std::string label = ValueLabel(*request.value);
  OpenedKey opened(store);
  if (const Result r = store.OpenKeyW(key.root, key.path, registry::kKeyAllAccess, opened.out());
      r != kSuccess)
    return Failed(r == 2 ? "no key " + key.name : "cannot open " + key.name, r);
  if (const Result r = store.DeleteValueW(opened.get(), rt::FromUtf8(*request.value));
      r != kSuccess)
    return Failed((r == 2 ? "no value " : "cannot delete ") + label + " in " + key.name, r);
  std::printf("deleted %s from %s\n", Printable(label).c_str(), Printable(key.name).c_str());
  return 0;
}

}  // namespace corvane::cli
