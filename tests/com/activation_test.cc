// Registration, activation, class objects and unload counting.
#include <olectl.h>

#include <vector>

#include "comserver/registration.h"
#include "registry/hkey_value_win32.h"
#include "tests/com/com_support.h"

namespace corvane::comtest {
namespace {

// The text of HKCR\`key` value `name` (null: default), or "<missing>".
std::wstring ReadText(const std::wstring& key, const wchar_t* name) {
  registry::UniqueHkey handle;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, handle.put()) != ERROR_SUCCESS)
    return L"<missing>";
  wchar_t buffer[1024];
  DWORD size = sizeof buffer;
  DWORD type = 0;
  if (RegQueryValueExW(handle.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                       &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return L"<missing>";
  return std::wstring(buffer, size / sizeof(wchar_t)).c_str();
}

bool KeyExists(const std::wstring& key) {
  registry::UniqueHkey handle;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, handle.put()) == ERROR_SUCCESS;
}

struct ClassRow {
  const wchar_t* name;
  const wchar_t* clsid;
  const wchar_t* prog_id;
};
const ClassRow kClassRows[] = {
    {L"Tarnel", L"{8CA88E33-C0E8-11D5-B1AB-006097D869EE}", L"Corvane.Tarnel"},
    {L"Registry", L"{8CA88E35-C0E8-11D5-B1AB-006097D869EE}", L"Corvane.Registry"},
    {L"Declares", L"{8CA88E37-C0E8-11D5-B1AB-006097D869EE}", L"Corvane.Declares"},
};

bool EndsWithIgnoringCase(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() &&
         _wcsicmp(text.c_str() + text.size() - tail.size(), tail.c_str()) == 0;
}

TEST(Registration, EveryClassKeyReadsBack) {
  for (const ClassRow& row : kClassRows) {
    SCOPED_TRACE(::testing::Message() << row.prog_id);
    const std::wstring key = std::wstring(L"CLSID\\") + row.clsid;
    EXPECT_EQ(ReadText(key, nullptr), row.name);
    EXPECT_TRUE(
        EndsWithIgnoringCase(ReadText(key + L"\\InprocServer32", nullptr), L"\\Corvane.dll"));
    EXPECT_EQ(ReadText(key + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(ReadText(key + L"\\ProgID", nullptr), row.prog_id);
    EXPECT_EQ(ReadText(key + L"\\VersionIndependentProgID", nullptr), row.prog_id);
    EXPECT_EQ(ReadText(key + L"\\TypeLib", nullptr), L"{8CA88E31-C0E8-11D5-B1AB-006097D869EE}");
    EXPECT_EQ(ReadText(row.prog_id, nullptr), row.prog_id);
    EXPECT_EQ(ReadText(std::wstring(row.prog_id) + L"\\CLSID", nullptr), row.clsid);
  }
  // The library under its own locale and the neutral one, by the server's plain path, with its
  // folder as HELPDIR; the other platform's keys belong to the other build of the DLL.
  const std::wstring version = L"TypeLib\\{8CA88E31-C0E8-11D5-B1AB-006097D869EE}\\1.0\\";
  const std::wstring server =
      ReadText(std::wstring(L"CLSID\\") + kClassRows[0].clsid + L"\\InprocServer32", nullptr);
  const wchar_t* other = win32::kOwnSysKind == SYS_WIN64 ? L"win32" : L"win64";
  for (const wchar_t* locale : {L"409\\", L"0\\"}) {
    SCOPED_TRACE(::testing::Message() << "locale " << locale);
    EXPECT_EQ(ReadText(version + locale + win32::kOwnSysKindKey, nullptr), server);
    EXPECT_FALSE(KeyExists(version + locale + other));
  }
  EXPECT_EQ(server.rfind(L"\\\\?\\", 0), std::wstring::npos) << "a \\\\?\\ path";
  EXPECT_EQ(ReadText(version + L"HELPDIR", nullptr), server.substr(0, server.rfind(L'\\')));
  EXPECT_TRUE(KeyExists(L"Interface\\{8CA88E32-C0E8-11D5-B1AB-006097D869EE}"));
}

// Run after "regsvr32 /u": nothing of ours is left.
TEST(Unregistered, NoKeyIsLeft) {
  for (const ClassRow& row : kClassRows) {
    EXPECT_FALSE(KeyExists(std::wstring(L"CLSID\\") + row.clsid)) << row.prog_id;
    EXPECT_FALSE(KeyExists(row.prog_id)) << row.prog_id;
  }
  EXPECT_FALSE(KeyExists(L"TypeLib\\{8CA88E31-C0E8-11D5-B1AB-006097D869EE}"));
  for (const wchar_t* iid :
       {L"{8CA88E32-C0E8-11D5-B1AB-006097D869EE}", L"{8CA88E34-C0E8-11D5-B1AB-006097D869EE}",
        L"{8CA88E36-C0E8-11D5-B1AB-006097D869EE}"})
    EXPECT_FALSE(KeyExists(std::wstring(L"Interface\\") + iid)) << iid;
  CLSID clsid;
  EXPECT_NE(CLSIDFromProgID(L"Corvane.Tarnel", &clsid), S_OK);
}

TEST(Activation, CreatesEveryClassByProgIdAndByClassId) {
  for (const ClassRow& row : kClassRows) {
    SCOPED_TRACE(::testing::Message() << row.prog_id);
    CLSID by_prog_id{}, by_text{};
    ASSERT_EQ(CLSIDFromProgID(row.prog_id, &by_prog_id), S_OK);
    ASSERT_EQ(CLSIDFromString(row.clsid, &by_text), S_OK);
    EXPECT_TRUE(IsEqualCLSID(by_prog_id, by_text));
    ComPtr<IDispatch> object;
    ASSERT_EQ(CoCreateInstance(by_prog_id, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(object.put())),
              S_OK);
    ComPtr<ISupportErrorInfo> support;
    EXPECT_EQ(
        object->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(support.put())),
        S_OK);
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(object->QueryInterface(IID_IPersist, reinterpret_cast<void**>(unknown.put())),
              E_NOINTERFACE);
    // The object says its class: the coclass, by name and identifier, with no source interface.
    ComPtr<IProvideClassInfo2> provides;
    ASSERT_EQ(
        object->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(provides.put())),
        S_OK);
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(provides->GetClassInfo(coclass.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_TRUE(IsEqualCLSID(attr->guid, by_text));
    coclass->ReleaseTypeAttr(attr);
    UniqueBstr name;
    ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(ToWide(name.get()), std::wstring(row.name));
    GUID source{};
    EXPECT_EQ(provides->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_TRUE(IsEqualGUID(source, GUID_NULL));
    EXPECT_EQ(provides->GetGUID(99, &source), E_INVALIDARG);
    ComPtr<IProvideClassInfo> plain;
    EXPECT_EQ(object->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(plain.put())),
              S_OK);
  }
}

using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(WINAPI*)();

// An export of the module as a typed function pointer.
template <class Fn>
Fn Export(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

class EntryPoints : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryW(L"Corvane.dll");
    ASSERT_NE(module_, nullptr);
    get_class_object_ = Export<GetClassObjectFn>(module_, "DllGetClassObject");
    can_unload_now_ = Export<CanUnloadNowFn>(module_, "DllCanUnloadNow");
    ASSERT_NE(get_class_object_, nullptr);
    ASSERT_NE(can_unload_now_, nullptr);
    ASSERT_NE(GetProcAddress(module_, "DllRegisterServer"), nullptr);
    ASSERT_NE(GetProcAddress(module_, "DllUnregisterServer"), nullptr);
  }
  void TearDown() override { FreeLibrary(module_); }

  HMODULE module_ = nullptr;
  GetClassObjectFn get_class_object_ = nullptr;
  CanUnloadNowFn can_unload_now_ = nullptr;
};

TEST_F(EntryPoints, ClassObjectsRefuseOtherClassesAndAggregation) {
  ComPtr<IClassFactory> factory;
  EXPECT_EQ(
      get_class_object_(kLibraryId, IID_IClassFactory, reinterpret_cast<void**>(factory.put())),
      CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(get_class_object_(__uuidof(_Tarnel), IID_IClassFactory,
                              reinterpret_cast<void**>(factory.put())),
            CLASS_E_CLASSNOTAVAILABLE);
  ASSERT_EQ(
      get_class_object_(kTarnelClsid, IID_IClassFactory, reinterpret_cast<void**>(factory.put())),
      S_OK);
  ComPtr<IUnknown> object;
  ComPtr<IUnknown> outer;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(outer.put())),
            S_OK);
  EXPECT_EQ(
      factory->CreateInstance(outer.get(), IID_IUnknown, reinterpret_cast<void**>(object.put())),
      CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object.get(), nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IPersist, reinterpret_cast<void**>(object.put())),
            E_NOINTERFACE);
  EXPECT_EQ(get_class_object_(kTarnelClsid, IID_IClassFactory, nullptr), E_POINTER);
}

TEST_F(EntryPoints, CanUnloadNowCountsInstancesAndLocks) {
  CoFreeUnusedLibraries();
  EXPECT_EQ(can_unload_now_(), S_OK) << "before";
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(
      get_class_object_(kDeclaresClsid, IID_IClassFactory, reinterpret_cast<void**>(factory.put())),
      S_OK);
  {
    ComPtr<IDispatch> first, second;
    ASSERT_EQ(
        factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(first.put())),
        S_OK);
    ASSERT_EQ(
        factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(second.put())),
        S_OK);
    EXPECT_EQ(can_unload_now_(), S_FALSE) << "two instances";
    first.reset();
    EXPECT_EQ(can_unload_now_(), S_FALSE) << "one instance";
  }
  EXPECT_EQ(can_unload_now_(), S_OK) << "after the instances";
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(can_unload_now_(), S_FALSE) << "locked";
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(can_unload_now_(), S_OK) << "unlocked";
}

}  // namespace
}  // namespace corvane::comtest
