// Calls through the vtable (early binding) and through IDispatch::Invoke (late binding): the
// cipher's results and write-back, error information, and refused Invoke input.
#include <vector>

#include "comserver/dispatch.h"
#include "comserver/early_call.h"
#include "tests/com/com_support.h"

namespace corvane::comtest {
namespace {

TEST(EarlyBinding, EncryptWritesTheKeyBackAsAnInteger) {
  auto tarnel = NewTarnel();
  UniqueVariant text, pass, result;
  SetText(text.get(), L"abcdef");
  SetText(pass.get(), L"");
  ASSERT_EQ(tarnel->Encrypt(text.get(), pass.get(), result.get()), S_OK);
  ASSERT_EQ(V_VT(result.get()), VT_BSTR);
  EXPECT_EQ(ToWide(V_BSTR(result.get())), L"]hdkeh");
  ASSERT_EQ(V_VT(pass.get()), VT_I2);
  EXPECT_EQ(V_I2(pass.get()), 0);
  EXPECT_EQ(ToWide(V_BSTR(text.get())), L"abcdef");

  UniqueVariant cipher, again, plain;
  SetText(cipher.get(), L"]hdkeh");
  SetText(again.get(), L"");
  ASSERT_EQ(tarnel->Decrypt(cipher.get(), again.get(), plain.get()), S_OK);
  EXPECT_EQ(ToWide(V_BSTR(plain.get())), L"abcdef");
}

TEST(EarlyBinding, OneVariantForBothArgumentsIsOneValue) {
  auto tarnel = NewTarnel();
  UniqueVariant both, result;
  SetText(both.get(), L"hello");
  ASSERT_EQ(tarnel->Encrypt(both.get(), both.get(), result.get()), S_OK);
  ASSERT_EQ(V_VT(both.get()), VT_I2);
  EXPECT_EQ(V_I2(both.get()), 8);
  EXPECT_EQ(ToWide(V_BSTR(result.get())), L"<");
}

TEST(EarlyBinding, RuntimeErrorGivesFacilityStatusAndErrorInfo) {
  auto tarnel = NewTarnel();
  UniqueVariant text, pass, result;
  SetText(text.get(), std::wstring(256, L'a').c_str());
  SetText(pass.get(), L"p");
  const HRESULT hr = tarnel->Encrypt(text.get(), pass.get(), result.get());
  EXPECT_EQ(hr, static_cast<HRESULT>(0x800A0006)) << Hex(hr);
  EXPECT_EQ(V_VT(result.get()), VT_EMPTY);
  EXPECT_EQ(ToWide(V_BSTR(pass.get())), L"p");

  ComPtr<ISupportErrorInfo> support;
  ASSERT_EQ(tarnel->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(support.put())),
            S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(__uuidof(_Tarnel)), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
  UniqueBstr source, description;
  info->GetSource(source.put());
  info->GetDescription(description.put());
  EXPECT_EQ(ToWide(source.get()), L"Corvane.Tarnel");
  EXPECT_EQ(ToWide(description.get()), L"Overflow");
  GUID guid{};
  info->GetGUID(&guid);
  EXPECT_TRUE(IsEqualGUID(guid, __uuidof(_Tarnel)));
}

TEST(EarlyBinding, NullPointersAndTypedResults) {
  auto tarnel = NewTarnel();
  UniqueVariant text, result;
  EXPECT_EQ(tarnel->Encrypt(nullptr, text.get(), result.get()), E_POINTER);
  EXPECT_EQ(tarnel->Encrypt(text.get(), text.get(), nullptr), E_POINTER);
  BSTR out = reinterpret_cast<BSTR>(1);  // the result slot is cleared before anything else
  EXPECT_EQ(tarnel->scramb(nullptr, &out), E_POINTER);
  EXPECT_EQ(out, nullptr);
  BSTR value = SysAllocString(L"abc");
  ASSERT_EQ(tarnel->scramb(&value, &out), S_OK);
  EXPECT_EQ(ToWide(out), L"bac");
  EXPECT_EQ(ToWide(value), L"abc");
  SysFreeString(out);
  SysFreeString(value);
}

// Invoke with arguments given in parameter order (reversed into rgvarg here).
struct Invocation {
  std::vector<VARIANTARG> args;  // parameter order
  std::vector<DISPID> named;
  UniqueVariant result;
  EXCEPINFO excep{};
  UINT arg_error = 0xFFFF;

  HRESULT Call(IDispatch* object, DISPID id, WORD flags = DISPATCH_METHOD) {
    std::vector<VARIANTARG> reversed(args.rbegin(), args.rend());
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(),
                      named.empty() ? nullptr : named.data(), static_cast<UINT>(reversed.size()),
                      static_cast<UINT>(named.size())};
    return object->Invoke(id, IID_NULL, 0x409, flags, &params, result.get(), &excep, &arg_error);
  }
  ~Invocation() {
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
  }
};

using win32::RefBstr;
using win32::RefVariant;
using win32::ValBstr;

VARIANTARG OfType(VARTYPE type) {
  VARIANTARG a;
  VariantInit(&a);
  V_VT(&a) = type;
  return a;
}

TEST(LateBinding, NamesAreCaseInsensitive) {
  auto tarnel = NewTarnel();
  struct Row {
    const wchar_t* name;
    DISPID id;
  };
  const Row rows[] = {{L"Encrypt", 0x60030004},
                      {L"ENCRYPT", 0x60030004},
                      {L"decrypt", 0x60030005},
                      {L"TimedPause", 0x60030000},
                      {L"sSplit", 0x60030002}};
  for (const Row& row : rows) {
    LPOLESTR name = const_cast<LPOLESTR>(row.name);
    DISPID id = 0;
    EXPECT_EQ(tarnel->GetIDsOfNames(IID_NULL, &name, 1, 0x409, &id), S_OK);
    EXPECT_EQ(id, row.id);
  }
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"Encrypt"), const_cast<LPOLESTR>(L"SALASANA"),
                      const_cast<LPOLESTR>(L"nothing")};
  DISPID ids[3] = {};
  EXPECT_EQ(tarnel->GetIDsOfNames(IID_NULL, names, 3, 0x409, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], 0x60030004);
  EXPECT_EQ(ids[1], 1);
  EXPECT_EQ(ids[2], DISPID_UNKNOWN);
  LPOLESTR unknown = const_cast<LPOLESTR>(L"Nope");
  EXPECT_EQ(tarnel->GetIDsOfNames(IID_NULL, &unknown, 1, 0x409, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(tarnel->GetIDsOfNames(IID_IDispatch, &unknown, 1, 0x409, ids), DISP_E_UNKNOWNINTERFACE);
}

TEST(LateBinding, ScriptVariablesAreWrittenBack) {
  auto tarnel = NewTarnel();
  UniqueVariant text, pass;
  SetText(text.get(), L"abcdef");
  SetText(pass.get(), L"");
  Invocation call;
  call.args = {RefVariant(text.get()), RefVariant(pass.get())};
  ASSERT_EQ(call.Call(tarnel.get(), 0x60030004), S_OK);
  EXPECT_EQ(ToWide(V_BSTR(call.result.get())), L"]hdkeh");
  ASSERT_EQ(V_VT(pass.get()), VT_I2);
  EXPECT_EQ(V_I2(pass.get()), 0);

  // VBScript asks for a result with DISPATCH_METHOD | DISPATCH_PROPERTYGET.
  Invocation again;
  UniqueVariant cipher, key;
  SetText(cipher.get(), L"]hdkeh");
  again.args = {RefVariant(cipher.get()), RefVariant(key.get())};  // key Empty: the text ""
  ASSERT_EQ(again.Call(tarnel.get(), 0x60030005, DISPATCH_METHOD | DISPATCH_PROPERTYGET), S_OK);
  EXPECT_EQ(ToWide(V_BSTR(again.result.get())), L"abcdef");
}

TEST(LateBinding, TypedAndByValueArguments) {
  auto tarnel = NewTarnel();
  // A typed caller passes VT_BYREF|VT_BSTR: the key goes back as its text.
  UniqueBstr text = Bstr(L"abcdef");
  UniqueBstr pass = Bstr(L"hello");
  Invocation typed;
  BSTR text_raw = text.release();
  BSTR pass_raw = pass.release();
  typed.args = {RefBstr(&text_raw), RefBstr(&pass_raw)};
  ASSERT_EQ(typed.Call(tarnel.get(), 0x60030004), S_OK);
  EXPECT_EQ(ToWide(pass_raw), L"8");
  EXPECT_EQ(ToWide(text_raw), L"abcdef");
  SysFreeString(text_raw);
  SysFreeString(pass_raw);

  // Literals by value: nothing is written anywhere.
  UniqueBstr a = Bstr(L"abcdef"), b = Bstr(L"");
  Invocation literal;
  literal.args = {ValBstr(a.get()), ValBstr(b.get())};
  ASSERT_EQ(literal.Call(tarnel.get(), 0x60030004), S_OK);
  EXPECT_EQ(ToWide(V_BSTR(literal.result.get())), L"]hdkeh");
  EXPECT_EQ(ToWide(b.get()), L"");

  // A number by value is enciphered as its decimal text; Empty (JScript's undefined) as "".
  VARIANTARG number = OfType(VT_I4);
  V_I4(&number) = 123;
  Invocation numeric;
  numeric.args = {number, OfType(VT_EMPTY)};
  ASSERT_EQ(numeric.Call(tarnel.get(), 0x60030004), S_OK);
  UniqueBstr digits = Bstr(L"123"), empty = Bstr(L"");
  Invocation expected;
  expected.args = {ValBstr(digits.get()), ValBstr(empty.get())};
  ASSERT_EQ(expected.Call(tarnel.get(), 0x60030004), S_OK);
  EXPECT_EQ(ToWide(V_BSTR(numeric.result.get())), ToWide(V_BSTR(expected.result.get())));
}

TEST(LateBinding, NamedArgumentsAreMatchedToParameters) {
  auto tarnel = NewTarnel();
  UniqueVariant text, pass;
  SetText(text.get(), L"abcdef");
  SetText(pass.get(), L"");
  // rgvarg[0] is the named salasana, rgvarg[1] the positional texti.
  VARIANTARG rgvarg[2] = {RefVariant(pass.get()), RefVariant(text.get())};
  DISPID named[1] = {1};
  DISPPARAMS params{rgvarg, named, 2, 1};
  UniqueVariant result;
  ASSERT_EQ(tarnel->Invoke(0x60030004, IID_NULL, 0x409, DISPATCH_METHOD, &params, result.get(),
                           nullptr, nullptr),
            S_OK);
  EXPECT_EQ(ToWide(V_BSTR(result.get())), L"]hdkeh");
  EXPECT_EQ(V_VT(pass.get()), VT_I2);

  DISPID bad[1] = {7};
  DISPPARAMS unmatched{rgvarg, bad, 2, 1};
  EXPECT_EQ(tarnel->Invoke(0x60030004, IID_NULL, 0x409, DISPATCH_METHOD, &unmatched, nullptr,
                           nullptr, nullptr),
            DISP_E_NONAMEDARGS);
  DISPID positional_clash[1] = {0};
  DISPPARAMS clash{rgvarg, positional_clash, 2, 1};
  EXPECT_EQ(tarnel->Invoke(0x60030004, IID_NULL, 0x409, DISPATCH_METHOD, &clash, nullptr, nullptr,
                           nullptr),
            DISP_E_NONAMEDARGS);
}

TEST(LateBinding, RuntimeErrorFillsExcepInfo) {
  auto tarnel = NewTarnel();
  UniqueVariant text, pass;
  SetText(text.get(), std::wstring(300, L'x').c_str());
  SetText(pass.get(), L"p");
  Invocation call;
  call.args = {RefVariant(text.get()), RefVariant(pass.get())};
  ASSERT_EQ(call.Call(tarnel.get(), 0x60030004), DISP_E_EXCEPTION);
  EXPECT_EQ(call.excep.scode, static_cast<SCODE>(0x800A0006));
  EXPECT_EQ(call.excep.wCode, 0);
  EXPECT_EQ(ToWide(call.excep.bstrSource), L"Corvane.Tarnel");
  EXPECT_EQ(ToWide(call.excep.bstrDescription), L"Overflow");
  EXPECT_EQ(V_VT(call.result.get()), VT_EMPTY);

  // Without an EXCEPINFO the status itself comes back.
  VARIANTARG rgvarg[2] = {RefVariant(pass.get()), RefVariant(text.get())};
  DISPPARAMS params{rgvarg, nullptr, 2, 0};
  EXPECT_EQ(tarnel->Invoke(0x60030004, IID_NULL, 0x409, DISPATCH_METHOD, &params, nullptr, nullptr,
                           nullptr),
            static_cast<HRESULT>(0x800A0006));

  // A call refused while binding leaves no description of the earlier failure behind.
  V_VT(&rgvarg[0]) = VT_DISPATCH;
  V_DISPATCH(&rgvarg[0]) = nullptr;
  EXPECT_EQ(tarnel->Invoke(0x60030004, IID_NULL, 0x409, DISPATCH_METHOD, &params, nullptr, nullptr,
                           nullptr),
            DISP_E_TYPEMISMATCH);
  ComPtr<IErrorInfo> left;
  EXPECT_EQ(GetErrorInfo(0, left.put()), S_FALSE);
}

struct BadInvokeRow {
  const char* name;
  DISPID id;
  WORD flags;
  std::vector<VARTYPE> arg_types;  // parameter order; VT_ERROR is DISP_E_PARAMNOTFOUND
  HRESULT expected;
  UINT arg_error;  // rgvarg index, checked when not 0xFFFF
};

TEST(LateBinding, RefusedInvokeInput) {
  auto tarnel = NewTarnel();
  const BadInvokeRow rows[] = {
      {"unknown dispatch id",
       0x60030006,
       DISPATCH_METHOD,
       {VT_EMPTY, VT_EMPTY},
       DISP_E_MEMBERNOTFOUND,
       0xFFFF},
      {"property put",
       0x60030004,
       DISPATCH_PROPERTYPUT,
       {VT_EMPTY, VT_EMPTY},
       DISP_E_MEMBERNOTFOUND,
       0xFFFF},
      {"no call flag", 0x60030004, 0, {VT_EMPTY, VT_EMPTY}, DISP_E_MEMBERNOTFOUND, 0xFFFF},
      {"too few", 0x60030004, DISPATCH_METHOD, {VT_EMPTY}, DISP_E_BADPARAMCOUNT, 0xFFFF},
      {"too many",
       0x60030004,
       DISPATCH_METHOD,
       {VT_EMPTY, VT_EMPTY, VT_EMPTY},
       DISP_E_BADPARAMCOUNT,
       0xFFFF},
      {"omitted argument",
       0x60030004,
       DISPATCH_METHOD,
       {VT_EMPTY, VT_ERROR},
       DISP_E_PARAMNOTOPTIONAL,
       0},
      {"object argument",
       0x60030004,
       DISPATCH_METHOD,
       {VT_DISPATCH, VT_EMPTY},
       DISP_E_TYPEMISMATCH,
       1},
      {"array for a Variant",
       0x60030004,
       DISPATCH_METHOD,
       {VT_EMPTY, VT_ARRAY | VT_BSTR},
       DISP_E_TYPEMISMATCH,
       0},
      {"null reference",
       0x60030004,
       DISPATCH_METHOD,
       {VT_EMPTY, VT_BYREF | VT_VARIANT},
       E_POINTER,
       0xFFFF},
  };
  for (const BadInvokeRow& row : rows) {
    SCOPED_TRACE(row.name);
    Invocation call;
    for (VARTYPE type : row.arg_types) {
      VARIANTARG a = OfType(type);
      if (type == VT_ERROR) V_ERROR(&a) = DISP_E_PARAMNOTFOUND;
      if (type == VT_DISPATCH) V_DISPATCH(&a) = tarnel.get();
      if (type == (VT_ARRAY | VT_BSTR)) V_ARRAY(&a) = nullptr;
      if (type == (VT_BYREF | VT_VARIANT)) V_VARIANTREF(&a) = nullptr;
      call.args.push_back(a);
    }
    const HRESULT hr = call.Call(tarnel.get(), row.id, row.flags);
    EXPECT_EQ(hr, row.expected) << Hex(hr);
    if (row.arg_error != 0xFFFF) {
      EXPECT_EQ(call.arg_error, row.arg_error);
    }
  }
  // Null or inconsistent parameter blocks.
  EXPECT_EQ(tarnel->Invoke(0x60030004, IID_NULL, 0x409, DISPATCH_METHOD, nullptr, nullptr, nullptr,
                           nullptr),
            E_INVALIDARG);
  DISPPARAMS no_args{nullptr, nullptr, 2, 0};
  EXPECT_EQ(tarnel->Invoke(0x60030004, IID_NULL, 0x409, DISPATCH_METHOD, &no_args, nullptr, nullptr,
                           nullptr),
            E_INVALIDARG);
  DISPPARAMS empty{nullptr, nullptr, 0, 0};
  EXPECT_EQ(tarnel->Invoke(0x60030004, IID_IDispatch, 0x409, DISPATCH_METHOD, &empty, nullptr,
                           nullptr, nullptr),
            DISP_E_UNKNOWNINTERFACE);
  UINT count = 0;
  EXPECT_EQ(tarnel->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(tarnel->GetTypeInfoCount(nullptr), E_POINTER);
  ComPtr<ITypeInfo> info;
  EXPECT_EQ(tarnel->GetTypeInfo(1, 0x409, info.put()), DISP_E_BADINDEX);
}

}  // namespace
}  // namespace corvane::comtest
