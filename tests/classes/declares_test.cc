// Declares through the native dispatcher over the fixture's registry: key path resolution
// with its message box, the root-name and message tables, and the value methods with their
// write-backs, failures and edges.
#include "tests/classes/class_fixture.h"
#include "tests/support/test_support.h"

namespace corvane {
namespace {

using server::DispatchResult;

class DeclaresTest : public testing::RegistryClassTest {
 protected:
  DeclaresTest() : RegistryClassTest("Corvane.Declares") {}
  void TearDown() override {
    Call("DeleteKey", {Text(u"HKEY_CURRENT_USER\\Software\\Demo\\Sub")});
    Call("DeleteKey", {Text(u"HKEY_CURRENT_USER\\Software\\Demo")});
    RegistryClassTest::TearDown();
  }
};

TEST_F(DeclaresTest, KeyPathsAreResolvedAndWrittenBack) {
  struct Row {
    const char16_t* path;
    const char16_t* after;  // the caller's variable afterwards
    bool boxed;
  };
  const Row rows[] = {
      {u"HKEY_CURRENT_USER\\Software\\Demo", u"Software\\Demo", false},
      {u"HKEY_LOCAL_MACHINE", u"", false},
      {u"HKEY_CURRENT_USER\\", u"HKEY_CURRENT_USER\\", true},
      {u"Software\\Demo", u"Software\\Demo", true},
      {u"hkey_current_user\\Software", u"hkey_current_user\\Software", true},
      {u"HKEY_Current_User\\Software", u"Software", false},
      {u"HKEY_USERS\\\\.DEFAULT", u"\\.DEFAULT", false},
      {u"", u"", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Show(row.path));
    box_.shown.clear();
    const DispatchResult r = Call("GetStringValue", {Text(row.path), Text(u"x")});
    ASSERT_EQ(r.status, server::kOk);
    EXPECT_TRUE(Arg(0) == Variant::OfString(row.after));
    ASSERT_EQ(box_.shown.size(), row.boxed ? 1u : 0u);
    if (row.boxed) {
      EXPECT_EQ(box_.shown[0], u"Incorrect Format:\n\n" + String(row.path));
    }
  }
}

TEST_F(DeclaresTest, RootNamesAndMessages) {
  struct RootRow {
    const char16_t* name;
    uint32_t handle;
  };
  const RootRow roots[] = {{u"HKEY_CLASSES_ROOT", 0x80000000u},
                           {u"HKEY_USERS", 0x80000003u},
                           {u"HKEY_PERFORMANCE_DATA", 0x80000004u},
                           {u"HKEY_DYN_DATA", 0x80000006u},
                           {u"HKEY_USERS ", 0},
                           {u"hkey_users", 0}};
  for (const RootRow& row : roots) {
    const DispatchResult r = Call("GetMainKeyHandle", {Text(row.name)});
    EXPECT_TRUE(r.result == Variant::OfLong(static_cast<Long>(row.handle)))
        << testing::Show(row.name);
    EXPECT_TRUE(Arg(0) == Variant::OfString(row.name)) << "never written";
  }
  struct MessageRow {
    Long code;
    const char16_t* text;
  };
  const MessageRow messages[] = {
      {2, u"Bad Key Name"},
      {1010, u"Bad Key Name"},
      {234, u"There is more data than the buffer has been allocated to hold."},
      {1015, u"The Registry Database is corrupt!"},
      {0, u"Undefined Error Code:   0"},
      {1014, u"Undefined Error Code:   1014"},
      {-1, u"Undefined Error Code:  -1"},
  };
  for (const MessageRow& row : messages) {
    const DispatchResult r = Call("ErrorMsg", {Variant::OfLong(row.code)});
    EXPECT_TRUE(r.result == Variant::OfString(row.text)) << row.code;
  }
}

TEST_F(DeclaresTest, TextValues) {
  const char16_t* demo = u"HKEY_CURRENT_USER\\Software\\Demo";
  // No key yet: the write opens nothing.
  Call("SetStringValue", {Text(demo), Text(u"Name"), Text(u"abc")});
  EXPECT_TRUE(Call("GetStringValue", {Text(demo), Text(u"Name")}).result ==
              Variant::OfString(u"Error"));
  EXPECT_TRUE(Call("CreateKey", {Text(demo)}).result.is_empty());
  EXPECT_TRUE(Arg(0) == Variant::OfString(u"Software\\Demo"));
  struct Row {
    const char16_t* stored;
    const char16_t* read;
  };
  const Row rows[] = {
      {u"abc", u"abc"}, {u"  lead", u"lead"}, {u"trail  ", u"trail  "}, {u"Error", u"Error"}};
  for (const Row& row : rows) {
    Call("SetStringValue", {Text(demo), Text(u"Name"), Text(row.stored)});
    EXPECT_TRUE(Arg(2) == Variant::OfString(row.stored)) << "the ANSI round trip";
    EXPECT_TRUE(Call("GetStringValue", {Text(demo), Text(u"Name")}).result ==
                Variant::OfString(row.read))
        << testing::Show(row.stored);
  }
  // Characters outside the code page come back as "?" in the caller's variable.
  Call("SetStringValue", {Text(demo), Text(u"Name"), Text(u"\u0100x")});
  EXPECT_TRUE(Arg(2) == Variant::OfString(u"?x"));
  // Longer than the buffer: "Error"; empty: the cut raises 5.
  const String long_text(300, u'a');
  Call("SetStringValue", {Text(demo), Text(u"Name"), Variant::OfString(long_text)});
  EXPECT_TRUE(Call("GetStringValue", {Text(demo), Text(u"Name")}).result ==
              Variant::OfString(u"Error"));
  Call("SetStringValue", {Text(demo), Text(u"Name"), Text(u"")});
  EXPECT_EQ(Call("GetStringValue", {Text(demo), Text(u"Name")}).error_number, 5);
  EXPECT_TRUE(Call("GetStringValue", {Text(demo), Text(u"Missing")}).result ==
              Variant::OfString(u"Error"));
}

TEST_F(DeclaresTest, DwordAndBinaryValues) {
  const char16_t* demo = u"HKEY_CURRENT_USER\\Software\\Demo";
  Call("CreateKey", {Text(demo)});
  Call("SetDWORDValue", {Text(demo), Text(u"n"), Variant::OfLong(-1)});
  EXPECT_TRUE(Call("GetDWORDValue", {Text(demo), Text(u"n")}).result == Variant::OfLong(-1));
  EXPECT_TRUE(Call("GetDWORDValue", {Text(demo), Text(u"none")}).result ==
              Variant::OfString(u"Error"));
  // A line feed is written as byte 0.
  Call("SetBinaryValue", {Text(demo), Text(u"b"), Text(u"a\nc")});
  EXPECT_TRUE(Arg(2) == Variant::OfString(u"a\nc")) << "Value is never written";
  EXPECT_TRUE(Call("GetBinaryValue", {Text(demo), Text(u"b")}).result ==
              Variant::OfString(String(u"a\0c", 3)));
  // A 2-byte value read as a DWORD on a new instance: the low-order half.
  Call("SetBinaryValue", {Text(demo), Text(u"two"), Text(u"\u0001\u0002")});
  NewObject();
  EXPECT_TRUE(Call("GetDWORDValue", {Text(demo), Text(u"two")}).result == Variant::OfLong(0x0201));
  Call("SetBinaryValue", {Text(demo), Text(u"one"), Text(u"z")});
  EXPECT_TRUE(Call("GetBinaryValue", {Text(demo), Text(u"one")}).result == Variant::OfString(u"z"));
  // The runtime errors of SetBinaryValue write nothing and leave no key open.
  EXPECT_EQ(Call("SetBinaryValue", {Text(demo), Text(u"e"), Text(u"")}).error_number, 9);
  EXPECT_EQ(Call("SetBinaryValue", {Text(demo), Text(u"e"), Variant::OfString(String(32768, u'a'))})
                .error_number,
            6);
  EXPECT_TRUE(Call("GetBinaryValue", {Text(demo), Text(u"e")}).result ==
              Variant::OfString(u"Error"));
  Call("SetBinaryValue", {Text(demo), Text(u"max"), Variant::OfString(String(32767, u'a'))});
  EXPECT_TRUE(Call("GetBinaryValue", {Text(demo), Text(u"max")}).result ==
              Variant::OfString(String(32767, u'a')));
}

TEST_F(DeclaresTest, KeysAndPathsWithoutARoot) {
  Call("CreateKey", {Text(u"HKEY_CURRENT_USER\\Software\\Demo\\Sub")});
  Call("DeleteKey", {Text(u"HKEY_CURRENT_USER\\Software\\Demo\\Sub")});
  EXPECT_TRUE(Arg(0) == Variant::OfString(u"Software\\Demo\\Sub"));
  EXPECT_TRUE(Call("GetStringValue", {Text(u"HKEY_CURRENT_USER\\Software\\Demo\\Sub"), Text(u"x")})
                  .result == Variant::OfString(u"Error"))
      << "deleted";
  EXPECT_TRUE(Call("DeleteKey", {Text(u"HKEY_CURRENT_USER\\Software\\Nothing")}).result.is_empty());
  // An unknown root or a rejected path: Empty from every method, readers included.
  for (const char* method : {"GetStringValue", "GetDWORDValue", "GetBinaryValue"}) {
    EXPECT_TRUE(Call(method, {Text(u"HKEY_NOWHERE\\Software"), Text(u"x")}).result.is_empty());
    EXPECT_TRUE(Call(method, {Text(u"Software"), Text(u"x")}).result.is_empty());
  }
}

}  // namespace
}  // namespace corvane
