// .reg files: every value type out and back in both formats, through the store; malformed
// files refused with their line and nothing imported; whole-store dump, restore and check.
#include "regtool/reg_file.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "registry/registry_store.h"
#include "regtool/regedit_view.h"
#include "regtool/store_maintenance.h"

namespace corvane::registry {
namespace {

std::string Bytes(std::initializer_list<int> list) {
  std::string out;
  for (int b : list)
    out.push_back(static_cast<char>(b));
  return out;
}
std::string Utf16(const String& text) {
  std::string out;
  for (char16_t c : text)
    out += Bytes({c & 0xFF, c >> 8});
  return out;
}

// Every type, with the data shapes that take a different written form.
std::vector<StoredValue> EveryType(bool unicode) {
  std::vector<StoredValue> v = {
      {u"", kRegSz, Utf16(u"default") + Bytes({0, 0})},
      {u"text", kRegSz, Utf16(u"a \"quoted\" \\ path") + Bytes({0, 0})},
      {u"empty text", kRegSz, Bytes({0, 0})},
      {u"unterminated", kRegSz, Utf16(u"abc")},
      {u"inner zero", kRegSz, Utf16(u"a") + Bytes({0, 0}) + Utf16(u"b") + Bytes({0, 0})},
      {u"lines", kRegSz, Utf16(u"one\r\ntwo") + Bytes({0, 0})},
      {u"expand", 2, Utf16(u"%PATH%;x") + Bytes({0, 0})},
      {u"blob", kRegBinary, Bytes({0, 1, 0xFE, 0xFF})},
      {u"no bytes", kRegBinary, ""},
      {u"dword", kRegDword, Bytes({0x2A, 0, 0, 0x80})},
      {u"short dword", kRegDword, Bytes({1, 2})},
      {u"big endian", 5, Bytes({0, 0, 0, 1})},
      {u"multi", 7, Utf16(u"a") + Bytes({0, 0}) + Utf16(u"bc") + Bytes({0, 0, 0, 0})},
      {u"qword", 11, Bytes({1, 2, 3, 4, 5, 6, 7, 8})},
      {u"none", 0, Bytes({9})},
      {u"odd type", 0x12345, Bytes({7, 7})},
      {u"long", kRegBinary, std::string(300, '\x5A')},
      {u"name \"with\" \\ marks", kRegSz, Bytes({0, 0})},
  };
  // Text data of an odd length has no ANSI form; a Unicode name neither.
  if (unicode) v.push_back({u"odd bytes", kRegSz, Bytes({0x41})});
  if (unicode) v.push_back({u"\u00e9\u4e2d\U0001F600", 7, Utf16(u"\u4e2d") + Bytes({0, 0, 0, 0})});
  return v;
}

std::unique_ptr<RegistryStore> FreshStore(const std::string& name) {
  const std::string path = ::testing::TempDir() + "corvane-reg-" + name;
  std::system(("rm -f '" + path + "'*").c_str());
  return RegistryStore::Open(path);
}

TEST(RegFile, EveryValueTypeGoesOutAndBackInBothFormats) {
  for (const RegFormat format : {RegFormat::kVersion5, RegFormat::kRegedit4}) {
    SCOPED_TRACE(format == RegFormat::kVersion5 ? "Version 5.00" : "REGEDIT4");
    const std::vector<StoredValue> values = EveryType(format == RegFormat::kVersion5);
    const std::vector<ExportedKey> keys = {
        {{u"HKEY_CURRENT_USER", u"Software", u"Reg Test"}, values},
        {{u"HKEY_CURRENT_USER", u"Software", u"Reg Test", u"Empty Sub"}, {}}};
    std::string bytes, why;
    ASSERT_TRUE(WriteRegFile(format, keys, &bytes, &why)) << why;
    std::vector<KeyEdit> edits;
    RegFileError error;
    ASSERT_TRUE(ParseRegFile(bytes, &edits, &error)) << error.line << ": " << error.message;

    auto store = FreshStore("roundtrip");
    ASSERT_EQ(ApplyEdits(*store, edits), kSuccess);
    std::vector<String> spelled, subkeys;
    std::vector<StoredValue> back;
    ASSERT_EQ(ListKey(*store, kCurrentUser, {u"software", u"REG TEST"}, &spelled, &subkeys, &back),
              kSuccess);
    EXPECT_EQ(spelled, keys[0].path);
    EXPECT_EQ(subkeys, std::vector<String>{u"Empty Sub"});
    ASSERT_EQ(back.size(), values.size());
    for (size_t i = 0; i < values.size(); ++i)
      EXPECT_EQ(back[i], values[i]) << "value " << i;
  }
}

TEST(RegFile, Regedit4RefusesWhatAnsiCannotHold) {
  const struct {
    ExportedKey key;
    const char* why;
  } kRows[] = {
      {{{u"HKEY_CURRENT_USER", u"K"}, {{u"Name", kRegSz, Utf16(u"\u4e2d") + Bytes({0, 0})}}},
       "the text of value \"Name\" cannot be written in the ANSI code page; use Version 5.00"},
      {{{u"HKEY_CURRENT_USER", u"K"}, {{u"\u4e2d", kRegDword, DwordData(1)}}},
       "the name of value \"\xE4\xB8\xAD\" cannot be written"},
      {{{u"HKEY_CURRENT_USER", u"\u4e2d"}, {}}, "the key HKEY_CURRENT_USER\\\xE4\xB8\xAD cannot"},
  };
  for (const auto& row : kRows) {
    std::string bytes, why;
    EXPECT_FALSE(WriteRegFile(RegFormat::kRegedit4, {row.key}, &bytes, &why));
    EXPECT_NE(why.find(row.why), std::string::npos) << why;
  }
}

TEST(RegFile, ReadsWhatRegeditWrites) {
  // As Wine's and Windows' regedit write it: continuation lines, comments, deletions, any case.
  const std::string file =
      "REGEDIT4\r\n\r\n; comment\r\n[hkey_current_user\\Software\\A]\r\n"
      "\"s\"=\"x\\ny\"\r\n@=\"d\"\r\n\"b\"=HEX:01,02,\\\r\n  03 ; tail\r\n"
      "\"e\"=hex(2):25,41,25,00\r\n\"gone\"=-\r\n[-HKCU\\Software\\Old]\r\n";
  std::vector<KeyEdit> edits;
  RegFileError error;
  ASSERT_TRUE(ParseRegFile(file, &edits, &error)) << error.line << ": " << error.message;
  ASSERT_EQ(edits.size(), 7u);
  EXPECT_EQ(edits[1].value, (StoredValue{u"s", kRegSz, Utf16(u"x\ny") + Bytes({0, 0})}));
  EXPECT_EQ(edits[3].value.data, Bytes({1, 2, 3}));
  EXPECT_EQ(edits[4].value, (StoredValue{u"e", 2, Utf16(u"%A%") + Bytes({0, 0})}));
  EXPECT_EQ(edits[5].kind, KeyEdit::Kind::kDeleteValue);
  EXPECT_EQ(edits[6].kind, KeyEdit::Kind::kDeleteTree);
  EXPECT_EQ(edits[6].path, (std::vector<String>{u"Software", u"Old"}));
}

TEST(RegFile, AFileWithoutAMarkIsReadAsUtf8WhereItIsUtf8) {
  const struct {
    const char* header;
    const char* data;
    const char16_t* read;
    UnmarkedUtf8 how;
  } rows[] = {
      {"Windows Registry Editor Version 5.00", "caf\xC3\xA9", u"caf\u00E9",
       UnmarkedUtf8::kReadAsUtf8},
      {"REGEDIT4", "caf\xC3\xA9", u"caf\u00C3\u00A9", UnmarkedUtf8::kReadAsAnsi},  // the code page's
      {"\xEF\xBB\xBFREGEDIT4", "caf\xC3\xA9", u"caf\u00E9", UnmarkedUtf8::kNone},  // a mark
      {"Windows Registry Editor Version 5.00", "caf\xE9", u"caf\u00E9", UnmarkedUtf8::kNone},
      {"Windows Registry Editor Version 5.00", "\xED\xA0\x80", u"\u00ED\u00A0\u20AC",
       UnmarkedUtf8::kNone},  // a surrogate: not UTF-8
  };
  for (const auto& row : rows) {
    std::vector<KeyEdit> edits;
    RegFileError error;
    UnmarkedUtf8 how = UnmarkedUtf8::kReadAsAnsi;
    const std::string file = std::string(row.header) +
                             "\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=\"" + row.data + "\"\r\n";
    ASSERT_TRUE(ParseRegFile(file, &edits, &error, &how)) << error.message;
    EXPECT_EQ(how, row.how) << row.data;
    EXPECT_EQ(edits.back().value.data, Utf16(row.read) + Bytes({0, 0})) << row.data;
  }
}

TEST(RegFile, MalformedFilesAreRefusedWithTheirLine) {
  const std::string head = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\T]\n";
  const struct {
    std::string file;
    int line;
    const char* message;
  } kCases[] = {
      {"REGEDIT5\n[HKEY_CURRENT_USER\\T]\n", 1, "not a registry file"},
      {"", 1, "empty"},
      {head + "\"a\"=\"x\\q\"\n", 4, "unknown escape"},
      {head + "\"a\"=\"open\n", 4, "closing quote"},
      {head + "\"a\"=hex:01,02,\n", 4, "ends early"},
      {head + "\"a\"=hex:01,\\\n", 4, "end of the file"},
      {head + "\"a\"=hex:01,0g\n", 4, "not a hex digit"},
      {head + "\"a\"=hex:01 02\n", 4, "comma"},
      {head + "\"a\"=text:1\n", 4, "unknown value type"},
      {head + "\"a\"=hex(zz):01\n", 4, "unknown value type"},
      {head + "\"a\"=dword:123456789\n", 4, "dword"},
      {head + "\"ok\"=\"fine\"\n[HKEY_NOWHERE\\X]\n", 5, "unknown root"},
      {head + "[-HKEY_CURRENT_USER]\n", 4, "root key cannot be removed"},
      {"REGEDIT4\n\"a\"=\"x\"\n", 2, "outside a key"},
      {head + "[HKEY_CURRENT_USER\\T\n", 4, "closing ]"},
      {head + "junk\n", 4, "neither"},
      // Names the store could not keep exactly, and the registry's limits.
      {head + "[HKEY_CURRENT_USER\\a" + std::string(1, '\0') + "b]\n", 4,
       "a key name holding a NUL"},
      {"\xFF\xFE" +
           Utf16(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\T]\r\n\"x" +
                 String(1, u'\xD800') + u"\"=\"v\"\r\n"),
       4, "a value name holding a NUL character or a lone surrogate"},
      {"\xFF\xFE" + Utf16(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\x" +
                          String(1, u'\xDC00') + u"]\r\n"),
       3, "a key name holding a NUL character or a lone surrogate"},
      {head + "[HKEY_CURRENT_USER\\" + std::string(257, 'k') + "]\n", 4, "longer than 256"},
      {head + "\"" + std::string(16384, 'v') + "\"=\"x\"\n", 4, "longer than 16383"},
      {head + "[HKEY_CURRENT_USER" +
           [] {
             std::string deep;
             for (int i = 0; i < 513; ++i)
               deep += "\\d";
             return deep;
           }() +
           "]\n",
       4, "deeper than 512"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.file);
    std::vector<KeyEdit> edits;
    RegFileError error;
    EXPECT_FALSE(ParseRegFile(c.file, &edits, &error));
    EXPECT_TRUE(edits.empty());
    EXPECT_EQ(error.line, c.line);
    EXPECT_NE(error.message.find(c.message), std::string::npos) << error.message;
  }
}

TEST(RegFile, AnImportThatFailsChangesNothing) {
  auto store = FreshStore("atomic");
  KeyEdit good{KeyEdit::Kind::kSetValue, kCurrentUser, {u"A"}, {u"v", kRegDword, "1234"}};
  KeyEdit bad{KeyEdit::Kind::kSetValue,
              kCurrentUser,
              {u"B"},
              {u"v", kRegBinary, std::string(kMaxData + 1, 'x')}};
  EXPECT_EQ(ApplyEdits(*store, {good, bad}), kInvalidParameter);
  EXPECT_EQ(ListKey(*store, kCurrentUser, {u"A"}, nullptr, nullptr, nullptr), kFileNotFound);
}

TEST(RegFile, DumpRestoreAndCheckKeepTheWholeStore) {
  auto store = FreshStore("dump");
  const KeyEdit set{KeyEdit::Kind::kSetValue, kLocalMachine, {u"S", u"T"}, {u"v", kRegSz, "a\0"}};
  ASSERT_EQ(ApplyEdits(*store, {set}), kSuccess);
  const std::string copy = ::testing::TempDir() + "corvane-reg-copy";
  ASSERT_EQ(DumpStore(*store, copy), kSuccess);
  ASSERT_EQ(ApplyEdits(*store, {{KeyEdit::Kind::kDeleteTree, kLocalMachine, {u"S"}, {}}}),
            kSuccess);
  EXPECT_EQ(ListKey(*store, kLocalMachine, {u"S"}, nullptr, nullptr, nullptr), kFileNotFound);
  ASSERT_EQ(RestoreStore(*store, copy), kSuccess);
  std::vector<StoredValue> values;
  ASSERT_EQ(ListKey(*store, kLocalMachine, {u"s", u"t"}, nullptr, nullptr, &values), kSuccess);
  EXPECT_EQ(values, std::vector<StoredValue>{set.value});
  EXPECT_TRUE(CheckStore(*store).problems.empty());

  // A copy that is not a sound store is refused and changes nothing; a broken invariant is named.
  // The store's own guards refuse an orphan, so the copy is spoiled by a writer that drops them.
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(copy.c_str(), &raw), SQLITE_OK);
  EXPECT_NE(sqlite3_exec(raw, "INSERT INTO keys(parent, name, fold) VALUES(999, 'lost', 'LOST')",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_exec(raw,
               "DROP TRIGGER keys_need_parent;"
               "INSERT INTO keys(parent, name, fold) VALUES(999, 'lost', 'LOST')",
               nullptr, nullptr, nullptr);
  sqlite3_close(raw);
  EXPECT_EQ(RestoreStore(*store, copy), 1015);
  EXPECT_EQ(ListKey(*store, kLocalMachine, {u"S", u"T"}, nullptr, nullptr, nullptr), kSuccess);
  auto damaged = RegistryStore::Open(copy);
  const StoreReport report = CheckStore(*damaged);
  ASSERT_FALSE(report.problems.empty());
  EXPECT_NE(report.problems[0].find("parent is gone"), std::string::npos) << report.problems[0];
}

// Through the calls: the DWORD at `path` below `root`, -1 when the key or value is not there.
int64_t DwordAt(RegistryStore& store, Long root, const String& path, const String& name) {
  Long key = 0;
  uint32_t type = 0;
  std::string data;
  const bool found = store.OpenKeyW(root, path, kKeyRead, &key) == kSuccess &&
                     store.QueryValueW(key, name, &type, &data) == kSuccess && data.size() == 4;
  if (key != 0) store.CloseKey(key);
  return found ? static_cast<int64_t>(LittleEndianValue(data)) : -1;
}

// Stores from before the current fold and views, set right once when opened: version 2, which
// kept names apart that are one name now and kept keys of its own for HKEY_CURRENT_USER and
// HKEY_CLASSES_ROOT beside the keys they stand for; and version 3, which moved those without
// merging keys of one name. Every value answers through the paths it answered through before,
// but for each pair of one name, where calls reach the one the key held first; the other is
// listed, named by the check, and reached once the first is deleted. The check finds no damage,
// and the store's dump restores.
TEST(RegFile, AnOlderStoreIsSetRightLosingNoReach) {
  const std::string sid = "S-1-5-21-0-0-0-" + std::to_string(::getuid());
  const std::string path = ::testing::TempDir() + "corvane-older-fold";
  const char* const kOlder[] = {
      // Version 2: folds over Latin letters only (Ł and ł, К and к apart), views of its own.
      "INSERT INTO keys(id, parent, name, fold) VALUES"
      " (10, 3, 'Fold', 'FOLD'), (11, 10, 'Ключ', 'Ключ'), (12, 10, 'ключ', 'ключ'),"
      " (13, 4, '$SID', '$SID'), (14, 13, 'Software', 'SOFTWARE'), (15, 14, 'App', 'APP'),"
      " (16, 2, 'Software', 'SOFTWARE'), (17, 16, 'App', 'APP'), (18, 2, 'Legacy', 'LEGACY'),"
      " (19, 1, '.txt', '.TXT'), (20, 3, 'Software', 'SOFTWARE'), (21, 20, 'Classes', 'CLASSES'),"
      " (22, 21, '.txt', '.TXT'), (23, 1, 'Corvane.Old', 'CORVANE.OLD');"
      "INSERT INTO vals(key, name, fold, type, data, seq) VALUES"
      " (11, 'Łódź', 'Łódź', 4, x'01000000', 1), (11, 'łódź', 'łódź', 4, x'02000000', 2),"
      " (12, 'x', 'X', 4, x'03000000', 1), (15, 'b', 'B', 4, x'04000000', 1),"
      " (15, 'shared', 'SHARED', 4, x'05000000', 2), (17, 'a', 'A', 4, x'06000000', 1),"
      " (17, 'shared', 'SHARED', 4, x'07000000', 2), (2, 'Łódź', 'Łódź', 4, x'08000000', 1),"
      " (2, 'łódź', 'łódź', 4, x'09000000', 2), (13, 'ŁÓDŹ', 'ŁÓDŹ', 4, x'0A000000', 1),"
      " (19, 'ct', 'CT', 4, x'0B000000', 1), (22, 'mt', 'MT', 4, x'0C000000', 1);"
      "PRAGMA user_version = 2;",
      // Version 3: the same moved without merging, a moved key of one name shadowed whole, and
      // a value shadowed twice.
      "INSERT INTO keys(id, parent, name, fold) VALUES"
      " (10, 3, 'Fold', 'FOLD'), (11, 10, 'Ключ', 'КЛЮЧ'), (12, 10, 'ключ', 'КЛЮЧ' || x'FF' || "
      "'12'),"
      " (13, 4, '$SID', '$SID'), (14, 13, 'Software', 'SOFTWARE'), (15, 14, 'App', 'APP'),"
      " (16, 13, 'Software', 'SOFTWARE' || x'FF' || '16'), (17, 16, 'App', 'APP'),"
      " (18, 13, 'Legacy', 'LEGACY'), (20, 3, 'Software', 'SOFTWARE'),"
      " (21, 20, 'Classes', 'CLASSES'), (22, 21, '.txt', '.TXT'),"
      " (19, 21, '.txt', '.TXT' || x'FF' || '19'), (23, 21, 'Corvane.Old', 'CORVANE.OLD');"
      "INSERT INTO vals(key, name, fold, type, data, seq) VALUES"
      " (11, 'Łódź', 'ŁÓDŹ', 4, x'01000000', 1), (11, 'łódź', 'ŁÓDŹ' || x'FF' || '2', 4, "
      "x'02000000', 2),"
      " (12, 'x', 'X', 4, x'03000000', 1), (15, 'b', 'B', 4, x'04000000', 1),"
      " (15, 'shared', 'SHARED', 4, x'05000000', 2), (17, 'a', 'A', 4, x'06000000', 1),"
      " (17, 'shared', 'SHARED', 4, x'07000000', 2), (13, 'ŁÓDŹ', 'ŁÓDŹ', 4, x'0A000000', 1),"
      " (13, 'Łódź', 'ŁÓDŹ' || x'FF' || '2', 4, x'08000000', 2),"
      " (13, 'łódź', 'ŁÓDŹ' || x'FF' || '2' || x'FF' || '3', 4, x'09000000', 3),"
      " (19, 'ct', 'CT', 4, x'0B000000', 1), (22, 'mt', 'MT', 4, x'0C000000', 1);"
      "PRAGMA user_version = 3;",
  };
  const String user = rt::FromUtf8(sid);
  const struct {
    Long root;
    String path, name;
    int64_t data;
  } kReach[] = {
      {kLocalMachine, u"Fold\\Ключ", u"Łódź", 1},
      {kLocalMachine, u"Fold\\ключ", u"łódź", 1},
      {kCurrentUser, u"Software\\App", u"a", 6},
      {kCurrentUser, u"Software\\App", u"b", 4},
      {kUsers, user + u"\\Software\\App", u"a", 6},
      {kCurrentUser, u"Software\\App", u"shared", 5},
      {kCurrentUser, u"", u"łódź", 10},
      {kUsers, user, u"ŁÓDŹ", 10},
      {kClassesRoot, u".txt", u"ct", 11},
      {kClassesRoot, u".TXT", u"mt", 12},
      {kLocalMachine, u"Software\\Classes\\.txt", u"ct", 11},
  };
  for (const char* older : kOlder) {
    SCOPED_TRACE(older);
    std::system(("rm -f '" + path + "'*").c_str());
    RegistryStore::Open(path).reset();
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    std::string sql = older;
    for (size_t at; (at = sql.find("$SID")) != std::string::npos;)
      sql.replace(at, 4, sid);
    ASSERT_EQ(sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(raw);
    sqlite3_close(raw);
    auto store = RegistryStore::Open(path);
    for (const auto& row : kReach)
      EXPECT_EQ(DwordAt(*store, row.root, row.path, row.name), row.data)
          << rt::ToUtf8(row.path) << " " << rt::ToUtf8(row.name);
    std::vector<String> subkeys;
    std::vector<StoredValue> values;
    ASSERT_EQ(ListKey(*store, kLocalMachine, {u"FOLD"}, nullptr, &subkeys, nullptr), kSuccess);
    EXPECT_EQ(subkeys, (std::vector<String>{u"Ключ", u"ключ"}));
    ASSERT_EQ(ListKey(*store, kCurrentUser, {}, nullptr, &subkeys, &values), kSuccess);
    EXPECT_EQ(subkeys, (std::vector<String>{u"Legacy", u"Software"})) << "each subkey once";
    EXPECT_EQ(values.size(), 3u);
    EXPECT_EQ(ListKey(*store, kClassesRoot, {u"Corvane.Old"}, nullptr, nullptr, nullptr), kSuccess);
    const StoreReport report = CheckStore(*store);
    EXPECT_TRUE(report.problems.empty()) << report.problems[0];
    std::string notes;
    for (const std::string& note : report.notes)
      notes += note + "\n";
    for (const char* pair : {"HKEY_LOCAL_MACHINE\\Fold: the subkeys \"Ключ\" and \"ключ\"",
                             "Fold\\Ключ: the values \"Łódź\" and \"łódź\" are one name now; calls"
                             " reach \"Łódź\"",
                             "the values \"ŁÓDŹ\" and \"Łódź\"", "the values \"ŁÓDŹ\" and \"łódź\"",
                             "Software\\App: the values \"shared\" and \"shared\""})
      EXPECT_NE(notes.find(pair), std::string::npos) << pair << "\n" << notes;
    EXPECT_EQ(report.notes.size(), 5u) << notes;
    // Once the reached one is deleted, the next of its name takes its place, and then the last.
    for (const int64_t next : {8, 9, -1}) {
      ASSERT_EQ(store->DeleteValueW(kCurrentUser, u"ŁÓDŹ"), kSuccess);
      EXPECT_EQ(DwordAt(*store, kCurrentUser, u"", u"łódź"), next);
    }
    ASSERT_EQ(DumpStore(*store, path + ".dump"), kSuccess);
    auto fresh = RegistryStore::Open(path + ".fresh");
    EXPECT_EQ(RestoreStore(*fresh, path + ".dump"), kSuccess);
    EXPECT_EQ(DwordAt(*fresh, kCurrentUser, u"Software\\App", u"a"), 6);
  }
}

}  // namespace
}  // namespace corvane::registry
