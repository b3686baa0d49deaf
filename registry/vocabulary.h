// The registry's vocabulary, written once for every layer that speaks of keys and values: the
// predefined roots, the case fold of names, the splitting of key paths, the registry's limits,
// and the byte forms of DWORD and text data.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/registry_api.h"
#include "corvane/types.h"

namespace corvane::registry {

// What a predefined root holds.
enum class RootKind {
  kKeys,             // a tree of keys and values
  kPerformanceData,  // HKEY_PERFORMANCE_DATA: no keys; opened only as itself
  kWindows9xOnly,    // HKEY_DYN_DATA: an invalid handle on Windows NT
};

struct Root {
  Long handle;                 // 0x80000000.. as a Long
  const char16_t* name;        // "HKEY_CURRENT_USER"
  const char16_t* short_name;  // "HKCU"; null for the roots that hold no keys
  RootKind kind;
};

// The seven roots in the order of their handles.
inline constexpr std::array<Root, 7> kRoots = {{
    {kClassesRoot, u"HKEY_CLASSES_ROOT", u"HKCR", RootKind::kKeys},
    {kCurrentUser, u"HKEY_CURRENT_USER", u"HKCU", RootKind::kKeys},
    {kLocalMachine, u"HKEY_LOCAL_MACHINE", u"HKLM", RootKind::kKeys},
    {kUsers, u"HKEY_USERS", u"HKU", RootKind::kKeys},
    {kPerformanceData, u"HKEY_PERFORMANCE_DATA", nullptr, RootKind::kPerformanceData},
    {kCurrentConfig, u"HKEY_CURRENT_CONFIG", u"HKCC", RootKind::kKeys},
    {kDynData, u"HKEY_DYN_DATA", nullptr, RootKind::kWindows9xOnly},
}};

// The root whose handle is `handle`; null for any other value.
const Root* RootByHandle(Long handle);
// The root called exactly `name` (full names only, case and all, every root): the lookup of a
// key path's first component by the registry classes.
const Root* RootByExactName(StringView name);
// The root that holds keys called `name` or by its short name, in any case: the lookup of the
// tool and the .reg files.
const Root* RootByAnyName(StringView name);

// Where a root that is a view keeps its keys, as on the platform:
//   HKEY_CURRENT_USER     HKEY_USERS\<the user's SID>
//   HKEY_CURRENT_CONFIG   HKEY_LOCAL_MACHINE\System\CurrentControlSet\Hardware Profiles\Current
//   HKEY_CLASSES_ROOT     the merged view of the user's classes, looked in first,
//                           HKEY_CURRENT_USER\Software\Classes,
//                         and the machine's, where a key that is not the user's goes,
//                           HKEY_LOCAL_MACHINE\Software\Classes.
// Only HKEY_LOCAL_MACHINE and HKEY_USERS hold trees of their own.
struct View {
  Long base;                 // kLocalMachine or kUsers
  std::vector<String> path;  // the key below it
};
// The view that `root` is (for HKEY_CLASSES_ROOT the machine's classes); null for a root that
// is not a view.
const View* ViewOf(Long root);
// The user's classes, the part of HKEY_CLASSES_ROOT that is looked in first.
const View& UserClassesView();
// The current user's security identifier, made from the user's id: S-1-5-21-0-0-0-<uid>.
String CurrentUserSid();

// A name folded as the registry compares names: each code unit to its simple upper case, as
// the platform's registry takes it (fold_table.awk says which letters it keeps as they are).
// Two names are the same name when their folds are equal.
char16_t FoldUnit(char16_t c);
String Fold(StringView name);

// The components of a key path between its backslashes; empty components (doubled, leading or
// trailing backslashes) are left out.
std::vector<String> SplitKeyPath(StringView path);

// The registry's limits: characters of one key name (the platform documents 255 and takes 256),
// characters of a value name, levels of a key below its root, bytes of data. The platform's
// hive format holds data up to its memory; the store's bound of 32 MiB, far above what a value
// is for, keeps a hostile caller's memory in check. Past them a call answers 87.
inline constexpr size_t kMaxKeyName = 256;
inline constexpr size_t kMaxValueName = 16383;
inline constexpr size_t kMaxDepth = 512;
inline constexpr uint32_t kMaxData = 32u << 20;

// Whether the store can keep `name` exactly: no NUL character and no surrogate without its
// pair (neither survives the store's UTF-8).
bool IsKeepableName(StringView name);

// Names as a store's file keeps them, in UTF-8. A name in a file that is not UTF-8 (another
// program's) keeps each byte of a broken sequence as the unit U+DC00 + the byte, which no kept
// name holds (IsKeepableName refuses it), so that it can be shown as \xNN (ShownName) and
// looked up again: StoredUtf8 turns those units back into the bytes.
String FromStoredUtf8(std::string_view utf8);
std::string StoredUtf8(StringView name);
// A name as the tool shows it: UTF-8, with such a byte as \xNN.
std::string ShownName(StringView name);

// The types whose data is text (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ).
inline bool IsTextType(uint32_t type) {
  return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

// A Long as the 4 bytes of REG_DWORD data (least significant first, two's complement) and back.
std::array<uint8_t, 4> DwordBytes(Long value);
Long DwordValue(const std::array<uint8_t, 4>& bytes);
// The same for data held as a byte string of exactly 4 bytes.
std::string DwordData(Long value);
Long DwordOfData(std::string_view data);

// A number as its first `size` bytes, least significant first (a QWORD's 8), and back from up
// to 8 bytes.
std::string LittleEndianData(uint64_t value, size_t size);
uint64_t LittleEndianValue(std::string_view data);

// Text as the UTF-16LE bytes the registry keeps, and back (an odd last byte is dropped).
std::string Utf16Bytes(StringView text);
String FromUtf16Bytes(std::string_view bytes);

// The texts of text data, the terminators after the last left out: the one text of REG_SZ and
// REG_EXPAND_SZ, or each text of REG_MULTI_SZ between NULs (an empty one between others
// included; none at all for empty data). A last byte that is half a code unit is a unit.
std::vector<String> TextsOf(uint32_t type, std::string_view data);

// A value as the registry keeps it: the data of the text types as UTF-16LE bytes with whatever
// terminators they were given, others as given.
struct StoredValue {
  String name;  // "" is the key's default value
  uint32_t type = 0;
  std::string data;
  bool operator==(const StoredValue&) const = default;
};

}  // namespace corvane::registry
