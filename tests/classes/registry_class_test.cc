// Registry through the native dispatcher over the fixture's registry: the call sequences'
// results, the settings path, the read buffer's rules, write-backs, and no leaked handle.
#include "tests/classes/class_fixture.h"
#include "tests/support/test_support.h"

namespace corvane {
namespace {

using server::DispatchResult;

constexpr Long kCurrentUser = registry::kCurrentUser;

class RegistryTest : public testing::RegistryClassTest {
 protected:
  RegistryTest() : RegistryClassTest("Corvane.Registry") {}
  void TearDown() override {
    for (const char16_t* key :
         {u"Software\\QUOLV\\Registry\\Options", u"Software\\QUOLV\\Registry", u"Software\\QUOLV",
          u"Software\\CorvaneReg\\Sub", u"Software\\CorvaneReg"})
      Call("DeleteKey", {Variant::OfLong(kCurrentUser), Text(key)});
    RegistryClassTest::TearDown();
  }
  void SaveText(const char16_t* path, const char16_t* name, const String& text) {
    Call("savestring",
         {Variant::OfLong(kCurrentUser), Text(path), Text(name), Variant::OfString(text)});
  }
  Variant GetText(const char16_t* path, const char16_t* name) {
    return Call("getstring", {Variant::OfLong(kCurrentUser), Text(path), Text(name)}).result;
  }
  // Stores raw REG_SZ bytes (a terminator only when given).
  void RawText(const char* name, const std::string& bytes) {
    Long key = 0;
    registry::CurrentRegistry().CreateKey(kCurrentUser, "Software\\CorvaneReg", &key);
    registry::CurrentRegistry().SetValueEx(key, name, 0, registry::kRegSz,
                                           reinterpret_cast<const uint8_t*>(bytes.data()),
                                           static_cast<uint32_t>(bytes.size()));
    registry::CurrentRegistry().CloseKey(key);
  }
};

TEST_F(RegistryTest, TextValuesAndTheirBuffer) {
  SaveText(u"Software\\CorvaneReg", u"Name", u"abc");
  EXPECT_TRUE(Arg(0) == Variant::OfLong(kCurrentUser)) << "hKey is never written";
  EXPECT_TRUE(GetText(u"Software\\CorvaneReg", u"Name") == Variant::OfString(u"abc"));
  struct Row {
    const char* name;
    std::string bytes;
    Variant read;
  };
  const Row rows[] = {
      {"terminated", std::string("abc\0", 4), Variant::OfString(u"abc")},
      {"a single zero", std::string("\0", 1), Variant::OfString(u"")},
      {"text then a zero then more", std::string("ab\0cd\0", 6), Variant::OfString(u"ab")},
      {"stored text of 32766 characters", std::string(32766, 'a') + '\0',
       Variant::OfString(String(32766, u'a'))},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RawText("raw", row.bytes);
    EXPECT_TRUE(GetText(u"Software\\CorvaneReg", u"raw") == row.read);
  }
  RawText("raw", std::string(32767, 'a') + '\0');
  EXPECT_EQ(Call("getstring",
                 {Variant::OfLong(kCurrentUser), Text(u"Software\\CorvaneReg"), Text(u"raw")})
                .error_number,
            6);
  // Other types, missing values and keys: Empty, also right after a text was read.
  Call("SaveDword", {Variant::OfLong(kCurrentUser), Text(u"Software\\CorvaneReg"), Text(u"n"),
                     Variant::OfLong(-1)});
  EXPECT_TRUE(GetText(u"Software\\CorvaneReg", u"n").is_empty());
  EXPECT_TRUE(GetText(u"Software\\CorvaneReg", u"Name") == Variant::OfString(u"abc"));
  EXPECT_TRUE(GetText(u"Software\\CorvaneReg", u"missing").is_empty());
  EXPECT_TRUE(GetText(u"Software\\Nowhere", u"Name").is_empty());
  // savestring of "" stores an empty value (0 bytes): read back as the empty text.
  SaveText(u"Software\\CorvaneReg", u"Empty", u"");
  EXPECT_TRUE(GetText(u"Software\\CorvaneReg", u"Empty") == Variant::OfString(u""));
}

TEST_F(RegistryTest, SettingsPathIsJoinedWithoutASeparator) {
  SaveText(u"Software\\QUOLV\\Registry", u"v", u"top");
  SaveText(u"Software\\QUOLV\\Registry\\Options", u"v", u"options");
  struct Row {
    const char16_t* path;
    const char16_t* joined;
    Variant read;
  };
  const Row rows[] = {
      {u"", u"Software\\QUOLV\\Registry", Variant::OfString(u"top")},
      {u"\\Options", u"Software\\QUOLV\\Registry\\Options", Variant::OfString(u"options")},
      {u"Options", u"Software\\QUOLV\\RegistryOptions", Variant()},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Show(row.path));
    const DispatchResult r = Call("getstringx", {Text(row.path), Text(u"v")});
    EXPECT_TRUE(r.result == row.read);
    EXPECT_TRUE(Arg(0) == Variant::OfString(row.joined));
  }
}

TEST_F(RegistryTest, DwordsKeysAndValues) {
  Call("SaveDword", {Variant::OfLong(kCurrentUser), Text(u"Software\\CorvaneReg"), Text(u"n"),
                     Variant::OfLong(-1)});
  const auto dword = [&](const char16_t* path, const char16_t* name) {
    return Call("getdword", {Variant::OfLong(kCurrentUser), Text(path), Text(name)}).result;
  };
  EXPECT_TRUE(dword(u"Software\\CorvaneReg", u"n") == Variant::OfLong(-1));
  SaveText(u"Software\\CorvaneReg", u"t", u"text");
  EXPECT_TRUE(dword(u"Software\\CorvaneReg", u"t") == Variant::OfLong(0)) << "another type";
  EXPECT_TRUE(dword(u"Software\\CorvaneReg", u"none") == Variant::OfLong(0));
  EXPECT_TRUE(dword(u"Software\\Nowhere", u"n") == Variant::OfLong(0));

  Call("savekey", {Variant::OfLong(kCurrentUser), Text(u"Software\\CorvaneReg\\Sub")});
  EXPECT_TRUE(Arg(0) == Variant::OfLong(kCurrentUser));
  Call("DeleteValue", {Variant::OfLong(kCurrentUser), Text(u"Software\\CorvaneReg"), Text(u"n")});
  EXPECT_TRUE(dword(u"Software\\CorvaneReg", u"n") == Variant::OfLong(0));
  // On a bad handle: Empty, as on success.
  EXPECT_TRUE(Call("SaveDword", {Variant::OfLong(0), Text(u"x"), Text(u"y"), Variant::OfLong(1)})
                  .result.is_empty());
  EXPECT_TRUE(Call("DeleteValue", {Variant::OfLong(0), Text(u"x"), Text(u"y")}).result.is_empty());
}

TEST_F(RegistryTest, AHandleTheHostHoldsIsReadAndStaysOpen) {
  Long held = 0;
  ASSERT_EQ(registry::CurrentRegistry().CreateKey(kCurrentUser, "Software\\CorvaneReg", &held),
            registry::kSuccess);
  Call("savestring", {Variant::OfLong(held), Text(u""), Text(u"v"), Text(u"by handle")});
  EXPECT_TRUE(Call("getstring", {Variant::OfLong(held), Text(u""), Text(u"v")}).result ==
              Variant::OfString(u"by handle"));
  EXPECT_TRUE(Call("getstring", {Variant::OfLong(held), Text(u""), Text(u"v")}).result ==
              Variant::OfString(u"by handle"))
      << "the empty path reads through the caller's own handle, which stays open";
  EXPECT_EQ(registry::CurrentRegistry().CloseKey(held), registry::kSuccess);
}

#ifndef _WIN32
TEST_F(RegistryTest, RepeatedReadsLeaveNoHandleOpen) {
  SaveText(u"Software\\CorvaneReg", u"Name", u"abc");
  for (int i = 0; i < 100000; ++i)
    GetText(u"Software\\CorvaneReg", u"Name");
  EXPECT_EQ(store_->open_handles(), 0u);
}
#endif

}  // namespace
}  // namespace corvane
