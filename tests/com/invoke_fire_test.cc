// Invoke under fire: every automation type, by value, by reference and by null reference, for
// every parameter of every method that shows no box; nested references, arrays of other
// element types and dimensions, named arguments and impossible counts. Each call answers with
// a status of the documented set and the process goes on.
//
// Declares' value methods are left out: a rejected path shows a real modal box, which nobody
// dismisses here.
#include <cstring>
#include <set>
#include <vector>

#include "server/method_table.h"
#include "tests/com/com_support.h"

namespace corvane::comtest {
namespace {

const std::set<HRESULT> kAllowed = {S_OK,
                                    E_POINTER,
                                    E_INVALIDARG,
                                    DISP_E_TYPEMISMATCH,
                                    DISP_E_OVERFLOW,
                                    DISP_E_PARAMNOTOPTIONAL,
                                    DISP_E_BADPARAMCOUNT,
                                    DISP_E_NONAMEDARGS,
                                    DISP_E_MEMBERNOTFOUND,
                                    DISP_E_EXCEPTION};

const VARTYPE kTypes[] = {
    VT_EMPTY,    VT_NULL,  VT_I2,   VT_I4,      VT_R4,      VT_R8,      VT_CY,   VT_DATE, VT_BSTR,
    VT_DISPATCH, VT_ERROR, VT_BOOL, VT_VARIANT, VT_UNKNOWN, VT_DECIMAL, VT_I1,   VT_UI1,  VT_UI2,
    VT_UI4,      VT_I8,    VT_UI8,  VT_INT,     VT_UINT,    VT_RECORD,  VT_VOID, 0x0FFF};

// Zeroed storage behind a reference: enough for any type, a null BSTR, pointer or array.
struct Storage {
  alignas(16) unsigned char bytes[32] = {};
};

// Every argument shape for one parameter.
std::vector<VARIANTARG> Shapes(std::vector<Storage>& storage, std::vector<SAFEARRAY*>& arrays) {
  std::vector<VARIANTARG> shapes;
  storage.reserve(200);
  for (VARTYPE type : kTypes) {
    VARIANTARG by_value;
    std::memset(&by_value, 0, sizeof by_value);
    V_VT(&by_value) = type;
    shapes.push_back(by_value);
    storage.emplace_back();
    VARIANTARG by_ref = by_value;
    V_VT(&by_ref) = VT_BYREF | type;
    V_BYREF(&by_ref) = storage.back().bytes;
    shapes.push_back(by_ref);
    V_BYREF(&by_ref) = nullptr;
    shapes.push_back(by_ref);
  }
  // A reference to a reference, and a script variable that holds a reference to a typed one.
  static VARIANT inner, outer;
  VariantInit(&inner);
  V_VT(&outer) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&outer) = &inner;
  VARIANTARG nested;
  V_VT(&nested) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&nested) = &outer;
  shapes.push_back(nested);
  // Arrays of other element types and dimensions, by value and by reference.
  SAFEARRAYBOUND one{2, 0}, two[2] = {{2, 1}, {3, -1}}, three[3] = {{1, 0}, {2, 0}, {2, 5}};
  arrays = {SafeArrayCreate(VT_I4, 1, &one), SafeArrayCreate(VT_BSTR, 2, two),
            SafeArrayCreate(VT_VARIANT, 3, three), SafeArrayCreate(VT_UI1, 1, &one)};
  for (SAFEARRAY*& array : arrays) {
    VARTYPE element = VT_EMPTY;
    SafeArrayGetVartype(array, &element);
    VARIANTARG by_value;
    V_VT(&by_value) = VT_ARRAY | element;
    V_ARRAY(&by_value) = array;
    shapes.push_back(by_value);
    VARIANTARG by_ref;
    V_VT(&by_ref) = VT_BYREF | VT_ARRAY | element;
    V_ARRAYREF(&by_ref) = &array;
    shapes.push_back(by_ref);
  }
  return shapes;
}

TEST(InvokeUnderFire, EveryShapeForEveryParameterIsAnsweredWithAStatus) {
  const CLSID classes[] = {kTarnelClsid, kRegistryClsid, kDeclaresClsid};
  int calls = 0;
  for (size_t c = 0; c < server::Classes().size(); ++c) {
    const server::ClassInfo& cls = server::Classes()[c];
    ComPtr<IDispatch> object;
    ASSERT_EQ(CoCreateInstance(classes[c], nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(object.put())),
              S_OK);
    for (const server::MethodInfo& method : cls.methods) {
      if (&cls == &server::DeclaresClass() && method.dispid != 0x60030005 &&
          method.dispid != 0x60030006)
        continue;  // a value method: a rejected path would show a real box
      for (size_t p = 0; p < method.params.size(); ++p) {
        std::vector<Storage> storage;
        std::vector<SAFEARRAY*> arrays;
        for (const VARIANTARG& shape : Shapes(storage, arrays)) {
          SCOPED_TRACE(::testing::Message()
                       << method.name << " parameter " << p << " vt " << V_VT(&shape));
          // The other parameters get Empty script variables; rgvarg is in reverse order.
          std::vector<VARIANT> variables(method.params.size());
          std::vector<VARIANTARG> rgvarg(method.params.size());
          for (size_t k = 0; k < method.params.size(); ++k) {
            VariantInit(&variables[k]);
            VARIANTARG& arg = rgvarg[method.params.size() - 1 - k];
            if (k == p) {
              arg = shape;
            } else {
              V_VT(&arg) = VT_BYREF | VT_VARIANT;
              V_VARIANTREF(&arg) = &variables[k];
            }
          }
          DISPPARAMS params{rgvarg.data(), nullptr, static_cast<UINT>(rgvarg.size()), 0};
          UniqueVariant result;
          EXCEPINFO excep{};
          UINT arg_error = 0;
          const HRESULT hr = object->Invoke(method.dispid, IID_NULL, 0x409, DISPATCH_METHOD,
                                            &params, result.get(), &excep, &arg_error);
          EXPECT_TRUE(kAllowed.count(hr)) << Hex(hr);
          SysFreeString(excep.bstrSource);
          SysFreeString(excep.bstrDescription);
          for (VARIANT& v : variables)
            VariantClear(&v);
          ++calls;
        }
        for (SAFEARRAY* array : arrays)
          SafeArrayDestroy(array);
      }
    }
  }
  EXPECT_GT(calls, 2000);
}

TEST(InvokeUnderFire, ImpossibleParameterBlocks) {
  auto tarnel = NewTarnel();
  VARIANTARG two[2];
  V_VT(&two[0]) = VT_EMPTY;
  V_VT(&two[1]) = VT_EMPTY;
  DISPID named[2] = {5, -1};
  struct Row {
    const char* name;
    DISPPARAMS params;
    HRESULT expected;
  };
  const Row rows[] = {
      {"huge count", {two, nullptr, 0x7FFFFFFF, 0}, DISP_E_BADPARAMCOUNT},
      {"more named than all", {two, named, 2, 3}, E_INVALIDARG},
      {"named without ids", {two, nullptr, 2, 1}, E_INVALIDARG},
      {"named id out of range", {two, named, 2, 1}, DISP_E_NONAMEDARGS},
      {"named id negative", {two, named + 1, 2, 1}, DISP_E_NONAMEDARGS},
      {"arguments without an array", {nullptr, nullptr, 2, 0}, E_INVALIDARG},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    DISPPARAMS params = row.params;
    UniqueVariant result;
    EXPECT_EQ(tarnel->Invoke(0x60030004, IID_NULL, 0x409, DISPATCH_METHOD, &params, result.get(),
                             nullptr, nullptr),
              row.expected);
  }
}

}  // namespace
}  // namespace corvane::comtest
