// The COM argument binder against a table of its own: arrays from scripts and typed callers,
// conversions into typed parameters, write-back into typed variables, and shared variables.
#include "server/win32/com_call.h"

#include "server/win32/dispatch.h"

#include "runtime/errors.h"
#include "tests/com/com_support.h"

namespace corvane::comtest {
namespace {

using server::CallFrame;
using server::Direction;
using server::MethodInfo;
using server::ParamInfo;
using server::ParamType;
using server::ResultType;

// Appends "x" to the array; returns its new upper bound.
Variant AppendX(void*, CallFrame& f) {
  StringArray& a = f.array(0);
  const Long next = a.dimensioned() ? a.upper() + 1 : 0;
  a.RedimPreserve(next);
  a.at(next) = u"x";
  return Variant::OfLong(next);
}
constexpr ParamInfo kArrayParam[] = {{"arr", ParamType::kStringArray, Direction::kByRef}};
constexpr MethodInfo kAppend = {"Append", 1, kArrayParam, ResultType::kLong, AppendX};

// Adds 1 to a Long and returns the Integer it was given.
Variant Bump(void*, CallFrame& f) {
  f.long_value(0) += 1;
  return Variant::OfInteger(f.integer(1));
}
constexpr ParamInfo kBumpParams[] = {{"n", ParamType::kLong, Direction::kByRef},
                                     {"i", ParamType::kInteger, Direction::kByVal}};
constexpr MethodInfo kBump = {"Bump", 2, kBumpParams, ResultType::kInteger, Bump};

// Writes "A" into the first String and returns the second.
Variant Overwrite(void*, CallFrame& f) {
  f.string(0) = u"A";
  return Variant::OfString(f.string(1));
}
constexpr ParamInfo kTwoStrings[] = {{"a", ParamType::kString, Direction::kByRef},
                                     {"b", ParamType::kString, Direction::kByRef}};
constexpr MethodInfo kOverwrite = {"Overwrite", 3, kTwoStrings, ResultType::kString, Overwrite};

win32::ComCall Call(const MethodInfo& method, std::vector<VARIANTARG> args, VARIANT* result) {
  std::vector<VARIANTARG*> ordered;
  for (VARIANTARG& a : args)
    ordered.push_back(&a);
  return win32::CallMethod(method, nullptr, ordered.data(), result);
}

SAFEARRAY* BstrArray(std::initializer_list<const wchar_t*> items, LONG lower = 0) {
  SAFEARRAYBOUND bound{static_cast<ULONG>(items.size()), lower};
  SAFEARRAY* array = SafeArrayCreate(VT_BSTR, 1, &bound);
  LONG i = lower;
  for (const wchar_t* item : items) {
    UniqueBstr b = Bstr(item);
    SafeArrayPutElement(array, &i, b.get());
    ++i;
  }
  return array;
}

std::vector<std::wstring> Elements(SAFEARRAY* array) {
  std::vector<std::wstring> out;
  VARTYPE type = VT_EMPTY;
  SafeArrayGetVartype(array, &type);
  LONG lower = 0, upper = -1;
  SafeArrayGetLBound(array, 1, &lower);
  SafeArrayGetUBound(array, 1, &upper);
  for (LONG i = lower; i <= upper; ++i) {
    if (type == VT_BSTR) {
      UniqueBstr b;
      SafeArrayGetElement(array, &i, b.put());
      out.push_back(ToWide(b.get()));
    } else {
      UniqueVariant v;
      SafeArrayGetElement(array, &i, v.get());
      out.push_back(V_VT(v.get()) == VT_BSTR ? ToWide(V_BSTR(v.get())) : L"<not a string>");
    }
  }
  return out;
}

TEST(ComCall, AScriptVariableReceivesAnArrayOfVariants) {
  UniqueVariant variable;  // a script's fresh variable: Empty
  UniqueVariant result;
  ASSERT_EQ(Call(kAppend, {win32::RefVariant(variable.get())}, result.get()).outcome.status, S_OK);
  ASSERT_EQ(V_VT(variable.get()), VT_ARRAY | VT_VARIANT);
  EXPECT_EQ(Elements(V_ARRAY(variable.get())), std::vector<std::wstring>{L"x"});
  EXPECT_EQ(V_I4(result.get()), 0);

  // Called again with the array it now holds.
  ASSERT_EQ(Call(kAppend, {win32::RefVariant(variable.get())}, result.get()).outcome.status, S_OK);
  EXPECT_EQ(Elements(V_ARRAY(variable.get())), (std::vector<std::wstring>{L"x", L"x"}));
}

TEST(ComCall, ATypedArrayIsResizedInPlace) {
  SAFEARRAY* array = BstrArray({L"a", L"b"});
  SAFEARRAY* const before = array;
  VARIANTARG typed = win32::RefArray(&array);
  UniqueVariant result;
  ASSERT_EQ(Call(kAppend, {typed}, result.get()).outcome.status, S_OK);
  EXPECT_EQ(array, before);
  EXPECT_EQ(Elements(array), (std::vector<std::wstring>{L"a", L"b", L"x"}));
  SafeArrayDestroy(array);

  SAFEARRAY* none = nullptr;  // an undimensioned typed array
  V_ARRAYREF(&typed) = &none;
  ASSERT_EQ(Call(kAppend, {typed}, result.get()).outcome.status, S_OK);
  ASSERT_NE(none, nullptr);
  EXPECT_EQ(Elements(none), std::vector<std::wstring>{L"x"});
  SafeArrayDestroy(none);
}

TEST(ComCall, ArraysTheResizeRefusesStayUntouched) {
  struct Row {
    const char* name;
    SAFEARRAY* array;
    HRESULT status;
  };
  SAFEARRAY* fixed = BstrArray({L"a"});
  fixed->fFeatures |= FADF_FIXEDSIZE;
  const Row rows[] = {{"fixed size", fixed, static_cast<HRESULT>(0x800A000A)},
                      {"lower bound 1", BstrArray({L"a"}, 1), static_cast<HRESULT>(0x800A0009)}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    SAFEARRAY* array = row.array;
    const VARIANTARG typed = win32::RefArray(&array);
    UniqueVariant result;
    const win32::ComCall call = Call(kAppend, {typed}, result.get());
    EXPECT_EQ(call.binding, S_OK);
    EXPECT_EQ(call.outcome.status, row.status);
    EXPECT_EQ(array, row.array);
    EXPECT_EQ(Elements(array), std::vector<std::wstring>{L"a"});
    array->fFeatures &= ~FADF_FIXEDSIZE;
    SafeArrayDestroy(array);
  }
  UniqueBstr text = Bstr(L"not an array");
  EXPECT_EQ(Call(kAppend, {win32::ValBstr(text.get())}, nullptr).binding, DISP_E_TYPEMISMATCH);
}

TEST(ComCall, ScalarsAreConvertedAndWrittenBackInTheCallersType) {
  // A script variable holding the text "12" for a Long: it comes back as the Long 13.
  UniqueVariant n;
  SetText(n.get(), L"12");
  VARIANTARG half;
  V_VT(&half) = VT_R8;
  V_R8(&half) = 2.5;  // rounds half to even for the Integer
  UniqueVariant result;
  ASSERT_EQ(Call(kBump, {win32::RefVariant(n.get()), half}, result.get()).outcome.status, S_OK);
  ASSERT_EQ(V_VT(n.get()), VT_I4);
  EXPECT_EQ(V_I4(n.get()), 13);
  ASSERT_EQ(V_VT(result.get()), VT_I2);
  EXPECT_EQ(V_I2(result.get()), 2);

  // A typed Double variable keeps its type.
  double d = 41;
  const VARIANTARG typed = win32::RefTo(VT_R8, &d);
  ASSERT_EQ(Call(kBump, {typed, half}, result.get()).outcome.status, S_OK);
  EXPECT_EQ(d, 42);

  // Text that is no number, and a number beyond Long.
  UniqueVariant word;
  SetText(word.get(), L"twelve");
  const win32::ComCall mismatch = Call(kBump, {win32::RefVariant(word.get()), half}, result.get());
  EXPECT_EQ(mismatch.binding, DISP_E_TYPEMISMATCH);
  EXPECT_EQ(mismatch.bad_argument, 0u);
  VARIANTARG huge;
  V_VT(&huge) = VT_R8;
  V_R8(&huge) = 1e12;
  const win32::ComCall overflow = Call(kBump, {win32::RefVariant(n.get()), huge}, result.get());
  EXPECT_EQ(overflow.binding, DISP_E_OVERFLOW);
  EXPECT_EQ(overflow.bad_argument, 1u);
}

TEST(ComCall, OneTypedVariableForTwoParametersIsOneValue) {
  BSTR shared = SysAllocString(L"b");
  const VARIANTARG ref = win32::RefBstr(&shared);
  UniqueVariant result;
  ASSERT_EQ(Call(kOverwrite, {ref, ref}, result.get()).outcome.status, S_OK);
  EXPECT_EQ(ToWide(V_BSTR(result.get())), L"A");
  EXPECT_EQ(ToWide(shared), L"A");
  SysFreeString(shared);
}

}  // namespace
}  // namespace corvane::comtest
