// The native factory and late-binding dispatcher: binding, write-back, aliasing and statuses.
#include "corvane/dispatcher.h"
#include "server/method_table.h"

#include <vector>

#include "tests/support/test_support.h"

namespace corvane::server {
namespace {

std::unique_ptr<Instance> NewTarnel() {
  auto instance = CreateInstance("Corvane.Tarnel");
  EXPECT_NE(instance, nullptr);
  return instance;
}

Argument Text(const char16_t* text) {
  return Variant::OfString(text);
}

TEST(Factory, CreatesByProgIdAndClassId) {
  struct Row {
    const char* id;
    const char* expected_class;  // null: no such class
  };
  const Row rows[] = {
      {"Corvane.Tarnel", "Tarnel"},
      {"corvane.registry", "Registry"},
      {"Corvane.Declares", "Declares"},
      {"{8CA88E33-C0E8-11D5-B1AB-006097D869EE}", "Tarnel"},
      {"{8ca88e35-c0e8-11d5-b1ab-006097d869ee}", "Registry"},
      {"8CA88E37-C0E8-11D5-B1AB-006097D869EE", "Declares"},
      {"{8CA88E32-C0E8-11D5-B1AB-006097D869EE}", nullptr},  // an interface, not a class
      {"Corvane.Nothing", nullptr},
      {"", nullptr},
  };
  for (const Row& row : rows) {
    auto instance = CreateInstance(row.id);
    if (row.expected_class == nullptr) {
      EXPECT_EQ(instance, nullptr) << row.id;
    } else {
      ASSERT_NE(instance, nullptr) << row.id;
      EXPECT_STREQ(instance->info().name, row.expected_class);
    }
  }
}

TEST(Dispatcher, EncryptByNameWritesTheKeyBack) {
  auto tarnel = NewTarnel();
  Argument text = Text(u"abcdef");
  Argument pass = Text(u"");
  std::vector<Argument*> args = {&text, &pass};
  const DispatchResult r = Invoke(*tarnel, "encrypt", args);
  ASSERT_EQ(r.status, kOk);
  EXPECT_TRUE(r.result == Variant::OfString(u"]hdkeh"));
  EXPECT_TRUE(std::get<Variant>(pass) == Variant::OfInteger(0));
  EXPECT_TRUE(std::get<Variant>(text) == Variant::OfString(u"abcdef"));
}

TEST(Dispatcher, DecryptByDispatchId) {
  auto tarnel = NewTarnel();
  Argument text = Text(u"]hdkeh");
  Argument pass;  // Empty: the text ""
  std::vector<Argument*> args = {&text, &pass};
  const DispatchResult r = Invoke(*tarnel, 0x60030005, args);
  ASSERT_EQ(r.status, kOk);
  EXPECT_TRUE(r.result == Variant::OfString(u"abcdef"));
}

TEST(Dispatcher, OneVariableForTwoParametersIsOneValue) {
  auto tarnel = NewTarnel();
  Argument both = Text(u"hello");
  std::vector<Argument*> args = {&both, &both};
  const DispatchResult r = Invoke(*tarnel, "Encrypt", args);
  ASSERT_EQ(r.status, kOk);
  EXPECT_TRUE(std::get<Variant>(both) == Variant::OfInteger(8));
  EXPECT_TRUE(r.result == Variant::OfString(u"<"));
}

TEST(Dispatcher, RuntimeErrorsCarryNumberDescriptionAndSource) {
  auto tarnel = NewTarnel();
  Argument text = Variant::OfString(String(256, u'a'));
  Argument pass = Text(u"p");
  std::vector<Argument*> args = {&text, &pass};
  const DispatchResult r = Invoke(*tarnel, "Encrypt", args);
  EXPECT_EQ(r.status, RuntimeErrorStatus(6));
  EXPECT_EQ(static_cast<uint32_t>(r.status), 0x800A0006u);
  EXPECT_EQ(r.error_number, 6);
  EXPECT_EQ(r.description, "Overflow");
  EXPECT_EQ(r.source, "Corvane.Tarnel");
  EXPECT_TRUE(r.result.is_empty());
  EXPECT_TRUE(std::get<Variant>(pass) == Variant::OfString(u"p"));  // written back unchanged
}

struct StatusRow {
  const char* name;
  const char* method;
  std::vector<Argument> args;
  Status status;
  int arg_error;
};

TEST(Dispatcher, RefusedCalls) {
  const Argument s = Text(u"x");
  const StatusRow rows[] = {
      {"unknown name", "Nope", {s, s}, kMemberNotFound, -1},
      {"too few arguments", "Encrypt", {s}, kBadParamCount, -1},
      {"too many arguments", "Encrypt", {s, s, s}, kBadParamCount, -1},
      {"omitted argument", "Encrypt", {s, Variant::Missing()}, kParamNotOptional, 1},
      {"array for a Variant", "Encrypt", {s, StringArray::Of({u"a"})}, kTypeMismatch, 1},
      {"text for a Long", "TimedPause", {Text(u"soon")}, kTypeMismatch, 0},
      {"Long out of range", "TimedPause", {Variant::OfDouble(3e9)}, kOverflow, 0},
      {"Null for a Long", "TimedPause", {Variant::Null()}, kTypeMismatch, 0},
      {"text for an array", "sSplit", {s, s, s}, kTypeMismatch, 2},
  };
  for (const StatusRow& row : rows) {
    SCOPED_TRACE(row.name);
    auto tarnel = NewTarnel();
    std::vector<Argument> values = row.args;
    std::vector<Argument*> args;
    for (Argument& a : values)
      args.push_back(&a);
    const DispatchResult r = Invoke(*tarnel, row.method, args);
    EXPECT_EQ(static_cast<uint32_t>(r.status), static_cast<uint32_t>(row.status));
    EXPECT_EQ(r.arg_error, row.arg_error);
    EXPECT_EQ(r.error_number, 0);
    EXPECT_TRUE(values == row.args) << "a call that did not run writes nothing back";
  }
  auto tarnel = NewTarnel();
  std::vector<Argument*> nulls = {nullptr, nullptr};
  EXPECT_EQ(Invoke(*tarnel, "Encrypt", nulls).status, kInvalidPointer);
  EXPECT_EQ(Invoke(*tarnel, 0x60030006, nulls).status, kMemberNotFound);
}

TEST(MethodTables, IdentifiersAreUniqueAndInOrder) {
  for (const ClassInfo& cls : Classes()) {
    int32_t previous = 0x60030000 - 1;
    for (const MethodInfo& m : cls.methods) {
      EXPECT_GT(m.dispid, previous) << cls.name << "." << m.name;
      previous = m.dispid;
      EXPECT_EQ(FindMethod(cls, m.dispid), &m);
      EXPECT_EQ(FindMethod(cls, m.name), &m);
    }
  }
  // The gap in _Declares: 0x60030008 is no public method.
  EXPECT_EQ(FindMethod(DeclaresClass(), 0x60030008), nullptr);
  EXPECT_EQ(FindMethod(DeclaresClass(), 0x60030009)->name, std::string("CreateKey"));
}

}  // namespace
}  // namespace corvane::server
