// The compiled type library against the method tables the dispatcher uses: library identity,
// class and interface flags, and per method its name, dispatch identifier, vtable slot,
// parameter names, directions and types. Run on this tree's DLL and on the peer 32-bit DLL,
// whose library is loaded as data, so both builds are held to the same tables.
#include <string>

#include "comserver/module.h"
#include "server/method_table.h"
#include "tests/com/com_support.h"
#include "tests/com/dll_under_test.h"

namespace corvane::comtest {
namespace {

using server::Direction;
using server::ParamType;
using server::ResultType;

ComPtr<ITypeLib> LoadLibraryOf(const DllUnderTest& dll) {
  ComPtr<ITypeLib> library;
  EXPECT_EQ(LoadTypeLibEx(dll.path.c_str(), REGKIND_NONE, library.put()), S_OK);
  return library;
}

class TypeLibrary : public ::testing::TestWithParam<DllUnderTest> {};

std::string NameOf(ITypeInfo* info, MEMBERID id) {
  UniqueBstr name;
  info->GetDocumentation(id, name.put(), nullptr, nullptr, nullptr);
  const std::wstring wide = ToWide(name.get());
  return std::string(wide.begin(), wide.end());
}

// The type a parameter has in the library.
std::string Describe(const TYPEDESC& t) {
  switch (t.vt) {
    case VT_PTR:
      return "*" + Describe(*t.lptdesc);
    case VT_SAFEARRAY:
      return "[]" + Describe(*t.lptdesc);
    case VT_BSTR:
      return "BSTR";
    case VT_I4:
      return "long";
    case VT_I2:
      return "short";
    case VT_VARIANT:
      return "VARIANT";
    default:
      return "vt" + std::to_string(t.vt);
  }
}

std::string Expected(ParamType type, Direction direction) {
  const char* base = type == ParamType::kString    ? "BSTR"
                     : type == ParamType::kLong    ? "long"
                     : type == ParamType::kInteger ? "short"
                     : type == ParamType::kVariant ? "VARIANT"
                                                   : "[]BSTR";
  return (direction == Direction::kByRef ? "*" : "") + std::string(base);
}

std::string ExpectedResult(ResultType type) {
  switch (type) {
    case ResultType::kVariant:
      return "*VARIANT";
    case ResultType::kString:
      return "*BSTR";
    case ResultType::kLong:
      return "*long";
    case ResultType::kInteger:
      return "*short";
    case ResultType::kNone:
      break;
  }
  return "";
}

TEST_P(TypeLibrary, LibraryIdentity) {
  auto library = LoadLibraryOf(GetParam());
  ASSERT_TRUE(library);
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(library->GetLibAttr(&attr), S_OK);
  EXPECT_TRUE(IsEqualGUID(attr->guid, kLibraryId));
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 0);
  EXPECT_EQ(attr->lcid, 0x409u);
  EXPECT_EQ(attr->syskind, GetParam().syskind);
  library->ReleaseTLibAttr(attr);
  UniqueBstr name;
  library->GetDocumentation(-1, name.put(), nullptr, nullptr, nullptr);
  EXPECT_EQ(ToWide(name.get()), L"Corvane");
}

TEST_P(TypeLibrary, ClassesAreCreatableWithOneDefaultInterface) {
  auto library = LoadLibraryOf(GetParam());
  ASSERT_TRUE(library);
  for (const server::ClassInfo& cls : server::Classes()) {
    SCOPED_TRACE(cls.name);
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(library->GetTypeInfoOfGuid(win32::ParseGuid(cls.class_id), coclass.put()), S_OK);
    EXPECT_EQ(NameOf(coclass.get(), MEMBERID_NIL), cls.name);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCANCREATE);
    EXPECT_FALSE(attr->wTypeFlags & TYPEFLAG_FAPPOBJECT);
    EXPECT_EQ(attr->cImplTypes, 1) << "no event interface";
    coclass->ReleaseTypeAttr(attr);
    INT flags = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> interface_info;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &ref), S_OK);
    ASSERT_EQ(coclass->GetRefTypeInfo(ref, interface_info.put()), S_OK);
    TYPEATTR* iattr = nullptr;
    ASSERT_EQ(interface_info->GetTypeAttr(&iattr), S_OK);
    EXPECT_TRUE(IsEqualGUID(iattr->guid, win32::ParseGuid(cls.interface_id)));
    interface_info->ReleaseTypeAttr(iattr);
  }
}

TEST_P(TypeLibrary, InterfacesMatchTheMethodTables) {
  auto library = LoadLibraryOf(GetParam());
  ASSERT_TRUE(library);
  for (const server::ClassInfo& cls : server::Classes()) {
    SCOPED_TRACE(cls.interface_name);
    ComPtr<ITypeInfo> dispatch_info;
    ASSERT_EQ(library->GetTypeInfoOfGuid(win32::ParseGuid(cls.interface_id), dispatch_info.put()),
              S_OK);
    EXPECT_EQ(NameOf(dispatch_info.get(), MEMBERID_NIL), cls.interface_name);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(dispatch_info->GetTypeAttr(&attr), S_OK);
    const WORD wanted = TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE;
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    EXPECT_EQ(attr->wTypeFlags & wanted, wanted);
    dispatch_info->ReleaseTypeAttr(attr);

    // The vtable half of the dual interface.
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(dispatch_info->GetRefTypeOfImplType(-1, &ref), S_OK);
    ASSERT_EQ(dispatch_info->GetRefTypeInfo(ref, info.put()), S_OK);
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
    EXPECT_EQ(attr->wTypeFlags & (wanted | TYPEFLAG_FOLEAUTOMATION),
              wanted | TYPEFLAG_FOLEAUTOMATION);
    ASSERT_EQ(attr->cFuncs, cls.methods.size());
    info->ReleaseTypeAttr(attr);

    for (size_t i = 0; i < cls.methods.size(); ++i) {
      const server::MethodInfo& method = cls.methods[i];
      SCOPED_TRACE(method.name);
      FUNCDESC* func = nullptr;
      ASSERT_EQ(info->GetFuncDesc(static_cast<UINT>(i), &func), S_OK);
      EXPECT_EQ(func->memid, method.dispid);
      // The loader gives vtable offsets in this process's pointer size, whatever the library's.
      EXPECT_EQ(func->oVft, static_cast<SHORT>((7 + i) * sizeof(void*)))
          << "after IUnknown and IDispatch";
      EXPECT_EQ(func->invkind, INVOKE_FUNC);
      EXPECT_EQ(func->callconv, CC_STDCALL);
      EXPECT_EQ(func->elemdescFunc.tdesc.vt, VT_HRESULT);
      const size_t with_result =
          method.params.size() + (method.result == ResultType::kNone ? 0 : 1);
      ASSERT_EQ(static_cast<size_t>(func->cParams), with_result);
      BSTR names[16] = {};
      UINT got = 0;
      info->GetNames(func->memid, names, 16, &got);
      EXPECT_EQ(ToWide(names[0]), std::wstring(method.name, method.name + strlen(method.name)));
      for (size_t p = 0; p < method.params.size(); ++p) {
        const server::ParamInfo& param = method.params[p];
        SCOPED_TRACE(param.name);
        const ELEMDESC& e = func->lprgelemdescParam[p];
        EXPECT_EQ(Describe(e.tdesc), Expected(param.type, param.direction));
        const USHORT flags =
            e.paramdesc.wParamFlags & (PARAMFLAG_FIN | PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
        EXPECT_EQ(flags, param.direction == Direction::kByRef ? (PARAMFLAG_FIN | PARAMFLAG_FOUT)
                                                              : PARAMFLAG_FIN);
        ASSERT_GT(got, p + 1);
        EXPECT_EQ(ToWide(names[p + 1]), std::wstring(param.name, param.name + strlen(param.name)));
      }
      if (method.result != ResultType::kNone) {
        const ELEMDESC& e = func->lprgelemdescParam[method.params.size()];
        EXPECT_EQ(Describe(e.tdesc), ExpectedResult(method.result));
        EXPECT_TRUE(e.paramdesc.wParamFlags & PARAMFLAG_FRETVAL);
      }
      for (UINT n = 0; n < got; ++n)
        SysFreeString(names[n]);
      info->ReleaseFuncDesc(func);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Own, TypeLibrary, ::testing::Values(OwnDll()),
                         [](const auto& info) { return info.param.label; });
INSTANTIATE_TEST_SUITE_P(Peer, TypeLibrary, ::testing::ValuesIn(PeerDlls()),
                         [](const auto& info) { return info.param.label; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(TypeLibrary);

}  // namespace
}  // namespace corvane::comtest
