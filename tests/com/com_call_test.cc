// The COM argument binder against a table of its own: arrays from scripts and typed callers,
// conversions into typed parameters, write-back into typed variables, and shared variables.
#include "comserver/com_call.h"

#include "comserver/early_call.h"

#include <algorithm>
#include <cstring>

#include "runtime/convert.h"
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
  return f.array(0).Update([](StringArray& a) {
    const Long next = a.dimensioned() ? a.upper() + 1 : 0;
    a.RedimPreserve(next);
    a.at(next) = u"x";
    return Variant::OfLong(next);
  });
}
constexpr ParamInfo kArrayParam[] = {{"arr", ParamType::kStringArray, Direction::kByRef}};
constexpr MethodInfo kAppend = {"Append", 1, kArrayParam, ResultType::kLong, AppendX};

// Adds 1 to a Long and returns the Integer it was given.
Variant Bump(void*, CallFrame& f) {
  f.long_value(0) = f.long_value(0) + 1;
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

// Reads its Variant and String parameters and returns their texts joined by "|".
Variant ReadBoth(void*, CallFrame& f) {
  return Variant::OfString(rt::TextOf(f.variant(0)) + u"|" + f.string(1).get());
}
constexpr ParamInfo kReadBothParams[] = {{"v", ParamType::kVariant, Direction::kByRef},
                                         {"s", ParamType::kString, Direction::kByRef}};
constexpr MethodInfo kReadBoth = {"ReadBoth", 4, kReadBothParams, ResultType::kString, ReadBoth};

// Assigns the Long 5 to its parameter.
Variant AssignFive(void*, CallFrame& f) {
  f.variant(0) = Variant::OfLong(5);
  return Variant();
}
constexpr ParamInfo kOneVariant[] = {{"v", ParamType::kVariant, Direction::kByRef}};
constexpr MethodInfo kAssignFive = {"AssignFive", 5, kOneVariant, ResultType::kNone, AssignFive};
constexpr ParamInfo kOneString[] = {{"s", ParamType::kString, Direction::kByRef}};
constexpr MethodInfo kNotBuilt = {"NotBuilt", 6, kOneString, ResultType::kString, nullptr};

// Writes "changed" into its ByRef String and returns its ByVal one.
Variant ValThenRef(void*, CallFrame& f) {
  f.string(1) = u"changed";
  return Variant::OfString(f.string(0));
}
constexpr ParamInfo kValRefParams[] = {{"a", ParamType::kString, Direction::kByVal},
                                       {"b", ParamType::kString, Direction::kByRef}};
constexpr MethodInfo kValThenRef = {"ValThenRef", 7, kValRefParams, ResultType::kString,
                                    ValThenRef};

// Returns the bounds and elements of its array in storage order and marks the first element.
Variant DescribeAndMark(void*, CallFrame& f) {
  const StringArray& a = f.array(0);
  String out;
  for (const StringArray::Bound& b : a.bounds())
    out += rt::CStr(b.lower) + u".." + rt::CStr(b.upper) + u" ";
  for (const String& e : a.elements())
    out += e + u";";
  if (a.dimensioned()) f.array(0).Update([](StringArray& b) { b.elements()[0] = u"*"; });
  return Variant::OfString(out);
}
constexpr MethodInfo kDescribeAndMark = {"DescribeAndMark", 8, kArrayParam, ResultType::kString,
                                         DescribeAndMark};

// A VARIANT as its bytes, to check that a caller's variable is left exactly as it was.
std::vector<BYTE> BitsOf(const VARIANT& v) {
  const auto* bytes = reinterpret_cast<const BYTE*>(&v);
  return std::vector<BYTE>(bytes, bytes + sizeof v);
}

// A caller's value of one kind: how a method reads it, and what a typed variable of that kind
// holds after the method assigns the Long 5 to it.
struct KindRow {
  const char* name;
  VARIANT value;
  const wchar_t* text;  // null: the text is the locale's (a Date)
  VARIANT after_five;   // the typed variable after the write-back, VT_EMPTY: left as it was
};

VARIANT Make(VARTYPE type, std::initializer_list<BYTE> bytes = {}) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = type;
  std::copy(bytes.begin(), bytes.end(), reinterpret_cast<BYTE*>(&V_UI1(&v)));
  return v;
}
template <class T>
VARIANT MakeOf(VARTYPE type, T value) {
  VARIANT v = Make(type);
  std::memcpy(&V_UI1(&v), &value, sizeof value);
  return v;
}
VARIANT MakeDecimal(ULONGLONG low, BYTE scale, bool negative) {
  VARIANT v;
  VariantInit(&v);
  DECIMAL& d = V_DECIMAL(&v);
  d.scale = scale;
  d.sign = negative ? DECIMAL_NEG : 0;
  d.Hi32 = 0;
  d.Lo64 = low;
  V_VT(&v) = VT_DECIMAL;
  return v;
}
VARIANT MakeCy(LONGLONG scaled) {
  CY cy;
  cy.int64 = scaled;
  return MakeOf(VT_CY, cy);
}

std::vector<KindRow> KindRows() {
  return {
      {"Boolean", MakeOf<VARIANT_BOOL>(VT_BOOL, VARIANT_TRUE), L"True",
       MakeOf<VARIANT_BOOL>(VT_BOOL, VARIANT_TRUE)},
      {"Byte", MakeOf<BYTE>(VT_UI1, 7), L"7", MakeOf<BYTE>(VT_UI1, 5)},
      {"SByte", MakeOf<CHAR>(VT_I1, -7), L"-7", MakeOf<CHAR>(VT_I1, 5)},
      {"Integer", MakeOf<SHORT>(VT_I2, -300), L"-300", MakeOf<SHORT>(VT_I2, 5)},
      {"UShort", MakeOf<USHORT>(VT_UI2, 65535), L"65535", MakeOf<USHORT>(VT_UI2, 5)},
      {"Long", MakeOf<LONG>(VT_I4, -70000), L"-70000", MakeOf<LONG>(VT_I4, 5)},
      {"ULong", MakeOf<ULONG>(VT_UI4, 4000000000u), L"4000000000", MakeOf<ULONG>(VT_UI4, 5)},
      {"LongLong 2^53+1", MakeOf<LONGLONG>(VT_I8, 9007199254740993LL), L"9007199254740993",
       MakeOf<LONGLONG>(VT_I8, 5)},
      {"ULongLong", MakeOf<ULONGLONG>(VT_UI8, 18446744073709551615ull), L"18446744073709551615",
       MakeOf<ULONGLONG>(VT_UI8, 5)},
      {"Single", MakeOf<FLOAT>(VT_R4, 0.1f), L"0.1", MakeOf<FLOAT>(VT_R4, 5.0f)},
      {"Double", MakeOf<DOUBLE>(VT_R8, 0.1), L"0.1", MakeOf<DOUBLE>(VT_R8, 5.0)},
      {"Currency", MakeCy(15000), L"1.5", MakeCy(50000)},
      {"Date", MakeOf<DATE>(VT_DATE, 37000.5), nullptr, MakeOf<DATE>(VT_DATE, 5.0)},
      {"Decimal", MakeDecimal(12345678901234567891ull, 10, true), L"-1234567890.1234567891",
       MakeDecimal(5, 0, false)},
      {"Error", MakeOf<SCODE>(VT_ERROR, DISP_E_PARAMNOTFOUND), L"", Make(VT_EMPTY)},
  };
}

TEST(ComCall, AVariableTheMethodOnlyReadsKeepsItsKindAndBits) {
  for (KindRow& row : KindRows()) {
    SCOPED_TRACE(row.name);
    VARIANT variable = row.value;
    const std::vector<BYTE> before = BitsOf(variable);
    UniqueVariant result;
    const win32::ComCall call =
        Call(kReadBoth, {win32::RefVariant(&variable), win32::RefVariant(&variable)}, result.get());
    if (V_VT(&row.value) == VT_ERROR) {  // an omitted argument: refused, nothing written
      EXPECT_EQ(call.binding, DISP_E_PARAMNOTOPTIONAL);
    } else {
      ASSERT_EQ(call.outcome.status, S_OK);
      std::wstring text = row.text ? row.text : L"";
      if (row.text == nullptr) {  // the locale's date text
        UniqueVariant expected;
        VariantChangeTypeEx(expected.get(), &row.value, LOCALE_USER_DEFAULT, 0, VT_BSTR);
        text = ToWide(V_BSTR(expected.get()));
        EXPECT_NE(text.find(L"2001"), std::wstring::npos) << "a date text";
      }
      EXPECT_EQ(ToWide(V_BSTR(result.get())), text + L"|" + text);
    }
    EXPECT_EQ(BitsOf(variable), before);
  }
}

TEST(ComCall, AnAssignedTypedVariableReceivesTheValueInItsOwnType) {
  for (KindRow& row : KindRows()) {
    SCOPED_TRACE(row.name);
    VARIANT variable = row.value;
    // A typed caller's variable: VT_BYREF | its type, pointing at its storage.
    // A DECIMAL fills the whole VARIANT; every other value starts at its value field.
    void* storage = V_VT(&variable) == VT_DECIMAL ? static_cast<void*>(&V_DECIMAL(&variable))
                                                  : static_cast<void*>(&V_UI1(&variable));
    const VARIANTARG typed = win32::RefTo(V_VT(&variable), storage);
    const win32::ComCall call = Call(kAssignFive, {typed}, nullptr);
    if (V_VT(&row.after_five) == VT_EMPTY) {
      EXPECT_NE(call.binding, S_OK);
      EXPECT_EQ(BitsOf(variable), BitsOf(row.value));
      continue;
    }
    ASSERT_EQ(call.outcome.status, S_OK);
    EXPECT_EQ(BitsOf(variable), BitsOf(row.after_five));
  }
  // A script's variable takes the kind the method gave.
  UniqueVariant script;
  SetText(script.get(), L"text");
  ASSERT_EQ(Call(kAssignFive, {win32::RefVariant(script.get())}, nullptr).outcome.status, S_OK);
  ASSERT_EQ(V_VT(script.get()), VT_I4);
  EXPECT_EQ(V_I4(script.get()), 5);
}

TEST(ComCall, AMethodThatIsNotBuiltWritesNothingBack) {
  VARIANT five = MakeOf<SHORT>(VT_I2, 5);
  const win32::ComCall call = Call(kNotBuilt, {win32::RefVariant(&five)}, nullptr);
  EXPECT_EQ(call.outcome.status, E_NOTIMPL);
  EXPECT_EQ(BitsOf(five), BitsOf(MakeOf<SHORT>(VT_I2, 5)));
}

TEST(ComCall, AByValParameterIsACopyEvenOfTheByRefVariable) {
  UniqueVariant x;
  SetText(x.get(), L"");
  UniqueVariant result;
  const VARIANTARG ref = win32::RefVariant(x.get());
  ASSERT_EQ(Call(kValThenRef, {ref, ref}, result.get()).outcome.status, S_OK);
  EXPECT_EQ(ToWide(V_BSTR(result.get())), L"");
  EXPECT_EQ(ToWide(V_BSTR(x.get())), L"changed");
}

// An array with the given dimensions (first dimension first), element (i, j, ...) = "i,j,...".
SAFEARRAY* LabelledArray(VARTYPE type, std::vector<SAFEARRAYBOUND> bounds) {
  SAFEARRAY* array = SafeArrayCreate(type, static_cast<UINT>(bounds.size()), bounds.data());
  std::vector<LONG> index(bounds.size());
  for (size_t d = 0; d < bounds.size(); ++d)
    index[d] = bounds[d].lLbound;
  for (;;) {
    std::wstring label;
    for (LONG i : index)
      label += (label.empty() ? L"" : L",") + std::to_wstring(i);
    UniqueBstr b = Bstr(label.c_str());
    if (type == VT_BSTR) {
      SafeArrayPutElement(array, index.data(), b.get());
    } else {
      VARIANT v;
      V_VT(&v) = VT_BSTR;
      V_BSTR(&v) = b.get();
      SafeArrayPutElement(array, index.data(), &v);
    }
    size_t d = 0;
    while (d < bounds.size() && index[d] == bounds[d].lLbound + LONG(bounds[d].cElements) - 1)
      index[d] = bounds[d].lLbound, ++d;
    if (d == bounds.size()) return array;
    ++index[d];
  }
}

std::wstring ElementAt(SAFEARRAY* array, std::vector<LONG> index) {
  VARTYPE type = VT_EMPTY;
  SafeArrayGetVartype(array, &type);
  if (type == VT_BSTR) {
    UniqueBstr b;
    if (FAILED(SafeArrayGetElement(array, index.data(), b.put()))) return L"<none>";
    return ToWide(b.get());
  }
  UniqueVariant v;
  if (FAILED(SafeArrayGetElement(array, index.data(), v.get()))) return L"<none>";
  return ToWide(V_BSTR(v.get()));
}

TEST(ComCall, ArraysOfSeveralDimensionsArriveAndReturnIntact) {
  struct Row {
    std::vector<SAFEARRAYBOUND> bounds;  // {count, lower}, first dimension first
    const wchar_t* described;
    std::vector<LONG> last;  // the index of the last element
  };
  const Row rows[] = {
      {{{3, 2}}, L"2..4 2;3;4;", {4}},
      {{{2, 1}, {2, 5}}, L"1..2 5..6 1,5;2,5;1,6;2,6;", {2, 6}},
      {{{2, 1}, {3, 5}}, L"1..2 5..7 1,5;2,5;1,6;2,6;1,7;2,7;", {2, 7}},
      {{{2, -1}, {1, 3}, {2, 7}}, L"-1..0 3..3 7..8 -1,3,7;0,3,7;-1,3,8;0,3,8;", {0, 3, 8}},
  };
  for (const VARTYPE type : {VT_BSTR, VT_VARIANT}) {
    for (const Row& row : rows) {
      SCOPED_TRACE(::testing::Message() << row.described << " of " << type);
      // A script's variable holding the array: the method reads it, marks it, and the
      // variable receives an array of the same shape.
      UniqueVariant variable;
      V_VT(variable.get()) = VT_ARRAY | type;
      V_ARRAY(variable.get()) = LabelledArray(type, row.bounds);
      UniqueVariant result;
      const win32::ComCall call =
          Call(kDescribeAndMark, {win32::RefVariant(variable.get())}, result.get());
      ASSERT_EQ(call.binding, S_OK);
      ASSERT_EQ(call.outcome.status, S_OK);
      EXPECT_EQ(ToWide(V_BSTR(result.get())), row.described);
      SAFEARRAY* back = V_ARRAY(variable.get());
      ASSERT_EQ(SafeArrayGetDim(back), row.bounds.size());
      std::vector<LONG> first;
      for (UINT d = 0; d < row.bounds.size(); ++d) {
        LONG lower = 0, upper = 0;
        SafeArrayGetLBound(back, d + 1, &lower);
        SafeArrayGetUBound(back, d + 1, &upper);
        EXPECT_EQ(lower, row.bounds[d].lLbound);
        EXPECT_EQ(upper, row.bounds[d].lLbound + LONG(row.bounds[d].cElements) - 1);
        first.push_back(lower);
      }
      EXPECT_EQ(ElementAt(back, first), L"*");
      std::wstring last_label;
      for (LONG i : row.last)
        last_label += (last_label.empty() ? L"" : L",") + std::to_wstring(i);
      EXPECT_EQ(ElementAt(back, row.last), last_label);
    }
  }
}

}  // namespace
}  // namespace corvane::comtest
