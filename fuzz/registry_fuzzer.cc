// Classes Registry and Declares under arbitrary calls, on a scratch store: every method with
// arguments of any kind and shape; every answer a documented status. For well-typed calls, a
// DWORD or text written by one class is read back by both. Built twice: registry_fuzzer calls
// Registry's methods, declares_fuzzer those of Declares (CORVANE_FUZZ_DECLARES).
#include <unistd.h>

#include <string>

#include "fuzz/fuzz_input.h"
#include "corvane/message_box.h"
#include "registry/registry_store.h"

namespace corvane::fuzz {
namespace {

using server::Argument;

// Rejected key paths show a box; here it only counts.
class CountingBox final : public platform::ModalBox {
 public:
  void Show(StringView) override { ++shown; }
  long shown = 0;
};

server::Instance& Object(const char* prog_id) {
  static auto registry = server::CreateInstance("Corvane.Registry");
  static auto declares = server::CreateInstance("Corvane.Declares");
  return std::string_view(prog_id) == "Corvane.Registry" ? *registry : *declares;
}

server::DispatchResult Call(const char* prog_id, const char* method,
                            std::initializer_list<Argument*> args) {
  return CheckedInvoke(Object(prog_id), method, args);
}

// A key path below "Software\Fuzz": names from the input, ANSI letters only, so that what is
// written is what is read.
String Path(FuzzInput& in) {
  String path = u"Software\\Fuzz";
  for (int i = in.Int(0, 2); i > 0; --i)
    path += String(u"\\") + (in.Bool() ? u"a" : u"B\u00e9");
  return path;
}

void DwordBothWays(FuzzInput& in) {
  const Long value = in.EdgeLong();
  const String path = Path(in);
  Argument hk = Variant::OfLong(static_cast<Long>(0x80000001u)), p = Variant::OfString(path);
  Call("Corvane.Registry", "savekey", {&hk, &p});
  Argument name = Variant::OfString(in.Bool() ? u"n" : u"N"), data = Variant::OfLong(value);
  Argument path2 = Variant::OfString(path);
  Call("Corvane.Registry", "SaveDword", {&hk, &path2, &name, &data});
  const server::DispatchResult got = Call("Corvane.Registry", "getdword", {&hk, &path2, &name});
  if (got.status != server::kOk || got.result.long_value() != value)
    Violated("getdword does not give what SaveDword wrote");
  Argument full = Variant::OfString(u"HKEY_CURRENT_USER\\" + path);
  const server::DispatchResult again = Call("Corvane.Declares", "GetDWORDValue", {&full, &name});
  if (again.status != server::kOk || again.result != Variant::OfLong(value))
    Violated("GetDWORDValue does not give what SaveDword wrote");
}

void TextBothWays(FuzzInput& in) {
  String text = in.Text(in.Byte() % 40);
  for (char16_t& c : text)
    if (c == 0 || c > 0xFF || (c >= 0x80 && c < 0xA0)) c = u'x';  // text the code page holds
  const String path = Path(in);
  Argument full = Variant::OfString(u"HKEY_CURRENT_USER\\" + path);
  Call("Corvane.Declares", "CreateKey", {&full});
  full = Variant::OfString(u"HKEY_CURRENT_USER\\" + path);
  Argument name = Variant::OfString(u"t"), value = Variant::OfString(text);
  Call("Corvane.Declares", "SetStringValue", {&full, &name, &value});
  Argument hk = Variant::OfLong(static_cast<Long>(0x80000001u)), p = Variant::OfString(path);
  const server::DispatchResult got = Call("Corvane.Registry", "getstring", {&hk, &p, &name});
  if (got.status != server::kOk || got.result != Variant::OfString(text))
    Violated("getstring does not give what SetStringValue wrote");
}

}  // namespace
}  // namespace corvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace corvane;
  using namespace corvane::fuzz;
  static CountingBox box;
  static std::unique_ptr<registry::RegistryStore> store = [] {
    const std::string path = fuzz::ScratchStorePath("classes");
    auto s = registry::RegistryStore::Open(path);
    registry::InstallRegistryUnowned(s.get());
    platform::InstallModalBox(&box);
    return s;
  }();
  FuzzInput in(data, size);
#ifdef CORVANE_FUZZ_DECLARES
  constexpr bool registry = false;
#else
  constexpr bool registry = true;
#endif
  switch (in.Int(0, 2)) {
    case 0:
      if (registry)
        DwordBothWays(in);
      else
        TextBothWays(in);
      break;
    default: {
      static const char* const kRegistry[] = {"savekey",  "getstring", "getstringx", "savestring",
                                              "getdword", "SaveDword", "DeleteKey",  "DeleteValue"};
      static const char* const kDeclares[] = {
          "SetDWORDValue", "GetDWORDValue",    "SetBinaryValue", "GetBinaryValue",
          "DeleteKey",     "GetMainKeyHandle", "ErrorMsg",       "GetStringValue",
          "CreateKey",     "SetStringValue"};
      const char* method = registry ? kRegistry[in.Int(0, 7)] : kDeclares[in.Int(0, 9)];
      // Handles and paths that reach real keys now and then.
      std::vector<server::Argument> values = AnyArguments(in, [&](server::Argument& v) {
        if (in.Byte() % 4 == 0)
          v = Variant::OfLong(
              in.Pick<Long>({static_cast<Long>(0x80000001u), static_cast<Long>(0x80000002u),
                             static_cast<Long>(0x80000004u)}));
        else if (in.Byte() % 4 == 0)
          v = Variant::OfString(u"HKEY_CURRENT_USER\\Software\\Fuzz");
      });
      CheckedInvoke(Object(registry ? "Corvane.Registry" : "Corvane.Declares"), method, values);
    }
  }
  return 0;
}
