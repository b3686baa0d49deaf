// Declares: key path resolution, the root-name and message tables, and the eight value methods.
#include "corvane/declares.h"

#include <cstring>

#include "classes/ansi_arg.h"
#include "corvane/message_box.h"
#include "corvane/registry_api.h"
#include "registry/vocabulary.h"
#include "runtime/ansi.h"
#include "runtime/convert.h"
#include "runtime/text_ops.h"

namespace corvane {
namespace {

using registry::AnsiArg;
using registry::CurrentRegistry;
using registry::kKeyRead;
using registry::kKeyWrite;
using registry::kRegBinary;
using registry::kRegDword;
using registry::kRegSz;

struct Message {
  Long code;
  const char16_t* text;
};
constexpr Message kMessages[] = {
    {2, u"Bad Key Name"},
    {4, u"Can't Read Key"},
    {5, u"Access to this key is denied"},
    {8, u"Out of memory"},
    {14, u"Out of memory"},
    {87, u"Invalid Parameter"},
    {234, u"There is more data than the buffer has been allocated to hold."},
    {1009, u"The Registry Database is corrupt!"},
    {1010, u"Bad Key Name"},
    {1011, u"Can't Open Key"},
    {1012, u"Can't Read Key"},
    {1013, u"Can't Write Key"},
    {1015, u"The Registry Database is corrupt!"},
};

const String kFailureText = u"Error";

}  // namespace

// The key a value method opened (S2): closed on every way out of the method, the close's
// result going to lLastResult.
class Declares::OpenedKey {
 public:
  // Opens `subkey` under hMainKey with `access`, or creates it when `create`.
  OpenedKey(Declares& self, ByRef<String>& subkey, uint32_t access, bool create) : self_(self) {
    AnsiArg path(subkey);
    self.lLastResult =
        create ? CurrentRegistry().CreateKey(self.hMainKey, path.get(), &self.hOpenKey)
               : CurrentRegistry().OpenKeyEx(self.hMainKey, path.get(), 0, access, &self.hOpenKey);
    opened_ = self.lLastResult == 0;
  }
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  ~OpenedKey() {
    if (opened_) self_.lLastResult = CurrentRegistry().CloseKey(self_.hOpenKey);
  }
  bool opened() const { return opened_; }

 private:
  Declares& self_;
  bool opened_ = false;
};

void Declares::ResolveKeyPath(ByRef<String> strKeyPath, Long& hRoot) {
  const Long separator = rt::InStr(1, strKeyPath.get(), u"\\");
  if (rt::Right(strKeyPath.get(), 1) == u"\\" || rt::Left(strKeyPath.get(), 5) != u"HKEY_") {
    platform::CurrentModalBox().Show(u"Incorrect Format:\n\n" + strKeyPath.get());
    hRoot = 0;
    return;
  }
  const auto root_of = [this](const String& name) {
    if (self_) return self_(name);
    String copy = name;
    return GetMainKeyHandle(copy);
  };
  if (separator == 0) {
    hRoot = root_of(strKeyPath.get());
    strKeyPath = String();
  } else {
    hRoot = root_of(rt::Left(strKeyPath.get(), separator - 1));
    strKeyPath = rt::Right(strKeyPath.get(), rt::Len(strKeyPath.get()) - separator);
  }
}

Long Declares::GetMainKeyHandle(ByRef<String> MainKeyName) {
  const registry::Root* root = registry::RootByExactName(MainKeyName.get());
  return root != nullptr ? root->handle : 0;
}

String Declares::ErrorMsg(ByRef<Long> lErrorCode) {
  for (const Message& message : kMessages)
    if (lErrorCode.get() == message.code) return message.text;
  return u"Undefined Error Code:  " + rt::Str(lErrorCode.get());
}

Variant Declares::SetDWORDValue(ByRef<String> subkey, ByRef<String> entry, ByRef<Long> Value) {
  ResolveKeyPath(subkey, hMainKey);
  if (hMainKey == 0) return Variant();
  OpenedKey key(*this, subkey, kKeyWrite, false);
  if (!key.opened()) return Variant();
  const auto bytes = registry::DwordBytes(Value.get());
  AnsiArg name(entry);
  lLastResult = CurrentRegistry().SetValueEx(hOpenKey, name.get(), 0, kRegDword, bytes.data(), 4);
  return Variant();
}

Variant Declares::GetDWORDValue(ByRef<String> subkey, ByRef<String> entry) {
  ResolveKeyPath(subkey, hMainKey);
  if (hMainKey == 0) return Variant();
  OpenedKey key(*this, subkey, kKeyRead, false);
  if (!key.opened()) return Variant::OfString(kFailureText);
  // The query writes the low-order bytes first; those it does not write keep what they held.
  auto bytes = registry::DwordBytes(lDWordValue);
  uint32_t type = kRegDword, count = 4;
  {
    AnsiArg name(entry);
    lLastResult =
        CurrentRegistry().QueryValueEx(hOpenKey, name.get(), nullptr, &type, bytes.data(), &count);
  }
  lDWordValue = registry::DwordValue(bytes);
  if (lLastResult != 0) return Variant::OfString(kFailureText);
  return Variant::OfLong(lDWordValue);
}

Variant Declares::SetBinaryValue(ByRef<String> subkey, ByRef<String> entry, ByRef<String> Value) {
  ResolveKeyPath(subkey, hMainKey);
  if (hMainKey == 0) return Variant();
  OpenedKey key(*this, subkey, kKeyWrite, false);
  if (!key.opened()) return Variant();
  lBinarySize = rt::Len(Value.get());
  bytBinary.assign(static_cast<size_t>(lBinarySize) + 1, 0);
  if (lBinarySize > 32767) rt::Raise(rt::ErrorNumber::kOverflow);
  const StringView text = Value.get();
  for (Long i = 1; i <= lBinarySize; ++i) {
    Integer code = rt::Asc(text.substr(static_cast<size_t>(i) - 1, 1));
    if (code == 10) code = 0;
    bytBinary[static_cast<size_t>(i)] = rt::Narrow<Byte>(code);
  }
  // Byte 1, where the data begins, does not exist for an empty Value.
  if (lBinarySize == 0) rt::Raise(rt::ErrorNumber::kSubscript);
  AnsiArg name(entry);
  lLastResult = CurrentRegistry().SetValueEx(hOpenKey, name.get(), 0, kRegBinary, &bytBinary[1],
                                             static_cast<uint32_t>(lBinarySize));
  return Variant();
}

Variant Declares::GetBinaryValue(ByRef<String> subkey, ByRef<String> entry) {
  ResolveKeyPath(subkey, hMainKey);
  if (hMainKey == 0) return Variant();
  OpenedKey key(*this, subkey, kKeyRead, false);
  if (!key.opened()) return Variant::OfString(kFailureText);
  // The sizing query: its result is not tested, the count it leaves is the size.
  lBufferSize = 1;
  uint8_t scratch = 0;
  uint32_t type = kRegBinary;
  auto count = static_cast<uint32_t>(lBufferSize);
  {
    AnsiArg name(entry);
    lLastResult =
        CurrentRegistry().QueryValueEx(hOpenKey, name.get(), nullptr, &type, &scratch, &count);
  }
  lBufferSize = static_cast<Long>(count);
  strBuffer = rt::Space(lBufferSize);
  type = kRegBinary;
  {
    ByRef<String> buffer(strBuffer);
    AnsiArg data(buffer);
    AnsiArg name(entry);
    lLastResult =
        CurrentRegistry().QueryValueEx(hOpenKey, name.get(), nullptr, &type, data.bytes(), &count);
  }
  lBufferSize = static_cast<Long>(count);
  if (lLastResult != 0) return Variant::OfString(kFailureText);
  return Variant::OfString(strBuffer);
}

Variant Declares::DeleteKey(ByRef<String> keyname) {
  ResolveKeyPath(keyname, hMainKey);
  if (hMainKey == 0) return Variant();
  OpenedKey key(*this, keyname, kKeyWrite, false);
  if (!key.opened()) return Variant();
  AnsiArg path(keyname);
  lLastResult = CurrentRegistry().DeleteKey(hMainKey, path.get());
  return Variant();
}

Variant Declares::GetStringValue(ByRef<String> subkey, ByRef<String> entry) {
  ResolveKeyPath(subkey, hMainKey);
  if (hMainKey == 0) return Variant();
  String trimmed;
  {
    OpenedKey key(*this, subkey, kKeyRead, false);
    if (!key.opened()) return Variant::OfString(kFailureText);
    strBuffer = rt::Space(255);
    lBufferSize = rt::Len(strBuffer);
    uint32_t type = kRegSz;
    auto count = static_cast<uint32_t>(lBufferSize);
    {
      ByRef<String> buffer(strBuffer);
      AnsiArg data(buffer);
      AnsiArg name(entry);
      lLastResult = CurrentRegistry().QueryValueEx(hOpenKey, name.get(), nullptr, &type,
                                                   data.bytes(), &count);
    }
    lBufferSize = static_cast<Long>(count);
    if (lLastResult != 0) return Variant::OfString(kFailureText);
  }  // the key is closed before the text is cut, which may raise 5
  strBuffer = rt::Trim(strBuffer);
  return Variant::OfString(rt::Left(strBuffer, rt::Len(strBuffer) - 1));
}

Variant Declares::CreateKey(ByRef<String> subkey) {
  ResolveKeyPath(subkey, hMainKey);
  if (hMainKey == 0) return Variant();
  OpenedKey key(*this, subkey, 0, true);
  return Variant();
}

Variant Declares::SetStringValue(ByRef<String> subkey, ByRef<String> entry, ByRef<String> Value) {
  ResolveKeyPath(subkey, hMainKey);
  if (hMainKey == 0) return Variant();
  OpenedKey key(*this, subkey, kKeyWrite, false);
  if (!key.opened()) return Variant();
  const auto length = static_cast<uint32_t>(rt::Len(Value.get()));
  AnsiArg text(Value);
  AnsiArg name(entry);
  lLastResult = CurrentRegistry().SetValueEx(hOpenKey, name.get(), 0, kRegSz,
                                             reinterpret_cast<const uint8_t*>(text.get()), length);
  return Variant();
}

}  // namespace corvane
