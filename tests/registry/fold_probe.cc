// Asks a registry which names it takes for one: for every code unit of the Basic Multilingual
// Plane in order, the key (and the value) named by that one character is looked for first and
// made only when it is not there, holding the code unit that made it. So each code unit that
// finds a name already there was taken for that earlier one.
//   fold_probe            on Windows: the platform's registry (HKCU\Software\Corvane Fold Probe)
//   fold_probe STORE      natively: the store in the file STORE, through its storage
// Prints "key XXXX YYYY" and "value XXXX YYYY" for each code unit XXXX taken for YYYY, then the
// number of code units taken for another as keys and as values.
#include <cstdint>
#include <cstdio>
#include <functional>

#ifdef _WIN32
#include <windows.h>
#else
#include "registry/key_storage_sqlite.h"
#endif

namespace {

// Key names cannot hold a backslash; no name holds a NUL or half of a surrogate pair.
bool Probed(uint32_t c, bool key) {
  return c != 0 && !(c >= 0xD800 && c <= 0xDFFF) && !(key && c == u'\\');
}

// Runs the probe over one kind of name. `find` gives whether the name is there and, if so, the
// code unit that made it; `make` makes it.
int Probe(const char* kind, bool key, const std::function<bool(char16_t, uint16_t*)>& find,
          const std::function<bool(char16_t)>& make) {
  int taken = 0;
  for (uint32_t c = 1; c <= 0xFFFF; ++c) {
    if (!Probed(c, key)) continue;
    uint16_t maker = 0;
    if (find(static_cast<char16_t>(c), &maker)) {
      std::printf("%s %04X %04X\n", kind, c, maker);
      ++taken;
    } else if (!make(static_cast<char16_t>(c))) {
      std::fprintf(stderr, "fold_probe: cannot make the %s %04X\n", kind, c);
      return -1;
    }
  }
  return taken;
}

}  // namespace

#ifdef _WIN32
int main() {
  const wchar_t* base = L"Software\\Corvane Fold Probe";
  RegDeleteTreeW(HKEY_CURRENT_USER, base);
  HKEY root = nullptr, values = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, base, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root,
                      nullptr) != 0 ||
      RegCreateKeyExW(root, L"values", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &values,
                      nullptr) != 0) {
    std::fprintf(stderr, "fold_probe: cannot make %ls\n", base);
    return 1;
  }
  // Keys live in "keys", which has no subkey named by a single character to begin with.
  HKEY keys = nullptr;
  RegCreateKeyExW(root, L"keys", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &keys, nullptr);
  const int taken_keys = Probe(
      "key", true,
      [&](char16_t c, uint16_t* maker) {
        const wchar_t name[2] = {static_cast<wchar_t>(c), 0};
        HKEY k = nullptr;
        if (RegOpenKeyExW(keys, name, 0, KEY_READ, &k) != 0) return false;
        DWORD data = 0, size = sizeof data;
        RegQueryValueExW(k, L"", nullptr, nullptr, reinterpret_cast<BYTE*>(&data), &size);
        RegCloseKey(k);
        *maker = static_cast<uint16_t>(data);
        return true;
      },
      [&](char16_t c) {
        const wchar_t name[2] = {static_cast<wchar_t>(c), 0};
        HKEY k = nullptr;
        if (RegCreateKeyExW(keys, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) != 0)
          return false;
        const DWORD data = c;
        const bool ok = RegSetValueExW(k, L"", 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&data), sizeof data) == 0;
        RegCloseKey(k);
        return ok;
      });
  const int taken_values = Probe(
      "value", false,
      [&](char16_t c, uint16_t* maker) {
        const wchar_t name[2] = {static_cast<wchar_t>(c), 0};
        DWORD data = 0, size = sizeof data;
        if (RegQueryValueExW(values, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&data),
                             &size) != 0)
          return false;
        *maker = static_cast<uint16_t>(data);
        return true;
      },
      [&](char16_t c) {
        const wchar_t name[2] = {static_cast<wchar_t>(c), 0};
        const DWORD data = c;
        return RegSetValueExW(values, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                              sizeof data) == 0;
      });
  RegCloseKey(keys);
  RegCloseKey(values);
  RegCloseKey(root);
  RegDeleteTreeW(HKEY_CURRENT_USER, base);
  if (taken_keys < 0 || taken_values < 0) return 1;
  std::printf("taken: %d keys, %d values\n", taken_keys, taken_values);
  return 0;
}
#else
int main(int argc, char** argv) {
  using namespace corvane::registry;
  if (argc != 2) {
    std::fprintf(stderr, "usage: fold_probe STORE\n");
    return 2;
  }
  SqliteStorage file(argv[1]);
  KeyStorage& storage = file;
  if (storage.Begin(std::chrono::steady_clock::now() + std::chrono::minutes(5)) != kSuccess)
    return 1;
  KeyId keys = 0, values = 0;
  int taken_keys = -1, taken_values = -1;
  const Result r = storage.Transaction([&]() -> Result {
    const KeyId user = RootKey(*RootByHandle(kLocalMachine));
    if (storage.AddChild(user, u"keys", &keys) != kSuccess ||
        storage.AddChild(user, u"values", &values) != kSuccess)
      return 1;
    taken_keys = Probe(
        "key", true,
        [&](char16_t c, uint16_t* maker) {
          KeyId child = 0;
          StoredValue value;
          if (storage.FindChild(keys, corvane::StringView(&c, 1), &child) != kSuccess)
            return false;
          if (storage.ReadValue(child, u"", &value) != kSuccess) value.data.clear();
          *maker = static_cast<uint16_t>(DwordOfData(value.data));
          return true;
        },
        [&](char16_t c) {
          KeyId child = 0;
          return storage.AddChild(keys, corvane::StringView(&c, 1), &child) == kSuccess &&
                 storage.WriteValue(child, {u"", kRegDword, DwordData(c)}) == kSuccess;
        });
    taken_values = Probe(
        "value", false,
        [&](char16_t c, uint16_t* maker) {
          StoredValue value;
          if (storage.ReadValue(values, corvane::StringView(&c, 1), &value) != kSuccess)
            return false;
          *maker = static_cast<uint16_t>(DwordOfData(value.data));
          return true;
        },
        [&](char16_t c) {
          return storage.WriteValue(values, {corvane::String(1, c), kRegDword, DwordData(c)}) ==
                 kSuccess;
        });
    return kSuccess;
  });
  if (r != kSuccess || taken_keys < 0 || taken_values < 0) return 1;
  std::printf("taken: %d keys, %d values\n", taken_keys, taken_values);
  return 0;
}
#endif
