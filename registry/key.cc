// The C++ key class over the wide calls of the registry in use.
#include "corvane/key.h"

#include "registry/vocabulary.h"
#include "registry/wide_registry.h"

namespace corvane::registry {
namespace {

constexpr Result kNotSupported = 50;  // ERROR_NOT_SUPPORTED

class RegistryCategory final : public std::error_category {
 public:
  const char* name() const noexcept override { return "registry"; }
  std::string message(int code) const override {
    switch (code) {
      case kSuccess:
        return "success";
      case kFileNotFound:
        return "the key or value does not exist";
      case kAccessDenied:
        return "access denied (a key opened for reading, a root, or a key with subkeys)";
      case kInvalidHandle:
        return "the key is not open";
      case kNotSupported:
        return "the registry in use has no wide calls";
      case kInvalidParameter:
        return "a name, path or value is invalid or past the registry's limits";
      case kBadPathname:
        return "the path is invalid";
      case 1015:
        return "the registry store is damaged";
      case 1016:
        return "the registry store cannot be used, or did not answer in time";
      case kKeyDeleted:
        return "the key was deleted";
      case kUnsupportedType:
        return "the value has another type";
      case 3:
        return "the path does not exist";
      case 8:
        return "not enough memory";
      case 112:
        return "the disk is full";
      case 234:
        return "more data than the buffer holds";
      case 1017:
        return "the file is another program's database, not a registry store";
      case kNoUnicodeTranslation:
        return "a name, path or text is not UTF-8";
      default:
        return "registry result " + std::to_string(code);
    }
  }
  std::error_condition default_error_condition(int code) const noexcept override {
    switch (code) {
      case kFileNotFound:
      case 3:
        return std::errc::no_such_file_or_directory;
      case kAccessDenied:
        return std::errc::permission_denied;
      case 8:
        return std::errc::not_enough_memory;
      case kInvalidParameter:
        return std::errc::invalid_argument;
      case 112:
        return std::errc::no_space_on_device;
      case kNoUnicodeTranslation:
        return std::errc::illegal_byte_sequence;
      default:
        return {code, *this};
    }
  }
};

// `text` as a String when it is valid UTF-8.
std::optional<String> FromUtf8Strictly(std::string_view text) {
  String wide = rt::FromUtf8(text);
  if (rt::ToUtf8(wide) != text) return std::nullopt;
  return wide;
}

// A value name or key path: valid UTF-8 holding no NUL, which no backend keeps exactly (the
// platform's calls would end the name there).
std::optional<String> NameFromUtf8(std::string_view name) {
  if (name.find('\0') != std::string_view::npos) return std::nullopt;
  return FromUtf8Strictly(name);
}

// Why NameFromUtf8 refused `name`: 87 for a NUL, 1113 for text that is not UTF-8.
Result NameProblem(std::string_view name) {
  return name.find('\0') != std::string_view::npos ? kInvalidParameter : kNoUnicodeTranslation;
}
template <typename T>
std::optional<T> Failed(Result result, std::error_code* ec) {
  if (ec != nullptr) *ec = MakeError(result);
  return std::nullopt;
}

}  // namespace

const std::error_category& registry_category() {
  static const RegistryCategory category;
  return category;
}

Key& Key::operator=(Key&& other) noexcept {
  if (this != &other) {
    const Key closing(std::move(*this));
    registry_ = std::move(other.registry_);
    handle_ = std::exchange(other.handle_, 0);
  }
  return *this;
}

Key::~Key() {
  // A root opened as itself ("") is the root's own value, which is never closed.
  if (handle_ != 0 && handle_ > kDynData && registry_) registry_->CloseKey(handle_);
}

Result Key::Calls(WideRegistry** wide) const {
  *wide = dynamic_cast<WideRegistry*>(registry_.get());
  return handle_ == 0 ? kInvalidHandle : *wide == nullptr ? kNotSupported : kSuccess;
}

Key Key::OpenUnder(const Key& parent, std::string_view path, bool create, uint32_t access,
                   std::error_code& ec) {
  WideRegistry* wide = nullptr;
  const Result ready = parent.Calls(&wide);
  const std::optional<String> subkey = NameFromUtf8(path);
  Long handle = 0;
  const Result r = ready != kSuccess ? ready
                   : !subkey         ? NameProblem(path)
                   : create          ? wide->CreateKeyW(parent.handle_, *subkey, &handle)
                                     : wide->OpenKeyW(parent.handle_, *subkey, access, &handle);
  ec = MakeError(r);
  return r == kSuccess ? Key(parent.registry_, handle) : Key();
}

Key Key::Open(Hive root, std::string_view path, std::error_code& ec, Access access) {
  const Key parent(SharedCurrentRegistry(), static_cast<Long>(root));
  return OpenUnder(parent, path, false, static_cast<uint32_t>(access), ec);
}

Key Key::Create(Hive root, std::string_view path, std::error_code& ec) {
  const Key parent(SharedCurrentRegistry(), static_cast<Long>(root));
  return OpenUnder(parent, path, true, kKeyAllAccess, ec);
}

Key Key::OpenSubkey(std::string_view path, std::error_code& ec, Access access) const {
  return OpenUnder(*this, path, false, static_cast<uint32_t>(access), ec);
}

Key Key::CreateSubkey(std::string_view path, std::error_code& ec) const {
  return OpenUnder(*this, path, true, kKeyAllAccess, ec);
}

// The data of the value `name` when its type is `type_a` or `type_b`.
std::optional<std::string> Key::Read(std::string_view name, uint32_t type_a, uint32_t type_b,
                                     std::error_code* ec) const {
  WideRegistry* wide = nullptr;
  const std::optional<String> wide_name = NameFromUtf8(name);
  if (const Result r = Calls(&wide); r != kSuccess) return Failed<std::string>(r, ec);
  if (!wide_name) return Failed<std::string>(NameProblem(name), ec);
  uint32_t type = 0;
  std::string data;
  if (const Result r = wide->QueryValueW(handle_, *wide_name, &type, &data); r != kSuccess)
    return Failed<std::string>(r, ec);
  if (type != type_a && type != type_b) return Failed<std::string>(kUnsupportedType, ec);
  if (ec != nullptr) ec->clear();
  return data;
}

std::optional<std::string> Key::ReadString(std::string_view name, std::error_code* ec) const {
  const auto data = Read(name, kRegSz, kRegExpandSz, ec);
  if (!data) return std::nullopt;
  return rt::ToUtf8(TextsOf(kRegSz, *data).front());
}

std::optional<uint32_t> Key::ReadDword(std::string_view name, std::error_code* ec) const {
  const auto data = Read(name, kRegDword, kRegDword, ec);
  if (!data) return std::nullopt;
  if (data->size() != 4) return Failed<uint32_t>(kUnsupportedType, ec);
  return static_cast<uint32_t>(DwordOfData(*data));
}

std::optional<uint64_t> Key::ReadQword(std::string_view name, std::error_code* ec) const {
  const auto data = Read(name, kRegQword, kRegQword, ec);
  if (!data) return std::nullopt;
  if (data->size() != 8) return Failed<uint64_t>(kUnsupportedType, ec);
  return LittleEndianValue(*data);
}

std::optional<std::vector<uint8_t>> Key::ReadBinary(std::string_view name,
                                                    std::error_code* ec) const {
  const auto data = Read(name, kRegBinary, kRegBinary, ec);
  if (!data) return std::nullopt;
  return std::vector<uint8_t>(data->begin(), data->end());
}

std::optional<std::vector<std::string>> Key::ReadMultiString(std::string_view name,
                                                             std::error_code* ec) const {
  const auto data = Read(name, kRegMultiSz, kRegMultiSz, ec);
  if (!data) return std::nullopt;
  // The texts end at the first empty one, as the registry's readers take them.
  std::vector<std::string> texts;
  for (const String& text : TextsOf(kRegMultiSz, *data)) {
    if (text.empty()) break;
    texts.push_back(rt::ToUtf8(text));
  }
  return texts;
}

std::error_code Key::Write(std::string_view name, uint32_t type, const std::string& data) {
  WideRegistry* wide = nullptr;
  const Result ready = Calls(&wide);
  const std::optional<String> wide_name = NameFromUtf8(name);
  const Result r = ready != kSuccess ? ready
                   : !wide_name      ? NameProblem(name)
                                     : wide->SetValueW(handle_, *wide_name, type, data);
  return MakeError(r);
}

std::error_code Key::WriteString(std::string_view name, std::string_view text, ValueType type) {
  if (type != ValueType::kString && type != ValueType::kExpandString)
    return MakeError(kInvalidParameter);
  const std::optional<String> wide = FromUtf8Strictly(text);
  if (!wide) return MakeError(kNoUnicodeTranslation);
  return Write(name, static_cast<uint32_t>(type), Utf16Bytes(*wide + u'\0'));
}

std::error_code Key::WriteDword(std::string_view name, uint32_t value) {
  return Write(name, kRegDword, DwordData(static_cast<Long>(value)));
}

std::error_code Key::WriteQword(std::string_view name, uint64_t value) {
  return Write(name, kRegQword, LittleEndianData(value, 8));
}

std::error_code Key::WriteBinary(std::string_view name, const std::vector<uint8_t>& bytes) {
  return Write(name, kRegBinary, std::string(bytes.begin(), bytes.end()));
}

std::error_code Key::WriteMultiString(std::string_view name,
                                      const std::vector<std::string>& texts) {
  String all;
  for (const std::string& text : texts) {
    const std::optional<String> wide = FromUtf8Strictly(text);
    if (!wide) return MakeError(kNoUnicodeTranslation);
    if (wide->empty() || wide->find(u'\0') != String::npos) return MakeError(kInvalidParameter);
    all += *wide + u'\0';
  }
  return Write(name, kRegMultiSz, Utf16Bytes(all + u'\0'));
}

std::vector<std::string> Key::Subkeys(std::error_code& ec) const {
  WideRegistry* wide = nullptr;
  std::vector<String> names;
  Result r = Calls(&wide);
  if (r == kSuccess) r = wide->SubkeysW(handle_, &names);
  ec = MakeError(r);
  std::vector<std::string> out;
  if (r == kSuccess)
    for (const String& name : names)
      out.push_back(rt::ToUtf8(name));
  return out;
}

std::vector<Key::Value> Key::Values(std::error_code& ec) const {
  WideRegistry* wide = nullptr;
  std::vector<std::pair<String, uint32_t>> values;
  Result r = Calls(&wide);
  if (r == kSuccess) r = wide->ValuesW(handle_, &values);
  ec = MakeError(r);
  std::vector<Value> out;
  if (r == kSuccess)
    for (const auto& [name, type] : values)
      out.push_back({rt::ToUtf8(name), ValueType{type}});
  return out;
}

std::error_code Key::DeleteValue(std::string_view name) {
  WideRegistry* wide = nullptr;
  const Result ready = Calls(&wide);
  const std::optional<String> wide_name = NameFromUtf8(name);
  const Result r = ready != kSuccess ? ready
                   : !wide_name      ? NameProblem(name)
                                     : wide->DeleteValueW(handle_, *wide_name);
  return MakeError(r);
}

std::error_code Key::DeleteTree(std::string_view path) {
  WideRegistry* wide = nullptr;
  const Result ready = Calls(&wide);
  const std::optional<String> subkey = NameFromUtf8(path);
  const Result r = ready != kSuccess ? ready
                   : !subkey         ? NameProblem(path)
                                     : wide->DeleteTreeW(handle_, *subkey);
  return MakeError(r);
}

}  // namespace corvane::registry
