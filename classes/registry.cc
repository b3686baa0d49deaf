// Registry: the eight handle-based operations, each the call sequence it is.
#include "corvane/registry.h"

#include <array>

#include "classes/ansi_arg.h"
#include "corvane/registry_api.h"
#include "registry/vocabulary.h"
#include "runtime/convert.h"
#include "runtime/text_ops.h"

namespace corvane {
namespace {

using registry::AnsiArg;
using registry::CurrentRegistry;

const char16_t kSettingsPath[] = u"Software\\QUOLV\\Registry";

}  // namespace

void Registry::Store(int32_t result) {
  iLastResult = rt::Narrow<Integer>(result);
}

void Registry::savekey(ByRef<Long> hKey, ByRef<String> strPath) {
  Long handle = 0;
  {
    AnsiArg path(strPath);
    Store(CurrentRegistry().CreateKey(hKey, path.get(), &handle));
  }
  Store(CurrentRegistry().CloseKey(handle));
}

Variant Registry::getstring(ByRef<Long> hKey, ByRef<String> strPath, ByRef<String> strValue) {
  return ReadText(hKey, strPath, strValue);
}

Variant Registry::getstringx(ByRef<String> strPath, ByRef<String> strValue) {
  strPath = kSettingsPath + strPath.get();
  return ReadText(registry::kCurrentUser, strPath, strValue);
}

Variant Registry::ReadText(Long hKey, ByRef<String>& strPath, ByRef<String>& strValue) {
  registry::RegistryApi& api = CurrentRegistry();
  Long handle = 0;
  // The key this read opened is closed on every way out: never the caller's own handle, which
  // RegOpenKeyA gives back for an empty path.
  struct CloseOpened {
    registry::RegistryApi& api;
    Long& handle;
    Long caller;
    ~CloseOpened() {
      if (handle != 0 && handle != caller) api.CloseKey(handle);
    }
  } close_opened{api, handle, hKey};
  int32_t opened = 0;
  {
    AnsiArg path(strPath);
    opened = api.OpenKey(hKey, path.get(), &handle);
  }
  Store(opened);
  // The sizing query writes the type into the field only when it succeeds.
  uint32_t count = 0;
  auto type = static_cast<uint32_t>(lValueType);
  {
    AnsiArg name(strValue);
    api.QueryValueEx(handle, name.get(), nullptr, &type, nullptr, &count);
  }
  lValueType = static_cast<Long>(type);
  if (lValueType != static_cast<Long>(registry::kRegSz)) return Variant();
  String text(count, u' ');
  int32_t read = 0;
  {
    ByRef<String> buffer(text);
    AnsiArg data(buffer);
    AnsiArg name(strValue);
    uint32_t read_type = 0;
    read = api.QueryValueEx(handle, name.get(), nullptr, &read_type, data.bytes(), &count);
  }
  if (read != 0) return Variant();
  const Integer zero = rt::Narrow<Integer>(rt::InStr(1, text, rt::Chr(0)));
  return Variant::OfString(zero >= 1 ? rt::Left(text, zero - 1) : text);
}

void Registry::savestring(ByRef<Long> hKey, ByRef<String> strPath, ByRef<String> strValue,
                          ByRef<String> strdata) {
  registry::RegistryApi& api = CurrentRegistry();
  Long handle = 0;
  {
    AnsiArg path(strPath);
    api.CreateKey(hKey, path.get(), &handle);
  }
  const auto length = static_cast<uint32_t>(rt::Len(strdata.get()));
  {
    AnsiArg data(strdata);
    AnsiArg name(strValue);
    api.SetValueEx(handle, name.get(), 0, registry::kRegSz, data.bytes(), length);
  }
  api.CloseKey(handle);
}

Long Registry::getdword(Long hKey, String strPath, String strValueName) {
  registry::RegistryApi& api = CurrentRegistry();
  ByRef<String> path_copy(strPath), name_copy(strValueName);
  Long handle = 0;
  {
    AnsiArg path(path_copy);
    api.OpenKey(hKey, path.get(), &handle);
  }
  uint32_t type = 0, count = 4;
  std::array<uint8_t, 4> bytes{};
  int32_t result = 0;
  {
    AnsiArg name(name_copy);
    result = api.QueryValueEx(handle, name.get(), nullptr, &type, bytes.data(), &count);
  }
  const Long value = result == 0 && type == registry::kRegDword ? registry::DwordValue(bytes) : 0;
  api.CloseKey(handle);
  return value;
}

Variant Registry::SaveDword(Long hKey, String strPath, String strValueName, Long lData) {
  registry::RegistryApi& api = CurrentRegistry();
  ByRef<String> path_copy(strPath), name_copy(strValueName);
  Long handle = 0;
  {
    AnsiArg path(path_copy);
    api.CreateKey(hKey, path.get(), &handle);
  }
  const auto bytes = registry::DwordBytes(lData);
  {
    AnsiArg name(name_copy);
    api.SetValueEx(handle, name.get(), 0, registry::kRegDword, bytes.data(), 4);
  }
  api.CloseKey(handle);
  return Variant();
}

Variant Registry::DeleteKey(Long hKey, String strKey) {
  ByRef<String> key_copy(strKey);
  AnsiArg key(key_copy);
  CurrentRegistry().DeleteKey(hKey, key.get());
  return Variant();
}

Variant Registry::DeleteValue(Long hKey, String strPath, String strValue) {
  registry::RegistryApi& api = CurrentRegistry();
  ByRef<String> path_copy(strPath), name_copy(strValue);
  Long handle = 0;
  {
    AnsiArg path(path_copy);
    Store(api.OpenKey(hKey, path.get(), &handle));
  }
  {
    AnsiArg name(name_copy);
    Store(api.DeleteValue(handle, name.get()));
  }
  Store(api.CloseKey(handle));
  return Variant();
}

}  // namespace corvane
