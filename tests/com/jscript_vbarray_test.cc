// A split result as a script receives it, read by JScript through VBArray. JScript passes every
// argument by value, so it cannot receive a ByRef array from any method; the array that a
// VBScript variable receives is handed to a JScript function hosted here, in Wine's own engine.
#include <activscp.h>

#include <string>

#include "tests/com/com_support.h"
#include "tests/com/script_site.h"

namespace corvane::comtest {
namespace {

TEST(JScriptVBArray, ReadsTheArrayAScriptVariableReceives) {
  // sSplit as a script calls it: its variables as VT_BYREF | VT_VARIANT, arguments reversed.
  auto tarnel = NewTarnel();
  UniqueVariant text, delims, result, parts;
  SetText(text.get(), L"a b;c");
  SetText(delims.get(), L"");
  VARIANTARG args[3];
  V_VT(&args[0]) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&args[0]) = parts.get();
  V_VT(&args[1]) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&args[1]) = delims.get();
  V_VT(&args[2]) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&args[2]) = text.get();
  DISPPARAMS params{args, nullptr, 3, 0};
  ASSERT_EQ(tarnel->Invoke(0x60030002, IID_NULL, 0x409, DISPATCH_METHOD, &params, result.get(),
                           nullptr, nullptr),
            S_OK);
  ASSERT_EQ(V_VT(parts.get()), VT_ARRAY | VT_VARIANT);

  CLSID jscript{};
  ASSERT_EQ(CLSIDFromProgID(L"JScript", &jscript), S_OK);
  ComPtr<IActiveScript> engine;
  ASSERT_EQ(CoCreateInstance(jscript, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IActiveScript),
                             reinterpret_cast<void**>(engine.put())),
            S_OK);
  ComPtr<IActiveScriptParse> parse;
  ASSERT_EQ(
      engine->QueryInterface(__uuidof(IActiveScriptParse), reinterpret_cast<void**>(parse.put())),
      S_OK);
  ScriptSite site;
  ASSERT_EQ(parse->InitNew(), S_OK);
  ASSERT_EQ(engine->SetScriptSite(&site), S_OK);
  ASSERT_EQ(parse->ParseScriptText(L"function read(a) { var v = new VBArray(a);"
                                   L" return v.ubound(1) + ':' + v.toArray().join('|'); }",
                                   nullptr, nullptr, nullptr, 0, 0, 0, nullptr, nullptr),
            S_OK)
      << std::string(site.error.begin(), site.error.end());
  ASSERT_EQ(engine->SetScriptState(SCRIPTSTATE_CONNECTED), S_OK);
  ComPtr<IDispatch> script;
  ASSERT_EQ(engine->GetScriptDispatch(nullptr, script.put()), S_OK);
  LPOLESTR name = const_cast<LPOLESTR>(L"read");
  DISPID read = 0;
  ASSERT_EQ(script->GetIDsOfNames(IID_NULL, &name, 1, 0x409, &read), S_OK);
  DISPPARAMS call{parts.get(), nullptr, 1, 0};
  UniqueVariant joined;
  ASSERT_EQ(
      script->Invoke(read, IID_NULL, 0x409, DISPATCH_METHOD, &call, joined.get(), nullptr, nullptr),
      S_OK)
      << std::string(site.error.begin(), site.error.end());
  ASSERT_EQ(V_VT(joined.get()), VT_BSTR);
  EXPECT_EQ(ToWide(V_BSTR(joined.get())), L"2:a|b|c");
  engine->Close();
}

}  // namespace
}  // namespace corvane::comtest
